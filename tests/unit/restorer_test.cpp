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

TEST_F(Restorer, SafeModeRowHandsACopyOfItsFileToTheRegistryEditor) {
  m.AddFile(std::string(kAppDir) + "Data\\SM\\W7U64.dat", *ShippedFile("W7U64.dat"));
  std::string imported;
  m.shellUi().whileRunning = [&](const platform::fake::ShellExecution& run) {
    imported = m.Contents(run.parameters.substr(4, run.parameters.size() - 5));
  };
  Apply({TRepair::SafeMode7x64});
  ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
  const auto& run = m.shellUi().shellExecutions[0];
  EXPECT_EQ(run.verb, "open");
  EXPECT_EQ(run.file, "C:\\WINDOWS\\regedit.exe");
  const std::string prefix = "/S \"C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\bs-import-";
  EXPECT_EQ(run.parameters.rfind(prefix, 0), 0u) << run.parameters;
  EXPECT_TRUE(run.parameters.ends_with(".reg\"")) << run.parameters;
  EXPECT_EQ(run.show, win::kSwShow);
  EXPECT_TRUE(run.waited);
  EXPECT_EQ(imported, *ShippedFile("W7U64.dat"));
  EXPECT_FALSE(m.Exists(run.parameters.substr(4, run.parameters.size() - 5)));
}

TEST_F(Restorer, MissingSafeModeFileIsNeverHandedOver) {
  const auto result = Apply({TRepair::SafeModeXpSp2});
  EXPECT_TRUE(m.shellUi().shellExecutions.empty());
  EXPECT_EQ(result.failedOperations, 1);
}

// Every row of the catalogue against a table of its targets written apart from the catalogue:
// each row runs alone on a machine where all its targets hold other data, and afterwards the
// whole registry must be what it was with exactly those targets changed.
enum class TWant { ValueGone, KeyGone, Dword, String, SafeModeImport };
struct TTarget {
  RegKey root;
  const char* key;  // for SafeModeImport: the file's name
  const char* value;
  TWant want;
  uint32_t number = 0;
  const char* text = "";
};
struct TExpectedRow {
  TRepair repair;
  std::vector<TTarget> targets;
};

const std::vector<TExpectedRow>& ExpectedRows() {
  constexpr RegKey kCr = kHkeyClassesRoot;
  const char* policiesLm = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system";
  const char* policiesCu = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  const char* explorerCu = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const char* advancedCu = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  const char* winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  const char* download = "Software\\Microsoft\\Internet Explorer\\Download";
  const char* activeDesktop = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\ActiveDesktop";
  const char* open = "\"%1\" %*";
  using W = TWant;
  static const std::vector<TExpectedRow> rows = {
      {TRepair::RegistryEditor, {{kLm, policiesLm, "DisableRegistryTools", W::ValueGone}, {kCu, policiesCu, "DisableRegistryTools", W::ValueGone}}},
      {TRepair::TaskManager, {{kLm, policiesLm, "DisableTaskMgr", W::ValueGone}, {kCu, policiesCu, "DisableTaskMgr", W::ValueGone}}},
      {TRepair::Cmd, {{kLm, policiesLm, "DisableCMD", W::ValueGone}, {kCu, policiesCu, "DisableCMD", W::ValueGone}}},
      {TRepair::DisallowRun, {{kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\DisallowRun", "", W::KeyGone}}},
      {TRepair::ShowAll, {{kLm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL", "CheckedValue", W::Dword, 1}}},
      {TRepair::Firewall, {{kLm, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\StandardProfile", "EnableFirewall", W::Dword, 1},
                           {kLm, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\DomainProfile", "EnableFirewall", W::Dword, 1}}},
      {TRepair::ShowHiddenFiles, {{kCu, advancedCu, "Hidden", W::Dword, 1}}},
      {TRepair::ShowSystemFiles, {{kCu, advancedCu, "ShowSuperHidden", W::Dword, 1}}},
      {TRepair::DisableDcom, {{kLm, "Software\\Microsoft\\Ole", "EnableDCOM", W::String, 0, "N"}}},
      {TRepair::SignedAppInitDlls, {{kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "RequireSignedAppInit_DLLs", W::Dword, 1}}},
      {TRepair::FolderOptions, {{kCu, explorerCu, "NofolderOptions", W::Dword, 0}}},
      {TRepair::Shell, {{kLm, winlogon, "Shell", W::String, 0, "C:\\WINDOWS\\Explorer.exe"}}},
      {TRepair::Userinit, {{kLm, winlogon, "Userinit", W::String, 0, "C:\\WINDOWS\\system32\\userinit.exe,"}}},
      {TRepair::UIHost, {{kLm, winlogon, "UIHost", W::String, 0, "logonui.exe"}}},
      {TRepair::ExeFile, {{kCr, "exefile\\shell\\open\\command", "", W::String, 0, open}}},
      {TRepair::ComFile, {{kCr, "comfile\\shell\\open\\command", "", W::String, 0, open}}},
      {TRepair::BatFile, {{kCr, "batfile\\shell\\open\\command", "", W::String, 0, open}}},
      {TRepair::ScrFile, {{kCr, "scrfile\\shell\\open\\command", "", W::String, 0, "\"%1\" /S"}}},
      {TRepair::PifFile, {{kCr, "piffile\\shell\\open\\command", "", W::String, 0, open}}},
      {TRepair::TxtFile, {{kCr, "txtfile\\shell\\open\\command", "", W::String, 0, "C:\\WINDOWS\\NOTEPAD.EXE %1"}}},
      {TRepair::PoliciesExplorerRun, {{kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", "", W::KeyGone},
                                      {kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", "", W::KeyGone}}},
      {TRepair::SafeModeXpSp2, {{0, "WXPSP2.dat", "", W::SafeModeImport}}},
      {TRepair::SafeModeXpSp3, {{0, "WXPSP3.dat", "", W::SafeModeImport}}},
      {TRepair::SafeMode2000Sp4, {{0, "W2000SP4Pro.dat", "", W::SafeModeImport}}},
      {TRepair::SafeMode2003R2Sp2, {{0, "W2003R2SP2.dat", "", W::SafeModeImport}}},
      {TRepair::SafeMode7, {{0, "W7U.dat", "", W::SafeModeImport}}},
      {TRepair::SafeMode7x64, {{0, "W7U64.dat", "", W::SafeModeImport}}},
      {TRepair::RunInvalidSignatures, {{kCu, download, "RunInvalidSignatures", W::Dword, 0}}},
      {TRepair::CheckExeSignatures, {{kCu, download, "CheckExeSignatures", W::String, 0, "yes"}}},
      {TRepair::Dep, {{kLm, "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\Main", "DEPOff", W::Dword, 0}}},
      {TRepair::PhishingFilter, {{kLm, "SOFTWARE\\Microsoft\\Internet Explorer\\PhishingFilter", "EnabledV8", W::Dword, 1},
                                 {kCu, "SOFTWARE\\Microsoft\\Internet Explorer\\PhishingFilter", "Enabled", W::Dword, 1}}},
      {TRepair::DisableSr, {{kLm, "Software\\Microsoft\\Windows NT\\CurrentVersion\\SystemRestore", "DisableSR", W::Dword, 0}}},
      {TRepair::SfcDisable, {{kLm, winlogon, "SFCDisable", W::Dword, 0}}},
      {TRepair::SfcScan, {{kLm, "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Windows File Protection", "SFCScan", W::Dword, 1},
                          {kLm, winlogon, "SFCScan", W::Dword, 1}}},
      {TRepair::SfpPopups, {{kLm, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SystemFileProtection", "ShowPopups", W::Dword, 1}}},
      {TRepair::LowRiskFileTypes, {{kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Associations", "LowRiskFileTypes", W::ValueGone}}},
      {TRepair::ChangingWallpaper, {{kLm, activeDesktop, "NoChangingWallpaper", W::Dword, 0}, {kCu, activeDesktop, "NoChangingWallpaper", W::Dword, 0}}},
      {TRepair::SetActiveDesktop, {{kCu, explorerCu, "NoSetActiveDesktop", W::Dword, 0}}},
      {TRepair::ActiveDesktopChanges, {{kCu, explorerCu, "NoActiveDesktopChanges", W::Dword, 0}}},
  };
  return rows;
}

// WholeRegistry with letter case taken out of the key paths and value names; the paths of a key
// and of a value in it, as it gives them.
std::map<std::string, std::string> FoldedRegistry();
std::string FoldedKey(RegKey root, const std::string& key);
std::string FoldedValue(RegKey root, const std::string& key, const std::string& value);

TEST_F(Restorer, EveryRowChangesExactlyItsTargetsAndNothingElse) {
  ASSERT_EQ(ExpectedRows().size(), restorer::kRepairCount);
  for (size_t i = 0; i < ExpectedRows().size(); ++i) {
    const TExpectedRow& row = ExpectedRows()[i];
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(static_cast<size_t>(row.repair), i) << "the table follows the catalogue's order";
    Machine fresh;
    fresh.Install();
    fresh.AddFile("C:\\WINDOWS\\NOTEPAD.EXE");
    std::string importedKey;
    // Every target holds something the row must replace or remove; the keys around stay.
    for (const TTarget& t : row.targets) {
      switch (t.want) {
        case TWant::ValueGone:
        case TWant::Dword:
        case TWant::String:
          fresh.SetString(t.root, t.key, t.value, "hijacked");
          fresh.SetString(t.root, t.key, "Neighbour", "stays");
          break;
        case TWant::KeyGone:
          fresh.SetString(t.root, std::string(t.key) + "\\Deep", "x", "y");
          fresh.SetString(t.root, t.key, "Neighbour", "goes");
          fresh.SetString(t.root, std::string(t.key) + "Sibling", "z", "stays");
          break;
        case TWant::SafeModeImport:
          importedKey = std::string("SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\") + t.key;
          fresh.AddFile(std::string(kAppDir) + "Data\\SM\\" + t.key,
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + importedKey + "]\r\n@=\"Service\"\r\n");
          fresh.shellUi().whileRunning = [&fresh](const platform::fake::ShellExecution& run) {
            fresh.ImportReg(fresh.Contents(run.parameters.substr(4, run.parameters.size() - 5)));
          };
          break;
      }
    }
    auto expected = FoldedRegistry();
    for (const TTarget& t : row.targets) {
      const std::string path = FoldedValue(t.root, t.key, t.value);
      switch (t.want) {
        case TWant::ValueGone: expected.erase(path); break;
        case TWant::Dword: {
          const uint32_t n = t.number;
          expected[path] = "4:" + std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                                              static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
          break;
        }
        case TWant::String: expected[path] = "1:" + std::string(t.text) + std::string(1, '\0'); break;
        case TWant::KeyGone: {
          const std::string key = FoldedKey(t.root, t.key);
          std::erase_if(expected, [&](const auto& entry) {
            return entry.first == key || entry.first.rfind(key + "\\", 0) == 0 || entry.first.rfind(key + " = ", 0) == 0;
          });
          break;
        }
        case TWant::SafeModeImport:
          for (std::string built; const char* piece : {"SYSTEM", "CURRENTCONTROLSET", "CONTROL", "SAFEBOOT", "MINIMAL"}) {
            built += (built.empty() ? "" : "\\") + std::string(piece);
            expected[built] = "<key>";
          }
          expected[FoldedKey(kLm, importedKey)] = "<key>";
          expected[FoldedValue(kLm, importedKey, "")] = "1:Service" + std::string(1, '\0');
          break;
      }
    }
    TRecordingPrompter asked;
    restorer::TRestorerOptions options;
    options.createRestorePoint = false;
    options.Tick(row.repair);
    EXPECT_TRUE(restorer::ApplyRepairs(options, asked, asked.state).applied);
    const auto after = FoldedRegistry();
    for (const auto& [k, v] : expected) {
      const auto it = after.find(k);
      if (it == after.end()) {
        ADD_FAILURE() << "missing: " << k;
      } else if (it->second != v) {
        ADD_FAILURE() << k << " holds '" << it->second << "', expected '" << v << "'";
      }
    }
    for (const auto& [k, v] : after) {
      if (!expected.count(k)) ADD_FAILURE() << "changed where no target is: " << k << " = '" << v << "'";
    }
  }
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

std::string Folded(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::map<std::string, std::string> FoldedRegistry() {
  std::map<std::string, std::string> folded;
  for (auto& [k, v] : WholeRegistry()) folded[Folded(k)] = v;
  return folded;
}

std::string FoldedKey(RegKey root, const std::string& key) {
  const std::string prefix = root == kCu ? "HKCU\\" : root == kHkeyClassesRoot ? "SOFTWARE\\CLASSES\\" : "";
  return Folded(prefix + key);
}

std::string FoldedValue(RegKey root, const std::string& key, const std::string& value) {
  return FoldedKey(root, key) + " = " + Folded(value);
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
