#include "restorer/safe_mode.h"

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/system.h"
#include "platform/platform.h"
#include "inspect/reg_file.h"

namespace restorer {

namespace {

namespace win = platform::win;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool AtOrBelowSafeBoot(const std::string& key) {
  const std::string base = Upper(SafeBootKeyText());
  const std::string k = Upper(key);
  return k == base || (k.size() > base.size() && k.compare(0, base.size(), base) == 0 && k[base.size()] == '\\' &&
                       k.find("\\\\") == std::string::npos && k.back() != '\\');
}

}  // namespace

std::string SafeBootKeyText() { return "HKEY_LOCAL_MACHINE\\" + std::string(inspect::keys::KeyPathOf(inspect::keys::kSafeBoot)); }

std::string SafeModeFilePath(const std::string& file) { return inspect::GetAppDir() + "Data\\SM\\" + file; }

std::vector<std::string> LinesOutsideSafeBoot(const std::string& text) {
  using K = inspect::TRegLine::Kind;
  std::vector<std::string> bad;
  for (const inspect::TRegLine& line : inspect::ReadRegLines(text)) {
    switch (line.kind) {
      case K::Blank:
      case K::Header:
      case K::Comment:
        break;
      case K::Key:
      case K::Value:
        if (!AtOrBelowSafeBoot(line.key)) bad.push_back(line.text);
        break;
      default:
        bad.push_back(line.text);
    }
  }
  return bad;
}

void PlanSafeModeImport(const std::string& file, std::vector<TPlannedChange>* plan) {
  using K = inspect::TRegLine::Kind;
  const std::string text = inspect::ReadFileText(SafeModeFilePath(file));
  if (!LinesOutsideSafeBoot(text).empty()) return;  // never imported
  const size_t rootLength = std::string("HKEY_LOCAL_MACHINE\\").size();
  for (const inspect::TRegLine& line : inspect::ReadRegLines(text)) {
    if (line.kind != K::Key && line.kind != K::Value) continue;
    TPlannedChange change;
    change.kind = line.kind == K::Key ? TPlannedChange::Kind::Key : TPlannedChange::Kind::Value;
    change.root = platform::kHkeyLocalMachine;
    change.keyPath = line.key.substr(rootLength);
    change.valueName = line.name;
    plan->push_back(change);
  }
}

bool StartSafeModeImport(const std::string& file) {
  const std::string path = SafeModeFilePath(file);
  if (!LinesOutsideSafeBoot(inspect::ReadFileText(path)).empty()) return false;
  // The Registry Editor of the Windows folder: a bare name would be looked for beside us first.
  return platform::Sh().ShellExecute(0, "open", inspect::GetWindowsDir() + "\\regedit.exe", "/S \"" + path + "\"", "",
                                     win::kSwShow);
}

}  // namespace restorer
