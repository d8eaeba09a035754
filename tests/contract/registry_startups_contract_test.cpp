// The value checkers, the subkey listers and the custom dump over both backends, on the scratch
// key: exact name matching over a registry whose names are case-insensitive, key paths with a
// trailing backslash, typed values, and folder-built whitelist entries.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/lang.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "scan/registry_listers.h"
#include "scan/sections.h"
#include "scan/value_checks.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;
using bs_test::BackendScratch;
using Items = std::vector<std::string>;

class RegistryStartupsContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  static constexpr RegKey kRoot = BackendScratch::kRoot;
  // Relative to the root, and as the checkers take it.
  std::string Key(const std::string& relative) { return scratch().KeyOf(relative); }
  std::string Path(const std::string& relative) { return "\\" + Key(relative); }
  std::string KeyText(const std::string& relative) { return "HKEY_CURRENT_USER\\" + Key(relative); }
  void SetRaw(const std::string& valuePath, uint32_t type, std::string_view bytes) {
    ASSERT_TRUE(inspect::RegWriteValueRaw(kRoot, valuePath, type, bytes.data(), static_cast<uint32_t>(bytes.size())))
        << valuePath;
  }
  void SetString(const std::string& valuePath, const std::string& text) {
    ASSERT_TRUE(inspect::RegWriteString(kRoot, valuePath, text)) << valuePath;
  }
  // Wine enumerates by name where Windows keeps creation order: compare without order.
  static Items Sorted(const scan::TReport& report) {
    Items items;
    for (size_t i = 0; i < report.Count(); ++i) items.push_back(report.Item(i));
    std::sort(items.begin(), items.end());
    return items;
  }
  static Items Sorted(Items items) {
    std::sort(items.begin(), items.end());
    return items;
  }
};

std::string Entry(const std::string& name, const std::string& data, const std::string& key) {
  return "Value: " + name + "\r\nData: " + data + "\r\nKey: " + key + "\r\n";
}

TEST_P(RegistryStartupsContract, CheckersMatchNamesInAnyCaseAndRenderTypes) {
  SetString(Key("Winlogon\\Taskman"), "t.exe");
  SetString(Key("Winlogon\\Shell"), "EXPLORER.EXE");
  SetString(Key("Winlogon\\Empty"), "");
  SetRaw(Key("Winlogon\\Execute"), win::kRegMultiSz, std::string_view("a\0b\0\0", 5));
  SetRaw(Key("Winlogon\\NoNul"), win::kRegSz, std::string_view("abcX", 3));
  SetString(Key("Command\\"), "%1 %*");

  scan::TReport report;
  scan::ReportNamedValue(report, Path("Winlogon"), "TaskMan", kRoot);  // another letter case: the stored name
  scan::ReportNamedValue(report, Path("Winlogon"), "Taskman", kRoot);
  scan::ReportValueIfNot(report, Path("Winlogon"), "Shell", kRoot, "Explorer.exe");
  scan::ReportNamedValue(report, Path("Winlogon"), "Empty", kRoot);
  scan::ReportValueIfNotOrEmpty(report, Path("Winlogon"), "Empty", kRoot, "cmd.exe");
  scan::ReportNamedValue(report, Path("Winlogon"), "Execute", kRoot);
  scan::ReportValueIfEquals(report, Path("Winlogon"), "NoNul", kRoot, "abc");
  scan::ReportValueIfNot(report, Path("Command") + "\\", "", kRoot, "\"%1\" %*");
  scan::ReportNamedValue(report, Path("Missing"), "Taskman", kRoot);

  EXPECT_EQ(Sorted(report), Sorted({Entry("Taskman", "t.exe", KeyText("Winlogon")),
                                    Entry("Taskman", "t.exe", KeyText("Winlogon")),
                                    Entry("Empty", "EMPTY!!!", KeyText("Winlogon")),
                                    Entry("Execute", "Unknown", KeyText("Winlogon")),
                                    Entry("NoNul", "abc", KeyText("Winlogon")),
                                    Entry("", "%1 %*", KeyText("Command") + "\\")}));
}

TEST_P(RegistryStartupsContract, SubkeyListers) {
  SetString(Key("Ifeo\\a.exe\\debugger"), "C:\\spy.exe");
  SetString(Key("Ifeo\\b.exe\\Debugger"), "ntsd -d");
  SetString(Key("Ifeo\\c.exe\\Debugger"), "NTSD -D");
  SetString(Key("Ifeo\\d.exe\\GlobalFlag"), "2");
  SetString(Key("Notify\\pkg\\dllname"), "C:\\pkg\\notify.dll");
  SetString(Key("Notify\\other\\Asynchronous"), "1");
  const std::string systemStub = inspect::GetSystemDir() + "\\ie4uinit.exe -BaseSettings";
  SetString(Key("Setup\\{1}\\StubPath"), systemStub);
  SetString(Key("Setup\\{2}\\StubPath"), "%SystemRoot%\\system32\\IE4UINIT.EXE");
  SetString(Key("Setup\\{3}\\StubPath"), "C:\\stub.exe /go");
  SetString(Key("Setup\\{4}\\stubpath"), "C:\\lower.exe");

  for (bool option : {true, false}) {
    scan::TScanOptions options;
    options.ExcludeMicrosoftFiles = option;
    scan::TReport report;
    scan::ListDebuggerHijacks(report, Path("Ifeo"), kRoot);
    scan::ListWinlogonNotify(report, options, Path("Notify"), kRoot);
    scan::ListActiveSetupStubs(report, options, Path("Setup"), kRoot);

    Items expected = {Entry("debugger", "C:\\spy.exe", KeyText("Ifeo\\a.exe")),
                      Entry("Debugger", "NTSD -D", KeyText("Ifeo\\c.exe")),
                      Entry("dllname", "C:\\pkg\\notify.dll", KeyText("Notify\\pkg")),
                      Entry("StubPath", "C:\\stub.exe /go", KeyText("Setup\\{3}")),
                      Entry("stubpath", "C:\\lower.exe", KeyText("Setup\\{4}"))};
    if (!option) {
      expected.push_back(Entry("StubPath", systemStub, KeyText("Setup\\{1}")));
      expected.push_back(Entry("StubPath", "%SystemRoot%\\system32\\IE4UINIT.EXE", KeyText("Setup\\{2}")));
    }
    EXPECT_EQ(Sorted(report), Sorted(expected)) << (option ? "option on" : "option off");
  }
}

TEST_P(RegistryStartupsContract, CustomDumpOfKeysAndValues) {
  SetString(Key("Dump\\One"), "1");
  SetString(Key("Dump\\Two"), "2");
  SetString(Key("Desk\\Wallpaper"), "C:\\w.bmp");

  scan::TReport report;
  scan::WriteCustomRegistryDump(report, {"HKEY_CURRENT_USER\\" + Key("Dump"),
                                         "hkey_current_user\\" + Key("Desk\\Wallpaper"),
                                         "HKEY_CURRENT_USER\\" + Key("Missing")});
  ASSERT_GT(report.Count(), 0u);
  EXPECT_EQ(report.Item(report.Count() - 1), "");
  EXPECT_EQ(Sorted(report), Sorted({Entry("One", "1", KeyText("Dump")), Entry("Two", "2", KeyText("Dump")),
                                    Entry("Wallpaper", "C:\\w.bmp", KeyText("Desk")), ""}));
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryStartupsContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
