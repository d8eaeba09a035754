// Language files: Langs\<name>.ini beside the executable, section "Language" with the keys
// "lng1".."lng229" and section "Info" with "Translator", every value UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace inspect {

struct TLanguageList {
  std::vector<std::string> names;    // file names without ".ini", in the order found
  std::vector<std::string> credits;  // "", "Translators", then " <name> by <translator>" per credited file
};

// Lists Langs\*.ini of `appDir` (ending with "\"). An error ends the listing and goes to the
// debug log; what was listed before it stays.
TLanguageList ListLanguages(const std::string& appDir);

// Fills the table from Langs\<fileName>: every keyed entry from its key, converted from UTF-8,
// empty when the key is missing. A missing file leaves the table as it was; false then.
bool LoadLanguageFile(const std::string& appDir, const std::string& fileName);

// Loads <name>.ini; when entry 1 then holds a text, `applyCaptions` runs; then the defaults are
// filled. An empty name does nothing.
void ApplyLanguage(const std::string& appDir, const std::string& name, const std::function<void()>& applyCaptions);

}  // namespace inspect
