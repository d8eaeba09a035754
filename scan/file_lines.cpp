#include "scan/file_lines.h"

#include <algorithm>
#include <optional>

#include "inspect/files.h"
#include "inspect/text.h"
#include "platform/platform.h"

namespace scan {

namespace {

// Describing a file fails "with an error" when one of the queries throws: the file queries
// answer their defaults for missing, empty or unreadable files, so what is left is a fault while
// the mapped contents are read (inspect::EFileReadError) or running out of memory on the way.
// Each of these turns into the locked line; nothing escapes to the section writer.
template <typename Body>
bool Succeeds(Body&& body) {
  try {
    body();
    return true;
  } catch (...) {
    return false;
  }
}

// A file's line is known to the report by the path shown and the path read, while the directory
// entry (attributes, times, size) stays as it was; "" when the file has no entry.
std::string DescribedKey(const std::string& path, const std::string& reach) { return path + "\n" + reach; }
std::string EntryState(const std::optional<platform::FindData>& entry) {
  if (!entry) return "";
  return std::to_string(entry->attributes) + " " + std::to_string(entry->creationTime) + " " +
         std::to_string(entry->lastWriteTime) + " " + std::to_string(entry->size);
}

// The line with the size and creation time of `entry` when the caller has found it, else of a
// find of its own.
std::string DescriptionLine(const std::string& path, const std::string& reach,
                            const std::optional<platform::FindData>& found) {
  const std::string& file = reach.empty() ? path : reach;
  // The fields in the order they are read: size, company, creation time, attributes, digest.
  const std::optional<platform::FindData> entry = found ? found : inspect::FindEntry(file);
  const std::string size = std::to_string(entry ? entry->size : 0);
  const std::string company = inspect::FileCompanyName(file);
  const std::string created = entry ? inspect::EntryDateText(*entry, 1) : "";
  const std::string attributes = inspect::FileAttrText(file);
  const std::string md5 = inspect::FileMd5Text(file);
  return path + " (" + size + " bytes) (" + company + ") (" + created + ") (" + attributes + ") (" + md5 + ")";
}

// AddFileLine with the file's entry read (none to describe it whatever the report knows).
void AddFileLineIn(const std::string& path, TReport& report, bool useExclusions,
                   const std::vector<std::string>& exclusions, const std::string& reach,
                   const std::optional<platform::FindData>& entry) {
  const std::string key = DescribedKey(path, reach);
  const std::string state = EntryState(entry);
  if (!state.empty() && report.Described(key, state)) return;
  const std::string line = DescriptionLine(path, reach, entry);  // a failure here is the caller's
  const bool done = Succeeds([&] {
    if (useExclusions && IsMd5Excluded(reach.empty() ? path : reach, exclusions)) return;
    if (report.IndexOf(line) < 0) report.Add(line);
    if (!state.empty()) report.NoteDescribed(key, state);
  });
  if (!done) report.Add(LockedLine(path));
}

// With the MD5 exclusions on, the file is read again each time, as the exclusion test does.
std::optional<platform::FindData> EntryToSkip(const std::string& file, bool useExclusions) {
  return useExclusions ? std::nullopt : inspect::FindEntry(file);
}

}  // namespace

std::string FileDescriptionLine(const std::string& path, const std::string& reach) {
  return DescriptionLine(path, reach, std::nullopt);
}

std::string ShortFileLine(const std::string& path, const std::string& reach) {
  const std::string& file = reach.empty() ? path : reach;
  const std::string size = std::to_string(inspect::FileSizeOf(file));
  const std::string company = inspect::FileCompanyName(file);
  const std::string md5 = inspect::FileMd5Text(file);
  return path + " (" + size + " bytes) (" + company + ") (" + md5 + ")";
}

std::string LockedLine(const std::string& path) { return path + " (LOCKED)"; }

std::string HiddenFileLine(const std::string& path) { return path + " (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)"; }

bool IsMd5Excluded(const std::string& path, const std::vector<std::string>& exclusions) {
  const std::string md5 = inspect::FileMd5Text(path);
  return std::any_of(exclusions.begin(), exclusions.end(),
                     [&](const std::string& entry) { return inspect::EqualNoCase(entry, md5); });
}

void AddFileLine(const std::string& path, TReport& report, bool useExclusions,
                 const std::vector<std::string>& exclusions, const std::string& reach) {
  AddFileLineIn(path, report, useExclusions, exclusions, reach,
                EntryToSkip(reach.empty() ? path : reach, useExclusions));
}

void ReportFile(const std::string& path, TReport& report, bool excludeMicrosoft,
                const std::vector<std::string>& exclusions, bool useExclusions, const std::string& reach) {
  const bool done = Succeeds([&] {
    const std::string& file = reach.empty() ? path : reach;
    // Described unchanged before: its line is in the report, whatever the protection test says.
    const std::optional<platform::FindData> entry = EntryToSkip(file, useExclusions);
    const std::string state = EntryState(entry);
    if (!state.empty() && report.Described(DescribedKey(path, reach), state)) return;
    if (excludeMicrosoft && inspect::IsProtectedSystemFile(file)) return;
    AddFileLineIn(path, report, useExclusions, exclusions, reach, entry);
  });
  if (!done) report.Add(LockedLine(path));
}

}  // namespace scan
