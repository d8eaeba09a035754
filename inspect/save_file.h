// Whole-file saves that never leave a truncated file: the text goes to a new file beside the
// target, which then replaces the target in one rename.
#pragma once

#include <cstdint>
#include <string>

namespace inspect {

// Writes `contents` as the whole of `path`. A target with the read-only, hidden or system
// attribute is refused, as overwriting it in place would be. Returns the Windows error code
// (0 = success); on failure the target is as it was and nothing is left beside it.
uint32_t SaveFileReplacing(const std::string& path, const std::string& contents);

// kErrorAccessDenied when a save over `path` is refused for the target's attributes, else 0.
uint32_t SaveRefusal(const std::string& path);

// Where the new text is written before it replaces `path`.
std::string SavePartPath(const std::string& path);

}  // namespace inspect
