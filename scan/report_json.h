// The report as JSON (UTF-8), described by cli/report.schema.json, and read back for comparisons.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "scan/report.h"
#include "scan/report_model.h"

namespace scan {

// Report text (system code page) in UTF-8, through the platform; never loses a byte.
std::string ToUtf8(const std::string& ansi);
TReportWords Utf8Words(const TReportWords& words);

// The model of a finished report, in UTF-8; `words` as the language table gives them.
TReportModel Utf8ReportModel(const TReport& report, const TReportWords& words);

// The JSON document of a model (UTF-8), CR LF between lines as in the text report.
std::string ReportJson(const TReportModel& model);

// A JSON report back as a model: the entries read again from their lines. nullopt and a message
// in `error` when the text is no JSON or no report.
std::optional<TReportModel> ReportModelFromJson(std::string_view json, const TReportWords& utf8Words,
                                                std::string* error);

}  // namespace scan
