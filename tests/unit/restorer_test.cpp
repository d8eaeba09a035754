// The Restorer over the fake: the catalogue's rows, the batch's guard and message, the undo file,
// and the Safe Mode files the release ships.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "inspect/lang.h"
#include "inspect/run_state.h"
#include "inspect/save_file.h"
#include "platform/fake/fake_machine.h"
#include "platform/handles.h"
#include "restorer/backup.h"
#include "inspect/reg_file.h"
#include "restorer/repairs.h"
#include "restorer/safe_mode.h"
#include "tests/safe_mode_files.h"

namespace {

namespace win = platform::win;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::RegKey;
using platform::fake::Machine;
using restorer::TRepair;

constexpr RegKey kLm = kHkeyLocalMachine;
constexpr RegKey kCu = kHkeyCurrentUser;
const char kAppDir[] = "C:\\Tools\\BurrowSentry\\";
const char kSystemPolicies[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char kExplorerPolicies[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char kWinlogon[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char kClasses[] = "SOFTWARE\\Classes\\";

// Answers every question with `answer` and remembers what it was asked and whether a batch was
// running at that moment; it holds the run state its batches are given.
struct TRecordingPrompter : inspect::TPrompter {
  struct TAsked {
    std::string text, caption;
    uint32_t flags;
    bool restorerRunning;
  };
  int answer = win::kIdOk;
  std::vector<TAsked> asked;
  int Prompt(const std::string& text, const std::string& caption, uint32_t flags) override {
    asked.push_back({text, caption, flags, state.repairing});
    return answer;
  }
  inspect::TRunState state;
};

const std::string* ShippedFile(const std::string& name) {
  for (const TShippedFile& f : kShippedSafeModeFiles) {
    if (name == f.name) return &f.text;
  }
  return nullptr;
}

std::string StringOf(const std::optional<platform::fake::RegValue>& v) {
  if (!v || v->type != win::kRegSz || v->data.empty()) return "<none>";
  return std::string(v->data.begin(), v->data.end() - 1);
}

std::optional<uint32_t> DwordOf(const std::optional<platform::fake::RegValue>& v) {
  if (!v || v->type != win::kRegDword || v->data.size() != 4) return std::nullopt;
  return v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) | (static_cast<uint32_t>(v->data[3]) << 24);
}

class Restorer : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::ClearLngTable();
    inspect::SetLng(136, "Restorer");
  }
  void TearDown() override { inspect::ClearLngTable(); }

  restorer::TRestorerResult Apply(std::initializer_list<TRepair> repairs, bool restorePoint = false) {
    restorer::TRestorerOptions options;
    options.createRestorePoint = restorePoint;
    for (TRepair r : repairs) options.Tick(r);
    return restorer::ApplyRepairs(options, prompter, prompter.state);
  }

  Machine m;
  TRecordingPrompter prompter;
};

TEST_F(Restorer, EachRowLeavesTheRegistryItsCaptionPromises) {
  struct Case {
    const char* name;
    TRepair repair;
    std::function<void(Machine&)> seed;
    std::function<void(Machine&)> check;
  };
  const std::string classes = kClasses;
  const Case cases[] = {
      {"policy values go under both roots, the rest of the key stays", TRepair::RegistryEditor,
       [](Machine& m) {
         m.SetDword(kLm, kSystemPolicies, "DisableRegistryTools", 1);
         m.SetDword(kCu, kSystemPolicies, "DisableRegistryTools", 1);
         m.SetDword(kCu, kSystemPolicies, "DisableTaskMgr", 1);
       },
       [](Machine& m) {
         EXPECT_FALSE(m.GetValue(kLm, kSystemPolicies, "DisableRegistryTools"));
         EXPECT_FALSE(m.GetValue(kCu, kSystemPolicies, "DisableRegistryTools"));
         EXPECT_TRUE(m.GetValue(kCu, kSystemPolicies, "DisableTaskMgr"));
       }},
      {"DisallowRun goes with its subkeys", TRepair::DisallowRun,
       [](Machine& m) { m.SetString(kCu, std::string(kExplorerPolicies) + "\\DisallowRun\\Deep", "1", "regedit.exe"); },
       [](Machine& m) {
         EXPECT_FALSE(m.KeyExists(kCu, std::string(kExplorerPolicies) + "\\DisallowRun"));
         EXPECT_TRUE(m.KeyExists(kCu, kExplorerPolicies));
       }},
      {"Shell is the Windows folder's Explorer", TRepair::Shell, [](Machine&) {},
       [](Machine& m) { EXPECT_EQ(StringOf(m.GetValue(kLm, kWinlogon, "Shell")), "C:\\WINDOWS\\Explorer.exe"); }},
      {"Userinit keeps its trailing comma", TRepair::Userinit, [](Machine&) {},
       [](Machine& m) {
         EXPECT_EQ(StringOf(m.GetValue(kLm, kWinlogon, "Userinit")), "C:\\WINDOWS\\system32\\userinit.exe,");
       }},
      {"exefile gets its default value, not a value named command", TRepair::ExeFile,
       [](Machine& m) { m.SetString(kLm, "SOFTWARE\\Classes\\exefile\\shell\\open\\command", "", "evil.exe \"%1\""); },
       [classes](Machine& m) {
         const std::string key = classes + "exefile\\shell\\open\\command";
         EXPECT_EQ(StringOf(m.GetValue(kLm, key, "")), "\"%1\" %*");
         EXPECT_FALSE(m.GetValue(kLm, classes + "exefile\\shell\\open", "command"));
       }},
      {"scrfile starts the saver with /S", TRepair::ScrFile, [](Machine&) {},
       [classes](Machine& m) {
         EXPECT_EQ(StringOf(m.GetValue(kLm, classes + "scrfile\\shell\\open\\command", "")), "\"%1\" /S");
       }},
      {"txtfile prefers Notepad of the Windows folder", TRepair::TxtFile,
       [](Machine& m) {
         m.AddFile("C:\\WINDOWS\\notepad.exe");
         m.AddFile("C:\\WINDOWS\\system32\\notepad.exe");
       },
       [classes](Machine& m) {
         EXPECT_EQ(StringOf(m.GetValue(kLm, classes + "txtfile\\shell\\open\\command", "")),
                   "C:\\WINDOWS\\NOTEPAD.EXE %1");
       }},
      {"txtfile falls back to Notepad of the system folder", TRepair::TxtFile,
       [](Machine& m) { m.AddFile("C:\\WINDOWS\\system32\\notepad.exe"); },
       [classes](Machine& m) {
         EXPECT_EQ(StringOf(m.GetValue(kLm, classes + "txtfile\\shell\\open\\command", "")),
                   "C:\\WINDOWS\\system32\\NOTEPAD.EXE %1");
       }},
      {"txtfile without any Notepad changes nothing", TRepair::TxtFile, [](Machine&) {},
       [classes](Machine& m) { EXPECT_FALSE(m.KeyExists(kLm, classes + "txtfile")); }},
      {"Policies Explorer Run under HKLM goes when HKCU has none", TRepair::PoliciesExplorerRun,
       [](Machine& m) { m.SetString(kLm, std::string(kExplorerPolicies) + "\\Run\\Sub", "x", "y"); },
       [](Machine& m) {
         EXPECT_FALSE(m.KeyExists(kLm, std::string(kExplorerPolicies) + "\\Run"));
         EXPECT_TRUE(m.KeyExists(kLm, kExplorerPolicies));
       }},
      {"both firewall profiles are switched on", TRepair::Firewall, [](Machine&) {},
       [](Machine& m) {
         EXPECT_EQ(DwordOf(m.GetValue(kLm, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\StandardProfile", "EnableFirewall")), 1u);
         EXPECT_EQ(DwordOf(m.GetValue(kLm, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\DomainProfile", "EnableFirewall")), 1u);
       }},
      {"a DWORD replaces a string of the same name", TRepair::FolderOptions,
       [](Machine& m) { m.SetString(kCu, kExplorerPolicies, "NofolderOptions", "1"); },
       [](Machine& m) { EXPECT_EQ(DwordOf(m.GetValue(kCu, kExplorerPolicies, "NofolderOptions")), 0u); }},
      {"CheckExeSignatures is the string yes", TRepair::CheckExeSignatures, [](Machine&) {},
       [](Machine& m) {
         EXPECT_EQ(StringOf(m.GetValue(kCu, "Software\\Microsoft\\Internet Explorer\\Download", "CheckExeSignatures")), "yes");
       }},
      {"the wallpaper lock goes under both roots", TRepair::ChangingWallpaper, [](Machine&) {},
       [](Machine& m) {
         const char key[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\ActiveDesktop";
         EXPECT_EQ(DwordOf(m.GetValue(kLm, key, "NoChangingWallpaper")), 0u);
         EXPECT_EQ(DwordOf(m.GetValue(kCu, key, "NoChangingWallpaper")), 0u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine fresh;
    fresh.Install();
    c.seed(fresh);
    TRecordingPrompter asked;
    restorer::TRestorerOptions options;
    options.Tick(c.repair);
    EXPECT_TRUE(restorer::ApplyRepairs(options, asked, asked.state).applied);
    c.check(fresh);
  }
}

TEST_F(Restorer, SafeModeRowHandsItsFileToTheRegistryEditor) {
  m.AddFile(std::string(kAppDir) + "Data\\SM\\W7U64.dat", *ShippedFile("W7U64.dat"));
  Apply({TRepair::SafeMode7x64});
  ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
  const auto& run = m.shellUi().shellExecutions[0];
  EXPECT_EQ(run.verb, "open");
  EXPECT_EQ(run.file, "C:\\WINDOWS\\regedit.exe");
  EXPECT_EQ(run.parameters, "/S \"C:\\Tools\\BurrowSentry\\Data\\SM\\W7U64.dat\"");
  EXPECT_EQ(run.show, win::kSwShow);
}

TEST_F(Restorer, SafeModeFileThatWritesElsewhereIsNeverImported) {
  m.AddFile(std::string(kAppDir) + "Data\\SM\\WXPSP3.dat",
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"x\"=\"evil.exe\"\r\n");
  const auto result = Apply({TRepair::SafeModeXpSp3});
  EXPECT_TRUE(m.shellUi().shellExecutions.empty());
  EXPECT_EQ(result.failedOperations, 1);
}

TEST_F(Restorer, NothingTickedStillMakesTheRestorePointAndTheMessage) {
  const auto result = Apply({}, true);
  EXPECT_TRUE(result.applied);
  EXPECT_EQ(m.system().restorePoints.size(), 1u);
  EXPECT_TRUE(result.backupPath.empty());
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, inspect::LngDefault(186));
  EXPECT_EQ(prompter.asked[0].caption, "Restorer");
  EXPECT_EQ(prompter.asked[0].flags, win::kMbIconInformation | win::kMbTopmost);
  EXPECT_TRUE(prompter.asked[0].restorerRunning);
  EXPECT_FALSE(prompter.state.repairing);
}

TEST_F(Restorer, ApplyDuringAScanChangesNothing) {
  m.SetDword(kCu, kSystemPolicies, "DisableTaskMgr", 1);
  prompter.state.scanning = true;
  const auto result = Apply({TRepair::TaskManager, TRepair::Shell}, true);
  EXPECT_FALSE(result.applied);
  EXPECT_TRUE(m.GetValue(kCu, kSystemPolicies, "DisableTaskMgr"));
  EXPECT_FALSE(m.GetValue(kLm, kWinlogon, "Shell"));
  EXPECT_TRUE(m.system().restorePoints.empty());
  EXPECT_FALSE(m.Exists(std::string(kAppDir) + "Backups"));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, "Please wait... the main system scan is in progress.");
  EXPECT_EQ(prompter.asked[0].caption, "Warning");
  EXPECT_FALSE(prompter.asked[0].restorerRunning);
}

// --- the undo file ------------------------------------------------------------------------

// Every key and value below a root as "path" and "path = type:bytes", read through the platform.
void Dump(RegKey root, const std::string& path, std::map<std::string, std::string>* out) {
  auto& reg = platform::Reg();
  platform::ScopedKey key;
  if (reg.OpenKey(root, path, win::kKeyRead, key.out()) != win::kErrorSuccess) {
    (*out)[path] = "<cannot open>";
    return;
  }
  (*out)[path] = "<key>";
  for (uint32_t i = 0;; ++i) {
    std::string name;
    if (reg.EnumValue(key.get(), i, &name) != win::kErrorSuccess) break;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    reg.QueryValue(key.get(), name, &type, &data);
    (*out)[path + " = " + name] = std::to_string(type) + ":" + std::string(data.begin(), data.end());
  }
  std::vector<std::string> subkeys;
  for (uint32_t i = 0;; ++i) {
    std::string name;
    if (reg.EnumKey(key.get(), i, &name) != win::kErrorSuccess) break;
    subkeys.push_back(name);
  }
  key.Reset();
  for (const std::string& sub : subkeys) Dump(root, path.empty() ? sub : path + "\\" + sub, out);
}

std::map<std::string, std::string> WholeRegistry() {
  std::map<std::string, std::string> all;
  Dump(kLm, "", &all);
  std::map<std::string, std::string> user;
  Dump(kCu, "", &user);
  for (auto& [k, v] : user) all["HKCU\\" + k] = v;
  return all;
}

// A machine a hijack has been at, with values of every type and some hostile ones.
void SeedHijackedMachine(Machine& m) {
  m.SetDword(kLm, kSystemPolicies, "DisableTaskMgr", 1);
  m.SetString(kCu, kSystemPolicies, "DisableRegistryTools", "1");  // a string where a DWORD belongs
  m.SetValue(kCu, kSystemPolicies, "DisableCMD", win::kRegBinary, {0x02, 0x00, 0xff});
  m.SetString(kCu, std::string(kExplorerPolicies) + "\\DisallowRun", "1", "regedit.exe");
  m.SetString(kCu, std::string(kExplorerPolicies) + "\\DisallowRun\\Deeper", "", "with \"quotes\" and \\ back\\slashes");
  m.SetValue(kCu, std::string(kExplorerPolicies) + "\\DisallowRun\\Deeper", "multi", win::kRegMultiSz,
             {'a', 0, 'b', 0, 0});
  m.SetValue(kCu, std::string(kExplorerPolicies) + "\\DisallowRun", "odd", 0x1234, {1, 2, 3});
  m.SetDword(kCu, kExplorerPolicies, "NofolderOptions", 1);
  m.SetString(kLm, kWinlogon, "Shell", "explorer.exe C:\\bad\\shell.exe");
  m.SetString(kLm, kWinlogon, "Userinit", std::string(32 * 1024, 'u'));
  m.SetValue(kLm, kWinlogon, "UIHost", win::kRegExpandSz, {'%', 'x', '%', 0});
  m.SetValue(kLm, kWinlogon, "SFCDisable", win::kRegSz, {'n', 'o', 'n', 'u', 'l'});  // no NUL
  m.SetValue(kLm, "SOFTWARE\\Classes\\exefile\\shell\\open\\command", "", win::kRegBinary, {0xde, 0xad});
  m.SetString(kLm, "SOFTWARE\\Classes\\comfile\\shell\\open\\command", "", "line\r\nbreak");
  m.SetString(kLm, std::string(kExplorerPolicies) + "\\Run", "bot", "C:\\bot.exe");
  m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell", "evil.exe");
  m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\dmio.sys", "", "Service");
  m.AddFile("C:\\WINDOWS\\notepad.exe");
  m.DenyKey(kLm, "Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore");
}

restorer::TRestorerOptions EverythingTicked() {
  restorer::TRestorerOptions options;
  options.ticked.fill(true);
  options.createRestorePoint = false;
  for (TRepair r : {TRepair::SafeModeXpSp2, TRepair::SafeModeXpSp3, TRepair::SafeMode2000Sp4,
                    TRepair::SafeMode2003R2Sp2, TRepair::SafeMode7}) {
    options.ticked[static_cast<size_t>(r)] = false;
  }
  return options;
}

TEST_F(Restorer, ImportingTheUndoFilePutsTheRegistryBack) {
  SeedHijackedMachine(m);
  const std::string& safeMode = *ShippedFile("W7U64.dat");
  m.AddFile(std::string(kAppDir) + "Data\\SM\\W7U64.dat", safeMode);
  const auto before = WholeRegistry();

  const auto result = restorer::ApplyRepairs(EverythingTicked(), prompter, prompter.state);
  m.ImportReg(safeMode);  // what the Registry Editor does in its own process
  ASSERT_TRUE(result.applied);
  ASSERT_FALSE(result.backupPath.empty());
  EXPECT_EQ(result.backupPath.rfind(std::string(kAppDir) + "Backups\\restorer_2009-12-08_15-45-12", 0), 0u)
      << result.backupPath;
  ASSERT_NE(WholeRegistry(), before);
  EXPECT_NE(prompter.asked.back().text.find(result.backupPath), std::string::npos);

  const std::string backup = m.Contents(result.backupPath);
  EXPECT_EQ(backup.rfind("REGEDIT4\r\n", 0), 0u);
  m.ImportReg(backup);
  const auto after = WholeRegistry();
  for (const auto& [k, v] : before) {
    auto it = after.find(k);
    if (it == after.end()) {
      ADD_FAILURE() << "lost: " << k;
    } else {
      EXPECT_EQ(it->second, v) << k;
    }
  }
  for (const auto& [k, v] : after) {
    if (!before.count(k)) ADD_FAILURE() << "left behind: " << k;
  }
  EXPECT_FALSE(m.Exists(inspect::SavePartPath(result.backupPath)));
}

// Keys that refuse to open, values of the wrong type, a 32 KB string and a binary default value:
// every row is still tried, the undo file is still written, and the message still comes.
TEST_F(Restorer, HostileRegistryStopsNeitherTheBatchNorTheBackup) {
  const std::string disallowRun = std::string(kExplorerPolicies) + "\\DisallowRun";
  const std::string exeCommand = std::string(kClasses) + "exefile\\shell\\open\\command";
  m.DenyKey(kLm, kWinlogon);
  m.DenyKey(kCu, disallowRun);
  m.SetValue(kCu, kSystemPolicies, "DisableTaskMgr", win::kRegBinary, {1, 0, 0, 0, 0xff});
  m.SetString(kCu, kSystemPolicies, "DisableCMD", std::string(32 * 1024, 'c'));
  m.SetString(kCu, kExplorerPolicies, "NoSetActiveDesktop", "1");
  m.SetValue(kLm, exeCommand, "", win::kRegBinary, {0xde, 0xad});
  m.SetValue(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Associations", "LowRiskFileTypes",
             win::kRegMultiSz, std::vector<uint8_t>(40000, 'x'));

  const auto result = restorer::ApplyRepairs(EverythingTicked(), prompter, prompter.state);
  ASSERT_TRUE(result.applied);
  EXPECT_GE(result.failedOperations, 6);  // five Winlogon values and DisallowRun, at least

  // The rows on both sides of the refused ones were carried out.
  EXPECT_FALSE(m.GetValue(kCu, kSystemPolicies, "DisableTaskMgr"));
  EXPECT_FALSE(m.GetValue(kCu, kSystemPolicies, "DisableCMD"));
  EXPECT_EQ(StringOf(m.GetValue(kLm, exeCommand, "")), "\"%1\" %*");
  EXPECT_EQ(DwordOf(m.GetValue(kCu, kExplorerPolicies, "NoSetActiveDesktop")), 0u);
  EXPECT_EQ(DwordOf(m.GetValue(kCu, kExplorerPolicies, "NoActiveDesktopChanges")), 0u);
  EXPECT_FALSE(m.GetValue(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Associations",
                          "LowRiskFileTypes"));

  // The backup holds what could be read and says what could not.
  ASSERT_FALSE(result.backupPath.empty());
  const std::string backup = m.Contents(result.backupPath);
  for (const std::string& key : {"HKEY_LOCAL_MACHINE\\" + std::string(kWinlogon), "HKEY_CURRENT_USER\\" + disallowRun}) {
    EXPECT_NE(backup.find("; not saved, cannot be read: [" + key + "]"), std::string::npos) << key;
  }
  EXPECT_NE(backup.find("\"DisableTaskMgr\"=hex:01,00,00,00,ff"), std::string::npos);
  EXPECT_NE(backup.find("\"DisableCMD\"=\"" + std::string(32 * 1024, 'c') + "\""), std::string::npos);
  EXPECT_NE(backup.find("@=hex:de,ad"), std::string::npos);
  ASSERT_FALSE(prompter.asked.empty());
  EXPECT_NE(prompter.asked.back().text.find(result.backupPath), std::string::npos);
  EXPECT_FALSE(prompter.state.repairing);
}

// Keys below a repaired tree named so that their path would close the key line and start one of
// the writer's own: no such line reaches the undo file, and importing it touches nothing else.
TEST_F(Restorer, KeyNamesCannotWriteLinesIntoTheUndoFile) {
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run";
  const char* hostile[] = {"x]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Victim", "y]", "z\n@=\"injected\""};
  for (const char* name : hostile) m.SetString(kCu, run + "\\" + name, "v", "1");
  m.SetString(kCu, run, "1", "evil.exe");
  m.SetString(kLm, "SOFTWARE\\Victim", "Keep", "me");

  const auto result = restorer::ApplyRepairs(EverythingTicked(), prompter, prompter.state);
  ASSERT_TRUE(result.applied);
  EXPECT_FALSE(m.KeyExists(kCu, run));
  const std::string backup = m.Contents(result.backupPath);
  EXPECT_EQ(backup.find("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Victim"), std::string::npos) << backup;
  EXPECT_EQ(backup.find("injected"), std::string::npos);
  EXPECT_EQ(backup.find("y]"), std::string::npos);
  EXPECT_NE(backup.find("; not saved, a key name below cannot be written in this file"), std::string::npos);
  // The readable part comes back; the victim stays.
  m.ImportReg(backup);
  EXPECT_EQ(StringOf(m.GetValue(kCu, run, "1")), "evil.exe");
  EXPECT_EQ(StringOf(m.GetValue(kLm, "SOFTWARE\\Victim", "Keep")), "me");
}

TEST_F(Restorer, BrowserSetterSavesWhatItReplaces) {
  m.SetString(kCu, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page", "http://hijack.example/");
  const auto before = WholeRegistry();
  const auto result = restorer::SetBrowserValue(restorer::TBrowserValue::StartPage, "about:blank", prompter);
  EXPECT_EQ(StringOf(m.GetValue(kCu, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page")), "about:blank");
  EXPECT_EQ(StringOf(m.GetValue(kLm, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page")), "about:blank");
  EXPECT_TRUE(prompter.asked.empty());
  m.ImportReg(m.Contents(result.backupPath));
  EXPECT_EQ(WholeRegistry(), before);
}

TEST_F(Restorer, UrlSearchHooksSetterWritesAnEmptyValueBesideTheSubkey) {
  restorer::SetBrowserValue(restorer::TBrowserValue::UrlSearchHooks, "", prompter);
  const auto value = m.GetValue(kCu, "Software\\Microsoft\\Internet Explorer", "URLSearchHooks");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, win::kRegSz);
  EXPECT_EQ(value->data, std::vector<uint8_t>{0});
  EXPECT_FALSE(m.KeyExists(kLm, "Software\\Microsoft\\Internet Explorer"));
}

TEST_F(Restorer, UnwritableBackupAsksWhetherToGoOn) {
  struct Case {
    int answer;
    bool applied;
  };
  for (const Case c : {Case{win::kIdNo, false}, Case{win::kIdYes, true}}) {
    Machine fresh;
    fresh.Install();
    fresh.DenyCreate(std::string(kAppDir) + "Backups");
    fresh.SetDword(kCu, kSystemPolicies, "DisableTaskMgr", 1);
    TRecordingPrompter asked;
    asked.answer = c.answer;
    restorer::TRestorerOptions options;
    options.Tick(TRepair::TaskManager);
    const auto result = restorer::ApplyRepairs(options, asked, asked.state);
    EXPECT_EQ(result.applied, c.applied);
    EXPECT_TRUE(result.backupPath.empty());
    EXPECT_EQ(fresh.GetValue(kCu, kSystemPolicies, "DisableTaskMgr").has_value(), !c.applied);
    ASSERT_FALSE(asked.asked.empty());
    EXPECT_EQ(asked.asked[0].flags & win::kMbYesNo, win::kMbYesNo);
    EXPECT_EQ(asked.asked.size(), c.applied ? 2u : 1u);  // the final message only when applied
    EXPECT_FALSE(asked.state.repairing);
  }
}

TEST(RegFile, ValueLinesCarryTypeAndBytes) {
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    const char* line;
  };
  const Case cases[] = {
      {"", win::kRegSz, {'a', '"', '\\', 0}, "@=\"a\\\"\\\\\""},
      {"n", win::kRegDword, {0x78, 0x56, 0x34, 0x12}, "\"n\"=dword:12345678"},
      {"n", win::kRegDword, {1, 2}, "\"n\"=hex(4):01,02"},
      {"n", win::kRegSz, {'a', 'b'}, "\"n\"=hex(1):61,62"},
      {"n", win::kRegBinary, {}, "\"n\"=hex:"},
      {"n", 0x1234, {0xff}, "\"n\"=hex(1234):ff"},
  };
  for (const Case& c : cases) EXPECT_EQ(inspect::RegValueLine(c.name, c.type, c.data), c.line);
  EXPECT_EQ(inspect::RegValueLine("a\nb", win::kRegSz, {0}), "");
  const std::string wrapped = inspect::RegValueLine("b", win::kRegBinary, std::vector<uint8_t>(30, 0xab));
  EXPECT_NE(wrapped.find(",\\\r\n  ab"), std::string::npos);
}

TEST(RegFile, KeyLinesOnlyForNamesTheLineCarries) {
  const struct {
    const char* path;
    bool remove;
    const char* line;
  } cases[] = {
      {"Software\\A b", false, "[HKEY_CURRENT_USER\\Software\\A b]"},
      {"Software\\A", true, "[-HKEY_CURRENT_USER\\Software\\A]"},
      {"", false, "[HKEY_CURRENT_USER]"},
      {"Software\\x]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE", false, ""},
      {"Software\\a\nb", false, ""},
      {"Software\\a\rb", true, ""},
      {"Software\\a]b", false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(inspect::RegKeyLine(kCu, c.path, c.remove), c.line) << c.path;
  EXPECT_EQ(inspect::RegKeyLine(0x1234, "Software", false), "");
}

// --- the Safe Mode files the release ships --------------------------------------------------

TEST(SafeModeFiles, AllSixShipAndTouchOnlyTheSafeBootKey) {
  std::vector<std::string> names;
  for (const TShippedFile& f : kShippedSafeModeFiles) {
    SCOPED_TRACE(f.name);
    names.push_back(f.name);
    EXPECT_EQ(f.text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_EQ(restorer::LinesOutsideSafeBoot(f.text), std::vector<std::string>{});
    bool alternateShell = false, minimal = false, network = false;
    for (const inspect::TRegLine& line : inspect::ReadRegLines(f.text)) {
      alternateShell = alternateShell || (line.kind == inspect::TRegLine::Kind::Value && line.name == "AlternateShell");
      minimal = minimal || line.key == restorer::SafeBootKeyText() + "\\Minimal";
      network = network || line.key == restorer::SafeBootKeyText() + "\\Network";
    }
    EXPECT_TRUE(alternateShell && minimal && network);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"W2000SP4Pro.dat", "W2003R2SP2.dat", "W7U.dat", "W7U64.dat",
                                             "WXPSP2.dat", "WXPSP3.dat"}));
}

TEST(SafeModeFiles, TheCheckRefusesEverythingElse) {
  const std::string key = "[" + restorer::SafeBootKeyText();
  const char* bad[] = {
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]",
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBootX]",
      "[HKEY_CURRENT_USER\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot]",
      "[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal]",
      "\"value before any key\"=\"x\"",
      "garbage",
  };
  for (const char* line : bad) {
    EXPECT_EQ(restorer::LinesOutsideSafeBoot(std::string("REGEDIT4\r\n") + line + "\r\n").size(), 1u) << line;
  }
  EXPECT_EQ(restorer::LinesOutsideSafeBoot("REGEDIT4\r\n" + key + "\\Minimal]\r\n\"x\"=-\r\n").size(), 1u);
  EXPECT_TRUE(restorer::LinesOutsideSafeBoot("REGEDIT4\r\n" + key + "\\minimal\\x]\r\n@=\"Driver\"\r\n").empty());
}

}  // namespace
