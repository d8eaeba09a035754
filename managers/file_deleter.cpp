#include "managers/file_deleter.h"

#include <algorithm>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "inspect/text.h"
#include "managers/backups.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace managers {

namespace win = platform::win;
using platform::Reg;

namespace {

constexpr std::string_view kSessionManagerPath = inspect::keys::KeyPathOf(inspect::keys::kSessionManager);
constexpr const char* kNativePrefix = "\\??\\";

std::string TrimTrailingBlanks(std::string text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return text;
}

// Equal but for the letter case of ASCII letters.
bool SameText(const std::u16string& a, const std::u16string& b) {
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
           return fold(x) == fold(y);
         });
}

}  // namespace

bool ParsePendingOperations(const std::vector<uint8_t>& data, std::vector<TPendingOperation>& list) {
  list.clear();
  if (data.size() % 2 != 0) return false;  // not UTF-16
  std::vector<std::u16string> strings;
  std::u16string current;
  for (size_t i = 0; i < data.size(); i += 2) {
    const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) {
      strings.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) strings.push_back(std::move(current));  // the last string lacks its NUL
  // The empty string that ends the list. A list written without it still reads as its pairs:
  // its last source then has the empty destination its final zero gives it.
  if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
  if (strings.size() % 2 == 1) return false;
  for (size_t i = 0; i < strings.size(); i += 2) {
    if (strings[i].empty()) return false;
    list.push_back({strings[i], strings[i + 1]});
  }
  return true;
}

std::vector<uint8_t> PendingOperationsBytes(const std::vector<TPendingOperation>& list) {
  std::vector<uint8_t> bytes;
  auto put = [&](char16_t c) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  };
  for (const TPendingOperation& op : list) {
    for (const std::u16string* text : {&op.source, &op.destination}) {
      for (char16_t c : *text) put(c);
      put(0);
    }
  }
  put(0);
  return bytes;
}

TPendingRead ReadPendingOperations(std::vector<TPendingOperation>& list) {
  list.clear();
  platform::ScopedKey key;
  uint32_t rc = Reg().OpenKey(platform::kHkeyLocalMachine, std::string(kSessionManagerPath), win::kKeyRead, key.out());
  if (rc == win::kErrorFileNotFound) return TPendingRead::Absent;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (rc == win::kErrorSuccess) rc = Reg().QueryValueW(key.get(), kPendingOperationsValueW, &type, &data);
  if (rc == win::kErrorFileNotFound) return TPendingRead::Absent;
  if (rc != win::kErrorSuccess) return TPendingRead::Unreadable;
  if (type != win::kRegMultiSz || !ParsePendingOperations(data, list)) {
    list.clear();
    return TPendingRead::Malformed;
  }
  return TPendingRead::Read;
}

bool WritePendingOperations(const std::vector<TPendingOperation>& list) {
  platform::ScopedKey key;
  if (Reg().OpenKey(platform::kHkeyLocalMachine, std::string(kSessionManagerPath), win::kKeyWrite, key.out()) !=
      win::kErrorSuccess) {
    return false;
  }
  const std::vector<uint8_t> bytes = PendingOperationsBytes(list);
  return Reg().SetValueW(key.get(), kPendingOperationsValueW, win::kRegMultiSz, bytes.data(),
                         static_cast<uint32_t>(bytes.size())) == win::kErrorSuccess;
}

bool ScheduleDeleteOnReboot(const std::string& path) {
  if (platform::Sys().GetVersion().major < 5) return false;
  std::vector<TPendingOperation> list;
  const TPendingRead read = ReadPendingOperations(list);
  if (read == TPendingRead::Malformed || read == TPendingRead::Unreadable) return false;
  const std::u16string source = platform::Sys().AnsiToWide(kNativePrefix + TrimTrailingBlanks(path));
  // An earlier delete of the same file is replaced; a rename of it by another program stays.
  std::erase_if(list, [&](const TPendingOperation& op) { return op.destination.empty() && SameText(op.source, source); });
  list.push_back({source, u""});
  if (read == TPendingRead::Read &&
      !KeepRegistryValue(platform::kHkeyLocalMachine, std::string(kSessionManagerPath), kPendingOperationsValue,
                         kPendingOperationsValue)) {
    return false;
  }
  return WritePendingOperations(list);
}

TFileDeleteResult DeleteFileNowOrAtReboot(const std::string& path, inspect::TPrompter& prompter) {
  constexpr uint32_t kInfo = win::kMbOk | win::kMbIconInformation | win::kMbTopmost;
  constexpr uint32_t kWarning = win::kMbOk | win::kMbIconWarning | win::kMbTopmost;
  if (path.empty() || !inspect::FileExists(path)) {
    prompter.Prompt(inspect::Lng(216), "Warning", kWarning);
    return TFileDeleteResult::NotFound;
  }
  if (platform::Fs().DeleteFile(path)) {
    prompter.Prompt(inspect::Lng(213), "Info", kInfo);
    return TFileDeleteResult::Deleted;
  }
  if (ScheduleDeleteOnReboot(path)) {
    prompter.Prompt(inspect::Lng(214), "Info", kInfo);
    return TFileDeleteResult::DeletedAtReboot;
  }
  prompter.Prompt(inspect::Lng(215), "Warning", kWarning);
  return TFileDeleteResult::Failed;
}

}  // namespace managers
