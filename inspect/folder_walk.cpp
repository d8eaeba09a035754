#include "inspect/folder_walk.h"

#include <vector>

#include "inspect/paths.h"
#include "platform/handles.h"

namespace inspect {

namespace {

namespace win = platform::win;

constexpr int kMaxDepth = 128;
constexpr size_t kMaxPath = 260;

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

bool Stopped(const TStopToken* stop) { return stop && stop->Requested(); }

template <typename Visit>
void ForEachEntry(const std::string& folder, const std::string& mask, const TStopToken* stop, Visit&& visit) {
  auto& fs = platform::Fs();
  platform::FindData entry;
  const platform::ScopedFind find(fs.FindFirstFile(JoinPath(folder, mask), &entry));
  if (!find.ok()) return;
  do {
    if (Stopped(stop)) return;
    if (!IsDotEntry(entry.name)) visit(entry);
  } while (fs.FindNextFile(find.get(), &entry));
}

std::vector<std::string> SubfoldersOf(const std::string& folder, bool intoDotFolders, const TStopToken* stop) {
  std::vector<std::string> subfolders;
  try {
    ForEachEntry(folder, "*.*", stop, [&](const platform::FindData& entry) {
      if (!(entry.attributes & win::kFileAttributeDirectory) || entry.name.empty()) return;
      if (!intoDotFolders && entry.name.starts_with('.')) return;
      if (entry.attributes & win::kFileAttributeReparsePoint) return;
      std::string path = JoinPath(folder, entry.name);
      if (path.size() < kMaxPath) subfolders.push_back(std::move(path));
    });
  } catch (...) {
    // the subfolders collected so far are still walked
  }
  return subfolders;
}

void Walk(const std::string& folder, const TFolderWalk& walk, int depth) {
  ForEachEntry(folder, walk.mask, walk.stop, [&](const platform::FindData& entry) { walk.visit(folder, entry); });
  if (!walk.recurse || depth >= kMaxDepth) return;
  for (const std::string& subfolder : SubfoldersOf(folder, walk.intoDotFolders, walk.stop)) {
    if (Stopped(walk.stop)) return;
    if (walk.enter && !walk.enter(subfolder)) continue;
    Walk(subfolder, walk, depth + 1);
    if (walk.leave) walk.leave(subfolder);
  }
}

}  // namespace

void WalkFolder(const std::string& folder, const TFolderWalk& walk) { Walk(folder, walk, 0); }

}  // namespace inspect
