// Where the i686 and the x86_64 builds differ on a real Windows (each in the prefix of its own
// kind): the predefined registry roots, the registry view a plain open reaches, and module
// handles of pointer width.
#ifdef BS_WIN32_BACKEND

#include <string>
#include <vector>

#include "inspect/text.h"
#include "platform/win32/win32_common.h"
#include "tests/support/backend_fixture.h"

namespace {

using namespace platform;

constexpr bool k64BitBuild = sizeof(void*) == 8;

class BitnessWine : public testing::Test {
 protected:
  bs_test::BackendScratch scratch_{bs_test::BackendKind::Win32};
};

// Our root numbers are the Windows ones, sign-extended where a handle is 64 bits wide.
TEST_F(BitnessWine, PredefinedRootsAreTheSystemsHandles) {
  const struct {
    RegKey root;
    HKEY system;
    const char* sub;
  } roots[] = {
      {kHkeyClassesRoot, HKEY_CLASSES_ROOT, "CLSID"},
      {kHkeyCurrentUser, HKEY_CURRENT_USER, "Software"},
      {kHkeyLocalMachine, HKEY_LOCAL_MACHINE, "Software"},
      {kHkeyUsers, HKEY_USERS, ".Default"},
  };
  for (const auto& r : roots) {
    SCOPED_TRACE(r.sub);
    EXPECT_EQ(win32::ToHkey(r.root), r.system);
    RegKey key = 0;
    ASSERT_EQ(Reg().OpenKey(r.root, r.sub, win::kKeyRead, &key), 0u);
    Reg().CloseKey(key);
  }
}

// HKLM\Software as the program opens it: the native view in the x86_64 build, the only view on a
// 32-bit Windows. A value is written into each view by the flags that name it (a 32-bit Windows
// has one view and takes the last write).
TEST_F(BitnessWine, SoftwareViewOfAPlainOpen) {
  const char* kKey = "Software\\BurrowSentryBitnessTest";
  const struct {
    REGSAM view;
    const char* text;
  } writes[] = {{KEY_WOW64_64KEY, "native view"}, {KEY_WOW64_32KEY, "32-bit view"}};
  for (const auto& w : writes) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | w.view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, "View", 0, REG_SZ, reinterpret_cast<const BYTE*>(w.text),
                     static_cast<DWORD>(std::string(w.text).size() + 1));
    ::RegCloseKey(key);
  }
  const auto read = [](const std::string& path) {
    RegKey key = 0;
    if (Reg().OpenKey(kHkeyLocalMachine, path, win::kKeyRead, &key) != 0) return std::string("<missing>");
    uint32_t type = 0;
    std::vector<uint8_t> data;
    const uint32_t rc = Reg().QueryValue(key, "View", &type, &data);
    Reg().CloseKey(key);
    return rc == 0 ? std::string(data.begin(), data.end()).c_str() : std::string("<missing>");
  };
  const struct {
    const char* path;
    const char* on32;
    const char* on64;
  } cases[] = {
      {"Software\\BurrowSentryBitnessTest", "32-bit view", "native view"},
      {"Software\\Wow6432Node\\BurrowSentryBitnessTest", "<missing>", "32-bit view"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(read(c.path), k64BitBuild ? c.on64 : c.on32);
  }
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
    HKEY software = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view, &software) == ERROR_SUCCESS) {
      ::RegDeleteKeyA(software, "BurrowSentryBitnessTest");
      ::RegCloseKey(software);
    }
  }
}

// Module handles keep all their bits through the process facility, and the system's modules of
// the own process come from the system folder the program reports (system32, not SysWOW64).
TEST_F(BitnessWine, OwnModuleListAtPointerWidth) {
  const Handle self = Procs().OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, Procs().GetCurrentProcessId());
  ASSERT_NE(self, kNoHandle);
  std::vector<uintptr_t> modules;
  ASSERT_TRUE(Procs().EnumProcessModules(self, &modules, 1024));
  ASSERT_FALSE(modules.empty());
  EXPECT_EQ(modules[0], reinterpret_cast<uintptr_t>(::GetModuleHandleA(nullptr)));
  EXPECT_TRUE(inspect::EqualNoCase(Procs().GetModuleFileNameEx(self, modules[0], 1024), Sys().GetModuleFileName()));
  const uintptr_t ntdll = reinterpret_cast<uintptr_t>(::GetModuleHandleA("ntdll.dll"));
  bool found = false;
  for (uintptr_t m : modules) {
    if (m != ntdll) continue;
    found = true;
    EXPECT_TRUE(inspect::EqualNoCase(Procs().GetModuleFileNameEx(self, m, 1024), Sys().GetSystemDirectory() + "\\ntdll.dll"));
  }
  EXPECT_TRUE(found);
  Procs().CloseHandle(self);
}

}  // namespace

#endif
