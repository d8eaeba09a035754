// The managers over the fake and over the real registry and files under Wine: the startup list
// and its delete, the whole-file save, and the pending-operations value of a deletion at boot.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "inspect/key_paths.h"
#include "inspect/lang.h"
#include "inspect/save_file.h"
#include "managers/file_deleter.h"
#include "managers/shell_actions.h"
#include "managers/startups.h"
#include "platform/handles.h"
#include "tests/support/backend_fixture.h"
#include "tests/support/recording_prompter.h"

namespace {

using namespace platform;
using bs_test::ReadWholeFile;
using bs_test::WriteWholeFile;
using managers::TPendingOperation;

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class ManagersContract : public bs_test::ContractTest {
 protected:
  void SetUp() override {
    ContractTest::SetUp();
    inspect::FillDefaultTexts();
  }
};

TEST_P(ManagersContract, StartupListShowsASeededRunValueAndDeletesOnlyIt) {
  const std::string name = "BurrowSentryTest " + scratch().keyPath().substr(scratch().keyPath().rfind('\\') + 1);
  const std::string run(inspect::keys::KeyPathOf(inspect::keys::kRun));
  const std::string command = "\"" + scratch().PathOf("app.exe") + "\" /min";
  ASSERT_TRUE(WriteWholeFile(scratch().PathOf("app.exe"), "MZ"));
  ScopedKey key;
  ASSERT_EQ(Reg().CreateKey(kHkeyCurrentUser, run, win::kKeyAllAccess, key.out()), 0u);
  ASSERT_EQ(Reg().SetValue(key.get(), name, win::kRegSz, command.c_str(), static_cast<uint32_t>(command.size() + 1)), 0u);
  const uint32_t flags = 0x20;
  ASSERT_EQ(Reg().SetValue(key.get(), name + " flags", win::kRegDword, &flags, 4), 0u);

  std::optional<managers::TStartupRow> row;
  bool flagsListed = false;
  for (const managers::TStartupRow& r : managers::FillStartupList()) {
    if (r.keyText != std::string("HKEY_CURRENT_USER") + inspect::keys::kRun) continue;
    if (r.name == name) row = r;
    if (r.name == name + " flags") flagsListed = r.data == "REG_DWORD: 0x00000020 (32)";
  }
  ASSERT_TRUE(row);
  EXPECT_EQ(row->data, command);
  EXPECT_EQ(row->file, scratch().PathOf("app.exe"));
  EXPECT_TRUE(row->fileExists);
  EXPECT_TRUE(flagsListed);

  bs_test::RecordingPrompter prompter;
  EXPECT_EQ(managers::DeleteStartupItem(&*row, prompter), managers::TDeleteResult::Deleted);
  uint32_t type = 0;
  EXPECT_EQ(Reg().QueryValue(key.get(), name, &type, nullptr), win::kErrorFileNotFound);
  EXPECT_EQ(Reg().QueryValue(key.get(), name + " flags", &type, nullptr), 0u);
  Reg().DeleteValue(key.get(), name + " flags");
}

TEST_P(ManagersContract, SaveReplacesWholeOrNotAtAll) {
  const std::string target = scratch().PathOf("hosts");
  ASSERT_TRUE(WriteWholeFile(target, "old text"));
  EXPECT_EQ(inspect::SaveFileReplacing(target, "127.0.0.1 localhost\r\n"), 0u);
  EXPECT_EQ(ReadWholeFile(target), "127.0.0.1 localhost\r\n");
  EXPECT_EQ(Fs().GetFileAttributes(inspect::SavePartPath(target)), win::kInvalidFileAttributes);

  ASSERT_TRUE(Fs().SetFileAttributes(target, win::kFileAttributeReadonly));
  EXPECT_EQ(inspect::SaveFileReplacing(target, "new"), win::kErrorAccessDenied);
  EXPECT_EQ(ReadWholeFile(target), "127.0.0.1 localhost\r\n");
  ASSERT_TRUE(Fs().SetFileAttributes(target, win::kFileAttributeNormal));

  {
    bs_test::ExclusiveHold hold(scratch(), target);
    ASSERT_TRUE(hold.held());
    EXPECT_NE(inspect::SaveFileReplacing(target, "new"), 0u);
    EXPECT_EQ(Fs().GetFileAttributes(inspect::SavePartPath(target)), win::kInvalidFileAttributes);
  }
  EXPECT_EQ(ReadWholeFile(target), "127.0.0.1 localhost\r\n");

  EXPECT_EQ(inspect::SaveFileReplacing(scratch().PathOf("new.ini"), ""), 0u);
  EXPECT_EQ(ReadWholeFile(scratch().PathOf("new.ini")), "");
  EXPECT_NE(inspect::SaveFileReplacing(scratch().PathOf("missing\\x.ini"), "x"), 0u);
}

// The machine's pending-operations value, put back as it was when the test ends.
class PendingValueGuard {
 public:
  PendingValueGuard() {
    ScopedKey key;
    if (Reg().OpenKey(kHkeyLocalMachine, kSessionManager, win::kKeyRead, key.out()) != 0) return;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (Reg().QueryValueW(key.get(), managers::kPendingOperationsValueW, &type, &data) == 0) saved_ = {type, data};
  }
  ~PendingValueGuard() {
    ScopedKey key;
    if (Reg().OpenKey(kHkeyLocalMachine, kSessionManager, win::kKeyAllAccess, key.out()) != 0) return;
    if (saved_) {
      Reg().SetValueW(key.get(), managers::kPendingOperationsValueW, saved_->first, saved_->second.data(),
                      static_cast<uint32_t>(saved_->second.size()));
    } else {
      Reg().DeleteValue(key.get(), managers::kPendingOperationsValue);
    }
  }

 private:
  std::optional<std::pair<uint32_t, std::vector<uint8_t>>> saved_;
};

// Under Wine the value is carried out and cleared when the prefix's server starts; this test's
// own process keeps the server up from the write to the check. The other program's pair names
// files outside every code page ('文件'): it must come back byte for byte.
TEST_P(ManagersContract, FileHeldOpenIsDeletedAtRebootAfterAnotherProgramsPair) {
  if (scratch().machine()) scratch().machine()->CreateKey(kHkeyLocalMachine, kSessionManager);
  PendingValueGuard guard;
  const std::vector<TPendingOperation> seeded{
      {u"\\??\\C:\\bs-other-\u6587\u4ef6.tmp", u"\\??\\C:\\bs-other-\u6587\u4ef6.dll"}};
  ASSERT_TRUE(managers::WritePendingOperations(seeded));

  const std::string busy = scratch().PathOf("busy.exe");
  const std::string free = scratch().PathOf("free.exe");
  ASSERT_TRUE(WriteWholeFile(busy, "MZ"));
  ASSERT_TRUE(WriteWholeFile(free, "MZ"));
  bs_test::RecordingPrompter prompter;
  {
    bs_test::ExclusiveHold hold(scratch(), busy);
    ASSERT_TRUE(hold.held());
    EXPECT_EQ(managers::DeleteFileNowOrAtReboot(busy, prompter), managers::TFileDeleteResult::DeletedAtReboot);
  }
  EXPECT_EQ(managers::DeleteFileNowOrAtReboot(free, prompter), managers::TFileDeleteResult::Deleted);
  EXPECT_EQ(Fs().GetFileAttributes(free), win::kInvalidFileAttributes);
  ASSERT_EQ(prompter.prompts.size(), 2u);
  EXPECT_EQ(prompter.prompts[0].text, "File deleted successfully (need reboot).");
  EXPECT_EQ(prompter.prompts[1].text, "File deleted successfully.");

  std::vector<TPendingOperation> ops;
  EXPECT_EQ(managers::ReadPendingOperations(ops), managers::TPendingRead::Read);
  EXPECT_EQ(ops, (std::vector<TPendingOperation>{seeded[0], {Sys().AnsiToWide("\\??\\" + busy), u""}}));

  // The stored bytes: every string with its NUL, and one more, in UTF-16; the other program's
  // pair first, as it was.
  ScopedKey key;
  ASSERT_EQ(Reg().OpenKey(kHkeyLocalMachine, kSessionManager, win::kKeyRead, key.out()), 0u);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(Reg().QueryValueW(key.get(), managers::kPendingOperationsValueW, &type, &data), 0u);
  EXPECT_EQ(type, win::kRegMultiSz);
  EXPECT_EQ(data, managers::PendingOperationsBytes(ops));
  std::vector<uint8_t> other = managers::PendingOperationsBytes(seeded);
  other.resize(other.size() - 2);  // without the list's end
  ASSERT_GE(data.size(), other.size());
  EXPECT_TRUE(std::equal(other.begin(), other.end(), data.begin()));
}

// The system drive is a local one; a share is not, whether it answers or not.
TEST_P(ManagersContract, LocalFolderIsOnADriveOfThisMachine) {
  const std::string system = Sys().GetSystemDirectory();
  EXPECT_EQ(Sys().GetDriveType(system.substr(0, 3)), win::kDriveFixed);
  EXPECT_TRUE(managers::IsLocalFolder(scratch().PathOf("")));
  EXPECT_TRUE(managers::IsLocalFolder(system + "\\"));
  EXPECT_FALSE(managers::IsLocalFolder(scratch().PathOf("missing\\")));
  EXPECT_FALSE(managers::IsLocalFolder("\\\\localhost\\c$\\"));
}

INSTANTIATE_TEST_SUITE_P(Backends, ManagersContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
