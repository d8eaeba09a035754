// What another program on the machine can put in our way while we run elevated, over the fake:
// each row seeds the attacker's move, runs our code, and checks what must survive or never
// happen. The rows Wine can show run over the real backend in contract/hostile_inputs_contract_test.cpp.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "inspect/md5.h"
#include "inspect/run_state.h"
#include "managers/file_deleter.h"
#include "managers/startups.h"
#include "platform/fake/fake_machine.h"
#include "restorer/repairs.h"
#include "scan/report.h"
#include "scan/sections.h"
#include "managers/shell_actions.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/recording_prompter.h"

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;

const std::string kApp = "C:\\Tools\\BurrowSentry\\";
const std::string kLogs = kApp + "Logs\\";
const char kDisallowRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\DisallowRun";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Turns a subfolder of Logs\ into a junction once the walk has listed Logs\'s subfolders, that
// is between the listing and the descent.
class SwapAfterListing : public bs_test::ForwardingFileSystem {
 public:
  SwapAfterListing(Machine& machine, std::string subfolder) : machine_(machine), subfolder_(std::move(subfolder)) {}
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    const Handle find = ForwardingFileSystem::FindFirstFile(pattern, data);
    if (pattern == kLogs + "*.*") logsFinds_[find] = true;
    return find;
  }
  void FindClose(Handle find) override {
    ForwardingFileSystem::FindClose(find);
    // The second listing of Logs\ is the one its subfolders are taken from.
    if (logsFinds_.erase(find) && ++logsListings_ == 2) {
      machine_.File(subfolder_)->attributes |= win::kFileAttributeReparsePoint;
    }
  }

 private:
  Machine& machine_;
  std::string subfolder_;
  std::map<Handle, bool> logsFinds_;
  int logsListings_ = 0;
};

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

struct HostileCase {
  const char* name;
  std::function<void(Machine&)> attack;  // seeds the machine (and may install a double)
  std::function<void(Machine&)> run;     // our code
  std::function<void(Machine&)> check;   // what must hold afterwards
};

TEST(HostileInputs, NothingIsDeletedChangedOrImportedThroughTheAttackersMove) {
  const std::string safeModeFile = kApp + "Data\\SM\\WXPSP3.dat";
  const std::string goodSafeMode =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot]\r\n\"AlternateShell\"=\"cmd.exe\"\r\n";
  const std::string evilSafeMode =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"x\"=\"evil.exe\"\r\n";
  // '文件' in UTF-16: no code page of the fake holds it.
  const std::u16string otherPair = u"\\??\\C:\\\u6587\u4ef6.tmp";
  const std::u16string otherTarget = u"\\??\\C:\\\u6587\u4ef6.dll";
  const std::string temp = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";
  const std::string body = "MZ the body of a program no code page can name";
  std::unique_ptr<SwapAfterListing> swapper;

  const HostileCase cases[] = {
      {"a Logs folder that is a junction: the file behind it survives Delete Logs",
       [&](Machine& m) {
         m.AddFile(kLogs + "target.txt", "behind the junction");
         m.File(kApp + "Logs")->attributes |= win::kFileAttributeReparsePoint;
       },
       [&](Machine&) { managers::DeleteLogs(kApp); },
       [&](Machine& m) { EXPECT_TRUE(m.Exists(kLogs + "target.txt")); }},
      {"a subfolder swapped for a junction after listing is not entered",
       [&](Machine& m) {
         m.AddFile(kLogs + "old.log", "x");
         m.AddFile(kLogs + "sub\\target.txt", "behind the junction");
         swapper = std::make_unique<SwapAfterListing>(m, kLogs + "sub");
         swapper->Install();
       },
       [&](Machine&) { managers::DeleteLogs(kApp); },
       [&](Machine& m) {
         swapper.reset();
         EXPECT_FALSE(m.Exists(kLogs + "old.log"));
         EXPECT_TRUE(m.Exists(kLogs + "sub\\target.txt"));
       }},
      {"a registry link under a repaired key: the link goes, its target stays",
       [&](Machine& m) {
         m.SetString(kHkeyCurrentUser, std::string(kDisallowRun), "1", "regedit.exe");
         m.SetString(kHkeyLocalMachine, "SOFTWARE\\Victim\\Sub", "keep", "me");
         m.CreateLink(kHkeyCurrentUser, std::string(kDisallowRun) + "\\Link", kHkeyLocalMachine, "SOFTWARE\\Victim");
       },
       [&](Machine&) {
         bs_test::RecordingPrompter prompter;
         restorer::TRestorerOptions options;
         options.createRestorePoint = false;
         options.Tick(restorer::TRepair::DisallowRun);
         inspect::TRunState state;
         restorer::ApplyRepairs(options, prompter, state);
       },
       [&](Machine& m) {
         EXPECT_FALSE(m.KeyExists(kHkeyCurrentUser, kDisallowRun));
         EXPECT_TRUE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Victim\\Sub"));
         EXPECT_TRUE(m.GetValue(kHkeyLocalMachine, "SOFTWARE\\Victim\\Sub", "keep"));
       }},
      {"a Safe Mode file swapped while the Registry Editor runs: the checked bytes are imported",
       [&](Machine& m) {
         m.AddFile(safeModeFile, goodSafeMode);
         m.shellUi().whileRunning = [&m, safeModeFile, evilSafeMode](const platform::fake::ShellExecution& run) {
           m.AddFile(safeModeFile, evilSafeMode);  // too late: the file was read before
           const std::string copy = run.parameters.substr(4, run.parameters.size() - 5);  // /S "<copy>"
           EXPECT_NE(copy, safeModeFile);
           ASSERT_TRUE(m.File(copy));
           EXPECT_TRUE(m.File(copy)->privateToAdmins);
           // Held open without delete sharing: nobody can put another file in its place.
           EXPECT_FALSE(platform::Fs().DeleteFile(copy));
           EXPECT_FALSE(platform::Fs().MoveFileEx(safeModeFile, copy, win::kMoveFileReplaceExisting));
           m.ImportReg(m.Contents(copy));  // what the Registry Editor does
         };
       },
       [&](Machine&) {
         bs_test::RecordingPrompter prompter;
         restorer::TRestorerOptions options;
         options.createRestorePoint = false;
         options.Tick(restorer::TRepair::SafeModeXpSp3);
         inspect::TRunState state;
         EXPECT_EQ(restorer::ApplyRepairs(options, prompter, state).failedOperations, 0);
       },
       [&](Machine& m) {
         ASSERT_EQ(m.shellUi().shellExecutions.size(), 1u);
         EXPECT_TRUE(m.shellUi().shellExecutions[0].waited);
         EXPECT_EQ(m.shellUi().shellExecutions[0].file, "C:\\WINDOWS\\regedit.exe");
         EXPECT_FALSE(m.GetValue(kHkeyLocalMachine, kRun, "x"));
         EXPECT_TRUE(m.GetValue(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", "AlternateShell"));
         const std::string copy = m.shellUi().shellExecutions[0].parameters.substr(4);
         EXPECT_FALSE(m.Exists(copy.substr(0, copy.size() - 1))) << "the private copy is removed";
       }},
      {"another program's pending rename outside the code page survives byte for byte",
       [&](Machine& m) {
         std::vector<uint8_t> seeded = Utf16Bytes(otherPair + u'\0' + otherTarget + u'\0' + u'\0');
         m.SetValueW(kHkeyLocalMachine, kSessionManager, "PendingFileRenameOperations", win::kRegMultiSz, seeded);
         m.AddFile("C:\\busy.exe", "MZ");
       },
       [&](Machine&) { EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\busy.exe")); },
       [&](Machine& m) {
         const auto value = m.GetValue(kHkeyLocalMachine, kSessionManager, "PendingFileRenameOperations");
         ASSERT_TRUE(value);
         const std::vector<uint8_t> expected =
             Utf16Bytes(otherPair + u'\0' + otherTarget + u'\0' + u"\\??\\C:\\busy.exe" + u'\0' + u'\0' + u'\0');
         EXPECT_EQ(value->data, expected);
       }},
      {"a Run value named with a line break: deleted only after the no-backup warning",
       [&](Machine& m) {
         m.SetString(kHkeyCurrentUser, kRun, "evil\r\n[HKEY_LOCAL_MACHINE\\x]", "evil.exe");
         m.SetString(kHkeyCurrentUser, kRun, "evil", "kept.exe");
       },
       [&](Machine&) {
         const managers::TStartupRow row{"evil\r\n[HKEY_LOCAL_MACHINE\\x]", "", std::string("HKEY_CURRENT_USER\\") + kRun,
                                         ""};
         bs_test::RecordingPrompter no;
         no.answer = win::kIdNo;
         EXPECT_EQ(managers::DeleteStartupItem(&row, no), managers::TDeleteResult::Cancelled);
         bs_test::RecordingPrompter yes;
         yes.answer = win::kIdYes;
         EXPECT_EQ(managers::DeleteStartupItem(&row, yes), managers::TDeleteResult::Deleted);
         ASSERT_FALSE(yes.prompts.empty());
         EXPECT_EQ(yes.prompts[0].text, managers::kNoBackupWarning);
         EXPECT_EQ(yes.prompts[0].flags & win::kMbYesNo, win::kMbYesNo);
       },
       [&](Machine& m) {
         EXPECT_FALSE(m.GetValue(kHkeyCurrentUser, kRun, "evil\r\n[HKEY_LOCAL_MACHINE\\x]"));
         EXPECT_TRUE(m.GetValue(kHkeyCurrentUser, kRun, "evil"));
       }},
      {"an executable whose name no code page holds is described with its real digest",
       [&](Machine& m) {
         // As FindFirstFileA shows '文件.exe': one '?' per character the code page lacks.
         m.AddFile(temp + "??.exe", body);
         m.SetShortName(temp + "??.exe", "B1C2~1.EXE");
       },
       [&](Machine&) {},
       [&](Machine&) {
         scan::TReport report;
         scan::TScanOptions options;
         scan::ListFolderFiles(report, options, temp, "*.*", false);
         ASSERT_EQ(report.Count(), 1u);
         EXPECT_EQ(report.Item(0).rfind(temp + "??.exe (" + std::to_string(body.size()) + " bytes)", 0), 0u)
             << report.Item(0);
         EXPECT_NE(report.Item(0).find("(" + inspect::Md5Text(body) + ")"), std::string::npos) << report.Item(0);
       }},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.Install();
    c.attack(m);
    c.run(m);
    c.check(m);
    swapper.reset();
  }
}

}  // namespace
