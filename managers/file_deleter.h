// The file deleter: delete a file now, or have Windows delete it at the next boot through the
// list of file operations the session manager carries out before anything else starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inspect/prompt.h"

namespace managers {

inline constexpr const char* kPendingOperationsValue = "PendingFileRenameOperations";
inline constexpr const char16_t* kPendingOperationsValueW = u"PendingFileRenameOperations";

// One pending operation: a native source path ("\??\C:\...") and its destination; an empty
// destination deletes the source. In UTF-16, as stored: another program's pair of names outside
// the code page is written back as it was read.
struct TPendingOperation {
  std::u16string source;
  std::u16string destination;

  bool operator==(const TPendingOperation&) const = default;
};

enum class TPendingRead {
  Absent,     // no such value: an empty list
  Read,       // the list as stored
  Malformed,  // not a list of pairs (other type, odd count, empty source): left as it is
  Unreadable  // the key or value cannot be read
};

// The pairs of a stored REG_MULTI_SZ (UTF-16); false when the bytes are not a list of pairs. Missing
// final terminators are accepted: the pairs read the same with them or without.
bool ParsePendingOperations(const std::vector<uint8_t>& data, std::vector<TPendingOperation>& list);
// Every string followed by a NUL, and one more NUL, in UTF-16.
std::vector<uint8_t> PendingOperationsBytes(const std::vector<TPendingOperation>& list);

TPendingRead ReadPendingOperations(std::vector<TPendingOperation>& list);
// Replaces the value with `list`; the key is never created. True when the value was written.
bool WritePendingOperations(const std::vector<TPendingOperation>& list);

// Adds a delete pair for `path` (trailing blanks dropped) after every pair already there,
// replacing an earlier delete of the same file. A value that cannot be read as pairs is never
// rewritten: the call fails and the value stays as it is. The previous value is kept in the
// backups first. False before Windows 2000.
bool ScheduleDeleteOnReboot(const std::string& path);

enum class TFileDeleteResult { NotFound, Deleted, DeletedAtReboot, Failed };

// Deletes the file named as typed; when that fails, registers it for deletion at the next boot.
// The outcome is told through `prompter`.
TFileDeleteResult DeleteFileNowOrAtReboot(const std::string& path, inspect::TPrompter& prompter);

}  // namespace managers
