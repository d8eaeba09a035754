// A report as structured data: header lines, the sections in report order with their entries, and
// the footer. Read back from the report's items (exact) or from its text (for reports on disk).
// Every line of the report stays in the entries, so the text can be written again from the model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/options.h"

namespace scan {

enum class TEntryKind {
  Text,       // any other line
  File,       // "<path> (<size> bytes) (<company>) (<created>) (<attributes>) (<md5>)" [" (<marker>)"]
  ShortFile,  // "<path> (<size> bytes) (<company>) (<md5>)"
  Locked,     // "<path> (LOCKED)"
  Hidden,     // "<path> (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)"
  Value,      // "Value: ", "Data: " [, "CLSID: "], "Key: " lines and the empty line after them
  Hook,       // "<process> -> <module>-><function> -> <target module> -> <kind>"
};

struct TReportEntry {
  TEntryKind kind = TEntryKind::Text;
  std::vector<std::string> lines;  // as the report prints them
  // File shapes (path also for locked and hidden lines).
  std::string path, company, created, attributes, digest, marker;
  uint64_t size = 0;
  // Value entries; data lines are joined with CR LF; extra holds the whole added lines ("CLSID: ...").
  std::string value, data, key;
  std::vector<std::string> extra;
  // Hook lines, one field per column.
  std::string process, function, target, hookKind;
};

struct TReportSection {
  std::string title;  // without "[+] "
  std::vector<TReportEntry> entries;
};

struct TReportModel {
  std::vector<std::string> header;  // up to the empty line before the first banner
  std::vector<TReportSection> sections;
  std::vector<std::string> footer;  // "---" and the elapsed time
};

// The words the parser recognises: section titles and the value-entry labels of the language in use.
struct TReportWords {
  std::vector<std::string> titles;  // in report order; empty: any "[+] " line between empty lines
  std::string valueLabel = "Value", dataLabel = "Data", keyLabel = "Key";
  std::string logCreated = "Log created on", finish = "Finish [";
};

// The words of the language table now; titles of every section the options can give.
TReportWords CurrentReportWords(const TScanOptions* options);

// From the report's items: a banner is an item of its own and a value entry one item.
TReportModel ParseReportItems(const std::vector<std::string>& items, const TReportWords& words);
// From the report's text (CR LF or LF line ends): every line is taken as an item.
TReportModel ParseReportText(const std::string& text, const TReportWords& words);

// One entry read from its lines (a value entry when `words` finds one in them, else by shape).
TReportEntry ClassifyEntry(std::vector<std::string> lines, const TReportWords& words);
// The file description line of a File entry, from its fields.
std::string FileLineOf(const TReportEntry& entry);

// The report text again, every line followed by CR LF.
std::string RenderReportText(const TReportModel& model);

}  // namespace scan
