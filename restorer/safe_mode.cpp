#include "restorer/safe_mode.h"

#include <string>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/system.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "inspect/reg_file.h"

namespace restorer {

namespace {

namespace win = platform::win;

// How long the Registry Editor may take over a Safe Mode file.
constexpr uint32_t kImportTimeout = 60000;

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
  // Read once: the bytes checked are the bytes imported, whatever becomes of the file beside us.
  const std::string text = inspect::ReadFileText(SafeModeFilePath(file));
  if (text.empty() || !LinesOutsideSafeBoot(text).empty()) return false;
  return ImportRegistryText(text);
}

bool ImportRegistryText(const std::string& text) {
  auto& fs = platform::Fs();
  const std::string temp = inspect::GetTempDir();
  std::string path;
  platform::ScopedFile copy;
  for (uint32_t attempt = 0; attempt < 16 && !copy.ok(); ++attempt) {
    path = temp + "bs-import-" + std::to_string(platform::Procs().GetCurrentProcessId()) + "-" +
           std::to_string(platform::Sys().GetTickCount() + attempt) + ".reg";
    copy.Reset(fs.CreatePrivateFile(path));
  }
  if (!copy.ok()) return false;
  bool written = true;
  for (size_t at = 0; written && at < text.size();) {
    uint32_t put = 0;
    written = fs.WriteFile(copy.get(), text.data() + at, static_cast<uint32_t>(text.size() - at), &put) && put > 0;
    at += put;
  }
  written = written && fs.FlushFileBuffers(copy.get());
  // The copy stays open (never shared for deleting or renaming) until the Registry Editor has
  // ended: nobody can put another file in its place meanwhile.
  uint32_t exitCode = 0;
  const bool imported =
      written && platform::Sh().ShellExecuteWait(inspect::GetWindowsDir() + "\\regedit.exe", "/S \"" + path + "\"",
                                                 win::kSwShow, kImportTimeout, &exitCode);
  copy.Reset();
  fs.DeleteFile(path);
  return imported;
}

}  // namespace restorer
