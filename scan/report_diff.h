// What appeared and disappeared between two reports, section by section.
#pragma once

#include <optional>
#include <string>

#include "scan/report_model.h"

namespace scan {

// A report file's bytes as a model in UTF-8: JSON when the first byte that is not white space is
// '{', else report text in the system code page. nullopt and a message in `error` for a JSON text
// that is no report.
std::optional<TReportModel> LoadReportModel(const std::string& bytes, const TReportWords& utf8Words,
                                            std::string* error);

// Per section (and the header and footer) the entries of `after` missing from `before` ("+ ")
// and those of `before` missing from `after` ("- "), compared as multisets: order does not count.
// Unless `exact`, what changes on every run is left out of the comparison: the creation times of
// file lines, the "Log created on" line and the elapsed time. Lines end with CR LF; the last one
// counts what appeared and disappeared.
std::string DiffReports(const TReportModel& before, const TReportModel& after, const TReportWords& utf8Words,
                        bool exact);

}  // namespace scan
