// The offline backend over a volume laid out by tools/offline-volume from a .reg fixture: the
// registry as Windows mounts the hives, files by Windows name rules, version information from
// PE files, damaged input as one note each, and a volume whose bytes a whole scan leaves alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "cli/offline_scan.h"
#include "inspect/lang.h"
#include "platform/handles.h"
#include "platform/offline/offline_backend.h"
#include "scan/frame.h"
#include "scan/settings.h"
#include "tests/support/scan_helpers.h"

namespace {

namespace fs = std::filesystem;
namespace win = platform::win;
using platform::Fs;
using platform::Reg;
using platform::RegKey;

constexpr const char* kUser = "C:\\Documents and Settings\\User";
constexpr const char* kSid = "S-1-5-21-1004336348-1177238915-682003330-1003";


void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class NullDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

// The whole scan over the installed backend, with the offline sections and header.
scan::TReport ScanVolume(platform::offline::Volume& volume) {
  inspect::FillDefaultTexts();
  const scan::TScanOptions options = scan::TakeScanOptions(scan::TSettings{});
  const std::vector<scan::TSection> sections = cli::OfflineSections();
  scan::TReport report;
  NullDisplay display;
  scan::ScanThread(report, options, display, sections);
  std::vector<std::string> header{volume.SourceLine()};
  header.insert(header.end(), volume.Notes().begin(), volume.Notes().end());
  return cli::WithOfflineHeader(report, header);
}

class OfflineVolumeTest : public ::testing::Test {
 public:
  fs::path Host(const std::string& relative) const { return dir_ / relative; }
  fs::path Profile() const { return dir_ / "Documents and Settings" / "User"; }

 protected:
  // The hives are built once; each test gets its own copy of the volume.
  static void SetUpTestSuite() {
    base_ = fs::temp_directory_path() / ("bs-offline-base-" + std::to_string(::getpid()));
    fs::remove_all(base_);
    const std::string command = std::string("'") + BS_SOURCE_DIR + "/tools/offline-volume' '" + base_.string() +
                                "' '" + BS_SOURCE_DIR + "/tests/fixtures/offline/scenario.reg'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() { fs::remove_all(base_); }

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("bs-offline-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::copy(base_, dir_, fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::optional<std::pair<uint32_t, std::string>> Value(RegKey root, const std::string& path,
                                                                 const std::string& name) {
    RegKey key = 0;
    if (Reg().OpenKey(root, path, win::kKeyRead, &key) != 0) return std::nullopt;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    const uint32_t rc = Reg().QueryValue(key, name, &type, &data);
    Reg().CloseKey(key);
    if (rc != 0) return std::nullopt;
    return std::make_pair(type, std::string(data.begin(), data.end()));
  }

  static std::vector<std::string> SubKeys(RegKey root, const std::string& path) {
    std::vector<std::string> names;
    RegKey key = 0;
    if (Reg().OpenKey(root, path, win::kKeyRead, &key) != 0) return names;
    std::string name;
    for (uint32_t i = 0; Reg().EnumKey(key, i, &name) == 0; ++i) names.push_back(name);
    Reg().CloseKey(key);
    return names;
  }

  static fs::path base_;
  fs::path dir_;
};

fs::path OfflineVolumeTest::base_;

TEST_F(OfflineVolumeTest, RegistryReadsEachHiveWhereWindowsMountsIt) {
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  EXPECT_TRUE(volume.Notes().empty()) << volume.Notes().front();
  const std::string nul(1, '\0');
  struct Case {
    const char* what;
    RegKey root;
    std::string path, name;
    uint32_t type;
    std::string data;  // as RegQueryValueExA gives it: strings in the ANSI code page
  };
  const Case cases[] = {
      {"machine value", platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Text", win::kRegSz, "abc" + nul},
      {"letters without case", platform::kHkeyLocalMachine, "\\software\\BURROWTEST", "TEXT", win::kRegSz,
       "abc" + nul},
      {"expandable string", platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Expand", win::kRegExpandSz,
       "%A%" + nul},
      {"multi-string", platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Multi", win::kRegMultiSz,
       "a" + nul + "b" + nul + nul},
      {"dword", platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Number", win::kRegDword,
       std::string("\x2a\0\0\0", 4)},
      {"binary", platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Blob", win::kRegBinary, "\x01\x02\x03"},
      {"control set from Select", platform::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
       "NameServer", win::kRegSz, "203.0.113.53" + nul},
      {"user value, outside ASCII", platform::kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
       "Cafe", win::kRegSz, "C:\\Caf\xE9\\x.exe" + nul},
      {"user's class over the machine's", platform::kHkeyClassesRoot, "CLSID\\{00000000-0000-0000-0000-00000000000A}",
       "", win::kRegSz, "user class" + nul},
      {"machine's value under the user's class", platform::kHkeyClassesRoot,
       "CLSID\\{00000000-0000-0000-0000-00000000000A}", "MachineOnly", win::kRegSz, "kept" + nul},
      {"machine-only class", platform::kHkeyClassesRoot, "CLSID\\{00000000-0000-0000-0000-00000000000B}", "",
       win::kRegSz, "machine only" + nul},
      {"user's classes alone", platform::kHkeyCurrentUser, "Software\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000000A}",
       "", win::kRegSz, "user class" + nul},
      {"machine's classes alone", platform::kHkeyLocalMachine,
       "SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000000A}", "", win::kRegSz, "machine class" + nul},
      {"a user by SID", platform::kHkeyUsers, std::string(kSid) + "\\Environment", "TEMP", win::kRegSz,
       std::string(kUser) + "\\Local Settings\\Temp" + nul},
  };
  for (const Case& c : cases) {
    const auto value = Value(c.root, c.path, c.name);
    ASSERT_TRUE(value) << c.what;
    EXPECT_EQ(value->first, c.type) << c.what;
    EXPECT_EQ(value->second, c.data) << c.what;
  }
  EXPECT_FALSE(Value(platform::kHkeyLocalMachine, "SAM", ""));
  EXPECT_FALSE(Value(platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", "Missing"));
}

TEST_F(OfflineVolumeTest, RegistryListsKeysSortedAndValuesInHiveOrder) {
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  EXPECT_EQ(SubKeys(platform::kHkeyLocalMachine, ""), (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(SubKeys(platform::kHkeyUsers, ""), (std::vector<std::string>{kSid, std::string(kSid) + "_Classes"}));
  EXPECT_EQ(SubKeys(platform::kHkeyClassesRoot, "CLSID"),
            (std::vector<std::string>{"{00000000-0000-0000-0000-00000000000A}", "{00000000-0000-0000-0000-00000000000B}"}));
  RegKey key = 0;
  ASSERT_EQ(Reg().OpenKey(platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", win::kKeyRead, &key), 0u);
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; Reg().EnumValue(key, i, &name) == 0; ++i) names.push_back(name);
  uint32_t subKeys = 9, values = 0;
  EXPECT_EQ(Reg().QueryInfoKey(key, &subKeys, &values), 0u);
  Reg().CloseKey(key);
  EXPECT_EQ(names, (std::vector<std::string>{"Text", "Expand", "Multi", "Number", "Blob", "Zeta", "Alpha"}));
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 7u);
}

TEST_F(OfflineVolumeTest, FilesFollowWindowsNameRules) {
  Write(Host("WINDOWS/system32/drivers/etc/hosts"), "127.0.0.1 localhost\r\n");
  Write(Host("WINDOWS/Temp/lower.exe"), "MZ");
  Write(Host("WINDOWS/Temp/hidden.dat"), "x");
  Write(Host("WINDOWS/Temp/wine.dat"), "x");
  const uint8_t hiddenSystem[4] = {0, 0, 0, 0x06};
  ASSERT_EQ(::setxattr(Host("WINDOWS/Temp/hidden.dat").c_str(), "user.ntfs_attrib_be", hiddenSystem, 4, 0), 0);
  ASSERT_EQ(::setxattr(Host("WINDOWS/Temp/wine.dat").c_str(), "user.DOSATTRIB", "0x2", 3, 0), 0);
  const uint8_t created[8] = {0x01, 0xCA, 0x04, 0x36, 0x12, 0x34, 0x56, 0x78};  // 2009, as NTFS keeps it
  ASSERT_EQ(::setxattr(Host("WINDOWS/Temp/hidden.dat").c_str(), "user.ntfs_crtime_be", created, 8, 0), 0);
  fs::create_symlink("/etc", Host("WINDOWS/Temp/outside"));
  platform::offline::Volume volume(dir_.string());
  volume.Install();

  const platform::TScoped<platform::Handle, platform::close::File, platform::kInvalidHandle> hosts(
      Fs().CreateFile("c:\\windows\\SYSTEM32\\Drivers\\ETC\\HOSTS", win::kGenericRead, win::kFileShareRead,
                      win::kOpenExisting, 0));
  ASSERT_TRUE(hosts.ok());
  char buffer[64] = {};
  uint32_t read = 0;
  EXPECT_TRUE(Fs().ReadFile(hosts.get(), buffer, sizeof buffer, &read));
  EXPECT_EQ(std::string(buffer, read), "127.0.0.1 localhost\r\n");

  std::map<std::string, uint32_t> found;
  std::map<std::string, platform::FileTime> creation;
  platform::FindData data;
  const platform::Handle find = Fs().FindFirstFile("C:\\Windows\\TEMP\\*.*", &data);
  ASSERT_NE(find, platform::kInvalidHandle);
  do {
    found[data.name] = data.attributes;
    creation[data.name] = data.creationTime;
  } while (Fs().FindNextFile(find, &data));
  Fs().FindClose(find);
  EXPECT_EQ(found.size(), 6u);  // ".", "..", three files, the link
  EXPECT_EQ(found["lower.exe"], win::kFileAttributeArchive);
  EXPECT_EQ(found["hidden.dat"], win::kFileAttributeHidden | win::kFileAttributeSystem);
  EXPECT_EQ(found["wine.dat"], win::kFileAttributeHidden | win::kFileAttributeArchive);
  EXPECT_EQ(creation["hidden.dat"], 0x01CA043612345678u);
  EXPECT_EQ(found["outside"] & win::kFileAttributeReparsePoint, win::kFileAttributeReparsePoint);

  const platform::Handle exe = Fs().FindFirstFile("C:\\WINDOWS\\Temp\\*.EXE", &data);
  ASSERT_NE(exe, platform::kInvalidHandle);
  EXPECT_EQ(data.name, "lower.exe");
  EXPECT_FALSE(Fs().FindNextFile(exe, &data));
  Fs().FindClose(exe);

  const platform::Handle exact = Fs().FindFirstFile("C:\\WINDOWS\\Temp\\LOWER.EXE", &data);
  ASSERT_NE(exact, platform::kInvalidHandle);
  EXPECT_EQ(data.name, "lower.exe");
  EXPECT_EQ(data.size, 2u);
  EXPECT_FALSE(Fs().FindNextFile(exact, &data));
  Fs().FindClose(exact);
  EXPECT_EQ(Fs().FindFirstFile("C:\\WINDOWS\\Temp\\absent.exe", &data), platform::kInvalidHandle);

  // Nothing outside the volume is reached: not through a link, not by climbing, not on another drive.
  for (const char* path : {"C:\\WINDOWS\\Temp\\outside\\passwd", "C:\\WINDOWS\\..\\..\\..\\etc\\passwd",
                           "D:\\WINDOWS\\system32\\drivers\\etc\\hosts", "\\etc\\passwd"}) {
    EXPECT_EQ(Fs().GetFileAttributes(path), win::kInvalidFileAttributes) << path;
    EXPECT_EQ(Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0),
              platform::kInvalidHandle)
        << path;
  }
  EXPECT_EQ(Fs().GetFileAttributes("C:\\WINDOWS\\Missing\\x.exe"), win::kInvalidFileAttributes);
  EXPECT_EQ(platform::Sys().GetLastError(), win::kErrorPathNotFound);
  EXPECT_EQ(Fs().GetFileAttributes("C:\\WINDOWS\\x.exe"), win::kInvalidFileAttributes);
  EXPECT_EQ(platform::Sys().GetLastError(), win::kErrorFileNotFound);
}

TEST_F(OfflineVolumeTest, SystemIdentityAndFoldersComeFromTheHives) {
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  auto& sys = platform::Sys();
  EXPECT_EQ(sys.GetWindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(sys.GetSystemDirectory(), "C:\\WINDOWS\\system32");
  EXPECT_EQ(sys.GetTempPath(), std::string(kUser) + "\\Local Settings\\Temp\\");
  EXPECT_EQ(sys.GetSpecialFolderPath(win::kCsidlAppData), std::string(kUser) + "\\Application Data");
  EXPECT_EQ(sys.GetSpecialFolderPath(win::kCsidlProgramFiles), "C:\\Program Files");
  const platform::OsVersion version = sys.GetVersion();
  EXPECT_EQ(version.major, 5u);
  EXPECT_EQ(version.minor, 1u);
  EXPECT_EQ(version.build, 2600u);
  EXPECT_EQ(version.csdVersion, "Service Pack 3");
  EXPECT_FALSE(sys.Is64BitProcess());
  EXPECT_FALSE(platform::Procs().SnapshotProcesses().has_value());
  EXPECT_EQ(volume.SourceLine(), "Offline scan of " + dir_.string() + " (C:\\WINDOWS, user " + kUser + ")");
}

// A Windows installed on D: is scanned with D: as the volume's drive.
TEST_F(OfflineVolumeTest, TheDriveIsTheOneWindowsWasInstalledOn) {
  Write(dir_ / "d.reg",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"SystemRoot\"=\"D:\\\\WINDOWS\"\n");
  const fs::path other = dir_.string() + "-d";
  const std::string command = std::string("'") + BS_SOURCE_DIR + "/tools/offline-volume' '" + other.string() + "' '" +
                              (dir_ / "d.reg").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  {
    platform::offline::Volume volume(other.string());
    volume.Install();
    EXPECT_EQ(platform::Sys().GetWindowsDirectory(), "D:\\WINDOWS");
    EXPECT_EQ(platform::Sys().GetSystemDirectory(), "D:\\WINDOWS\\system32");
    EXPECT_NE(Fs().GetFileAttributes("d:\\windows\\system32"), win::kInvalidFileAttributes);
    EXPECT_EQ(Fs().GetFileAttributes("C:\\WINDOWS\\system32"), win::kInvalidFileAttributes);
  }
  fs::remove_all(other);
}

// Version information of real PE files of both widths: the programs of Wine's packages.
TEST_F(OfflineVolumeTest, VersionInformationIsParsedFromThePeFile) {
  const std::pair<const char*, const char*> images[] = {
      {"/usr/lib/i386-linux-gnu/wine/i386-windows/regedit.exe", "regedit32.exe"},
      {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/regedit.exe", "regedit64.exe"},
  };
  int checked = 0;
  for (const auto& [image, name] : images) {
    if (!fs::exists(image)) continue;
    fs::copy_file(image, Host(std::string("WINDOWS/") + name));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no PE files of Wine here";
  Write(Host("WINDOWS/short.exe"), Read(images[checked == 2 ? 1 : 0].first).substr(0, 600));
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  for (const auto& [image, name] : images) {
    if (!fs::exists(image)) continue;
    std::vector<uint8_t> info;
    ASSERT_TRUE(Fs().GetFileVersionInfo(std::string("C:\\WINDOWS\\") + name, &info)) << name;
    uint16_t language = 0, codePage = 0;
    EXPECT_TRUE(Fs().VerQueryTranslation(info, &language, &codePage));
    EXPECT_EQ(language, 0x0409);
    EXPECT_EQ(codePage, 0x04B0);
    EXPECT_EQ(Fs().VerQueryString(info, "\\StringFileInfo\\040904B0\\CompanyName"), "Microsoft Corporation");
    EXPECT_EQ(Fs().VerQueryString(info, "\\StringFileInfo\\040904b0\\ProductVersion"), "5.2");
    EXPECT_EQ(Fs().VerQueryString(info, "\\StringFileInfo\\040904B0\\NoSuchName"), std::nullopt);
  }
  std::vector<uint8_t> info;
  EXPECT_FALSE(Fs().GetFileVersionInfo("C:\\WINDOWS\\short.exe", &info));
  EXPECT_FALSE(Fs().GetFileVersionInfo("C:\\WINDOWS\\system32\\config\\SYSTEM", &info));
}

// Read-only by construction: every write is refused, and a whole scan changes no byte, name or
// time of the volume.
TEST_F(OfflineVolumeTest, NothingOnTheVolumeChanges) {
  Write(Host("WINDOWS/Temp/tool.exe"), bs_test::PeFileBytes(1024));
  auto snapshot = [&] {
    std::map<std::string, std::string> state;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      struct stat st;
      ::lstat(entry.path().c_str(), &st);
      std::string facts = std::to_string(st.st_mode) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
                          std::to_string(st.st_mtim.tv_nsec) + ":";
      if (entry.is_regular_file()) facts += Read(entry.path());
      state[entry.path().string()] = facts;
    }
    return state;
  };
  const auto before = snapshot();
  {
    platform::offline::Volume volume(dir_.string());
    volume.Install();
    RegKey key = 0;
    EXPECT_EQ(Reg().CreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\New", win::kKeyWrite, &key), win::kErrorAccessDenied);
    ASSERT_EQ(Reg().OpenKey(platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest", win::kKeyAllAccess, &key), 0u);
    EXPECT_EQ(Reg().SetValue(key, "Text", win::kRegSz, "x", 2), win::kErrorAccessDenied);
    EXPECT_EQ(Reg().DeleteValue(key, "Text"), win::kErrorAccessDenied);
    Reg().CloseKey(key);
    EXPECT_EQ(Reg().DeleteKey(platform::kHkeyLocalMachine, "SOFTWARE\\BurrowTest"), win::kErrorAccessDenied);
    const std::string tool = "C:\\WINDOWS\\Temp\\tool.exe";
    for (uint32_t access : {win::kGenericWrite, win::kFileAppendData, win::kGenericRead | win::kGenericWrite}) {
      EXPECT_EQ(Fs().CreateFile(tool, access, 0, win::kOpenExisting, 0), platform::kInvalidHandle);
    }
    for (uint32_t disposition : {win::kCreateAlways, win::kCreateNew, win::kOpenAlways}) {
      EXPECT_EQ(Fs().CreateFile("C:\\WINDOWS\\Temp\\new.txt", win::kGenericRead, 0, disposition, 0),
                platform::kInvalidHandle);
    }
    const platform::Handle file = Fs().CreateFile(tool, win::kGenericRead, 0, win::kOpenExisting, 0);
    uint32_t written = 1;
    EXPECT_FALSE(Fs().WriteFile(file, "x", 1, &written));
    EXPECT_EQ(written, 0u);
    Fs().CloseHandle(file);
    EXPECT_FALSE(Fs().DeleteFile(tool));
    EXPECT_FALSE(Fs().MoveFileEx(tool, "C:\\WINDOWS\\Temp\\moved.exe", win::kMoveFileReplaceExisting));
    EXPECT_FALSE(Fs().CopyFile(tool, "C:\\WINDOWS\\Temp\\copy.exe", false));
    EXPECT_FALSE(Fs().SetFileAttributes(tool, win::kFileAttributeHidden));
    EXPECT_FALSE(Fs().CreateDirectory("C:\\WINDOWS\\Temp\\folder"));
    EXPECT_FALSE(Fs().RemoveDirectory("C:\\WINDOWS\\Temp"));
    EXPECT_FALSE(platform::Sys().WritePrivateProfileString("C:\\boot.ini", "a", "b", "c"));
    EXPECT_EQ(platform::Sys().GetLastError(), win::kErrorAccessDenied);
    ScanVolume(volume);
  }
  EXPECT_EQ(snapshot(), before);
}

TEST_F(OfflineVolumeTest, ReportNamesItsSourceAndWhatItCannotSee) {
  Write(Host("WINDOWS/system32/drivers/etc/hosts"), "203.0.113.66 www.paypal.com\r\n");
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  const scan::TReport report = ScanVolume(volume);
  const std::string text = report.Text();
  EXPECT_EQ(report.Item(3), volume.SourceLine());
  EXPECT_EQ(report.Item(4), "");
  // Each section of the running system: its title, an empty line, the one line.
  for (int key : {16, 73, 30, 80, 81, 225, 209, 208}) {
    const std::string block = "[+] " + inspect::Lng(key) + "\r\n\r\n" + cli::kNotAvailableOffline + "\r\n\r\n";
    EXPECT_NE(text.find(block), std::string::npos) << inspect::Lng(key);
  }
  EXPECT_NE(text.find("Data: C:\\Documents and Settings\\User\\Application Data\\upd.exe"), std::string::npos);
  EXPECT_NE(text.find("Data: C:\\Caf\xE9\\x.exe"), std::string::npos);
  EXPECT_NE(text.find("203.0.113.53"), std::string::npos);
  EXPECT_EQ(text.find("198.51.100.99"), std::string::npos);  // the control set not in use
  EXPECT_NE(text.find("203.0.113.66 www.paypal.com"), std::string::npos);
  EXPECT_EQ(text.find("x64 OS not supported"), std::string::npos);
}

// A damaged hive whose key lists itself among its subkeys: the key below reads as missing, so a
// walk of the tree ends.
TEST_F(OfflineVolumeTest, AKeyThatLeadsBackUpIsMissing) {
  const fs::path hive = Host("WINDOWS/system32/config/SOFTWARE");
  std::string bytes = Read(hive);
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  const uint32_t root = u32(0x24);                    // the root key's cell, from the first bin
  const uint32_t list = u32(0x1000 + root + 4 + 0x1C);  // its subkey list
  ASSERT_LT(0x1000 + list + 12, bytes.size());
  std::memcpy(bytes.data() + 0x1000 + list + 8, &root, 4);  // the first entry: the root itself
  Write(hive, bytes);
  platform::offline::Volume volume(dir_.string());
  volume.Install();
  RegKey key = 0;
  EXPECT_EQ(Reg().OpenKey(platform::kHkeyLocalMachine, "SOFTWARE\\SOFTWARE", win::kKeyRead, &key),
            win::kErrorFileNotFound);
  EXPECT_FALSE(Value(platform::kHkeyLocalMachine, "SOFTWARE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                     "CurrentVersion"));
  EXPECT_TRUE(Value(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion"));
}

// Damaged input: one note each, the rest of the volume still scanned.
TEST_F(OfflineVolumeTest, DamagedInputIsOneLineEach) {
  const std::string config = "WINDOWS/system32/config/";
  struct Case {
    const char* what;
    std::function<void(OfflineVolumeTest&)> damage;
    std::vector<std::string> notes;
    bool userReadable;  // HKEY_CURRENT_USER still there
  };
  const Case cases[] = {
      {"truncated SOFTWARE",
       [&](OfflineVolumeTest& t) { fs::resize_file(t.Host(config + "SOFTWARE"), 5000); },
       {"Offline: hive C:\\WINDOWS\\system32\\config\\SOFTWARE cannot be read"}, true},
      {"SYSTEM of random bytes",
       [&](OfflineVolumeTest& t) {
         std::string noise(8192, '\0');
         for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) >> 3);
         Write(t.Host(config + "SYSTEM"), noise);
       },
       {"Offline: hive C:\\WINDOWS\\system32\\config\\SYSTEM cannot be read"}, true},
      {"SOFTWARE missing", [&](OfflineVolumeTest& t) { fs::remove(t.Host(config + "SOFTWARE")); },
       {"Offline: hive C:\\WINDOWS\\system32\\config\\SOFTWARE is missing"}, true},
      {"no config folder", [&](OfflineVolumeTest& t) { fs::remove_all(t.Host(config)); },
       {"Offline: no C:\\WINDOWS\\system32\\config folder: the registry is not available"}, true},
      {"profile without NTUSER.DAT", [&](OfflineVolumeTest& t) { fs::remove(t.Profile() / "NTUSER.DAT"); },
       {"Offline: profile C:\\Documents and Settings\\User has no NTUSER.DAT",
        "Offline: no user profile with an NTUSER.DAT: HKEY_CURRENT_USER is not available"},
       false},
      {"damaged user hive", [&](OfflineVolumeTest& t) { Write(t.Profile() / "NTUSER.DAT", "regf"); },
       {"Offline: hive C:\\Documents and Settings\\User\\NTUSER.DAT cannot be read",
        "Offline: no user profile with an NTUSER.DAT: HKEY_CURRENT_USER is not available"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.damage(*this);
    platform::offline::Volume volume(dir_.string());
    volume.Install();
    ASSERT_EQ(volume.Notes().size(), c.notes.size()) << (volume.Notes().empty() ? "" : volume.Notes()[0]);
    for (size_t i = 0; i < c.notes.size(); ++i) EXPECT_EQ(volume.Notes()[i].rfind(c.notes[i], 0), 0u) << volume.Notes()[i];
    EXPECT_EQ(Value(platform::kHkeyCurrentUser, "Environment", "TEMP").has_value(), c.userReadable);
    const scan::TReport report = ScanVolume(volume);
    for (size_t i = 0; i < c.notes.size(); ++i) EXPECT_EQ(report.Item(4 + i), volume.Notes()[i]);
    EXPECT_EQ(report.Item(report.Count() - 2), "---");
  }
}

}  // namespace
