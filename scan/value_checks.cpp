// The value checkers (filled in with the registry startup sections).
#include "scan/value_checks.h"

namespace scan {

void ReportNamedValue(TReport&, const std::string&, const std::string&, RegKey) {}

}  // namespace scan
