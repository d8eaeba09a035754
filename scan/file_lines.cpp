#include "scan/file_lines.h"

#include <algorithm>

#include "inspect/files.h"
#include "inspect/text.h"
#include "platform/handles.h"
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
std::string EntryState(const std::string& file) {
  platform::FindData data;
  const platform::ScopedFind find(platform::Fs().FindFirstFile(file, &data));
  if (!find.ok()) return "";
  return std::to_string(data.attributes) + " " + std::to_string(data.creationTime) + " " +
         std::to_string(data.lastWriteTime) + " " + std::to_string(data.size);
}

// AddFileLine with the file's entry state read ("" to describe it whatever the report knows).
void AddFileLineIn(const std::string& path, TReport& report, bool useExclusions,
                   const std::vector<std::string>& exclusions, const std::string& reach, const std::string& state) {
  const std::string key = DescribedKey(path, reach);
  if (!state.empty() && report.Described(key, state)) return;
  const std::string line = FileDescriptionLine(path, reach);  // a failure here is the caller's
  const bool done = Succeeds([&] {
    if (useExclusions && IsMd5Excluded(reach.empty() ? path : reach, exclusions)) return;
    if (report.IndexOf(line) < 0) report.Add(line);
    if (!state.empty()) report.NoteDescribed(key, state);
  });
  if (!done) report.Add(LockedLine(path));
}

// With the MD5 exclusions on, the file is read again each time, as the exclusion test does.
std::string StateToSkip(const std::string& file, bool useExclusions) {
  return useExclusions ? "" : EntryState(file);
}

}  // namespace

std::string FileDescriptionLine(const std::string& path, const std::string& reach) {
  const std::string& file = reach.empty() ? path : reach;
  // The fields in the order they are read: size, company, creation time, attributes, digest.
  const std::string size = std::to_string(inspect::FileSizeOf(file));
  const std::string company = inspect::FileCompanyName(file);
  const std::string created = inspect::FileDateText(file, 1);
  const std::string attributes = inspect::FileAttrText(file);
  const std::string md5 = inspect::FileMd5Text(file);
  return path + " (" + size + " bytes) (" + company + ") (" + created + ") (" + attributes + ") (" + md5 + ")";
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
                StateToSkip(reach.empty() ? path : reach, useExclusions));
}

void ReportFile(const std::string& path, TReport& report, bool excludeMicrosoft,
                const std::vector<std::string>& exclusions, bool useExclusions, const std::string& reach) {
  const bool done = Succeeds([&] {
    const std::string& file = reach.empty() ? path : reach;
    // Described unchanged before: its line is in the report, whatever the protection test says.
    const std::string state = StateToSkip(file, useExclusions);
    if (!state.empty() && report.Described(DescribedKey(path, reach), state)) return;
    if (excludeMicrosoft && inspect::IsProtectedSystemFile(file)) return;
    AddFileLineIn(path, report, useExclusions, exclusions, reach, state);
  });
  if (!done) report.Add(LockedLine(path));
}

}  // namespace scan
