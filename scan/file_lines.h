// The shapes in which the report lists files, and the one routine every section lists them through.
#pragma once

#include <string>
#include <vector>

#include "scan/report.h"

namespace scan {

// Every routine below shows `path` and reads the file through `reach` when one is given: the
// 8.3 path of a file whose name the code page cannot hold (shown with '?' in it, which no
// call could open).

// "<path> (<size> bytes) (<company>) (<created>) (<attributes>) (<md5>)"
std::string FileDescriptionLine(const std::string& path, const std::string& reach = "");
// "<path> (<size> bytes) (<company>) (<md5>)"
std::string ShortFileLine(const std::string& path, const std::string& reach = "");
// "<path> (LOCKED)"
std::string LockedLine(const std::string& path);
// "<path> (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)"
std::string HiddenFileLine(const std::string& path);

// True when the file's MD5 text is an entry of the list (letter case ignored).
bool IsMd5Excluded(const std::string& path, const std::vector<std::string>& exclusions);
// The description line unless excluded by MD5 or already in the report; locked line on failure.
void AddFileLine(const std::string& path, TReport& report, bool useExclusions,
                 const std::vector<std::string>& exclusions, const std::string& reach = "");
// Lists a file with the Microsoft filter, the MD5 filter and duplicate suppression; at most one item.
void ReportFile(const std::string& path, TReport& report, bool excludeMicrosoft,
                const std::vector<std::string>& exclusions, bool useExclusions, const std::string& reach = "");

}  // namespace scan
