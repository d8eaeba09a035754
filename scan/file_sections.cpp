// File-system sections: startup, temporary, suspicious, recent and hidden files.
#include "scan/sections.h"

namespace scan {

void ListFolderFiles(TReport&, const TScanOptions&, const std::string&, const std::string&, bool) {}
void WriteSuspiciousFolderExecutables(TReport&, const TScanOptions&) {}
void WriteAutorunIni(TReport&, const TScanOptions&) {}
void WriteUnknownSysFiles(TReport&, const TScanOptions&, const std::string&, const std::string&) {}
void WriteNonAccessibleFiles(TReport&, const TScanOptions&) {}
void WriteCustomFilesList(TReport&, const TScanOptions&) {}
void WriteRecentFiles(TReport&, const TScanOptions&) {}
void WriteHiddenFiles(TReport&, const TScanOptions&) {}
void ListNumberedFolders(TReport&, const TScanOptions&, const std::string&) {}

}  // namespace scan
