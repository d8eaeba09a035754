// The attacker's moves that Windows itself must answer, over the fake and under Wine: a value
// name with a NUL in it, a registry link below a key we delete, a file name no code page
// holds. Each makes its hostile object with the calls another program would use.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifdef BS_WIN32_BACKEND
#include <windows.h>
#endif

#include "inspect/md5.h"
#include "inspect/registry.h"
#include "managers/startups.h"
#include "platform/handles.h"
#include "restorer/safe_mode.h"
#include "scan/report.h"
#include "scan/sections.h"
#include "managers/shell_actions.h"
#include "tests/support/backend_fixture.h"
#include "tests/support/recording_prompter.h"

namespace {

using namespace platform;

class HostileContract : public bs_test::ContractTest {};

#ifdef BS_WIN32_BACKEND
struct CountedName {
  USHORT length;
  USHORT maximumLength;
  PWSTR buffer;
};
using NtSetValueKeyFn = LONG(WINAPI*)(HANDLE, CountedName*, ULONG, ULONG, const void*, ULONG);
#endif

// Sets a REG_SZ whose name holds a NUL, as only the native call can.
bool SetNulNamedValue(bs_test::BackendScratch& scratch, const std::string& key, const std::string& name,
                      const std::string& text) {
  if (auto* machine = scratch.machine()) {
    machine->SetString(bs_test::BackendScratch::kRoot, key, name, text);
    return true;
  }
#ifdef BS_WIN32_BACKEND
  const auto set = reinterpret_cast<NtSetValueKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  HKEY handle = nullptr;
  if (!set || RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return false;
  std::wstring wide(name.begin(), name.end());
  CountedName counted{static_cast<USHORT>(wide.size() * 2), static_cast<USHORT>(wide.size() * 2), wide.data()};
  const LONG status = set(handle, &counted, 0, REG_SZ, text.c_str(), static_cast<ULONG>(text.size() + 1));
  RegCloseKey(handle);
  return status == 0;
#else
  return false;
#endif
}

// A value named "Run1" and one named "Run1<NUL>evil": deleting the second from the Startups page
// never deletes the first, and is allowed only after the no-backup warning.
TEST_P(HostileContract, NulNamedValueDeletesNothingElse) {
  const std::string key = scratch().keyPath();
  const std::string hostile("Run1\0evil", 9);
  ScopedKey handle;
  ASSERT_EQ(Reg().OpenKey(bs_test::BackendScratch::kRoot, key, win::kKeyAllAccess, handle.out()), 0u);
  ASSERT_EQ(Reg().SetValue(handle.get(), "Run1", win::kRegSz, "kept.exe", 9), 0u);
  ASSERT_TRUE(SetNulNamedValue(scratch(), key, hostile, "evil.exe"));

  std::vector<managers::TStartupRow> rows;
  managers::ListRunKeyValues("\\" + key, bs_test::BackendScratch::kRoot, rows);
  const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.name == hostile; });
  ASSERT_NE(row, rows.end()) << "the enumeration gives the whole name";

  bs_test::RecordingPrompter prompter;
  prompter.answer = win::kIdYes;
  EXPECT_EQ(managers::DeleteStartupItem(&*row, prompter), managers::TDeleteResult::Deleted);
  ASSERT_FALSE(prompter.prompts.empty());
  EXPECT_EQ(prompter.prompts[0].text, managers::kNoBackupWarning);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(Reg().QueryValue(handle.get(), "Run1", &type, &data), 0u) << "another value was deleted";
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("kept.exe", 9));
  rows.clear();
  managers::ListRunKeyValues("\\" + key, bs_test::BackendScratch::kRoot, rows);
  EXPECT_EQ(rows.size(), 1u);
  // Asked by name, a NUL-holding name is refused rather than read as its first part.
  EXPECT_EQ(Reg().QueryValue(handle.get(), hostile, &type, nullptr), win::kErrorInvalidParameter);
  EXPECT_EQ(Reg().DeleteValue(handle.get(), hostile), win::kErrorFileNotFound);
}

// A link below a key the recursive delete removes: the link goes, the key it leads to and what
// is below it stay.
TEST_P(HostileContract, RecursiveDeleteRemovesALinkNotItsTarget) {
  const std::string parent = scratch().KeyOf("Repaired");
  const std::string target = "Software\\BurrowSentryTests\\Victim-" + scratch().keyPath().substr(scratch().keyPath().rfind('\\') + 1);
  ScopedKey victim;
  ASSERT_EQ(Reg().CreateKey(kHkeyLocalMachine, target + "\\Sub", win::kKeyAllAccess, victim.out()), 0u);
  ASSERT_EQ(Reg().SetValue(victim.get(), "keep", win::kRegSz, "me", 3), 0u);
  victim.Reset();
  ScopedKey made;
  ASSERT_EQ(Reg().CreateKey(bs_test::BackendScratch::kRoot, parent + "\\Plain", win::kKeyAllAccess, made.out()), 0u);
  made.Reset();
  if (auto* machine = scratch().machine()) {
    machine->CreateLink(bs_test::BackendScratch::kRoot, parent + "\\Link", kHkeyLocalMachine, target);
  } else {
#ifdef BS_WIN32_BACKEND
    HKEY link = nullptr;
    const std::wstring linkPath(std::wstring(parent.begin(), parent.end()) + L"\\Link");
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, linkPath.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::wstring targetText = L"\\Registry\\Machine\\" + std::wstring(target.begin(), target.end());
    ASSERT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(targetText.data()),
                             static_cast<DWORD>(targetText.size() * 2)),
              ERROR_SUCCESS);
    RegCloseKey(link);
#endif
  }
  // The link leads where it says.
  ASSERT_TRUE(inspect::RegKeyExists(bs_test::BackendScratch::kRoot, parent + "\\Link\\Sub"));

  EXPECT_TRUE(inspect::RegDeleteKeyPath(bs_test::BackendScratch::kRoot, parent, true));
  EXPECT_FALSE(inspect::RegKeyExists(bs_test::BackendScratch::kRoot, parent));
  EXPECT_TRUE(inspect::RegKeyExists(kHkeyLocalMachine, target + "\\Sub"));
  std::string kept;
  EXPECT_TRUE(inspect::RegReadString(kHkeyLocalMachine, target + "\\Sub\\keep", &kept));
  EXPECT_EQ(kept, "me");
  EXPECT_TRUE(bs_test::DeleteKeyTree(kHkeyLocalMachine, target));
}

// An executable whose name no code page holds ('文件.exe'): listed under the name the code page
// gives it, and described from its own bytes, reached through its 8.3 name.
TEST_P(HostileContract, ExecutableNamedOutsideTheCodePageIsDescribedWithItsDigest) {
  const std::string body = "MZ a program named outside the code page";
  const std::string folder = scratch().PathOf("");
  if (auto* machine = scratch().machine()) {
    machine->AddFile(folder + "??.exe", body);
    machine->SetShortName(folder + "??.exe", "B1C2~1.EXE");
  } else {
#ifdef BS_WIN32_BACKEND
    const std::wstring path = std::wstring(folder.begin(), folder.end()) + L"\u6587\u4ef6.exe";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
    CloseHandle(file);
#endif
  }
  scan::TReport report;
  scan::TScanOptions options;
  scan::ListFolderFiles(report, options, folder, "*.*", false);
  ASSERT_EQ(report.Count(), 1u);
  const std::string line = report.Item(0);
  EXPECT_EQ(line.rfind(folder + "??.exe (" + std::to_string(body.size()) + " bytes)", 0), 0u) << line;
  EXPECT_NE(line.find("(" + inspect::Md5Text(body) + ")"), std::string::npos) << line;
  // The scratch folder's own clean-up goes by the names the code page gives.
  if (auto* machine = scratch().machine()) machine->RemoveFile(folder + "??.exe");
#ifdef BS_WIN32_BACKEND
  if (!scratch().machine()) {
    DeleteFileW((std::wstring(folder.begin(), folder.end()) + L"\u6587\u4ef6.exe").c_str());
  }
#endif
}

#ifdef BS_WIN32_BACKEND
// Makes `folder` (an empty folder) a junction to `target` with FSCTL_SET_REPARSE_POINT.
bool MakeJunction(const std::string& folder, const std::string& target) {
  HANDLE handle = CreateFileA(folder.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
  const std::wstring print(target.begin(), target.end());
  std::vector<uint8_t> buffer(16 + (substitute.size() + print.size() + 2) * 2, 0);
  auto put16 = [&](size_t at, size_t value) {
    buffer[at] = static_cast<uint8_t>(value & 0xFF);
    buffer[at + 1] = static_cast<uint8_t>(value >> 8);
  };
  const uint32_t tag = 0xA0000003;  // IO_REPARSE_TAG_MOUNT_POINT
  std::memcpy(buffer.data(), &tag, 4);
  put16(4, buffer.size() - 8);                          // ReparseDataLength
  put16(8, 0);                                          // SubstituteNameOffset
  put16(10, substitute.size() * 2);                     // SubstituteNameLength
  put16(12, (substitute.size() + 1) * 2);               // PrintNameOffset
  put16(14, print.size() * 2);                          // PrintNameLength
  std::memcpy(buffer.data() + 16, substitute.data(), substitute.size() * 2);
  std::memcpy(buffer.data() + 16 + (substitute.size() + 1) * 2, print.data(), print.size() * 2);
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle, 0x000900A4 /* FSCTL_SET_REPARSE_POINT */, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  return ok != FALSE;
}
#endif

// A Logs folder that is a junction to a folder of the attacker's choosing: Delete Logs empties
// nothing behind it. (Wine 8 cannot make a junction: there the plain folder alone is shown.)
TEST_P(HostileContract, DeleteLogsNeverDeletesThroughAJunction) {
  // A plain Logs folder is emptied, its subfolders with it.
  const std::string plain = scratch().PathOf("plain\\");
  ASSERT_TRUE(Fs().CreateDirectory(scratch().PathOf("plain")));
  ASSERT_TRUE(Fs().CreateDirectory(plain + "Logs"));
  ASSERT_TRUE(Fs().CreateDirectory(plain + "Logs\\old"));
  ASSERT_TRUE(bs_test::WriteWholeFile(plain + "Logs\\a.log", "a"));
  ASSERT_TRUE(bs_test::WriteWholeFile(plain + "Logs\\old\\b.log", "b"));
  managers::DeleteLogs(plain);
  EXPECT_NE(Fs().GetFileAttributes(plain + "Logs"), win::kInvalidFileAttributes);
  EXPECT_EQ(Fs().GetFileAttributes(plain + "Logs\\a.log"), win::kInvalidFileAttributes);
  EXPECT_EQ(Fs().GetFileAttributes(plain + "Logs\\old"), win::kInvalidFileAttributes);

  const std::string app = scratch().PathOf("app\\");
  const std::string target = scratch().PathOf("elsewhere");
  std::string behind = target + "\\keep.txt";
  ASSERT_TRUE(Fs().CreateDirectory(scratch().PathOf("app")));
  ASSERT_TRUE(Fs().CreateDirectory(app + "Logs"));
  if (auto* machine = scratch().machine()) {
    behind = app + "Logs\\keep.txt";  // the fake's junction shows its target's files itself
    ASSERT_TRUE(bs_test::WriteWholeFile(behind, "not ours"));
    machine->File(app + "Logs")->attributes |= win::kFileAttributeReparsePoint;
  } else {
#ifdef BS_WIN32_BACKEND
    ASSERT_TRUE(Fs().CreateDirectory(target));
    ASSERT_TRUE(bs_test::WriteWholeFile(behind, "not ours"));
    if (!MakeJunction(app + "Logs", target)) GTEST_SKIP() << "this Wine cannot make a junction";
    ASSERT_TRUE(Fs().GetFileAttributes(app + "Logs\\keep.txt") != win::kInvalidFileAttributes);
#endif
  }
  ASSERT_NE(Fs().GetFileAttributes(app + "Logs") & win::kFileAttributeReparsePoint, 0u);
  managers::DeleteLogs(app);
  EXPECT_EQ(bs_test::ReadWholeFile(behind), "not ours");
  if (scratch().machine()) {
    scratch().machine()->File(app + "Logs")->attributes &= ~win::kFileAttributeReparsePoint;
  } else {
    Fs().RemoveDirectory(app + "Logs");  // the junction itself
  }
}

// The Registry Editor imports a private copy of checked text, which is gone once it has ended.
TEST_P(HostileContract, RegistryEditorImportsAPrivateCopyAndTheCopyGoes) {
  const std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + scratch().keyPath() + "\\Imported]\r\n\"v\"=\"1\"\r\n";
  if (auto* machine = scratch().machine()) {
    machine->shellUi().whileRunning = [machine](const fake::ShellExecution& run) {
      machine->ImportReg(machine->Contents(run.parameters.substr(4, run.parameters.size() - 5)));
    };
  }
  ASSERT_TRUE(restorer::ImportRegistryText(text));
  std::string value;
  EXPECT_TRUE(inspect::RegReadString(bs_test::BackendScratch::kRoot, scratch().KeyOf("Imported\\v"), &value));
  EXPECT_EQ(value, "1");
  FindData found;
  const ScopedFind left(Fs().FindFirstFile(Sys().GetTempPath() + "bs-import-*.reg", &found));
  EXPECT_FALSE(left.ok()) << found.name;
}

INSTANTIATE_TEST_SUITE_P(Backends, HostileContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
