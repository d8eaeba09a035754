#include "scan/report_model.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "inspect/lang.h"
#include "scan/frame.h"

namespace scan {

namespace {

constexpr std::string_view kLocked = " (LOCKED)";
constexpr std::string_view kHidden = " (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)";
constexpr std::string_view kClsid = "CLSID: ";
constexpr std::string_view kColumn = " -> ";
constexpr size_t kDigestLength = 32;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
std::string Labelled(const std::string& label) { return label + ": "; }

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

// Splits an item at its CR LF pairs; "a\r\n" gives "a" and "".
std::vector<std::string> ItemLines(const std::string& item) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = item.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(item.substr(start, end - start));
  }
  lines.push_back(item.substr(start));
  return lines;
}

bool IsDigest(std::string_view s) {
  return s.size() == kDigestLength &&
         std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// "<path> (<size> bytes) (<company>": the size is the first " (<digits> bytes) (" from the left,
// as company names (and not paths) are where further parentheses usually stand.
bool ParsePathSizeCompany(std::string_view s, TReportEntry& e) {
  constexpr std::string_view kBytes = " bytes) (";
  for (size_t at = s.find(kBytes); at != std::string_view::npos; at = s.find(kBytes, at + 1)) {
    size_t digits = at;
    while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') --digits;
    if (digits == at || digits < 2 || s.substr(digits - 2, 2) != " (") continue;
    uint64_t size = 0;
    const auto [end, error] = std::from_chars(s.data() + digits, s.data() + at, size);
    if (error != std::errc() || end != s.data() + at) continue;
    e.path = s.substr(0, digits - 2);
    e.size = size;
    e.company = s.substr(at + kBytes.size());
    return true;
  }
  return false;
}

// Strips "(<md5>)" from the end: the body before the digest and its " (" or ") (" separator.
bool TakeDigest(std::string_view& s, std::string_view separator, TReportEntry& e) {
  if (s.size() < kDigestLength + separator.size() + 1 || s.back() != ')') return false;
  const std::string_view digest = s.substr(s.size() - 1 - kDigestLength, kDigestLength);
  if (!IsDigest(digest)) return false;
  s.remove_suffix(1 + kDigestLength);
  if (!EndsWith(s, separator)) return false;
  s.remove_suffix(separator.size());
  e.digest = digest;
  return true;
}

bool ParseFileLine(std::string_view s, TReportEntry& e) {
  if (!TakeDigest(s, ") (", e) || s.size() < 4) return false;
  const std::string_view attributes = s.substr(s.size() - 4);
  if (!std::all_of(attributes.begin(), attributes.end(), [](char c) { return std::string_view("HSAR-").find(c) != std::string_view::npos; })) {
    return false;
  }
  s.remove_suffix(4);
  if (!EndsWith(s, ") (")) return false;
  s.remove_suffix(3);
  const size_t open = s.rfind(") (");
  if (open == std::string_view::npos) return false;
  const std::string_view created = s.substr(open + 3);
  if (created.find_first_of("()") != std::string_view::npos) return false;
  if (!ParsePathSizeCompany(s.substr(0, open), e)) return false;
  e.attributes = attributes;
  e.created = created;
  return true;
}

bool ParseShortFileLine(std::string_view s, TReportEntry& e) {
  return TakeDigest(s, ") (", e) && ParsePathSizeCompany(s, e);
}

bool ParseHookLine(const std::string& s, TReportEntry& e) {
  std::vector<std::string> columns;
  size_t start = 0;
  for (size_t at; (at = s.find(kColumn, start)) != std::string::npos; start = at + kColumn.size()) {
    columns.push_back(s.substr(start, at - start));
  }
  columns.push_back(s.substr(start));
  if (columns.size() != 4 || columns[1].find("->") == std::string::npos) return false;
  e.process = columns[0];
  e.function = columns[1];
  e.target = columns[2];
  e.hookKind = columns[3];
  return true;
}

// Clears what a failed reading left in the fields.
void ResetFields(TReportEntry& e) {
  std::vector<std::string> lines = std::move(e.lines);
  e = TReportEntry{};
  e.lines = std::move(lines);
}

// A file description line followed by a marker some sections add: " (<marker>)".
bool ParseMarkedFileLine(const std::string& s, TReportEntry& e) {
  const size_t open = s.rfind(" (");
  if (open == std::string::npos || s.back() != ')' || s.find_first_of("()", open + 2) != s.size() - 1) return false;
  if (!ParseFileLine(std::string_view(s).substr(0, open), e)) return false;
  e.marker = s.substr(open + 2, s.size() - open - 3);
  return true;
}

void ClassifyLine(TReportEntry& e) {
  const std::string& s = e.lines.front();
  if (EndsWith(s, kHidden) && s.size() > kHidden.size()) {
    e.kind = TEntryKind::Hidden;
    e.path = s.substr(0, s.size() - kHidden.size());
    return;
  }
  if (EndsWith(s, kLocked) && s.size() > kLocked.size()) {
    e.kind = TEntryKind::Locked;
    e.path = s.substr(0, s.size() - kLocked.size());
    return;
  }
  const struct {
    TEntryKind kind;
    bool (*parse)(const std::string&, TReportEntry&);
  } shapes[] = {
      {TEntryKind::File, [](const std::string& line, TReportEntry& x) { return ParseFileLine(line, x); }},
      {TEntryKind::File, ParseMarkedFileLine},
      {TEntryKind::ShortFile, [](const std::string& line, TReportEntry& x) { return ParseShortFileLine(line, x); }},
      {TEntryKind::Hook, ParseHookLine},
  };
  for (const auto& shape : shapes) {
    if (shape.parse(s, e)) {
      e.kind = shape.kind;
      return;
    }
    ResetFields(e);
  }
}

// The lines of a value entry: Value, Data and its further lines, an optional CLSID line, Key,
// and the empty line that ends the entry.
bool IsValueEntry(const std::vector<std::string>& lines, const TReportWords& words) {
  return lines.size() >= 4 && StartsWith(lines[0], Labelled(words.valueLabel)) &&
         StartsWith(lines[1], Labelled(words.dataLabel)) && lines.back().empty() &&
         StartsWith(lines[lines.size() - 2], Labelled(words.keyLabel));
}

void ReadValueEntry(TReportEntry& e, const TReportWords& words) {
  const auto& lines = e.lines;
  size_t keyLine = lines.size() - 2, dataEnd = keyLine;
  if (dataEnd > 2 && StartsWith(lines[dataEnd - 1], kClsid)) {
    --dataEnd;
    e.extra.push_back(lines[dataEnd]);
  }
  e.kind = TEntryKind::Value;
  e.value = lines[0].substr(words.valueLabel.size() + 2);
  e.data = lines[1].substr(words.dataLabel.size() + 2);
  for (size_t i = 2; i < dataEnd; ++i) e.data += "\r\n" + lines[i];
  e.key = lines[keyLine].substr(words.keyLabel.size() + 2);
}

// A line of text mode that opens a value entry: the lines up to and with the next empty one, when
// they make one; 0 otherwise.
size_t ValueEntryLength(const std::vector<std::string>& lines, size_t first, size_t end, const TReportWords& words) {
  if (first + 1 >= end || !StartsWith(lines[first], Labelled(words.valueLabel))) return 0;
  size_t blank = first;
  while (blank < end && !lines[blank].empty()) ++blank;
  if (blank == end) return 0;
  const std::vector<std::string> candidate(lines.begin() + first, lines.begin() + blank + 1);
  return IsValueEntry(candidate, words) ? candidate.size() : 0;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& items, const TReportWords& words, bool textMode)
      : items_(items), words_(words), textMode_(textMode) {}

  TReportModel Run() {
    TReportModel model;
    size_t end = items_.size();
    if (end >= 2 && items_[end - 2] == "---") {
      end -= 2;
    } else if (end >= 1 && items_[end - 1] == "---") {
      end -= 1;
    }
    model.footer.assign(items_.begin() + end, items_.end());

    size_t i = 0;
    while (i < end && !IsBanner(i, end)) model.header.push_back(items_[i++]);
    if (i < end) model.header.pop_back();  // the empty line before the first banner
    while (i < end) {
      TReportSection section;
      section.title = items_[i].substr(4);
      const size_t first = i + 2;  // after the banner's empty line
      size_t last = first;
      while (last < end && !IsBanner(last, end)) ++last;
      i = last;
      if (last > first && items_[last - 1].empty()) --last;  // the section's closing empty line
      AddEntries(section, first, last);
      model.sections.push_back(std::move(section));
    }
    return model;
  }

 private:
  // "[+] <title>" as an item of its own between empty items, with a title the words expect next
  // or later (sections whose gate is off are missing).
  bool IsBanner(size_t i, size_t end) {
    const std::string& item = items_[i];
    if (i == 0 || i + 1 >= end || !items_[i - 1].empty() || !items_[i + 1].empty() || !StartsWith(item, "[+] ") ||
        item.find('\n') != std::string::npos) {
      return false;
    }
    if (words_.titles.empty()) return true;
    const auto found = std::find(words_.titles.begin() + nextTitle_, words_.titles.end(), item.substr(4));
    if (found == words_.titles.end()) return false;
    nextTitle_ = static_cast<size_t>(found - words_.titles.begin()) + 1;
    return true;
  }

  void AddEntries(TReportSection& section, size_t first, size_t last) {
    for (size_t i = first; i < last;) {
      if (textMode_) {
        if (const size_t length = ValueEntryLength(items_, i, last, words_)) {
          section.entries.push_back(ClassifyEntry({items_.begin() + i, items_.begin() + i + length}, words_));
          i += length;
          continue;
        }
        section.entries.push_back(ClassifyEntry({items_[i]}, words_));
        ++i;
        continue;
      }
      std::vector<std::string> lines = ItemLines(items_[i++]);
      if (lines.size() == 1 || IsValueEntry(lines, words_)) {
        section.entries.push_back(ClassifyEntry(std::move(lines), words_));
      } else {
        for (std::string& line : lines) section.entries.push_back(ClassifyEntry({std::move(line)}, words_));
      }
    }
  }

  const std::vector<std::string>& items_;
  const TReportWords& words_;
  const bool textMode_;
  size_t nextTitle_ = 0;
};

}  // namespace

TReportWords CurrentReportWords(const TScanOptions* options) {
  TReportWords words;
  if (options) {
    for (const TSection& section : DefaultSections()) words.titles.push_back(SectionTitle(section, *options));
  }
  words.valueLabel = inspect::Lng(47);
  words.dataLabel = inspect::Lng(48);
  words.keyLabel = inspect::Lng(49);
  words.logCreated = inspect::Lng(70);
  words.finish = inspect::Lng(55);
  return words;
}

TReportModel ParseReportItems(const std::vector<std::string>& items, const TReportWords& words) {
  return Parser(items, words, false).Run();
}

TReportModel ParseReportText(const std::string& text, const TReportWords& words) {
  return Parser(SplitLines(text), words, true).Run();
}

TReportEntry ClassifyEntry(std::vector<std::string> lines, const TReportWords& words) {
  TReportEntry entry;
  entry.lines = std::move(lines);
  if (entry.lines.empty()) entry.lines.emplace_back();
  if (IsValueEntry(entry.lines, words)) {
    ReadValueEntry(entry, words);
  } else if (entry.lines.size() == 1) {
    ClassifyLine(entry);
  }
  return entry;
}

std::string FileLineOf(const TReportEntry& e) {
  std::string line = e.path + " (" + std::to_string(e.size) + " bytes) (" + e.company + ") (" + e.created + ") (" +
                     e.attributes + ") (" + e.digest + ")";
  if (!e.marker.empty()) line += " (" + e.marker + ")";
  return line;
}

std::string RenderReportText(const TReportModel& model) {
  std::string text;
  auto line = [&](const std::string& s) {
    text += s;
    text += "\r\n";
  };
  for (const auto& s : model.header) line(s);
  if (!model.sections.empty()) line("");
  for (const auto& section : model.sections) {
    line("[+] " + section.title);
    line("");
    for (const auto& entry : section.entries) {
      for (const auto& s : entry.lines) line(s);
    }
    line("");
  }
  for (const auto& s : model.footer) line(s);
  return text;
}

}  // namespace scan
