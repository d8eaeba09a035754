// Command lines, native paths, service image paths and the text helpers, as tables of cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/paths.h"
#include "platform/fake/fake_machine.h"

namespace {

using namespace inspect;

struct Case {
  std::string in, out;
};

const std::string kLong(300, 'x');

// Windows in C:\WINDOWS; rundll32, shell32 and both.exe in the system folder; notepad and
// both.exe in the Windows folder; a folder named like a program in the system folder.
class Paths : public testing::Test {
 protected:
  void SetUp() override {
    m.AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
    m.AddFile("C:\\WINDOWS\\system32\\shell32.dll");
    m.AddFile("C:\\WINDOWS\\system32\\both.exe");
    m.AddFile("C:\\WINDOWS\\both.exe");
    m.AddFile("C:\\WINDOWS\\notepad.exe");
    m.AddFolder("C:\\WINDOWS\\system32\\folder.exe");
    m.Install();
  }
  platform::fake::Machine m;
};

TEST_F(Paths, ExeFromCommandLine) {
  const Case cases[] = {
      {"\"C:\\Program Files\\App\\app.exe\" /min", "C:\\Program Files\\App\\app.exe"},
      {"C:\\Program Files\\App\\app.exe /min", "C:\\Program Files\\App\\app.exe"},
      {"C:\\App\\Setup.EXE.bak", "C:\\App\\Setup.EXE"},
      {"C:\\a.exe\\b.exe", "C:\\a.exe"},
      {"rundll32.exe shell32.dll,Control_RunDLL", "C:\\WINDOWS\\system32\\rundll32.exe"},
      {"RUNDLL32.EXE", "C:\\WINDOWS\\system32\\RUNDLL32.EXE"},
      {"notepad.exe %1", "C:\\WINDOWS\\notepad.exe"},
      {"both.exe", "C:\\WINDOWS\\system32\\both.exe"},  // the system folder first
      {"folder.exe", "folder.exe"},                      // a folder is no file
      {"missing.exe -x", "missing.exe"},
      {"shell32.dll", "C:\\WINDOWS\\system32\\shell32.dll"},  // any name is looked up
      {"C:\\x\\hook.dll,Start", "C:\\x\\hook.dll,Start"},      // only ".exe" cuts here
      {"%SystemRoot%\\system32\\svc.exe -k x", "C:\\WINDOWS\\system32\\svc.exe"},
      {"%SYSTEMROOT%\\x.exe", "C:\\WINDOWS\\x.exe"},
      {"%ProgramFiles%\\Acme\\a.exe /q", "C:\\Program Files\\Acme\\a.exe"},
      {"%programfiles%\\Acme\\a.exe", "C:\\Program Files\\Acme\\a.exe"},
      {"%windir%\\a.exe", "%windir%\\a.exe"},  // no other variable is expanded
      {"%ProgramFiles%", "%ProgramFiles%"},    // without the backslash it stays
      {"", ""},
      {"\"\"", ""},
      {"\"", ""},
      {"   ", "   "},
      {"C:\\a.exe   ", "C:\\a.exe"},
      {"C:\\noext", "C:\\noext"},
      {"C:\\" + kLong + ".exe /x", "C:\\" + kLong + ".exe"},
      {kLong, kLong},
  };
  for (const Case& c : cases) EXPECT_EQ(ExeFromCommandLine(c.in), c.out) << c.in;
}

TEST_F(Paths, ModuleFromCommandLine) {
  const Case cases[] = {
      {"C:\\x\\hook.dll,Start", "C:\\x\\hook.dll"},
      {"%SystemRoot%\\system32\\x.dll", "C:\\WINDOWS\\system32\\x.dll"},
      {"\"C:\\My Files\\x.DLL\" arg", "C:\\My Files\\x.DLL"},
      {"shell32.dll,Control_RunDLL", "C:\\WINDOWS\\system32\\shell32.dll"},
      {"rundll32.exe shell32.dll,Control_RunDLL", "C:\\WINDOWS\\system32\\rundll32.exe"},
      {"C:\\lib.dll\\host.exe x", "C:\\lib.dll\\host.exe"},  // ".exe" wins wherever it stands
      {"C:\\a.dll.dll", "C:\\a.dll"},
      {"C:\\noext x", "C:\\noext x"},
      {"", ""},
      {"\"\"\"\"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ModuleFromCommandLine(c.in), c.out) << c.in;
}

TEST_F(Paths, ExpandNtPath) {
  const Case cases[] = {
      {"\\??\\C:\\a\\b.exe", "C:\\a\\b.exe"},
      {"\\SystemRoot\\System32\\smss.exe", "C:\\WINDOWS\\System32\\smss.exe"},
      {"\\SYSTEMROOT\\x.sys", "C:\\WINDOWS\\x.sys"},
      {"\\??\\\\SystemRoot\\x.sys", "C:\\WINDOWS\\x.sys"},
      {"C:\\a.exe", "C:\\a.exe"},
      {"x\\??\\C:\\a", "x\\??\\C:\\a"},
      {"\\\\?\\C:\\a", "\\\\?\\C:\\a"},
      {"\\??\\", ""},
      {"\\??", "\\??"},
      {"\\SystemRoot", "\\SystemRoot"},
      {"System32\\x.sys", "System32\\x.sys"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandNtPath(c.in), c.out) << c.in;
}

TEST_F(Paths, ServiceImageToFileForDrivers) {
  const Case cases[] = {
      {"system32\\DRIVERS\\x.sys", "C:\\WINDOWS\\system32\\drivers\\x.sys"},
      {"\\??\\C:\\Drv\\x.sys", "c:\\drv\\x.sys"},
      {"\\SystemRoot\\System32\\Drivers\\y.sys", "C:\\WINDOWS\\system32\\drivers\\y.sys"},
      {"C:\\WINDOWS\\System32\\drivers\\z.sys", "c:\\windows\\system32\\drivers\\z.sys"},
      {"c:\\a\\\\b.sys", "c:\\a\\b.sys"},
      {"D:\\drv\\a.sys", "C:\\WINDOWS\\d:\\drv\\a.sys"},  // only the system drive counts as a full path
      {"\\??\\C:\\" + kLong, ("c:\\" + kLong).substr(0, 255)},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ServiceImageToFile(c.in, 1), c.out) << c.in;
}

TEST_F(Paths, ServiceImageToFileForServices) {
  const Case cases[] = {
      {"C:\\WINDOWS\\system32\\svchost.exe -k netsvcs", "c:\\windows\\system32\\svchost.exe"},
      {"%SystemRoot%\\System32\\svchost -k LocalService", "%systemroot%\\system32\\svchost.exe"},
      {"\"C:\\Program Files\\App\\svc.exe\" /service", "c:\\program files\\app\\svc.exe"},
      {"C:\\App\\svc.exe", "c:\\app\\svc.exe"},
      {"C:\\App\\svc.exe/x", "c:\\app\\svc.exe/"},  // the cut keeps one character past ".exe"
      {"  C:\\x.exe", "c:\\x.exe"},
      {"svc.exe", "svc.exe"},
      {"C:\\App\\svc", ""},
      {"\"\"", ""},
      {"", ""},
      {"C:\\" + kLong + ".exe ", "c:\\" + kLong + ".exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(ServiceImageToFile(c.in, 2), c.out) << c.in;
  EXPECT_EQ(ServiceImageToFile("C:\\a.exe", 3), "");
}

TEST(TextHelpers, RightCharsAndPosFrom) {
  EXPECT_EQ(RightChars("abcdef", 3), "def");
  EXPECT_EQ(RightChars("ab", 5), "ab");
  EXPECT_EQ(RightChars("abc", 0), "");
  EXPECT_EQ(RightChars("", 2), "");

  struct PosCase {
    const char* sub;
    const char* text;
    size_t start, pos;
  };
  const PosCase cases[] = {
      {"b", "abcb", 1, 2}, {"b", "abcb", 3, 4}, {"b", "abcb", 4, 4}, {"cb", "abcb", 3, 3}, {"b", "abcb", 5, 0},
      {"b", "abcb", 0, 0}, {"x", "abc", 1, 0},  {"", "abc", 1, 0},   {"a", "", 1, 0},
  };
  for (const PosCase& c : cases) EXPECT_EQ(PosFrom(c.sub, c.text, c.start), c.pos) << c.sub << " in " << c.text;
}

TEST(TextHelpers, SplitText) {
  using Items = std::vector<std::string>;
  const std::pair<std::string, Items> cases[] = {
      {"HKLM\\Software\\Run", {"HKLM", "Software", "Run"}},
      {"a\\\\b", {"a", "", "b"}},
      {"a\\", {"a", ""}},
      {"a\\\\", {"a", "", ""}},
      {"a\\ ", {"a"}},  // the delimiter is not the last character
      {"\\a", {"", "a"}},
      {"Run\\My App", {"Run", "My", "App"}},
      {" a \\ b ", {"a", "b"}},
      {"a\tb\r\nc", {"a", "b", "c"}},
      {"\"My App\"\\x", {"My App", "x"}},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"\"\"", {""}},
      {"\"unclosed", {"unclosed"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"", {}},
      {"   ", {}},
  };
  std::vector<std::string> list{"left over"};
  for (const auto& [text, items] : cases) {
    SplitText('\\', text, list);
    EXPECT_EQ(list, items) << text;
  }
  SplitText(',', "x,y,,z", list);
  EXPECT_EQ(list, (Items{"x", "y", "", "z"}));
}

TEST(TextHelpers, PathParts) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // path, LastPathPart, ParentPathOf
      {"C:\\a\\b.exe", "b.exe", "C:\\a\\"},
      {"b.exe", "b.exe", ""},
      {"C:\\a\\", "", "C:\\a\\"},
      {"\\\\server\\share\\f", "f", "\\\\server\\share\\"},
      {"C:\\a\\My App.exe", "App.exe", "C:\\a\\My\\"},  // a blank ends an item
      {"", "", ""},
  };
  for (const auto& [path, last, parent] : cases) {
    EXPECT_EQ(LastPathPart(path), last) << path;
    EXPECT_EQ(ParentPathOf(path), parent) << path;
  }
}

TEST(TextHelpers, JoinPath) {
  EXPECT_EQ(JoinPath("C:\\a", "b.exe"), "C:\\a\\b.exe");
  EXPECT_EQ(JoinPath("C:\\a\\", "b.exe"), "C:\\a\\b.exe");
  EXPECT_EQ(JoinPath("C:\\", "b.exe"), "C:\\b.exe");
  EXPECT_EQ(JoinPath("", "b.exe"), "b.exe");  // never "\b.exe", the root of the current drive
  EXPECT_EQ(JoinPath("C:\\a", ""), "C:\\a\\");
}

}  // namespace
