// The fake machine's system code page: Windows-1252.
#pragma once

#include <string>

namespace platform::fake {

// UTF-8 to Windows-1252 as MultiByteToWideChar and WideCharToMultiByte do it without flags: a
// malformed sequence becomes U+FFFD, and a character the code page lacks becomes '?'.
std::string Utf8ToCp1252(const std::string& text);
// Windows-1252 to UTF-8 as the two calls do it the other way round: the five bytes the code page
// leaves unassigned become the control characters of the same number.
std::string Cp1252ToUtf8(const std::string& text);
// One character as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// Windows-1252 to UTF-16 and back, as MultiByteToWideChar and WideCharToMultiByte without flags do
// it: a character the code page lacks becomes '?'.
std::u16string Cp1252ToUtf16(const std::string& text);
std::string Utf16ToCp1252(const std::u16string& text);

}  // namespace platform::fake
