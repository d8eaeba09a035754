// A Windows system volume that is not running, seen through the platform interfaces: the
// registry from its hive files, files from the mounted (or copied) tree, the system's identity
// from both. What only a running system has (processes, sockets, services, the kernel) is not
// there. Nothing is ever opened for writing: every write call fails with access denied.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::offline {

struct VolumeState;

class Volume {
 public:
  // `root` is the host folder that holds the volume's root (C:\). Never fails: what is missing
  // or damaged becomes a note.
  explicit Volume(const std::string& root);
  ~Volume();
  Volume(const Volume&) = delete;
  Volume& operator=(const Volume&) = delete;

  Backend backend();
  // Installs this volume as the process-wide backend (the previous one comes back on destruction).
  void Install();

  // "Offline scan of <root> (<Windows folder>, user <profile>)": names the source of a report.
  std::string SourceLine() const;
  // One line for each hive that is missing or damaged, a missing config folder, a profile
  // without NTUSER.DAT.
  const std::vector<std::string>& Notes() const;

 private:
  struct Facilities;

  std::unique_ptr<VolumeState> state_;
  std::unique_ptr<Facilities> facilities_;
  Backend previous_;
  bool installed_ = false;
};

}  // namespace platform::offline
