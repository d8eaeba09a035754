// The hosts and boot-file editors over the fake: paths, loading, line endings, whole-or-nothing
// saves that keep the previous file, and the failures they report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/save_file.h"
#include "managers/editors.h"
#include "platform/fake/fake_machine.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/recording_prompter.h"

namespace {

namespace win = platform::win;
using bs_test::RecordingPrompter;
using managers::TEditorFile;
using platform::fake::Machine;

constexpr const char* kHosts = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";
constexpr const char* kBootIni = "C:\\boot.ini";
constexpr const char* kBackups = "C:\\Tools\\BurrowSentry\\Backups";

class Editors : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    m.system().errorMessages[win::kErrorAccessDenied] = "Access is denied.";
    m.system().errorMessages[win::kErrorSharingViolation] = "The file is in use.";
  }
  // Every file in the backups folder, as name and contents.
  std::vector<std::pair<std::string, std::string>> Backups() {
    std::vector<std::pair<std::string, std::string>> out;
    platform::FindData d;
    platform::Handle find = platform::Fs().FindFirstFile(std::string(kBackups) + "\\*", &d);
    if (find == platform::kInvalidHandle) return out;
    do {
      if (!(d.attributes & win::kFileAttributeDirectory)) out.emplace_back(d.name, m.Contents(std::string(kBackups) + "\\" + d.name));
    } while (platform::Fs().FindNextFile(find, &d));
    platform::Fs().FindClose(find);
    return out;
  }
  Machine m;
  RecordingPrompter prompter;
};

TEST_F(Editors, EachEditorHasItsFile) {
  m.system().windowsDir = "D:\\WINNT";
  m.system().systemDir = "D:\\WINNT\\system32";
  const std::vector<std::string> expected{"D:\\WINNT\\system32\\drivers\\etc\\hosts", "D:\\WINNT\\system.ini",
                                          "D:\\WINNT\\win.ini", "D:\\autoexec.bat", "D:\\boot.ini"};
  std::vector<std::string> paths;
  for (TEditorFile f : managers::kEditorFiles) paths.push_back(managers::EditorFilePath(f));
  EXPECT_EQ(paths, expected);
}

TEST(EditorFileBytes, EveryLineEndsWithCrLf) {
  struct Case {
    const char* field;
    const char* file;
  } cases[] = {
      {"", ""},
      {"127.0.0.1 localhost", "127.0.0.1 localhost\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\nb", "a\r\nb\r\n"},
      {"a\rb\r", "a\r\nb\r\n"},
      {"a\n\n\nb", "a\r\n\r\n\r\nb\r\n"},
      {"\r\n", "\r\n"},
      {"a\r\r\nb", "a\r\n\r\nb\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(managers::EditorFileBytes(c.field), c.file) << c.field;
}

TEST_F(Editors, MissingHostsKeepsTheFieldAndMissingBootFilesLoadEmpty) {
  EXPECT_EQ(managers::LoadEditorText(TEditorFile::Hosts), std::nullopt);
  EXPECT_EQ(managers::LoadEditorText(TEditorFile::BootIni), "");
  m.AddFile(kHosts, "127.0.0.1 localhost");  // bytes as they are, no line break added
  m.AddFile("C:\\WINDOWS\\win.ini", "[windows]\n");
  EXPECT_EQ(managers::LoadEditorText(TEditorFile::Hosts), "127.0.0.1 localhost");
  EXPECT_EQ(managers::LoadEditorText(TEditorFile::WinIni), "[windows]\n");
}

TEST_F(Editors, SaveReplacesTheFileWithCrLfLinesAndKeepsThePreviousOne) {
  m.AddFile(kHosts, "127.0.0.1 localhost\n6.6.6.6 bank.example");
  EXPECT_EQ(managers::SaveEditorText(TEditorFile::Hosts, "127.0.0.1 localhost", prompter), 0u);
  EXPECT_EQ(m.Contents(kHosts), "127.0.0.1 localhost\r\n");
  EXPECT_FALSE(m.Exists(inspect::SavePartPath(kHosts)));
  ASSERT_EQ(Backups().size(), 1u);
  EXPECT_EQ(Backups()[0].second, "127.0.0.1 localhost\n6.6.6.6 bank.example");
  EXPECT_EQ(Backups()[0].first, "hosts_2009-12-08_15-45-12.bak");

  // A missing boot file is created; there was nothing to keep.
  EXPECT_EQ(managers::SaveEditorText(TEditorFile::AutoexecBat, "", prompter), 0u);
  EXPECT_TRUE(m.Exists("C:\\autoexec.bat"));
  EXPECT_EQ(Backups().size(), 1u);
  EXPECT_TRUE(prompter.prompts.empty());
}

TEST_F(Editors, RefusedOrFailedSavesAreReportedAndLeaveTheFileAsItWas) {
  struct Case {
    const char* name;
    TEditorFile file;
    const char* path;
    uint32_t attributes;
    bool locked;
    const char* reason;
  } cases[] = {
      {"read-only boot.ini", TEditorFile::BootIni, kBootIni, win::kFileAttributeReadonly, false, "Access is denied."},
      {"hidden system boot.ini", TEditorFile::BootIni, kBootIni, win::kFileAttributeHidden | win::kFileAttributeSystem,
       false, "Access is denied."},
      {"read-only hosts", TEditorFile::Hosts, kHosts, win::kFileAttributeReadonly, false, "Access is denied."},
      {"hosts held open without sharing", TEditorFile::Hosts, kHosts, win::kFileAttributeArchive, true,
       "The file is in use."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.Install();
    machine.system().errorMessages = m.system().errorMessages;
    machine.AddFile(c.path, "old", c.attributes).lockedExclusive = c.locked;
    RecordingPrompter p;
    EXPECT_NE(managers::SaveEditorText(c.file, "new", p), 0u);
    EXPECT_EQ(machine.Contents(c.path), "old");
    EXPECT_FALSE(machine.Exists(inspect::SavePartPath(c.path)));
    ASSERT_EQ(p.prompts.size(), 1u);
    EXPECT_EQ(p.prompts[0].text, std::string("Cannot save \"") + c.path + "\". " + c.reason);
    EXPECT_EQ(p.prompts[0].caption, "Error");
  }
}

// A disk that fills up after some bytes.
class FullDisk : public bs_test::ForwardingFileSystem {
 public:
  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    if (size > 4) {
      platform::Sys().SetLastError(112);  // ERROR_DISK_FULL
      return false;
    }
    return ForwardingFileSystem::WriteFile(file, buffer, size, written);
  }
};

TEST_F(Editors, AWriteThatFailsHalfwayNeverTouchesTheTarget) {
  m.AddFile(kHosts, "127.0.0.1 localhost\r\n");
  m.system().errorMessages[112] = "There is not enough space on the disk.";
  FullDisk disk;
  disk.Install();
  EXPECT_EQ(managers::SaveEditorText(TEditorFile::Hosts, "a much longer text", prompter), 112u);
  EXPECT_EQ(m.Contents(kHosts), "127.0.0.1 localhost\r\n");
  EXPECT_FALSE(m.Exists(inspect::SavePartPath(kHosts)));
  ASSERT_EQ(prompter.prompts.size(), 1u);
  EXPECT_EQ(prompter.prompts[0].text, std::string("Cannot save \"") + kHosts + "\". There is not enough space on the disk.");
}

TEST_F(Editors, ASaveWhosePreviousFileCannotBeKeptIsNotMade) {
  m.AddFile(kHosts, "old");
  m.DenyCreate("C:\\TOOLS\\BURROWSENTRY");
  EXPECT_NE(managers::SaveEditorText(TEditorFile::Hosts, "new", prompter), 0u);
  EXPECT_EQ(m.Contents(kHosts), "old");
  EXPECT_EQ(prompter.prompts.size(), 1u);
}

TEST_F(Editors, NotepadOpensHostsOnlyWhenPresentAndBootFilesAlways) {
  EXPECT_FALSE(managers::OpenInNotepad(TEditorFile::Hosts));
  EXPECT_TRUE(m.shellUi().shellExecutions.empty());
  EXPECT_TRUE(managers::OpenInNotepad(TEditorFile::AutoexecBat));
  m.AddFile(kHosts, "");
  EXPECT_TRUE(managers::OpenInNotepad(TEditorFile::Hosts));
  const auto& runs = m.shellUi().shellExecutions;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].file, "C:\\WINDOWS\\notepad");
  EXPECT_EQ(runs[0].parameters, "C:\\autoexec.bat");
  EXPECT_EQ(runs[1].file, "C:\\WINDOWS\\notepad.exe");
  EXPECT_EQ(runs[1].parameters, kHosts);
  EXPECT_EQ(runs[1].verb, "open");
  EXPECT_EQ(runs[1].show, win::kSwShow);
}

}  // namespace
