// The file deleter over the fake: the pending-operations value read and written as pairs, the
// rules of a deletion at boot, malformed values left as they are, and the delete flow.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "inspect/lang.h"
#include "managers/file_deleter.h"
#include "platform/fake/fake_machine.h"
#include "tests/support/recording_prompter.h"

namespace managers {
void PrintTo(const TPendingOperation& op, std::ostream* out) {
  auto narrow = [](const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  };
  *out << "{" << narrow(op.source) << " -> " << narrow(op.destination) << "}";
}
}  // namespace managers

namespace {

namespace win = platform::win;
using bs_test::RecordingPrompter;
using managers::TPendingOperation;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;
using Bytes = std::vector<uint8_t>;
using namespace std::string_view_literals;
using Ops = std::vector<TPendingOperation>;

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kValue = "PendingFileRenameOperations";

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
// The same ASCII text as the ...W calls store it: UTF-16, little-endian.
Bytes W(std::string_view text) {
  Bytes bytes;
  for (char c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

TEST(PendingOperationsBytes, ParseAcceptsOnlyListsOfPairs) {
  struct Case {
    const char* name;
    std::string_view data;
    bool ok;
    Ops ops;
  } cases[] = {
      {"empty", "", true, {}},
      {"terminator only", "\0"sv, true, {}},
      {"a rename and a delete", "\\??\\C:\\a\0C:\\b\0\\??\\C:\\c\0\0\0"sv, true,
       {{u"\\??\\C:\\a", u"C:\\b"}, {u"\\??\\C:\\c", u""}}},
      {"final terminator missing", "\\??\\C:\\c\0\0"sv, true, {{u"\\??\\C:\\c", u""}}},
      {"every terminator missing", "\\??\\C:\\a\0C:\\b"sv, true, {{u"\\??\\C:\\a", u"C:\\b"}}},
      {"odd number of strings", "\\??\\C:\\a\0\0\\??\\C:\\b\0"sv, false, {}},
      {"odd number, unterminated", "\\??\\C:\\a\0\0\\??\\C:\\b"sv, false, {}},
      {"empty string in a source place", "\\??\\C:\\a\0\0\0\\??\\C:\\b\0\0\0"sv, false, {}},
      {"empty source, even count", "\0C:\\b\0\0"sv, false, {}},
  };
  for (const Case& c : cases) {
    Ops ops{{u"stale", u""}};
    EXPECT_EQ(managers::ParsePendingOperations(W(c.data), ops), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(ops, c.ops) << c.name;
    }
  }
  Ops ops;
  EXPECT_FALSE(managers::ParsePendingOperations(B("\\\0?\0?"sv), ops)) << "an odd number of bytes is no UTF-16";
  ops = {{u"\\??\\C:\\a", u"C:\\b"}, {u"\\??\\C:\\c", u""}};
  EXPECT_EQ(managers::PendingOperationsBytes(ops), W("\\??\\C:\\a\0C:\\b\0\\??\\C:\\c\0\0\0"sv));
  EXPECT_EQ(managers::PendingOperationsBytes({}), W("\0"sv));
}

class FileDeleter : public ::testing::Test {
 protected:
  void SetUp() override {
    m.Install();
    inspect::FillDefaultTexts();
    m.CreateKey(kHkeyLocalMachine, kSessionManager);
  }
  void Seed(uint32_t type, std::string_view data) { m.SetValue(kHkeyLocalMachine, kSessionManager, kValue, type, B(data)); }
  std::optional<platform::fake::RegValue> Stored() { return m.GetValue(kHkeyLocalMachine, kSessionManager, kValue); }
  Ops StoredOps() {
    Ops ops;
    auto v = Stored();
    EXPECT_TRUE(v && v->type == win::kRegMultiSz);
    if (v) {
      EXPECT_TRUE(managers::ParsePendingOperations(v->data, ops));
    }
    return ops;
  }
  Machine m;
};

TEST_F(FileDeleter, RegisteringKeepsOtherPairsInFrontAndOnePairPerFile) {
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
  EXPECT_EQ(Stored()->data, W("\\??\\C:\\bad.exe\0\0\0"sv));

  Seed(win::kRegMultiSz, "\\??\\C:\\setup.tmp\0\\??\\C:\\app.dll\0\\??\\C:\\BAD.EXE\0\0\0"sv);
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("c:\\Bad.exe  "));
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\other.sys"));
  EXPECT_EQ(StoredOps(), (Ops{{u"\\??\\C:\\setup.tmp", u"\\??\\C:\\app.dll"},
                              {u"\\??\\c:\\Bad.exe", u""},
                              {u"\\??\\C:\\other.sys", u""}}));

  // Another program's rename of the same file is its own; it stays ahead of our delete.
  Seed(win::kRegMultiSz, "\\??\\C:\\x.tmp\0C:\\x.dll\0\0"sv);
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\x.tmp"));
  EXPECT_EQ(StoredOps(), (Ops{{u"\\??\\C:\\x.tmp", u"C:\\x.dll"}, {u"\\??\\C:\\x.tmp", u""}}));
}

TEST_F(FileDeleter, ValuesThatAreNotListsOfPairsAreLeftAsTheyAre) {
  struct Case {
    const char* name;
    uint32_t type;
    std::string_view data;
  } cases[] = {
      {"odd number of strings", win::kRegMultiSz, "\\??\\C:\\a\0\0\\??\\C:\\b\0"sv},
      {"empty string inside", win::kRegMultiSz, "\\??\\C:\\a\0\0\0\\??\\C:\\b\0\0\0"sv},
      {"a string value", win::kRegSz, "\\??\\C:\\a\0"sv},
      {"a binary value", win::kRegBinary, "\x01\x02"sv},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Seed(c.type, c.data);
    Ops ops;
    EXPECT_EQ(managers::ReadPendingOperations(ops), managers::TPendingRead::Malformed);
    EXPECT_FALSE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
    EXPECT_EQ(Stored()->type, c.type);
    EXPECT_EQ(Stored()->data, B(c.data));
  }
}

TEST_F(FileDeleter, RepairedTerminatorsKeepEveryPair) {
  Seed(win::kRegMultiSz, "\\??\\C:\\a\0C:\\b"sv);
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
  EXPECT_EQ(Stored()->data, W("\\??\\C:\\a\0C:\\b\0\\??\\C:\\bad.exe\0\0\0"sv));
}

TEST_F(FileDeleter, ThePreviousValueIsKeptBeforeItIsReplaced) {
  Seed(win::kRegMultiSz, "\\??\\C:\\a\0\0\0"sv);
  EXPECT_TRUE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
  EXPECT_EQ(m.Contents("C:\\Tools\\BurrowSentry\\Backups\\PendingFileRenameOperations_2009-12-08_15-45-12.reg"),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
            "\"PendingFileRenameOperations\"=hex(7):5c,3f,3f,5c,43,3a,5c,61,00,00,00\r\n\r\n");

  // Nothing is replaced when the previous value cannot be kept.
  m.DenyCreate("C:\\TOOLS\\BURROWSENTRY\\BACKUPS\\PENDING");
  EXPECT_FALSE(managers::ScheduleDeleteOnReboot("C:\\second.exe"));
  EXPECT_EQ(StoredOps(), (Ops{{u"\\??\\C:\\a", u""}, {u"\\??\\C:\\bad.exe", u""}}));
}

TEST_F(FileDeleter, RegistrationFailsWithoutTouchingTheRegistry) {
  struct Case {
    const char* name;
    void (*arrange)(Machine&);
  } cases[] = {
      {"before Windows 2000", [](Machine& m) { m.system().version = {win::kVerPlatformWin32Nt, 4, 0, 1381, ""}; }},
      {"key denied", [](Machine& m) { m.DenyKey(kHkeyLocalMachine, kSessionManager); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.Install();
    machine.CreateKey(kHkeyLocalMachine, kSessionManager);
    c.arrange(machine);
    EXPECT_FALSE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
    EXPECT_FALSE(machine.GetValue(kHkeyLocalMachine, kSessionManager, kValue));
  }
  Machine bare;
  bare.Install();
  EXPECT_FALSE(managers::ScheduleDeleteOnReboot("C:\\bad.exe"));
  EXPECT_FALSE(bare.KeyExists(kHkeyLocalMachine, kSessionManager));  // never created
}

TEST_F(FileDeleter, DeleteNowElseAtRebootTellsTheOutcome) {
  constexpr uint32_t kInfo = win::kMbOk | win::kMbIconInformation | win::kMbTopmost;
  constexpr uint32_t kWarning = win::kMbOk | win::kMbIconWarning | win::kMbTopmost;
  struct Case {
    const char* name;
    std::string path;
    void (*arrange)(Machine&);
    managers::TFileDeleteResult result;
    bs_test::TPromptRecord prompt;
    bool gone;
    Ops pending;
  } cases[] = {
      {"empty path", "", [](Machine&) {}, managers::TFileDeleteResult::NotFound,
       {"Error: file not found.", "Warning", kWarning}, false, {}},
      {"no such file", "C:\\none.exe", [](Machine&) {}, managers::TFileDeleteResult::NotFound,
       {"Error: file not found.", "Warning", kWarning}, false, {}},
      {"deletable", "C:\\bad.exe", [](Machine& m) { m.AddFile("C:\\bad.exe"); }, managers::TFileDeleteResult::Deleted,
       {"File deleted successfully.", "Info", kInfo}, true, {}},
      {"held open by another process", "C:\\bad.exe",
       [](Machine& m) { m.AddFile("C:\\bad.exe").lockedExclusive = true; },
       managers::TFileDeleteResult::DeletedAtReboot, {"File deleted successfully (need reboot).", "Info", kInfo},
       false, {{u"\\??\\C:\\bad.exe", u""}}},
      {"read-only", "C:\\bad.exe", [](Machine& m) { m.AddFile("C:\\bad.exe", "", win::kFileAttributeReadonly); },
       managers::TFileDeleteResult::DeletedAtReboot, {"File deleted successfully (need reboot).", "Info", kInfo},
       false, {{u"\\??\\C:\\bad.exe", u""}}},
      {"held open, no rights on the key", "C:\\bad.exe",
       [](Machine& m) {
         m.AddFile("C:\\bad.exe").lockedExclusive = true;
         m.DenyKey(kHkeyLocalMachine, kSessionManager);
       },
       managers::TFileDeleteResult::Failed, {"Error: file cannot be deleted.", "Warning", kWarning}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.Install();
    machine.CreateKey(kHkeyLocalMachine, kSessionManager);
    c.arrange(machine);
    RecordingPrompter prompter;
    EXPECT_EQ(managers::DeleteFileNowOrAtReboot(c.path, prompter), c.result);
    EXPECT_EQ(prompter.prompts, std::vector<bs_test::TPromptRecord>{c.prompt});
    if (!c.path.empty()) {
      EXPECT_EQ(machine.Exists(c.path), !c.gone && c.result != managers::TFileDeleteResult::NotFound);
    }
    Ops ops;
    if (auto v = machine.GetValue(kHkeyLocalMachine, kSessionManager, kValue)) {
      managers::ParsePendingOperations(v->data, ops);
    }
    EXPECT_EQ(ops, c.pending);
  }
}

}  // namespace
