// Command lines, native paths and the text splitting used on registry paths.
#pragma once

#include <string>
#include <vector>

namespace inspect {

// The program file a command line or registry datum names.
std::string ExeFromCommandLine(const std::string& text);
// The same for texts that may name a DLL (".exe" first, else ".dll").
std::string ModuleFromCommandLine(const std::string& text);
// Drops a leading "\??\" and turns a leading "\SystemRoot\" into the Windows folder.
std::string ExpandNtPath(const std::string& path);
// Mode 1: driver image paths; mode 2: service command lines.
std::string ServiceImageToFile(const std::string& imagePath, int mode);

// The last n characters (the whole text when shorter).
std::string RightChars(const std::string& text, size_t n);
// 1-based position of `sub` in `text` at or after index `start`; 0 when start < 1, beyond the text, or absent.
size_t PosFrom(const std::string& sub, const std::string& text, size_t start);
// The items of a delimited text (quoted items, blanks end items, doubled delimiters give empty items).
void SplitText(char delimiter, const std::string& text, std::vector<std::string>& list);
std::string LastPathPart(const std::string& path);
// Every item but the last, each followed by "\"; empty for one item or none.
std::string ParentPathOf(const std::string& path);
// folder + name with exactly one "\" between them.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace inspect
