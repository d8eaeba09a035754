// Small text helpers shared by the inspection code (ANSI paths and registry texts).
#pragma once

#include <cstdint>
#include <string>

namespace inspect {

// ASCII letters only, as the paths and names compared here are.
std::string UpperAscii(std::string text);
bool EqualNoCase(const std::string& a, const std::string& b);
// Blanks and control characters (everything up to ' ') off both ends.
std::string TrimControls(const std::string& text);
// A 32-bit decimal integer with an optional sign ("+" or "-") and nothing else around it.
bool ParseInt32(const std::string& text, int32_t* value);
// Up to and including the last "\"; empty when there is none.
std::string FolderPart(const std::string& path);
// After the last "\"; the whole text when there is none.
std::string FileNamePart(const std::string& path);

}  // namespace inspect
