// The text of a private profile (.ini) file as GetPrivateProfileStringA and
// WritePrivateProfileStringA see it: sections and keys without letter case, values trimmed.
#pragma once

#include <optional>
#include <string>

namespace platform::fake {

// The value of `key` in `section`, without one pair of enclosing quotes; nullopt when missing.
std::optional<std::string> ReadProfileString(const std::string& text, const std::string& section,
                                             const std::string& key);
// The text with `key=value` set: the key replaced in place, else added after the section's last
// entry, else a new section at the end. Lines end in CR LF.
std::string WriteProfileString(const std::string& text, const std::string& section, const std::string& key,
                               const std::string& value);

}  // namespace platform::fake
