#include "scan/file_lines.h"

#include <algorithm>

#include "inspect/files.h"
#include "inspect/text.h"

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
  const std::string line = FileDescriptionLine(path, reach);  // a failure here is the caller's
  const bool done = Succeeds([&] {
    if (useExclusions && IsMd5Excluded(reach.empty() ? path : reach, exclusions)) return;
    if (report.IndexOf(line) < 0) report.Add(line);
  });
  if (!done) report.Add(LockedLine(path));
}

void ReportFile(const std::string& path, TReport& report, bool excludeMicrosoft,
                const std::vector<std::string>& exclusions, bool useExclusions, const std::string& reach) {
  const bool done = Succeeds([&] {
    if (excludeMicrosoft && inspect::IsProtectedSystemFile(reach.empty() ? path : reach)) return;
    AddFileLine(path, report, useExclusions, exclusions, reach);
  });
  if (!done) report.Add(LockedLine(path));
}

}  // namespace scan
