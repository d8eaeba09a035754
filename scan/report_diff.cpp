#include "scan/report_diff.h"

#include <algorithm>
#include <map>

#include "scan/report_json.h"

namespace scan {

namespace {

// An entry as compared (its normalised text) and as printed (its lines).
struct TKeyed {
  std::string key;
  const std::vector<std::string>* lines;
};

struct TSide {
  std::string title;
  std::vector<TKeyed> entries;
};

bool StartsWith(const std::string& s, const std::string& prefix) {
  return !prefix.empty() && s.compare(0, prefix.size(), prefix) == 0;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

std::string KeyOf(const TReportEntry& entry, bool exact) {
  if (!exact && entry.kind == TEntryKind::File) {
    TReportEntry timeless = entry;
    timeless.created.clear();
    return FileLineOf(timeless);
  }
  return Joined(entry.lines);
}

// The sections of a model under names unique within it, with the header and footer as two more.
std::vector<std::pair<std::string, TSide>> Sides(const TReportModel& model, const TReportWords& words, bool exact) {
  std::vector<std::pair<std::string, TSide>> sides;
  auto plain = [&](const char* name, const std::vector<std::string>& lines, const std::string& changing) {
    TSide side{name, {}};
    for (const std::string& line : lines) {
      if (line.empty() || (!exact && StartsWith(line, changing))) continue;
      side.entries.push_back({line, nullptr});
    }
    sides.emplace_back(std::string("\x01") + name, std::move(side));
  };
  plain("(header)", model.header, words.logCreated);
  std::map<std::string, int> seen;
  for (const TReportSection& section : model.sections) {
    TSide side{section.title, {}};
    for (const TReportEntry& entry : section.entries) {
      if (entry.kind == TEntryKind::Text && entry.lines.size() == 1 && entry.lines[0].empty()) continue;
      side.entries.push_back({KeyOf(entry, exact), &entry.lines});
    }
    sides.emplace_back(section.title + "\x01" + std::to_string(seen[section.title]++), std::move(side));
  }
  plain("(footer)", model.footer, words.finish);
  return sides;
}

// The entries of `from` left over once each entry of `minus` has taken one equal to it; sorted.
std::vector<TKeyed> Missing(std::vector<TKeyed> from, std::vector<TKeyed> minus) {
  auto byKey = [](const TKeyed& a, const TKeyed& b) { return a.key < b.key; };
  std::sort(from.begin(), from.end(), byKey);
  std::sort(minus.begin(), minus.end(), byKey);
  std::vector<TKeyed> left;
  std::set_difference(from.begin(), from.end(), minus.begin(), minus.end(), std::back_inserter(left), byKey);
  return left;
}

void Print(std::string& out, const char* sign, const TKeyed& entry) {
  if (!entry.lines) {
    out += sign + entry.key + "\r\n";
    return;
  }
  size_t count = entry.lines->size();
  while (count > 1 && (*entry.lines)[count - 1].empty()) --count;  // a value entry's closing line
  for (size_t i = 0; i < count; ++i) out += sign + (*entry.lines)[i] + "\r\n";
}

}  // namespace

std::optional<TReportModel> LoadReportModel(const std::string& bytes, const TReportWords& utf8Words,
                                            std::string* error) {
  size_t first = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  first = bytes.find_first_not_of(" \t\r\n", first);
  if (first != std::string::npos && bytes[first] == '{') {
    return ReportModelFromJson(std::string_view(bytes).substr(first), utf8Words, error);
  }
  return ParseReportText(ToUtf8(bytes), utf8Words);
}

std::string DiffReports(const TReportModel& before, const TReportModel& after, const TReportWords& utf8Words,
                        bool exact) {
  const auto oldSides = Sides(before, utf8Words, exact);
  const auto newSides = Sides(after, utf8Words, exact);
  // The sections in the order of the new report, then those only the old one has; the footer last.
  std::vector<std::string> order;
  for (const auto& [name, side] : newSides) order.push_back(name);
  order.pop_back();
  for (const auto& [name, side] : oldSides) {
    if (std::find(order.begin(), order.end(), name) == order.end() && &side != &oldSides.back().second) {
      order.push_back(name);
    }
  }
  order.push_back(newSides.back().first);
  auto find = [](const std::vector<std::pair<std::string, TSide>>& sides, const std::string& name) -> const TSide* {
    for (const auto& [n, side] : sides) {
      if (n == name) return &side;
    }
    return nullptr;
  };

  std::string out;
  size_t appeared = 0, disappeared = 0;
  const TSide none;
  for (const std::string& name : order) {
    const TSide* oldSide = find(oldSides, name);
    const TSide* newSide = find(newSides, name);
    const std::vector<TKeyed> gone = Missing((oldSide ? oldSide : &none)->entries, (newSide ? newSide : &none)->entries);
    const std::vector<TKeyed> come = Missing((newSide ? newSide : &none)->entries, (oldSide ? oldSide : &none)->entries);
    if (gone.empty() && come.empty()) continue;
    out += "[+] " + (newSide ? newSide : oldSide)->title + "\r\n";
    for (const TKeyed& entry : gone) Print(out, "- ", entry);
    for (const TKeyed& entry : come) Print(out, "+ ", entry);
    out += "\r\n";
    appeared += come.size();
    disappeared += gone.size();
  }
  out += std::to_string(appeared) + " appeared, " + std::to_string(disappeared) + " disappeared\r\n";
  return out;
}

}  // namespace scan
