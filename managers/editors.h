// The hosts file and the four boot files, edited as plain text: load, save and Notepad.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "inspect/prompt.h"

namespace managers {

enum class TEditorFile { Hosts, SystemIni, WinIni, AutoexecBat, BootIni };

// The editors in page order: the hosts page, then the boot-file sub-pages.
inline constexpr std::array<TEditorFile, 5> kEditorFiles{TEditorFile::Hosts, TEditorFile::SystemIni,
                                                         TEditorFile::WinIni, TEditorFile::AutoexecBat,
                                                         TEditorFile::BootIni};

std::string EditorFilePath(TEditorFile file);

// The text a field shows after loading; nullopt when the field keeps what it shows (a missing
// hosts file). A missing or unreadable boot file loads as empty text.
std::optional<std::string> LoadEditorText(TEditorFile file);

// The field's text as it is written: every line ended by CR LF (a last line without a break
// gains one; CR LF, a lone CR and a lone LF each end a line).
std::string EditorFileBytes(const std::string& fieldText);

// Writes the field over the file, keeping the previous file in the backups first. The file is
// replaced whole or not at all; a read-only, hidden or system file is refused. A failure is
// reported through `prompter` with the file and the system's reason. Returns the Windows code.
uint32_t SaveEditorText(TEditorFile file, const std::string& fieldText, inspect::TPrompter& prompter);

// Starts Notepad on the file: the hosts editor only when the file exists, the boot files always.
bool OpenInNotepad(TEditorFile file);

}  // namespace managers
