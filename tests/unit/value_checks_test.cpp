// The registry value checkers over the fake machine: the rule of each checker, letter case of
// names and texts, empty values, value types, and keys or values that cannot be read.
#include <gtest/gtest.h>

#include <optional>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/value_checks.h"

namespace {

namespace win = platform::win;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;
using platform::fake::RegValue;
using scan::TReport;

constexpr const char* kKey = "Software\\Checks";

std::string Entry(const std::string& name, const std::string& data) {
  return "Value: " + name + "\r\nData: " + data + "\r\nKey: HKEY_LOCAL_MACHINE\\Software\\Checks\r\n";
}

std::vector<std::string> Items(const TReport& report) {
  std::vector<std::string> items;
  for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
  return items;
}

RegValue Sz(const std::string& text, uint32_t type = win::kRegSz) {
  RegValue v{type, {text.begin(), text.end()}};
  v.data.push_back(0);
  return v;
}

enum class Checker { Named, Equals, Not, NotOrEmpty, NotEither, NotAny, NotContaining };

void RunChecker(Checker checker, TReport& r, const std::string& name, const std::vector<std::string>& e) {
  const std::string key = std::string("\\") + kKey;
  switch (checker) {
    case Checker::Named: return scan::ReportNamedValue(r, key, name, kHkeyLocalMachine);
    case Checker::Equals: return scan::ReportValueIfEquals(r, key, name, kHkeyLocalMachine, e.at(0));
    case Checker::Not: return scan::ReportValueIfNot(r, key, name, kHkeyLocalMachine, e.at(0));
    case Checker::NotOrEmpty: return scan::ReportValueIfNotOrEmpty(r, key, name, kHkeyLocalMachine, e.at(0));
    case Checker::NotEither: return scan::ReportValueIfNotEither(r, key, name, kHkeyLocalMachine, e.at(0), e.at(1));
    case Checker::NotAny:
      return scan::ReportValueIfNotAny(r, key, name, kHkeyLocalMachine, e.at(0), e.at(1), e.at(2));
    case Checker::NotContaining:
      return scan::ReportValueIfNotContaining(r, key, name, kHkeyLocalMachine, e.at(0));
  }
}

class ValueChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::FillDefaultTexts();
  }
  Machine m;
  TReport report;
};

TEST_F(ValueChecks, RulesOfEachChecker) {
  const std::vector<uint8_t> qword{1, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* what;
    Checker checker;
    std::string stored;  // name the value is stored under
    RegValue value;
    std::string wanted;
    std::vector<std::string> expected;
    std::optional<std::string> data;  // the Data text reported; nullopt: nothing
  } cases[] = {
      {"named: reported as read", Checker::Named, "AutoRun", Sz("cmd /c x.bat"), "AutoRun", {}, "cmd /c x.bat"},
      {"named: any letter case, shown as stored", Checker::Named, "AutoRun", Sz("x"), "autorun", {}, "x"},
      {"named: empty text is silent", Checker::Named, "load", Sz(""), "load", {}, std::nullopt},
      {"named: blanks only is empty", Checker::Named, "load", Sz(" \t "), "load", {}, std::nullopt},
      {"named: string trimmed", Checker::Named, "run", Sz("  a.exe  "), "run", {}, "a.exe"},
      {"named: expandable as stored", Checker::Named, "run", Sz(" %SystemRoot%\\a.exe ", win::kRegExpandSz), "run",
       {}, " %SystemRoot%\\a.exe "},
      {"named: the default value", Checker::Named, "", Sz("x.exe"), "", {}, "x.exe"},
      {"named: the default value is not any name", Checker::Named, "Other", Sz("x.exe"), "", {}, std::nullopt},
      {"named: multi-string", Checker::Named, "Execute", {win::kRegMultiSz, {'a', 0, 'b', 0, 0}}, "Execute", {},
       "Unknown"},
      {"named: binary", Checker::Named, "b", {win::kRegBinary, {1, 2, 3}}, "b", {}, "Binary Data"},
      {"named: empty binary", Checker::Named, "b", {win::kRegBinary, {}}, "b", {}, "Binary Data"},
      {"named: dword", Checker::Named, "d", {win::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}, "d", {}, "-1"},
      {"named: qword", Checker::Named, "q", {win::kRegQword, qword}, "q", {}, "Unknown"},
      {"named: string without its NUL", Checker::Named, "s", {win::kRegSz, {'a', 'b', 'c'}}, "s", {}, "abc"},
      {"named: non-ASCII name", Checker::Named, "Pr\xFC" "fung", Sz("x"), "Pr\xFC" "fung", {}, "x"},
      {"equals: same text", Checker::Equals, "v", Sz("1"), "v", {"1"}, "1"},
      {"equals: letter case counts", Checker::Equals, "v", Sz("Abc"), "v", {"abc"}, std::nullopt},
      {"equals: rendered number", Checker::Equals, "v", {win::kRegDword, {2, 0, 0, 0}}, "v", {"2"}, "2"},
      {"not: equal ignoring case", Checker::Not, "Shell", Sz("EXPLORER.EXE"), "Shell", {"Explorer.exe"},
       std::nullopt},
      {"not: different", Checker::Not, "Shell", Sz("Explorer.exe evil.exe"), "Shell", {"Explorer.exe"},
       "Explorer.exe evil.exe"},
      {"not: empty is silent", Checker::Not, "Shell", Sz(""), "Shell", {"Explorer.exe"}, std::nullopt},
      {"not: quotes are part of the text", Checker::Not, "", Sz("%1 %*"), "", {"\"%1\" %*"}, "%1 %*"},
      {"not-or-empty: empty", Checker::NotOrEmpty, "AlternateShell", Sz(""), "AlternateShell", {"cmd.exe"},
       "EMPTY!!!"},
      {"not-or-empty: blanks only", Checker::NotOrEmpty, "AlternateShell", Sz("   "), "AlternateShell",
       {"cmd.exe"}, "EMPTY!!!"},
      {"not-or-empty: expected in capitals", Checker::NotOrEmpty, "AlternateShell", Sz("CMD.EXE"),
       "AlternateShell", {"cmd.exe"}, std::nullopt},
      {"not-or-empty: other", Checker::NotOrEmpty, "AlternateShell", Sz("evil.exe"), "AlternateShell",
       {"cmd.exe"}, "evil.exe"},
      {"not-or-empty: name in another case", Checker::NotOrEmpty, "alternateshell", Sz(""), "AlternateShell",
       {"cmd.exe"}, "EMPTY!!!"},
      {"not-either: second", Checker::NotEither, "Shell", Sz("c:\\windows\\explorer.exe"), "Shell",
       {"C:\\WINDOWS\\Explorer.exe", "Explorer.exe"}, std::nullopt},
      {"not-either: neither", Checker::NotEither, "Shell", Sz("C:\\x.exe"), "Shell",
       {"C:\\WINDOWS\\Explorer.exe", "Explorer.exe"}, "C:\\x.exe"},
      {"not-any: third", Checker::NotAny, "Userinit", Sz("USERINIT.EXE"), "Userinit", {"a,", "a", "Userinit.exe"},
       std::nullopt},
      {"not-any: none", Checker::NotAny, "Userinit", Sz("a,b.exe"), "Userinit", {"a,", "a", "Userinit.exe"},
       "a,b.exe"},
      {"not-any: multi-string", Checker::NotAny, "Userinit", {win::kRegMultiSz, {'a', 0, 0}}, "Userinit",
       {"a,", "a", "x"}, "Unknown"},
      {"not-containing: contained in other case", Checker::NotContaining, "", Sz("%systemroot%\\explorer.exe /e"),
       "", {"%SystemRoot%\\Explorer.exe"}, std::nullopt},
      {"not-containing: absent", Checker::NotContaining, "", Sz("C:\\x.exe %1"), "",
       {"%SystemRoot%\\Explorer.exe"}, "C:\\x.exe %1"},
      {"not-containing: empty is silent", Checker::NotContaining, "", Sz(""), "", {"x"}, std::nullopt},
  };
  for (const Case& c : cases) {
    Machine fresh;
    fresh.Install();
    fresh.SetValue(kHkeyLocalMachine, kKey, "Before", win::kRegSz, {'x', 0});
    fresh.SetValue(kHkeyLocalMachine, kKey, c.stored, c.value.type, c.value.data);
    TReport r;
    RunChecker(c.checker, r, c.wanted, c.expected);
    const std::vector<std::string> want =
        c.data ? std::vector<std::string>{Entry(c.stored, *c.data)} : std::vector<std::string>{};
    EXPECT_EQ(Items(r), want) << c.what;
  }
}

TEST_F(ValueChecks, MissingKeysAndValuesGiveNothing) {
  m.CreateKey(kHkeyLocalMachine, kKey);
  m.SetString(kHkeyLocalMachine, "Software\\Denied", "Shell", "evil.exe");
  m.DenyKey(kHkeyLocalMachine, "Software\\Denied");
  for (Checker checker : {Checker::Named, Checker::NotOrEmpty, Checker::NotContaining}) {
    RunChecker(checker, report, "Shell", {"x", "y", "z"});
    scan::ReportValueIfNotOrEmpty(report, "\\Software\\Missing", "Shell", kHkeyLocalMachine, "x");
    scan::ReportValueIfNotOrEmpty(report, "\\Software\\Denied", "Shell", kHkeyLocalMachine, "x");
  }
  EXPECT_EQ(report.Count(), 0u);
}

TEST_F(ValueChecks, LargeStringIsReportedWhole) {
  const std::string big(1 << 20, 'a');
  m.SetString(kHkeyLocalMachine, kKey, "Big", big);
  scan::ReportNamedValue(report, "\\Software\\Checks", "Big", kHkeyLocalMachine);
  EXPECT_EQ(Items(report), std::vector<std::string>{Entry("Big", big)});
}

// A registry whose chosen value is gone by the time its data is asked for.
class VanishingRegistry : public platform::Registry {
 public:
  VanishingRegistry(platform::Registry& inner, std::string victim) : inner_(inner), victim_(std::move(victim)) {}
  uint32_t OpenKey(platform::RegKey p, const std::string& s, uint32_t a, platform::RegKey* o) override {
    return inner_.OpenKey(p, s, a, o);
  }
  uint32_t CreateKey(platform::RegKey p, const std::string& s, uint32_t a, platform::RegKey* o) override {
    return inner_.CreateKey(p, s, a, o);
  }
  uint32_t CloseKey(platform::RegKey k) override { return inner_.CloseKey(k); }
  uint32_t QueryValue(platform::RegKey k, const std::string& n, uint32_t* t, std::vector<uint8_t>* d) override {
    if (n == victim_) return win::kErrorFileNotFound;
    return inner_.QueryValue(k, n, t, d);
  }
  uint32_t SetValue(platform::RegKey k, const std::string& n, uint32_t t, const void* d, uint32_t s) override {
    return inner_.SetValue(k, n, t, d, s);
  }
  uint32_t EnumValue(platform::RegKey k, uint32_t i, std::string* n) override { return inner_.EnumValue(k, i, n); }
  uint32_t EnumKey(platform::RegKey k, uint32_t i, std::string* n) override { return inner_.EnumKey(k, i, n); }
  uint32_t QueryInfoKey(platform::RegKey k, uint32_t* s, uint32_t* v) override {
    return inner_.QueryInfoKey(k, s, v);
  }
  uint32_t DeleteValue(platform::RegKey k, const std::string& n) override { return inner_.DeleteValue(k, n); }
  uint32_t DeleteKey(platform::RegKey p, const std::string& s) override { return inner_.DeleteKey(p, s); }
  uint32_t OpenKeyEx(platform::RegKey p, const std::string& s, uint32_t o, uint32_t a, platform::RegKey* k) override {
    return inner_.OpenKeyEx(p, s, o, a, k);
  }
  uint32_t DeleteOpenKey(platform::RegKey k) override { return inner_.DeleteOpenKey(k); }
  uint32_t QueryValueW(platform::RegKey k, const std::u16string& n, uint32_t* t, std::vector<uint8_t>* d) override {
    return inner_.QueryValueW(k, n, t, d);
  }
  uint32_t SetValueW(platform::RegKey k, const std::u16string& n, uint32_t t, const void* d, uint32_t s) override {
    return inner_.SetValueW(k, n, t, d, s);
  }

 private:
  platform::Registry& inner_;
  std::string victim_;
};

TEST_F(ValueChecks, ValueGoneBeforeItsDataIsReadIsSkipped) {
  m.SetString(kHkeyLocalMachine, kKey, "Gone", "a.exe");
  m.SetString(kHkeyLocalMachine, kKey, "Kept", "b.exe");
  VanishingRegistry registry(*m.backend().registry, "Gone");
  platform::Backend backend = m.backend();
  backend.registry = &registry;
  platform::Install(backend);

  scan::ReportNamedValue(report, "\\Software\\Checks", "Gone", kHkeyLocalMachine);
  scan::ReportValueIfNotOrEmpty(report, "\\Software\\Checks", "Gone", kHkeyLocalMachine, "x");
  const auto all =
      scan::ReadValueTexts(kHkeyLocalMachine, "\\Software\\Checks", [](const std::string&) { return true; });
  m.Install();

  EXPECT_EQ(report.Count(), 0u);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].name, "Kept");
  EXPECT_EQ(all[0].text, "b.exe");
}

}  // namespace
