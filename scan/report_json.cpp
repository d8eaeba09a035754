#include "scan/report_json.h"

#include <algorithm>

#include "platform/platform.h"
#include "scan/json_text.h"

namespace scan {

namespace {

constexpr const char* kFormat = "burrow-sentry-report";

const char* KindName(TEntryKind kind) {
  switch (kind) {
    case TEntryKind::File: return "file";
    case TEntryKind::ShortFile: return "short_file";
    case TEntryKind::Locked: return "locked";
    case TEntryKind::Hidden: return "hidden";
    case TEntryKind::Value: return "value";
    case TEntryKind::Hook: return "hook";
    case TEntryKind::Text: break;
  }
  return "text";
}

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void Field(const char* name, std::string_view text) {
    Name(name);
    AppendJsonString(out_, text);
  }
  void Field(const char* name, uint64_t number) {
    Name(name);
    out_ += std::to_string(number);
  }
  void Strings(const char* name, const std::vector<std::string>& list) {
    Name(name);
    out_ += '[';
    for (size_t i = 0; i < list.size(); ++i) {
      if (i) out_ += ", ";
      AppendJsonString(out_, list[i]);
    }
    out_ += ']';
  }
  void Open(char bracket) {
    out_ += bracket;
    first_ = true;
  }
  void Close(char bracket) {
    out_ += bracket;
    first_ = false;
  }
  void Name(const char* name) {
    if (!first_) out_ += ", ";
    first_ = false;
    AppendJsonString(out_, name);
    out_ += ": ";
  }

 private:
  std::string& out_;
  bool first_ = true;
};

void WriteEntry(std::string& out, const TReportEntry& e) {
  Writer w(out);
  w.Open('{');
  w.Field("kind", KindName(e.kind));
  if (e.lines.size() == 1) {
    w.Field("line", e.lines.front());
  } else {
    w.Strings("lines", e.lines);
  }
  switch (e.kind) {
    case TEntryKind::File:
    case TEntryKind::ShortFile:
      w.Field("path", e.path);
      w.Field("size", e.size);
      w.Field("company", e.company);
      if (e.kind == TEntryKind::File) {
        w.Field("created", e.created);
        w.Field("attributes", e.attributes);
      }
      w.Field("digest", e.digest);
      if (!e.marker.empty()) w.Field("marker", e.marker);
      break;
    case TEntryKind::Locked:
    case TEntryKind::Hidden:
      w.Field("path", e.path);
      break;
    case TEntryKind::Value:
      w.Field("value", e.value);
      w.Field("data", e.data);
      w.Field("key", e.key);
      if (!e.extra.empty()) w.Strings("extra", e.extra);
      break;
    case TEntryKind::Hook:
      w.Field("process", e.process);
      w.Field("function", e.function);
      w.Field("target", e.target);
      w.Field("type", e.hookKind);
      break;
    case TEntryKind::Text:
      break;
  }
  w.Close('}');
}

// Lines of a member that is a string or a list of strings; false when it is neither.
bool LinesOf(const TJsonValue* value, std::vector<std::string>& lines) {
  if (!value) return false;
  if (const std::string* s = value->String()) {
    lines.push_back(*s);
    return true;
  }
  const std::vector<TJsonValue>* array = value->Array();
  if (!array) return false;
  for (const TJsonValue& item : *array) {
    const std::string* s = item.String();
    if (!s) return false;
    lines.push_back(*s);
  }
  return true;
}

}  // namespace

std::string ToUtf8(const std::string& ansi) {
  if (std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return ansi;
  std::string utf8 = platform::Sys().AnsiToUtf8(ansi);
  if (!utf8.empty()) return utf8;
  // The conversion failed: each byte as the character of its number, so that no line is lost.
  for (char c : ansi) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (b >> 6));
      utf8 += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return utf8;
}

TReportWords Utf8Words(const TReportWords& words) {
  TReportWords out;
  for (const std::string& title : words.titles) out.titles.push_back(ToUtf8(title));
  out.valueLabel = ToUtf8(words.valueLabel);
  out.dataLabel = ToUtf8(words.dataLabel);
  out.keyLabel = ToUtf8(words.keyLabel);
  out.logCreated = ToUtf8(words.logCreated);
  out.finish = ToUtf8(words.finish);
  return out;
}

TReportModel Utf8ReportModel(const TReport& report, const TReportWords& words) {
  std::vector<std::string> items;
  items.reserve(report.Count());
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(ToUtf8(report.Item(i)));
  return ParseReportItems(items, Utf8Words(words));
}

std::string ReportJson(const TReportModel& model) {
  std::string out;
  out.reserve(4096);
  out += "{\r\n  \"format\": \"";
  out += kFormat;
  out += "\",\r\n  \"version\": 1,\r\n  ";
  Writer(out).Strings("header", model.header);
  out += ",\r\n  \"sections\": [";
  for (size_t s = 0; s < model.sections.size(); ++s) {
    const TReportSection& section = model.sections[s];
    out += s ? ",\r\n    {\"title\": " : "\r\n    {\"title\": ";
    AppendJsonString(out, section.title);
    out += ", \"entries\": [";
    for (size_t e = 0; e < section.entries.size(); ++e) {
      out += e ? ",\r\n      " : "\r\n      ";
      WriteEntry(out, section.entries[e]);
    }
    out += section.entries.empty() ? "]}" : "\r\n    ]}";
  }
  out += model.sections.empty() ? "],\r\n  " : "\r\n  ],\r\n  ";
  Writer(out).Strings("footer", model.footer);
  out += "\r\n}\r\n";
  return out;
}

std::optional<TReportModel> ReportModelFromJson(std::string_view json, const TReportWords& utf8Words,
                                                std::string* error) {
  std::string parseError;
  const std::optional<TJsonValue> document = ParseJson(json, &parseError);
  if (!document) {
    *error = "not JSON: " + parseError;
    return std::nullopt;
  }
  auto notReport = [&](const std::string& what) {
    *error = "not a report: " + what;
    return std::nullopt;
  };
  const TJsonValue* format = document->Member("format");
  if (!format || !format->String() || *format->String() != kFormat) return notReport("no \"format\": \"" + std::string(kFormat) + "\"");
  TReportModel model;
  if (const TJsonValue* header = document->Member("header"); header && !LinesOf(header, model.header)) {
    return notReport("\"header\" is no list of lines");
  }
  if (const TJsonValue* footer = document->Member("footer"); footer && !LinesOf(footer, model.footer)) {
    return notReport("\"footer\" is no list of lines");
  }
  const TJsonValue* sections = document->Member("sections");
  if (!sections || !sections->Array()) return notReport("no \"sections\" list");
  for (const TJsonValue& s : *sections->Array()) {
    const TJsonValue* title = s.Member("title");
    const TJsonValue* entries = s.Member("entries");
    if (!title || !title->String() || !entries || !entries->Array()) return notReport("a section without title or entries");
    TReportSection section;
    section.title = *title->String();
    for (const TJsonValue& e : *entries->Array()) {
      std::vector<std::string> lines;
      const TJsonValue* line = e.Member("line");
      if (!LinesOf(line ? line : e.Member("lines"), lines)) return notReport("an entry without its lines");
      section.entries.push_back(ClassifyEntry(std::move(lines), utf8Words));
    }
    model.sections.push_back(std::move(section));
  }
  return model;
}

}  // namespace scan
