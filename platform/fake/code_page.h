// The fake machine's system code page: Windows-1252.
#pragma once

#include <string>

namespace platform::fake {

// UTF-8 to Windows-1252 as MultiByteToWideChar and WideCharToMultiByte do it without flags: a
// malformed sequence becomes U+FFFD, and a character the code page lacks becomes '?'.
std::string Utf8ToCp1252(const std::string& text);

}  // namespace platform::fake
