// The startup list and the helper-object list over the fake: rows, deletion, menu rules.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "managers/bho_list.h"
#include "managers/shell_actions.h"
#include "managers/startups.h"
#include "platform/fake/fake_machine.h"
#include "tests/support/recording_prompter.h"

namespace managers {
void PrintTo(const TStartupRow& r, std::ostream* out) {
  *out << "{" << r.name << " | " << r.data << " | " << r.keyText << " | " << r.file << " | " << r.fileExists << "}";
}
void PrintTo(const TBhoRow& r, std::ostream* out) {
  *out << "{" << r.file << " | " << r.clsid << " | " << r.fileExists << "}";
}
}  // namespace managers

namespace {

namespace win = platform::win;
namespace keys = inspect::keys;
using bs_test::RecordingPrompter;
using bs_test::TPromptRecord;
using managers::TStartupRow;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;

constexpr const char* kHklmRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kHkcuRun = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr uint32_t kInfo = win::kMbOk | win::kMbIconInformation | win::kMbTopmost;
constexpr uint32_t kWarning = win::kMbOk | win::kMbIconWarning | win::kMbTopmost;

std::string Path(const char* key) { return std::string(keys::KeyPathOf(key)); }

class ManagerLists : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::FillDefaultTexts();
  }
  void Run(platform::RegKey root, const std::string& name, const std::string& data) {
    m.SetString(root, Path(keys::kRun), name, data);
  }
  Machine m;
};

TEST_F(ManagerLists, StartupRowsResolveProgramsAndSurviveOtherTypes) {
  m.AddFile("C:\\Program Files\\App\\app.exe");
  m.AddFile("C:\\WINDOWS\\system32\\ctfmon.exe");
  m.AddFile("C:\\WINDOWS\\ctfmon.exe");
  m.AddFile("C:\\WINDOWS\\winonly.exe");
  Run(kHkeyLocalMachine, "App", "\"C:\\Program Files\\App\\app.exe\" /min");
  Run(kHkeyLocalMachine, "Ctf", "ctfmon.exe");
  Run(kHkeyLocalMachine, "WinOnly", "winonly.exe");
  Run(kHkeyLocalMachine, "Gone", "nowhere.exe -x");
  Run(kHkeyCurrentUser, "App", "C:\\Users\\app.exe");
  m.SetString(kHkeyCurrentUser, Path(keys::kRunOnce), "Empty", "");
  m.SetDword(kHkeyLocalMachine, Path(keys::kRunOnceEx), "Flags", 0x20);
  m.SetString(kHkeyLocalMachine, Path(keys::kRunOnceEx), "After", "C:\\after.exe");
  m.SetString(kHkeyLocalMachine, Path(keys::kRunOnceEx) + "\\0001", "Sub", "C:\\sub.exe");  // subkeys are not entered

  const std::string runOnceEx = std::string("HKEY_LOCAL_MACHINE") + keys::kRunOnceEx;
  const std::string hkcuRunOnce = std::string("HKEY_CURRENT_USER") + keys::kRunOnce;
  const std::vector<TStartupRow> expected{
      {"App", "\"C:\\Program Files\\App\\app.exe\" /min", kHklmRun, "C:\\Program Files\\App\\app.exe", true},
      {"Ctf", "ctfmon.exe", kHklmRun, "C:\\WINDOWS\\system32\\ctfmon.exe", true},
      {"WinOnly", "winonly.exe", kHklmRun, "C:\\WINDOWS\\winonly.exe", true},
      {"Gone", "nowhere.exe -x", kHklmRun, "nowhere.exe", false},
      {"App", "C:\\Users\\app.exe", kHkcuRun, "C:\\Users\\app.exe", false},
      {"Flags", "REG_DWORD: 0x00000020 (32)", runOnceEx, "", false},
      {"After", "C:\\after.exe", runOnceEx, "C:\\after.exe", false},
      {"Empty", "", hkcuRunOnce, "", false},
  };
  EXPECT_EQ(managers::FillStartupList(), expected);
}

TEST_F(ManagerLists, StartupKeysAreListedInTableOrderAndUnreadableKeysGiveNothing) {
  // Filled in reverse, so that only the walk can put them in order.
  for (size_t i = managers::kStartupKeys.size(); i-- > 0;) {
    const auto& key = managers::kStartupKeys[i];
    m.SetString(key.root, Path(key.path), "v" + std::to_string(i), "x");
  }
  m.DenyKey(kHkeyLocalMachine, Path(keys::kNtRun));
  std::vector<std::string> names;
  for (const TStartupRow& row : managers::FillStartupList()) names.push_back(row.name);
  std::vector<std::string> expected;
  for (size_t i = 0; i < managers::kStartupKeys.size(); ++i) {
    if (i != 4) expected.push_back("v" + std::to_string(i));
  }
  EXPECT_EQ(names, expected);
}

TEST(StartupDataText, ValuesOfEveryTypeReadAsText) {
  using Bytes = std::vector<uint8_t>;
  struct Case {
    const char* name;
    uint32_t type;
    Bytes data;
    std::string text;
  } cases[] = {
      {"string up to its first NUL", win::kRegSz, Bytes{'a', ' ', 0, 'b', 0}, "a "},
      {"string without NUL", win::kRegExpandSz, Bytes{'%', 'x', '%'}, "%x%"},
      {"empty string", win::kRegSz, Bytes{}, ""},
      {"dword", win::kRegDword, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, "REG_DWORD: 0xFFFFFFFF (4294967295)"},
      {"short dword", win::kRegDword, Bytes{1, 2}, "type 4: 01 02"},
      {"qword", win::kRegQword, Bytes{1, 0, 0, 0, 0, 0, 0, 0}, "REG_QWORD: 0x0000000000000001 (1)"},
      {"multi", win::kRegMultiSz, Bytes{'a', 0, 0, 'b', ' ', 'c', 0, 0}, "REG_MULTI_SZ: a | b c"},
      {"binary", win::kRegBinary, Bytes{0x00, 0xAB}, "REG_BINARY: 00 AB"},
      {"empty binary", win::kRegBinary, Bytes{}, "REG_BINARY:"},
      {"none", win::kRegNone, Bytes{7}, "REG_NONE: 07"},
      {"unknown type", 0x12345, Bytes{}, "type 74565:"},
  };
  for (const Case& c : cases) EXPECT_EQ(managers::StartupDataText(c.type, c.data), c.text) << c.name;

  const std::string longBinary = managers::StartupDataText(win::kRegBinary, Bytes(1000, 0x11));
  EXPECT_EQ(longBinary.size(), std::string("REG_BINARY: ").size() + 64 * 3 - 1 + 4);
  EXPECT_EQ(longBinary.substr(longBinary.size() - 6), "11 ...");
}

TEST_F(ManagerLists, DeletingOneOfTwoSameNamedValuesLeavesTheOtherAndKeepsIt) {
  Run(kHkeyLocalMachine, "App", "C:\\machine.exe");
  Run(kHkeyCurrentUser, "App", "C:\\user.exe");
  const std::vector<TStartupRow> rows = managers::FillStartupList();
  ASSERT_EQ(rows.size(), 2u);
  RecordingPrompter prompter;

  EXPECT_EQ(managers::DeleteStartupItem(&rows[1], prompter), managers::TDeleteResult::Deleted);
  EXPECT_FALSE(m.GetValue(kHkeyCurrentUser, Path(keys::kRun), "App"));
  EXPECT_TRUE(m.GetValue(kHkeyLocalMachine, Path(keys::kRun), "App"));
  EXPECT_EQ(prompter.prompts, (std::vector<TPromptRecord>{{"Value App deleted successfully!", "Info", kInfo}}));

  // The deleted value is kept as a registry file that puts it back.
  platform::FindData found;
  const platform::Handle find = platform::Fs().FindFirstFile("C:\\Tools\\BurrowSentry\\Backups\\startup_*.reg", &found);
  ASSERT_NE(find, platform::kInvalidHandle);
  platform::Fs().FindClose(find);
  EXPECT_EQ(m.Contents("C:\\Tools\\BurrowSentry\\Backups\\" + found.name),
            std::string("REGEDIT4\r\n\r\n[") + kHkcuRun + "]\r\n\"App\"=\"C:\\\\user.exe\"\r\n\r\n");

  // A language file names the first word.
  inspect::SetLng(201, "Entry");
  prompter.prompts.clear();
  EXPECT_EQ(managers::DeleteStartupItem(&rows[0], prompter), managers::TDeleteResult::Deleted);
  EXPECT_EQ(prompter.prompts[0].text, "Entry App deleted successfully!");
  inspect::SetLng(201, "");
}

TEST_F(ManagerLists, DeleteReportsNoSelectionAndFailuresAndChangesNothing) {
  Run(kHkeyCurrentUser, "App", "C:\\user.exe");
  RecordingPrompter prompter;
  EXPECT_EQ(managers::DeleteStartupItem(nullptr, prompter), managers::TDeleteResult::NoSelection);
  EXPECT_EQ(prompter.prompts,
            (std::vector<TPromptRecord>{{"No item selected!", "Error", win::kMbOk | win::kMbIconError}}));

  prompter.prompts.clear();
  const TStartupRow vanished{"Other", "C:\\x.exe", kHkcuRun, "C:\\x.exe", false};
  EXPECT_EQ(managers::DeleteStartupItem(&vanished, prompter), managers::TDeleteResult::Failed);
  EXPECT_EQ(prompter.prompts, (std::vector<TPromptRecord>{{"Error deleting the value Other", "Warning", kWarning}}));

  prompter.prompts.clear();
  const TStartupRow noKey{"App", "C:\\x.exe", kHklmRun, "C:\\x.exe", false};
  EXPECT_EQ(managers::DeleteStartupItem(&noKey, prompter), managers::TDeleteResult::KeyMissing);
  EXPECT_TRUE(prompter.prompts.empty());
  EXPECT_TRUE(m.GetValue(kHkeyCurrentUser, Path(keys::kRun), "App"));

  // A name the registry-file format cannot carry cannot be kept: it is deleted only when the user
  // says Yes to the warning, and nothing is written to the backups either way.
  Run(kHkeyCurrentUser, "Two\r\nLines", "C:\\x.exe");
  prompter.prompts.clear();
  prompter.answer = win::kIdNo;
  const TStartupRow broken{"Two\r\nLines", "C:\\x.exe", kHkcuRun, "C:\\x.exe", false};
  EXPECT_EQ(managers::DeleteStartupItem(&broken, prompter), managers::TDeleteResult::Cancelled);
  EXPECT_EQ(prompter.prompts, (std::vector<TPromptRecord>{{managers::kNoBackupWarning, "Warning",
                                                           win::kMbYesNo | win::kMbIconWarning | win::kMbTopmost}}));
  EXPECT_TRUE(m.GetValue(kHkeyCurrentUser, Path(keys::kRun), "Two\r\nLines"));
  prompter.answer = win::kIdYes;
  EXPECT_EQ(managers::DeleteStartupItem(&broken, prompter), managers::TDeleteResult::Deleted);
  EXPECT_FALSE(m.GetValue(kHkeyCurrentUser, Path(keys::kRun), "Two\r\nLines"));
  platform::FindData found;
  EXPECT_EQ(platform::Fs().FindFirstFile("C:\\Tools\\BurrowSentry\\Backups\\startup_*.reg", &found),
            platform::kInvalidHandle);
}

TEST_F(ManagerLists, ContextMenuRulesAndFileActions) {
  const TStartupRow program{"App", "\"C:\\Program Files\\App\\app.exe\" /min", kHklmRun,
                            "C:\\Program Files\\App\\app.exe", true};
  const TStartupRow empty{"Empty", "", kHklmRun, "", false};
  const TStartupRow dword{"Flags", "REG_DWORD: 0x00000020 (32)", kHklmRun, "", false};
  struct Case {
    const char* name;
    const TStartupRow* row;
    managers::TStartupMenu menu;
  } cases[] = {
      {"no focused row", nullptr, {true, false, false, false}},
      {"a program", &program, {true, true, true, true}},
      {"empty data", &empty, {true, true, false, false}},
      {"a value of another type", &dword, {true, true, false, false}},
  };
  for (const Case& c : cases) EXPECT_EQ(managers::StartupMenuState(c.row), c.menu) << c.name;

  m.AddFile(program.file);
  EXPECT_FALSE(managers::OpenStartupFolder(&empty));
  EXPECT_FALSE(managers::ShowStartupFileProperties(0, nullptr));
  EXPECT_TRUE(managers::OpenStartupFolder(&program));
  EXPECT_TRUE(managers::ShowStartupFileProperties(0, &program));
  ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
  const platform::fake::ShellExecution& run = m.shellUi().shellExecutions[0];
  EXPECT_EQ(run.verb, "open");
  EXPECT_EQ(run.file, "C:\\Program Files\\App\\");
  EXPECT_EQ(run.show, win::kSwShow);
  EXPECT_EQ(m.shellUi().propertiesShown, (std::vector<std::string>{"C:\\Program Files\\App\\app.exe"}));
}

TEST_F(ManagerLists, HelperObjectsWithAStringServerAreListed) {
  const std::string bho = Path(keys::kBrowserHelperObjects);
  const auto server = [&](const char* clsid, const std::string& text, uint32_t type = win::kRegSz) {
    m.CreateKey(kHkeyLocalMachine, bho + "\\" + clsid);
    m.SetString(platform::kHkeyClassesRoot, std::string("CLSID\\") + clsid + "\\InprocServer32", "", text, type);
  };
  m.AddFile("C:\\Program Files\\Bar\\bar.dll");
  server("{A}", "\"C:\\Program Files\\Bar\\bar.dll\"");
  server("{B}", "C:\\Program Files\\Bar\\bar.dll");
  server("{C}", "%SystemRoot%\\x.dll", win::kRegExpandSz);
  server("{D}", "");
  m.CreateKey(kHkeyLocalMachine, bho + "\\{E}");  // no server at all
  server("{F}", "C:\\gone.dll");

  const std::vector<managers::TBhoRow> expected{
      {"C:\\Program Files\\Bar\\bar.dll", "{A}", true},
      {"C:\\Program Files\\Bar\\bar.dll", "{B}", true},
      {"C:\\gone.dll", "{F}", false},
  };
  const std::vector<managers::TBhoRow> rows = managers::FillBhoList();
  EXPECT_EQ(rows, expected);
  EXPECT_STREQ(managers::kBhoKeyText, "HKEY_CLASSES_ROOT\\CLSID\\");

  EXPECT_EQ(managers::BhoMenuState(nullptr), (managers::TBhoMenu{true, false, false}));
  EXPECT_EQ(managers::BhoMenuState(&rows[2]), (managers::TBhoMenu{true, true, true}));
  const managers::TBhoRow blank{};
  EXPECT_EQ(managers::BhoMenuState(&blank), (managers::TBhoMenu{true, false, false}));
  EXPECT_TRUE(managers::OpenBhoFolder(&rows[0]));
  ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
  EXPECT_EQ(m.shellUi().shellExecutions[0].file, "C:\\Program Files\\Bar\\");
}

// A Run value's data is the malware's own text: "Open folder" hands the shell only a folder that
// exists on a drive of this machine.
TEST_F(ManagerLists, OpenFolderOnlyForALocalFolder) {
  m.AddFile("C:\\Program Files\\App\\app.exe");
  m.AddFile("C:\\evil.exe", "MZ");
  m.AddFile("Z:\\Share\\app.exe");
  m.system().driveTypes["Z:"] = win::kDriveRemote;
  const struct {
    const char* file;
    bool opened;
  } cases[] = {
      {"C:\\Program Files\\App\\app.exe", true},
      {"\\\\attacker\\share\\app.exe", false},
      {"Z:\\Share\\app.exe", false},  // a mapped network drive
      {"C:\\Missing\\app.exe", false},
      {"C:\\evil.exe\\app.exe", false},  // a file, not a folder
      {"\\\\?\\C:\\Program Files\\App\\app.exe", false},
      {"http://attacker/app.exe", false},
      {"app.exe", false},
  };
  for (const auto& c : cases) {
    m.shellUi().shellExecutions.clear();
    EXPECT_EQ(managers::OpenContainingFolder(c.file), c.opened) << c.file;
    EXPECT_EQ(m.shellUi().shellExecutions.size(), c.opened ? 1u : 0u) << c.file;
  }
}

TEST_F(ManagerLists, HelperObjectListIsEmptyWithoutItsKey) {
  m.DenyKey(kHkeyLocalMachine, Path(keys::kBrowserHelperObjects));
  EXPECT_TRUE(managers::FillBhoList().empty());
}

}  // namespace
