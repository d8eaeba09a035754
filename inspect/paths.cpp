#include "inspect/paths.h"

#include <algorithm>

#include "inspect/files.h"
#include "inspect/system.h"
#include "platform/platform.h"

namespace inspect {
namespace {

using platform::Fs;
namespace win = platform::win;

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Position of `needle` (lower case) in `text` ignoring case; npos when absent.
size_t FindNoCase(const std::string& text, const std::string& needle) { return LowerAscii(text).find(needle); }

std::string WithoutQuotes(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  return text;
}

// Every occurrence of `from` (lower case, matched ignoring case) replaced in one left-to-right pass.
std::string ReplaceAllNoCase(const std::string& text, const std::string& from, const std::string& to) {
  const std::string lower = LowerAscii(text);
  std::string out;
  size_t at = 0;
  for (size_t hit; (hit = lower.find(from, at)) != std::string::npos; at = hit + from.size()) {
    out.append(text, at, hit - at);
    out += to;
  }
  out.append(text, at, std::string::npos);
  return out;
}

bool IsBlank(char c) { return c >= 1 && c <= ' '; }

// The command-line rules shared by the program and module forms, after the cut at the extension.
std::string ResolveCommandPath(std::string text) {
  // A path that begins with a drive cannot name a file inside another folder: no probe for it,
  // which on Wine costs a scan of the whole system folder.
  const bool fromDrive = text.size() >= 2 && text[1] == ':';
  if (!fromDrive && text.find(":/") == std::string::npos && text.find('%') == std::string::npos) {
    if (const std::string inSystem = GetSystemDir() + "\\" + text; FileExists(inSystem)) {
      text = inSystem;
    } else if (const std::string inWindows = GetWindowsDir() + "\\" + text; FileExists(inWindows)) {
      text = inWindows;
    }
  }
  if (FindNoCase(text, "%systemroot%") != std::string::npos) {
    text = GetWindowsDir() + text.substr(12);
  }
  if (FindNoCase(text, "%programfiles%\\") != std::string::npos) {
    text = GetSpecialFolder(win::kCsidlProgramFiles) + "\\" + text.substr(15);
  }
  return text;
}

// Cuts the text right after the first `extension` (lower case); false when it has none.
bool CutAfter(std::string& text, const std::string& extension) {
  const size_t at = FindNoCase(text, extension);
  if (at == std::string::npos) return false;
  text.resize(at + extension.size());
  return true;
}

// The mode-2 cut: from one character before the first ":" (clamped to the start), `length` characters.
std::string CutFromDrive(const std::string& text, size_t length) {
  const size_t colon = text.find(':');
  const size_t start = colon == std::string::npos || colon == 0 ? 0 : colon - 1;
  return text.substr(start, length);
}

}  // namespace

std::string ExeFromCommandLine(const std::string& text) {
  std::string path = WithoutQuotes(text);
  CutAfter(path, ".exe");
  return ResolveCommandPath(path);
}

std::string ModuleFromCommandLine(const std::string& text) {
  std::string path = WithoutQuotes(text);
  if (!CutAfter(path, ".exe")) CutAfter(path, ".dll");
  return ResolveCommandPath(path);
}

std::string ExpandNtPath(const std::string& path) {
  std::string result = path.rfind("\\??\\", 0) == 0 ? path.substr(4) : path;
  if (LowerAscii(result.substr(0, 12)) == "\\systemroot\\") result = GetWindowsDir() + result.substr(11);
  return result;
}

std::string ServiceImageToFile(const std::string& imagePath, int mode) {
  const std::string text = LowerAscii(imagePath);
  if (text.empty()) return "";
  if (mode == 1) {
    if (text.find("\\??\\") != std::string::npos) return text.substr(std::min<size_t>(4, text.size()), 255);
    const std::string drive = LowerAscii(GetSystemDrive());
    std::string result = !drive.empty() && text.find(drive) != std::string::npos ? text : GetWindowsDir() + "\\" + text;
    result = ReplaceAllNoCase(result, "\\systemroot\\", "\\");
    return ReplaceAllNoCase(result, "\\\\", "\\");
  }
  if (mode != 2) return "";
  const std::string line = WithoutQuotes(text);
  std::string result;
  if (const size_t exe = line.find(".exe"); exe != std::string::npos) {
    result = CutFromDrive(line, exe + 1 + 4);
  } else if (const size_t host = line.find("svchost -k"); host != std::string::npos) {
    result = CutFromDrive(line, host + 1 + 6) + ".exe";
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

std::string RightChars(const std::string& text, size_t n) {
  return n >= text.size() ? text : text.substr(text.size() - n);
}

size_t PosFrom(const std::string& sub, const std::string& text, size_t start) {
  if (start < 1 || start > text.size() || sub.empty()) return 0;
  const size_t at = text.find(sub, start - 1);
  return at == std::string::npos ? 0 : at + 1;
}

void SplitText(char delimiter, const std::string& text, std::vector<std::string>& list) {
  list.clear();
  const size_t end = text.size();
  size_t p = 0;
  auto skipBlanks = [&] {
    while (p < end && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < end) {
    std::string item;
    if (text[p] == '"') {
      // Quoted item: a doubled quote stands for one; an unclosed quote runs to the end.
      for (++p; p < end; ++p) {
        if (text[p] != '"') {
          item += text[p];
        } else if (p + 1 < end && text[p + 1] == '"') {
          item += '"';
          ++p;
        } else {
          ++p;
          break;
        }
      }
    } else {
      const size_t first = p;
      while (p < end && !IsBlank(text[p]) && text[p] != delimiter) ++p;
      item.assign(text, first, p - first);
    }
    list.push_back(std::move(item));
    skipBlanks();
    if (p < end && text[p] == delimiter) {
      if (p + 1 == end) list.emplace_back();
      ++p;
      skipBlanks();
    }
  }
}

std::string LastPathPart(const std::string& path) {
  std::vector<std::string> items;
  SplitText('\\', path, items);
  return items.empty() ? std::string() : items.back();
}

std::string ParentPathOf(const std::string& path) {
  std::vector<std::string> items;
  SplitText('\\', path, items);
  std::string parent;
  for (size_t i = 0; i + 1 < items.size(); ++i) parent += items[i] + "\\";
  return parent;
}

// An empty folder gives the name alone: "\" + name would point at the root of the current drive.
std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace inspect
