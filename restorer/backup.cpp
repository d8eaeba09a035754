#include "restorer/backup.h"

#include <cstdio>
#include <optional>

#include "inspect/files.h"
#include "inspect/system.h"
#include "platform/handles.h"
#include "inspect/reg_file.h"

namespace restorer {

namespace win = platform::win;
using platform::Reg;
using platform::RegKey;

namespace {

// Windows refuses deeper keys; a loop in a broken registry ends here too.
constexpr int kMaxDepth = 512;
constexpr const char* kNewline = "\r\n";

std::string Join(const std::string& keyPath, const std::string& sub) {
  return keyPath.empty() ? sub : keyPath + "\\" + sub;
}

std::string UnreadableLine(RegKey root, const std::string& keyPath) {
  return "; not saved, cannot be read: " + inspect::RegKeyLine(root, keyPath);
}

struct TBackupWriter {
  std::string text;
  std::vector<std::string> removals;  // each key removal once, however many changes lie below it

  void Section(const std::string& head, const std::vector<std::string>& lines) {
    if (lines.empty()) {
      for (const std::string& r : removals) {
        if (r == head) return;
      }
      removals.push_back(head);
    }
    text += head + kNewline;
    for (const std::string& line : lines) text += line + kNewline;
    text += kNewline;
  }

  // The first key of the path that does not exist; empty when the whole path exists, nullopt
  // when a key on the way cannot be opened for another reason.
  std::optional<std::string> FirstMissingKey(RegKey root, const std::string& keyPath) {
    std::string path;
    size_t start = 0;
    while (start <= keyPath.size()) {
      size_t end = keyPath.find('\\', start);
      if (end == std::string::npos) end = keyPath.size();
      path = keyPath.substr(0, end);
      platform::ScopedKey key;
      const uint32_t rc = Reg().OpenKey(root, path, win::kKeyRead, key.out());
      if (rc == win::kErrorFileNotFound || rc == win::kErrorPathNotFound) return path;
      if (rc != win::kErrorSuccess) return std::nullopt;
      start = end + 1;
    }
    return std::string();
  }

  void SaveValue(const TPlannedChange& c) {
    const std::optional<std::string> missing = FirstMissingKey(c.root, c.keyPath);
    if (!missing) {
      text += UnreadableLine(c.root, c.keyPath) + kNewline + kNewline;
      return;
    }
    if (!missing->empty()) {
      Section(inspect::RegKeyLine(c.root, *missing, true), {});
      return;
    }
    if (c.kind == TPlannedChange::Kind::Key) return;
    platform::ScopedKey key;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    uint32_t rc = Reg().OpenKey(c.root, c.keyPath, win::kKeyRead, key.out());
    if (rc == win::kErrorSuccess) rc = Reg().QueryValue(key.get(), c.valueName, &type, &data);
    if (rc == win::kErrorFileNotFound) {
      Section(inspect::RegKeyLine(c.root, c.keyPath), {inspect::RegDeletedValueLine(c.valueName)});
    } else if (rc == win::kErrorSuccess) {
      const std::string line = inspect::RegValueLine(c.valueName, type, data);
      if (line.empty()) {
        text += UnreadableLine(c.root, c.keyPath) + kNewline + kNewline;
      } else {
        Section(inspect::RegKeyLine(c.root, c.keyPath), {line});
      }
    } else {
      text += UnreadableLine(c.root, c.keyPath) + kNewline + kNewline;
    }
  }

  void SaveTree(RegKey root, const std::string& keyPath, int depth) {
    // A key whose name the file cannot carry, with everything below it, is named in no line.
    if (inspect::RegKeyLine(root, keyPath).empty()) {
      text += std::string("; not saved, a key name below cannot be written in this file") + kNewline + kNewline;
      return;
    }
    platform::ScopedKey key;
    const uint32_t rc = Reg().OpenKey(root, keyPath, win::kKeyRead, key.out());
    if (rc == win::kErrorFileNotFound || rc == win::kErrorPathNotFound) return;  // nothing to lose
    if (rc != win::kErrorSuccess || depth > kMaxDepth) {
      text += UnreadableLine(root, keyPath) + kNewline + kNewline;
      return;
    }
    std::vector<std::string> lines;
    for (uint32_t i = 0;; ++i) {
      std::string name;
      if (Reg().EnumValue(key.get(), i, &name) != win::kErrorSuccess) break;
      uint32_t type = 0;
      std::vector<uint8_t> data;
      const std::string line = Reg().QueryValue(key.get(), name, &type, &data) == win::kErrorSuccess
                                   ? inspect::RegValueLine(name, type, data)
                                   : "";
      lines.push_back(line.empty() ? "; a value of this key cannot be read" : line);
    }
    Section(inspect::RegKeyLine(root, keyPath), lines);
    std::vector<std::string> subkeys;
    for (uint32_t i = 0;; ++i) {
      std::string name;
      if (Reg().EnumKey(key.get(), i, &name) != win::kErrorSuccess) break;
      subkeys.push_back(name);
    }
    key.Reset();
    for (const std::string& sub : subkeys) SaveTree(root, Join(keyPath, sub), depth + 1);
  }
};

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n % 100);
  return text;
}

}  // namespace

std::string BackupText(const std::vector<TPlannedChange>& changes) {
  TBackupWriter writer;
  writer.text = std::string(inspect::kRegFileHeader) + kNewline + kNewline;
  std::vector<TPlannedChange> done;
  for (const TPlannedChange& c : changes) {
    if (inspect::RegKeyLine(c.root, c.keyPath).empty()) continue;
    bool seen = false;
    for (const TPlannedChange& d : done) seen = seen || d == c;
    if (seen) continue;
    done.push_back(c);
    if (c.kind != TPlannedChange::Kind::KeyTree) {
      writer.SaveValue(c);
    } else {
      writer.SaveTree(c.root, c.keyPath, 0);
    }
  }
  return writer.text;
}

std::string NewBackupPath() {
  const platform::LocalTime t = platform::Sys().GetLocalTime();
  const std::string stem = inspect::GetAppDir() + "Backups\\restorer_" + std::to_string(t.year) + "-" +
                           TwoDigits(t.month) + "-" + TwoDigits(t.day) + "_" + TwoDigits(t.hour) + "-" +
                           TwoDigits(t.minute) + "-" + TwoDigits(t.second);
  std::string path = stem + ".reg";
  for (int n = 2; inspect::FileExists(path) && n < 1000; ++n) path = stem + "_" + std::to_string(n) + ".reg";
  return path;
}

}  // namespace restorer
