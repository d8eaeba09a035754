// The value checkers: one procedure, seven entry points.
#include "scan/value_checks.h"

#include <algorithm>
#include <array>

#include "inspect/registry.h"
#include "inspect/text.h"

namespace scan {

namespace {

bool Passes(TValueTest test, const std::string& text, std::span<const std::string> expected) {
  switch (test) {
    case TValueTest::Always:
      return true;
    case TValueTest::EqualsExactly:
      return !expected.empty() && text == expected.front();
    case TValueTest::DoesNotContain:
      return !expected.empty() &&
             inspect::UpperAscii(text).find(inspect::UpperAscii(expected.front())) == std::string::npos;
    case TValueTest::DiffersFromAll:
    case TValueTest::DiffersOrEmpty:
      return std::none_of(expected.begin(), expected.end(),
                          [&](const std::string& e) { return inspect::EqualNoCase(text, e); });
  }
  return false;
}

}  // namespace

std::vector<TValueText> ReadValueTexts(RegKey root, const std::string& keyPath,
                                       const std::function<bool(const std::string& name)>& wanted) {
  std::vector<TValueText> values;
  inspect::TReaderKey key(root, keyPath);
  if (!key.ok()) return values;
  inspect::TRegistryReader& reader = key.reader();
  for (const std::string& name : reader.GetValueNames()) {
    if (!wanted(name)) continue;
    std::string text = inspect::RegValueToText(reader, name);
    // "Unknown" is also what a value that is gone renders as: such a value is skipped.
    if (text == "Unknown" && !reader.GetDataType(name)) continue;
    values.push_back({name, std::move(text)});
  }
  return values;
}

void CheckValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                TValueTest test, std::span<const std::string> expected) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  const auto values = ReadValueTexts(root, keyPath, [&](const std::string& name) { return inspect::EqualNoCase(name, valueName); });
  for (const TValueText& value : values) {
    if (value.text.empty()) {
      if (test == TValueTest::DiffersOrEmpty) report.Add(inspect::ValueEntry(value.name, "EMPTY!!!", keyText));
    } else if (Passes(test, value.text, expected)) {
      report.Add(inspect::ValueEntry(value.name, value.text, keyText));
    }
  }
}

void ReportNamedValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root) {
  CheckValue(report, keyPath, valueName, root, TValueTest::Always, {});
}

void ReportValueIfEquals(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                         const std::string& expected) {
  CheckValue(report, keyPath, valueName, root, TValueTest::EqualsExactly, {&expected, 1});
}

void ReportValueIfNot(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                      const std::string& expected) {
  CheckValue(report, keyPath, valueName, root, TValueTest::DiffersFromAll, {&expected, 1});
}

void ReportValueIfNotOrEmpty(TReport& report, const std::string& keyPath, const std::string& valueName,
                             RegKey root, const std::string& expected) {
  CheckValue(report, keyPath, valueName, root, TValueTest::DiffersOrEmpty, {&expected, 1});
}

void ReportValueIfNotEither(TReport& report, const std::string& keyPath, const std::string& valueName,
                            RegKey root, const std::string& expected1, const std::string& expected2) {
  const std::array<std::string, 2> expected{expected1, expected2};
  CheckValue(report, keyPath, valueName, root, TValueTest::DiffersFromAll, expected);
}

void ReportValueIfNotAny(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root,
                         const std::string& expected1, const std::string& expected2, const std::string& expected3) {
  const std::array<std::string, 3> expected{expected1, expected2, expected3};
  CheckValue(report, keyPath, valueName, root, TValueTest::DiffersFromAll, expected);
}

void ReportValueIfNotContaining(TReport& report, const std::string& keyPath, const std::string& valueName,
                                RegKey root, const std::string& expected) {
  CheckValue(report, keyPath, valueName, root, TValueTest::DoesNotContain, {&expected, 1});
}

}  // namespace scan
