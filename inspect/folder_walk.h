// The one folder walk: entries in the order the file system returns them, then, when asked,
// the subfolders, with the rules that keep a walk finite in one place.
#pragma once

#include <functional>
#include <string>

#include "inspect/stop_token.h"
#include "platform/platform.h"

namespace inspect {

struct TFolderWalk {
  std::string mask = "*.*";
  bool recurse = false;
  // Whether subfolders whose names begin with "." are descended into.
  bool intoDotFolders = false;
  // Every entry of folder + mask but "." and "..": `folder` is the folder being walked.
  std::function<void(const std::string& folder, const platform::FindData& entry)> visit;
  // At the moment of descent into a subfolder (recursive walks only): false passes it over, and
  // `leave` is not called for it.
  std::function<bool(const std::string& subfolder)> enter;
  // After a subfolder has been walked (recursive walks only).
  std::function<void(const std::string& subfolder)> leave;
  // The walk ends once a stop is asked for here.
  const TStopToken* stop = nullptr;
};

// Walks `folder` (with or without a trailing "\"). A recursive walk finds subfolders with "*.*"
// after the folder's own entries and never descends into a reparse point (a junction may lead
// back to a parent), a path of MAX_PATH or more, or deeper than 128 levels.
void WalkFolder(const std::string& folder, const TFolderWalk& walk);

}  // namespace inspect
