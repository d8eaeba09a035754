// The start-page whitelist, the address checker of the browser settings and the hosts-file test.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

// True when the text matches a pattern of the whitelist (letter case ignored, wildcards in the
// text count too); false for an empty text.
bool IsKnownStartPage(const std::string& text);

// A value checker: the value named exactly `valueName`, as a value entry, unless its text is
// empty, exactly "Home", or a known start page once trimmed.
void ReportUrlValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root);

// Whether a hosts-file line holds at least two dots.
bool HasSecondDot(std::string_view line);

}  // namespace scan
