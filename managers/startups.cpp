#include "managers/startups.h"

#include <cstdio>

#include "inspect/files.h"
#include "inspect/lang.h"
#include "inspect/paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "inspect/reg_file.h"
#include "managers/backups.h"
#include "managers/shell_actions.h"

namespace managers {

namespace win = platform::win;
using platform::Reg;

namespace {

constexpr size_t kMaxShownBytes = 64;

std::string HexList(const std::vector<uint8_t>& data) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size() && i < kMaxShownBytes; ++i) {
    std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
    out += byte;
  }
  if (data.size() > kMaxShownBytes) out += " ...";
  return out;
}

std::string UpToNul(const std::vector<uint8_t>& data) {
  std::string text(data.begin(), data.end());
  return text.substr(0, text.find('\0'));
}

uint64_t LittleEndian(const std::vector<uint8_t>& data) {
  uint64_t value = 0;
  for (size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
  return value;
}

std::string MultiText(const std::vector<uint8_t>& data) {
  std::string out;
  std::string item;
  for (uint8_t c : data) {
    if (c != 0) {
      item += static_cast<char>(c);
      continue;
    }
    if (item.empty()) continue;
    out += (out.empty() ? "" : " | ") + item;
    item.clear();
  }
  if (!item.empty()) out += (out.empty() ? "" : " | ") + item;
  return out;
}

std::string WithType(const char* typeName, const std::string& content) {
  return content.empty() ? std::string(typeName) + ":" : std::string(typeName) + ": " + content;
}

bool IsStringType(uint32_t type) { return type == win::kRegSz || type == win::kRegExpandSz; }

std::string SuccessPrefix() {
  // The entry has no English text of its own; a language file may give one.
  const std::string word = inspect::Lng(201);
  return word.empty() ? "Value" : word;
}

}  // namespace

std::string StartupDataText(uint32_t type, const std::vector<uint8_t>& data) {
  char number[48];
  switch (type) {
    case win::kRegSz:
    case win::kRegExpandSz:
      return UpToNul(data);
    case win::kRegDword:
      if (data.size() != 4) break;
      std::snprintf(number, sizeof number, "0x%08X (%u)", static_cast<unsigned>(LittleEndian(data)),
                    static_cast<unsigned>(LittleEndian(data)));
      return WithType("REG_DWORD", number);
    case win::kRegQword:
      if (data.size() != 8) break;
      std::snprintf(number, sizeof number, "0x%016llX (%llu)", static_cast<unsigned long long>(LittleEndian(data)),
                    static_cast<unsigned long long>(LittleEndian(data)));
      return WithType("REG_QWORD", number);
    case win::kRegMultiSz:
      return WithType("REG_MULTI_SZ", MultiText(data));
    case win::kRegBinary:
      return WithType("REG_BINARY", HexList(data));
    case win::kRegNone:
      return WithType("REG_NONE", HexList(data));
    default:
      break;
  }
  std::snprintf(number, sizeof number, "type %u", static_cast<unsigned>(type));
  return WithType(number, HexList(data));
}

void ListRunKeyValues(const std::string& keyPath, platform::RegKey root, std::vector<TStartupRow>& rows) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  inspect::TReaderKey key(root, keyPath);
  if (!key.ok()) return;
  // Each value with its data at one index: looking every name up again would make a key of
  // many values cost the square of their number.
  const platform::RegKey handle = key.reader().CurrentKey();
  for (uint32_t index = 0;; ++index) {
    TStartupRow row;
    row.keyText = keyText;
    uint32_t type = win::kRegNone;
    std::vector<uint8_t> data;
    const uint32_t rc = Reg().EnumValueData(handle, index, &row.name, &type, &data);
    if (rc == win::kErrorNoMoreItems) break;
    if (rc != win::kErrorSuccess) {
      // A value that cannot be read is listed by its name with empty data.
      if (Reg().EnumValue(handle, index, &row.name) != win::kErrorSuccess) break;
      rows.push_back(std::move(row));
      continue;
    }
    row.data = StartupDataText(type, data);
    if (IsStringType(type) && !row.data.empty()) {
      row.file = inspect::ExeFromCommandLine(row.data);
      row.fileExists = !row.file.empty() && inspect::FileExists(row.file);
    }
    rows.push_back(std::move(row));
  }
}

std::vector<TStartupRow> FillStartupList() {
  std::vector<TStartupRow> rows;
  for (const TRunKey& key : kStartupKeys) ListRunKeyValues(key.path, key.root, rows);
  return rows;
}

TDeleteResult DeleteStartupItem(const TStartupRow* selected, inspect::TPrompter& prompter) {
  if (!selected) {
    prompter.Prompt(inspect::Lng(200), "Error", win::kMbOk | win::kMbIconError);
    return TDeleteResult::NoSelection;
  }
  const platform::RegKey root = inspect::RootKeyFromName(inspect::RootPartOf(selected->keyText));
  const std::string keyPath = inspect::KeyPartOf(selected->keyText);
  inspect::TReaderKey key(root, "\\" + keyPath);
  if (!key.ok()) return TDeleteResult::KeyMissing;
  const bool savable = inspect::RegValueNameFits(selected->name);
  if (!savable && prompter.Prompt(kNoBackupWarning, "Warning",
                                  win::kMbYesNo | win::kMbIconWarning | win::kMbTopmost) != win::kIdYes) {
    return TDeleteResult::Cancelled;
  }
  const bool kept = !savable || KeepRegistryValue(root, keyPath, selected->name, "startup");
  if (kept && Reg().DeleteValue(key.reader().CurrentKey(), selected->name) == win::kErrorSuccess) {
    prompter.Prompt(SuccessPrefix() + " " + selected->name + " " + inspect::Lng(202), "Info",
                    win::kMbOk | win::kMbIconInformation | win::kMbTopmost);
    return TDeleteResult::Deleted;
  }
  prompter.Prompt(inspect::Lng(203) + " " + selected->name, "Warning",
                  win::kMbOk | win::kMbIconWarning | win::kMbTopmost);
  return TDeleteResult::Failed;
}

TStartupMenu StartupMenuState(const TStartupRow* focused) {
  TStartupMenu menu;
  menu.deleteItem = focused != nullptr;
  menu.openFolder = menu.properties = focused && !focused->data.empty() && !focused->file.empty();
  return menu;
}

bool OpenStartupFolder(const TStartupRow* focused) {
  return StartupMenuState(focused).openFolder && OpenContainingFolder(focused->file);
}

bool ShowStartupFileProperties(uintptr_t window, const TStartupRow* focused) {
  return StartupMenuState(focused).properties && inspect::ShowFileProperties(window, focused->file);
}

}  // namespace managers
