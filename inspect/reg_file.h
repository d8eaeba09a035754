// Registry files in the Registry Editor's import format: the lines we write into backups, and a
// reader of the lines of a file we are about to hand to the Registry Editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace inspect {

// ANSI text, as the program's registry calls see it; every Registry Editor since Windows 2000 reads it.
constexpr const char* kRegFileHeader = "REGEDIT4";

// "[HKEY_LOCAL_MACHINE\key]", or "[-...]" to remove it with everything below; empty for an unknown
// root and for a key path the line cannot carry (a line break or a ']' in a name).
std::string RegKeyLine(platform::RegKey root, const std::string& keyPath, bool remove = false);
// Whether a value name can stand in a registry file: no line break and no NUL in it.
bool RegValueNameFits(const std::string& name);
// One value as it is stored, so that importing the line writes back the same type and bytes:
// "name"="text", @=..., dword:, hex:, hex(n): with continued lines. Empty for a name the
// format cannot carry (RegValueNameFits).
std::string RegValueLine(const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
// "name"=- : removes the value on import.
std::string RegDeletedValueLine(const std::string& name);

// One logical line of a registry file (continued lines joined).
struct TRegLine {
  enum class Kind { Blank, Header, Comment, Key, RemoveKey, Value, RemoveValue, Unknown };
  Kind kind = Kind::Unknown;
  std::string key;    // full key text with its root name, for Key, RemoveKey and the values under it
  std::string name;   // value name ("" for the default value)
  std::string data;   // the text after "=", for Value
  std::string text;   // the line as it stands
};

// Splits a registry file into its logical lines; never throws on any text.
std::vector<TRegLine> ReadRegLines(const std::string& text);

}  // namespace inspect
