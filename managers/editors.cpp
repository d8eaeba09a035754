#include "managers/editors.h"

#include "inspect/files.h"
#include "inspect/save_file.h"
#include "inspect/system.h"
#include "managers/backups.h"
#include "platform/platform.h"

namespace managers {

namespace win = platform::win;

std::string EditorFilePath(TEditorFile file) {
  switch (file) {
    case TEditorFile::Hosts: return inspect::GetSystemDir() + "\\drivers\\etc\\hosts";
    case TEditorFile::SystemIni: return inspect::GetWindowsDir() + "\\system.ini";
    case TEditorFile::WinIni: return inspect::GetWindowsDir() + "\\win.ini";
    case TEditorFile::AutoexecBat: return inspect::GetSystemDrive() + "autoexec.bat";
    case TEditorFile::BootIni: return inspect::GetSystemDrive() + "boot.ini";
  }
  return "";
}

std::optional<std::string> LoadEditorText(TEditorFile file) {
  const std::string path = EditorFilePath(file);
  if (file == TEditorFile::Hosts && !inspect::FileExists(path)) return std::nullopt;
  return inspect::ReadFileText(path);
}

std::string EditorFileBytes(const std::string& fieldText) {
  std::string out;
  out.reserve(fieldText.size() + fieldText.size() / 16 + 2);
  size_t lineStart = 0;
  for (size_t i = 0; i < fieldText.size(); ++i) {
    const char c = fieldText[i];
    if (c != '\r' && c != '\n') continue;
    out.append(fieldText, lineStart, i - lineStart);
    out += "\r\n";
    if (c == '\r' && i + 1 < fieldText.size() && fieldText[i + 1] == '\n') ++i;
    lineStart = i + 1;
  }
  if (lineStart < fieldText.size()) {
    out.append(fieldText, lineStart, std::string::npos);
    out += "\r\n";
  }
  return out;
}

uint32_t SaveEditorText(TEditorFile file, const std::string& fieldText, inspect::TPrompter& prompter) {
  const std::string path = EditorFilePath(file);
  // Nothing is kept for a save that is refused anyway.
  uint32_t rc = inspect::SaveRefusal(path);
  if (rc == win::kErrorSuccess && !KeepFile(path)) {
    rc = platform::Sys().GetLastError();
    if (rc == win::kErrorSuccess) rc = win::kErrorAccessDenied;
  }
  if (rc == win::kErrorSuccess) rc = inspect::SaveFileReplacing(path, EditorFileBytes(fieldText));
  if (rc != win::kErrorSuccess) {
    prompter.Prompt("Cannot save \"" + path + "\". " + platform::Sys().FormatErrorMessage(rc), "Error",
                    win::kMbOk | win::kMbIconError | win::kMbTopmost);
  }
  return rc;
}

bool OpenInNotepad(TEditorFile file) {
  const std::string path = EditorFilePath(file);
  std::string notepad = inspect::GetWindowsDir() + "\\notepad";
  if (file == TEditorFile::Hosts) {
    if (!inspect::FileExists(path)) return false;
    notepad += ".exe";
  }
  return platform::Sh().ShellExecute(0, "open", notepad, path, "", win::kSwShow);
}

}  // namespace managers
