#include "inspect/lang_files.h"

#include <exception>

#include "inspect/files.h"
#include "inspect/folder_walk.h"
#include "inspect/lang.h"
#include "inspect/system.h"
#include "platform/platform.h"

namespace inspect {

namespace {

using platform::Sys;

std::string LangsFolder(const std::string& appDir) { return appDir + "Langs\\"; }

std::string WithoutExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TLanguageList ListLanguages(const std::string& appDir) {
  TLanguageList list;
  list.credits = {"", "Translators"};
  try {
    TFolderWalk walk;
    walk.mask = "*.ini";
    walk.visit = [&](const std::string& folder, const platform::FindData& entry) {
      if (entry.attributes & platform::win::kFileAttributeDirectory) return;
      const std::string name = WithoutExtension(entry.name);
      list.names.push_back(name);
      const std::string translator = Sys().Utf8ToAnsi(ReadIniString(folder + entry.name, "Info", "Translator"));
      if (!translator.empty()) list.credits.push_back(" " + name + " by " + translator);
    };
    WalkFolder(LangsFolder(appDir), walk);
  } catch (const std::exception& error) {
    WriteDebugLog(DebugLogEntry(error));
  }
  return list;
}

bool LoadLanguageFile(const std::string& appDir, const std::string& fileName) {
  const std::string path = LangsFolder(appDir) + fileName;
  if (!FileExists(path)) return false;
  // Read the whole file first and change the table in one step: a scan reading titles meanwhile
  // sees the old language or the new one.
  std::vector<std::string> texts(kLngCount + 1);
  for (int n = 1; n <= kLngCount; ++n) {
    if (!LngHasKey(n)) continue;
    texts[n] = Sys().Utf8ToAnsi(ReadIniString(path, "Language", "lng" + std::to_string(n)));
  }
  SetLngTable(texts);
  return true;
}

void ApplyLanguage(const std::string& appDir, const std::string& name, const std::function<void()>& applyCaptions) {
  if (name.empty()) return;
  LoadLanguageFile(appDir, name + ".ini");
  if (!Lng(1).empty() && applyCaptions) applyCaptions();
  FillDefaultTexts();
}

}  // namespace inspect
