// Run values whose shape betrays malware. Each filter walks the values of the Run key under one
// root and appends one item per match, ending with a line break (its line, then an empty line).
#pragma once

#include <span>
#include <string>

#include "inspect/key_paths.h"
#include "platform/platform.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

constexpr const char* kRunKeyPath = inspect::keys::kRun;

enum class TRunLineForm {
  Full,      // "<root name><key path>\<value name> -> <text>"
  PathOnly,  // "<text>"
};

enum class TRunFilter { ClsidNamed, Numeric, InDataFolders };

// The three filters in the order the sections list them, over the Run key of both roots.
constexpr TRunFilter kRunValueFilters[] = {TRunFilter::ClsidNamed, TRunFilter::Numeric, TRunFilter::InDataFolders};
constexpr RegKey kRunValueRoots[] = {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser};

// A CLSID-like value name ("{", "-" and "}") whose program lies in the roaming application-data
// folder; the text is the program path.
void ListClsidNamedRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form);
// A value whose trimmed text is a 32-bit number of 5 or more; the text as rendered.
void ListNumericRunValues(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form);
// A program in the roaming or the common application-data folder or in the temporary folder;
// the text is the program path.
void ListRunValuesInDataFolders(const std::string& keyPath, RegKey root, TReport& report, TRunLineForm form);

// Each filter in turn over the key's values under each root in turn, as calling them one by one
// would list them, reading the values under each root once.
void ListRunValueFilters(const std::string& keyPath, std::span<const RegKey> roots,
                         std::span<const TRunFilter> filters, TReport& report, TRunLineForm form);

}  // namespace scan
