#include "inspect/save_file.h"

#include <algorithm>

#include "platform/handles.h"
#include "platform/platform.h"

namespace inspect {

namespace win = platform::win;
using platform::Fs;
using platform::Sys;

namespace {

constexpr uint32_t kRefusedAttributes =
    win::kFileAttributeReadonly | win::kFileAttributeHidden | win::kFileAttributeSystem | win::kFileAttributeDirectory;
constexpr uint32_t kWriteChunk = 1 << 20;

// The last error, never 0 when a call has failed.
uint32_t LastErrorOr(uint32_t fallback) {
  const uint32_t code = Sys().GetLastError();
  return code != 0 ? code : fallback;
}

uint32_t WriteAll(const std::string& path, const std::string& contents) {
  platform::ScopedFile file(Fs().CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, win::kFileAttributeNormal));
  if (!file.ok()) return LastErrorOr(win::kErrorAccessDenied);
  for (size_t at = 0; at < contents.size();) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(kWriteChunk, contents.size() - at));
    uint32_t written = 0;
    if (!Fs().WriteFile(file.get(), contents.data() + at, chunk, &written) || written == 0) {
      return LastErrorOr(win::kErrorAccessDenied);
    }
    at += written;
  }
  // On the disk before the rename: a crash after it must not leave an empty target.
  if (!Fs().FlushFileBuffers(file.get())) return LastErrorOr(win::kErrorAccessDenied);
  if (!Fs().CloseHandle(file.Release())) return LastErrorOr(win::kErrorAccessDenied);
  return win::kErrorSuccess;
}

}  // namespace

std::string SavePartPath(const std::string& path) { return path + ".bs-new"; }

uint32_t SaveRefusal(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  const bool refused = attributes != win::kInvalidFileAttributes && (attributes & kRefusedAttributes);
  return refused ? win::kErrorAccessDenied : win::kErrorSuccess;
}

uint32_t SaveFileReplacing(const std::string& path, const std::string& contents) {
  if (const uint32_t refusal = SaveRefusal(path)) return refusal;
  const std::string part = SavePartPath(path);
  uint32_t rc = WriteAll(part, contents);
  if (rc == win::kErrorSuccess && !Fs().MoveFileEx(part, path, win::kMoveFileReplaceExisting)) {
    rc = LastErrorOr(win::kErrorAccessDenied);
  }
  if (rc != win::kErrorSuccess) {
    Fs().DeleteFile(part);
    Sys().SetLastError(rc);
  }
  return rc;
}

}  // namespace inspect
