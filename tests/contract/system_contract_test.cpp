// Profile files, clock, temp folder, privileges and threads: fake against the real backend.
#include <atomic>
#include <optional>
#include <string>

#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;

class SystemContract : public bs_test::ContractTest {};

TEST_P(SystemContract, ProfileStringsRoundTrip) {
  const std::string ini = scratch().PathOf("settings.ini");
  EXPECT_EQ(Sys().GetPrivateProfileString(ini, "Main", "Lang", "fallback"), "fallback");  // no file yet

  ASSERT_TRUE(Sys().WritePrivateProfileString(ini, "Main", "Lang", "English"));
  ASSERT_TRUE(Sys().WritePrivateProfileString(ini, "Main", "Skin", "Blue"));
  ASSERT_TRUE(Sys().WritePrivateProfileString(ini, "Other", "Lang", "German"));
  ASSERT_TRUE(Sys().WritePrivateProfileString(ini, "Main", "Lang", "French"));  // replaces
  const std::string longValue(3000, 'q');
  ASSERT_TRUE(Sys().WritePrivateProfileString(ini, "Main", "Long", longValue));

  const struct {
    const char *section, *key, *expected;
  } cases[] = {
      {"Main", "Lang", "French"}, {"main", "LANG", "French"}, {"Main", "Skin", "Blue"},
      {"Other", "Lang", "German"}, {"Main", "Absent", "fallback"}, {"Absent", "Lang", "fallback"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sys().GetPrivateProfileString(ini, c.section, c.key, "fallback"), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_EQ(Sys().GetPrivateProfileString(ini, "Main", "Long", ""), longValue);
}

TEST_P(SystemContract, ProfileStringsReadHandWrittenFiles) {
  const std::string ini = scratch().PathOf("hand.ini");
  ASSERT_TRUE(bs_test::WriteWholeFile(ini,
                                      "; comment\r\n"
                                      "[Main]\r\n"
                                      "Spaced =  some value  \r\n"
                                      "Quoted=\"in quotes\"\r\n"
                                      "Empty=\r\n"
                                      "\r\n"
                                      "[Next]\r\n"
                                      "Spaced=next\r\n"));
  const struct {
    const char *section, *key, *expected;
  } cases[] = {
      {"Main", "Spaced", "some value"}, {"Main", "Quoted", "in quotes"}, {"Main", "Empty", ""},
      {"Next", "Spaced", "next"},       {"Next", "Quoted", "fallback"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sys().GetPrivateProfileString(ini, c.section, c.key, "fallback"), c.expected)
        << c.section << "/" << c.key;
  }
}

// Files of odd shapes, as settings and language files may be: the first of repeated keys and
// sections counts, a key before any section belongs to none, a line without "=" is no key, a
// value of a megabyte reads whole.
TEST_P(SystemContract, ProfileStringsReadOddFiles) {
  const std::string ini = scratch().PathOf("odd.ini");
  const std::string big(1 << 20, 'v');
  ASSERT_TRUE(bs_test::WriteWholeFile(ini,
                                      "orphan=1\r\n"
                                      "[Main]\r\n"
                                      "Twice=first\r\n"
                                      "Twice=second\r\n"
                                      "no equals sign\r\n"
                                      "Big=" + big + "\r\n"
                                      "[Main]\r\n"
                                      "Later=in the second Main\r\n"
                                      "[Next]\r\n"
                                      "Key=next\r\n"));
  const struct {
    const char *section, *key, *expected;
  } cases[] = {
      {"Main", "Twice", "first"},    {"Main", "orphan", "fallback"}, {"Main", "no equals sign", "fallback"},
      {"Main", "Later", "fallback"}, {"Next", "Key", "next"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sys().GetPrivateProfileString(ini, c.section, c.key, "fallback"), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_EQ(Sys().GetPrivateProfileString(ini, "Main", "Big", ""), big);
}

TEST_P(SystemContract, LocalTimeFormatsAsText) {
  const LocalTime now = Sys().GetLocalTime();
  EXPECT_GE(now.year, 2000);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12) << now.month;
  EXPECT_TRUE(now.day >= 1 && now.day <= 31) << now.day;
  EXPECT_LE(now.hour, 23);
  for (const std::string& text : {Sys().FormatShortDate(now), Sys().FormatLongTime(now)}) {
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\0'), std::string::npos) << "a NUL inside '" << text << "'";
  }
}

TEST_P(SystemContract, TempFolderExistsAndEndsWithASeparator) {
  const std::string temp = Sys().GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  const uint32_t attributes = Fs().GetFileAttributes(temp);
  ASSERT_NE(attributes, win::kInvalidFileAttributes);
  EXPECT_NE(attributes & win::kFileAttributeDirectory, 0u);
}

TEST_P(SystemContract, LongAndShellPathsOfExistingPaths) {
  const std::string folder = scratch().folder(), file = scratch().PathOf("file.txt");
  ASSERT_TRUE(bs_test::WriteWholeFile(file, "x"));
  const std::string root = folder.substr(0, 3);
  const struct {
    std::string path;
    std::optional<std::string> longPath, shellPath;
  } cases[] = {
      {folder, folder, folder},
      {folder + "\\", folder + "\\", folder},  // the shell drops a folder's final separator
      {file, file, file},
      {root, root, root},
      {scratch().PathOf("absent.txt"), std::nullopt, std::nullopt},
      {scratch().PathOf("absent\\file.txt"), std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sys().GetLongPathName(c.path), c.longPath) << c.path;
    EXPECT_EQ(Sys().ShellParsePath(c.path), c.shellPath) << c.path;
  }
}

TEST_P(SystemContract, ErrorMessagesAreTrimmedAndUnknownCodesEmpty) {
  for (uint32_t code : {win::kErrorFileNotFound, win::kErrorAccessDenied, win::kErrorSharingViolation}) {
    const std::string text = Sys().FormatErrorMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(std::string("\r\n \t").find(text.back()), std::string::npos) << "'" << text << "'";
  }
  // A code with the customer bit set has no system text.
  EXPECT_EQ(Sys().FormatErrorMessage(0x2000DEAD), "");
}

// Both ways between the system code page (Windows-1252 here and in the prefix) and UTF-8.
TEST_P(SystemContract, CodePageTextConvertsToAndFromUtf8) {
  const struct {
    const char *ansi, *utf8;
  } cases[] = {
      {"", ""},
      {"plain ASCII (x86)", "plain ASCII (x86)"},
      {"r\xE9sum\xE9", "r\xC3\xA9sum\xC3\xA9"},
      {"\x80 5", "\xE2\x82\xAC 5"},           // the euro sign of 0x80
      {"\x9F\xFF", "\xC5\xB8\xC3\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sys().AnsiToUtf8(c.ansi), c.utf8) << c.ansi;
    EXPECT_EQ(Sys().Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
  }
  // A byte the code page leaves unassigned keeps its number.
  EXPECT_EQ(Sys().AnsiToUtf8("\x81"), "\xC2\x81");
}

TEST_P(SystemContract, PrivilegesAdjustEvenWhenNotHeld) {
  uint64_t shutdown = 0, debug = 0, unknown = 0;
  EXPECT_TRUE(Sec().LookupPrivilegeValue("SeShutdownPrivilege", &shutdown));
  EXPECT_TRUE(Sec().LookupPrivilegeValue("SeDebugPrivilege", &debug));
  EXPECT_NE(shutdown, debug);
  EXPECT_FALSE(Sec().LookupPrivilegeValue("SeNoSuchPrivilege", &unknown));

  Handle token = Sec().OpenProcessToken(win::kTokenAdjustPrivileges | win::kTokenQuery);
  ASSERT_NE(token, kNoHandle);
  EXPECT_TRUE(Sec().AdjustTokenPrivilege(token, debug, true));
  EXPECT_TRUE(Sec().AdjustTokenPrivilege(token, debug, false));
  Sec().CloseHandle(token);
}

// The scan raises the timer to 1 ms for its length: both backends accept that period.
TEST_P(SystemContract, TimerPeriodOfOneMillisecondIsAccepted) {
  ASSERT_TRUE(Sys().BeginTimerPeriod(1));
  Sys().EndTimerPeriod(1);
}

TEST_P(SystemContract, ThreadReportsStillActiveThenItsExitCode) {
  std::atomic<bool> release{false};
  Handle thread = Thr().CreateThread([&release]() -> uint32_t {
    while (!release) Sys().Sleep(1, false);
    return 42;
  });
  ASSERT_NE(thread, kNoHandle);
  uint32_t code = 0;
  EXPECT_TRUE(Thr().GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, win::kStillActive);

  release = true;
  // Wait for the end; the bound only keeps a broken backend from hanging the run.
  for (int i = 0; i < 20000 && Thr().GetExitCodeThread(thread, &code) && code == win::kStillActive; ++i) {
    Sys().Sleep(1, false);
  }
  EXPECT_EQ(code, 42u);
  Thr().CloseHandle(thread);
}

INSTANTIATE_TEST_SUITE_P(Backends, SystemContract, testing::ValuesIn(bs_test::ContractBackends()),
                         bs_test::BackendName);

}  // namespace
