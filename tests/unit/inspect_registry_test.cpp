// Registry helpers over the fake machine: root names, path-based reads and writes, the
// recursive delete, the reader and value rendering.
#include <gtest/gtest.h>


#include "inspect/lang.h"
#include "inspect/registry.h"
#include "platform/fake/fake_machine.h"
#include "platform/sync.h"

namespace {

namespace win = platform::win;
using namespace inspect;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class RegistryHelpers : public ::testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  platform::fake::Machine m;
};

TEST(RegistryText, RootAndKeyParts) {
  const std::string long300(300, 'k');
  struct Case {
    std::string entry, root, key;
  } cases[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft"},
      {"SOFTWARE", "", "SOFTWARE"},
      {"HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER", ""},
      {"\\Software", "", "Software"},
      {"HKCU\\" + long300, "HKCU", long300.substr(0, 255)},
      {long300, "", long300.substr(0, 255)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RootPartOf(c.entry), c.root) << c.entry;
    EXPECT_EQ(KeyPartOf(c.entry), c.key) << c.entry;
  }
}

TEST(RegistryText, LastCharPosIsOneBased) {
  EXPECT_EQ(LastCharPos('\\', "a\\b\\c"), 4);
  EXPECT_EQ(LastCharPos('\\', "\\"), 1);
  EXPECT_EQ(LastCharPos('\\', "abc"), 0);
  EXPECT_EQ(LastCharPos('\\', ""), 0);
}

TEST(RegistryText, RootNamesRoundTrip) {
  const platform::RegKey roots[] = {kHkeyClassesRoot,           kHkeyCurrentUser,   kHkeyLocalMachine,
                                    platform::kHkeyUsers,       platform::kHkeyPerformanceData,
                                    platform::kHkeyCurrentConfig, platform::kHkeyDynData};
  for (platform::RegKey root : roots) {
    const std::string name = RootKeyName(root);
    ASSERT_EQ(name.rfind("HKEY_", 0), 0u) << std::hex << root;
    EXPECT_EQ(RootKeyFromName(name), root) << name;
  }
  EXPECT_EQ(RootKeyName(0x1234), "");
  EXPECT_EQ(RootKeyName(kHkeyLocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST(RegistryText, RootKeyFromNameIgnoresCaseAndFallsBackToClassesRoot) {
  struct Case {
    const char* name;
    platform::RegKey root;
  } cases[] = {
      {"hkey_local_machine", kHkeyLocalMachine},
      {"Hkey_Current_User", kHkeyCurrentUser},
      {"HKLM", kHkeyClassesRoot},
      {"HKEY_LOCAL_MACHINE ", kHkeyClassesRoot},
      {"", kHkeyClassesRoot},
  };
  for (const Case& c : cases) EXPECT_EQ(RootKeyFromName(c.name), c.root) << '"' << c.name << '"';
}

TEST_F(RegistryHelpers, WriteStringCreatesKeyAndStoresTheNul) {
  ASSERT_TRUE(RegWriteString(kHkeyCurrentUser, "Software\\BsTest\\Deep\\Name", "hello"));
  auto v = m.GetValue(kHkeyCurrentUser, "Software\\BsTest\\Deep", "Name");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, win::kRegSz);
  EXPECT_EQ(v->data, Bytes(std::string("hello\0", 6)));

  std::string text;
  EXPECT_TRUE(RegReadString(kHkeyCurrentUser, "Software\\BsTest\\Deep\\Name", &text));
  EXPECT_EQ(text, "hello");
}

TEST_F(RegistryHelpers, TrailingBackslashNamesTheDefaultValue) {
  ASSERT_TRUE(RegWriteString(kHkeyCurrentUser, "Software\\BsTest\\", "default text"));
  auto v = m.GetValue(kHkeyCurrentUser, "Software\\BsTest", "");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data, Bytes(std::string("default text\0", 13)));
  EXPECT_TRUE(RegValueExists(kHkeyCurrentUser, "Software\\BsTest\\"));
  EXPECT_FALSE(m.GetValue(kHkeyCurrentUser, "Software\\BsTest", "BsTest"));
}

TEST_F(RegistryHelpers, WriteDwordStoresFourLittleEndianBytes) {
  ASSERT_TRUE(RegWriteDword(kHkeyLocalMachine, "SOFTWARE\\BsTest\\Count", 0x01020304));
  auto v = m.GetValue(kHkeyLocalMachine, "SOFTWARE\\BsTest", "Count");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, win::kRegDword);
  EXPECT_EQ(v->data, (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST_F(RegistryHelpers, ValuePathWithoutBackslashIsRefused) {
  m.SetString(kHkeyCurrentUser, "", "Loose", "x");
  std::string text = "stale";
  EXPECT_FALSE(RegWriteString(kHkeyCurrentUser, "Loose", "y"));
  EXPECT_FALSE(RegReadString(kHkeyCurrentUser, "Loose", &text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(RegValueExists(kHkeyCurrentUser, "Loose"));
  EXPECT_FALSE(RegDeleteValuePath(kHkeyCurrentUser, "Loose"));
  EXPECT_EQ(m.GetValue(kHkeyCurrentUser, "", "Loose")->data, Bytes(std::string("x\0", 2)));
}

TEST_F(RegistryHelpers, ReadStringDropsTheLastStoredByte) {
  struct Case {
    const char* label;
    std::vector<uint8_t> data;
    std::string text;
  } cases[] = {
      {"terminated", Bytes(std::string("abc\0", 4)), "abc"},
      {"without its NUL", Bytes("abc"), "ab"},
      {"embedded NUL", Bytes(std::string("a\0b\0", 4)), std::string("a\0b", 3)},
      {"one NUL", {0}, ""},
      {"no bytes", {}, ""},
  };
  for (const Case& c : cases) {
    m.SetValue(kHkeyLocalMachine, "SOFTWARE\\BsTest", "V", win::kRegSz, c.data);
    std::string text = "stale";
    EXPECT_TRUE(RegReadString(kHkeyLocalMachine, "SOFTWARE\\BsTest\\V", &text)) << c.label;
    EXPECT_EQ(text, c.text) << c.label;
  }
}

TEST_F(RegistryHelpers, ReadsFailOnTheWrongTypeOrAMissingValue) {
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\BsTest", "Expand", "%SystemRoot%\\x.exe", win::kRegExpandSz);
  m.SetDword(kHkeyLocalMachine, "SOFTWARE\\BsTest", "Number", 7);
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\BsTest", "Plain", "plain");

  struct Case {
    const char* path;
    bool expand;  // RegReadExpandString instead of RegReadString
    bool ok;
    std::string text;
  } cases[] = {
      {"SOFTWARE\\BsTest\\Expand", true, true, "%SystemRoot%\\x.exe"},
      {"SOFTWARE\\BsTest\\Expand", false, false, ""},
      {"SOFTWARE\\BsTest\\Plain", true, false, ""},
      {"SOFTWARE\\BsTest\\Number", false, false, ""},
      {"SOFTWARE\\BsTest\\Missing", false, false, ""},
      {"SOFTWARE\\NoSuchKey\\Plain", false, false, ""},
  };
  for (const Case& c : cases) {
    std::string text = "stale";
    const bool ok = c.expand ? RegReadExpandString(kHkeyLocalMachine, c.path, &text)
                             : RegReadString(kHkeyLocalMachine, c.path, &text);
    EXPECT_EQ(ok, c.ok) << c.path << (c.expand ? " (expand)" : "");
    EXPECT_EQ(text, c.text) << c.path;
  }

  std::vector<uint8_t> raw{9, 9};
  EXPECT_FALSE(RegReadValueRaw(kHkeyLocalMachine, "SOFTWARE\\BsTest\\Number", win::kRegBinary, &raw));
  EXPECT_TRUE(raw.empty());
  EXPECT_TRUE(RegReadValueRaw(kHkeyLocalMachine, "SOFTWARE\\BsTest\\Number", win::kRegDword, &raw));
  EXPECT_EQ(raw, (std::vector<uint8_t>{7, 0, 0, 0}));
}

TEST_F(RegistryHelpers, ExistenceAndValueDeletion) {
  m.SetString(kHkeyCurrentUser, "Software\\BsTest", "Name", "x");
  m.DenyKey(kHkeyCurrentUser, "Software\\Locked");

  EXPECT_TRUE(RegKeyExists(kHkeyCurrentUser, "Software\\BsTest"));
  EXPECT_TRUE(RegKeyExists(kHkeyCurrentUser, "software\\bstest"));
  EXPECT_FALSE(RegKeyExists(kHkeyCurrentUser, "Software\\Missing"));
  EXPECT_FALSE(RegKeyExists(kHkeyCurrentUser, "Software\\Locked"));

  EXPECT_TRUE(RegValueExists(kHkeyCurrentUser, "Software\\BsTest\\Name"));
  EXPECT_FALSE(RegValueExists(kHkeyCurrentUser, "Software\\BsTest\\Other"));
  EXPECT_FALSE(RegValueExists(kHkeyCurrentUser, "Software\\BsTest\\"));  // no default value set

  EXPECT_TRUE(RegDeleteValuePath(kHkeyCurrentUser, "Software\\BsTest\\Name"));
  EXPECT_FALSE(m.GetValue(kHkeyCurrentUser, "Software\\BsTest", "Name"));
  EXPECT_FALSE(RegDeleteValuePath(kHkeyCurrentUser, "Software\\BsTest\\Name"));
  EXPECT_TRUE(m.KeyExists(kHkeyCurrentUser, "Software\\BsTest"));
}

class RegistryDelete : public RegistryHelpers {
 protected:
  void SetUp() override {
    RegistryHelpers::SetUp();
    m.SetString(kHkeyLocalMachine, "SOFTWARE\\Bad", "Top", "1");
    m.SetString(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B\\C", "Deep", "3");
    m.SetDword(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B2", "Side", 2);
    m.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Bad\\Z");
    m.SetString(kHkeyLocalMachine, "SOFTWARE\\Keep", "Stay", "yes");
    m.SetString(kHkeyLocalMachine, "SOFTWARE\\BadSibling", "Stay", "yes");
  }
  bool KeptTheRest() {
    return m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Keep") && m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\BadSibling");
  }
};

TEST_F(RegistryDelete, RecursiveRemovesThreeLevelsDeep) {
  EXPECT_TRUE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE\\Bad", true));
  EXPECT_FALSE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Bad"));
  EXPECT_TRUE(KeptTheRest());
}

TEST_F(RegistryDelete, NonRecursiveRefusesAKeyWithSubkeys) {
  EXPECT_FALSE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE\\Bad", false));
  EXPECT_TRUE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B\\C"));
  EXPECT_TRUE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE\\Bad\\Z", false));
  EXPECT_FALSE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Bad\\Z"));
  EXPECT_TRUE(KeptTheRest());
}

TEST_F(RegistryDelete, KeyBelowARootIsNeverDeleted) {
  for (bool recursive : {true, false}) {
    EXPECT_FALSE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE", recursive));
    EXPECT_TRUE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B\\C"));
  }
  m.CreateKey(kHkeyCurrentUser, "Lonely");
  EXPECT_FALSE(RegDeleteKeyPath(kHkeyCurrentUser, "Lonely", false));
  EXPECT_TRUE(m.KeyExists(kHkeyCurrentUser, "Lonely"));
}

TEST_F(RegistryDelete, RecursiveStopsAtASubkeyItCannotOpen) {
  m.DenyKey(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B");
  EXPECT_FALSE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE\\Bad", true));
  EXPECT_TRUE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Bad\\A\\B"));
  EXPECT_FALSE(RegDeleteKeyPath(kHkeyLocalMachine, "SOFTWARE\\Missing", true));
  EXPECT_TRUE(KeptTheRest());
}

TEST_F(RegistryHelpers, ReaderOpensAbsoluteAndRelativePaths) {
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Second", "b");
  m.SetString(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "First", "a");
  m.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub");
  m.SetString(kHkeyCurrentUser, "Software\\Microsoft", "UserOnly", "u");

  TRegistryReader reader;
  EXPECT_EQ(reader.RootKey(), kHkeyCurrentUser);
  reader.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reader.OpenKey("\\SOFTWARE\\Microsoft"));
  ASSERT_TRUE(reader.OpenKey("Windows\\CurrentVersion"));  // relative to the open key
  EXPECT_EQ(reader.CurrentPath(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  ASSERT_TRUE(reader.OpenKey("Run"));
  EXPECT_EQ(reader.GetValueNames(), (std::vector<std::string>{"Second", "First"}));  // creation order
  EXPECT_EQ(reader.GetKeyNames(), (std::vector<std::string>{"Sub"}));

  // A failed open keeps the current key.
  EXPECT_FALSE(reader.OpenKey("\\SOFTWARE\\Nowhere"));
  EXPECT_TRUE(reader.HasCurrentKey());
  EXPECT_EQ(reader.ReadString("First"), "a");

  // A path without "\" starts from the root once no key is open.
  reader.CloseKey();
  EXPECT_FALSE(reader.HasCurrentKey());
  reader.SetRootKey(kHkeyCurrentUser);
  ASSERT_TRUE(reader.OpenKey("Software\\Microsoft"));
  EXPECT_TRUE(reader.ValueExists("UserOnly"));
  reader.CloseKey();
}

TEST_F(RegistryHelpers, ReaderNeverCreatesKeys) {
  TRegistryReader reader;
  reader.SetRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reader.OpenKey("\\SOFTWARE\\NotThere"));
  EXPECT_FALSE(m.KeyExists(kHkeyLocalMachine, "SOFTWARE\\NotThere"));
  EXPECT_TRUE(reader.GetValueNames().empty());
}

TEST_F(RegistryHelpers, ReaderTypedReadsRejectOtherTypes) {
  m.SetDword(kHkeyCurrentUser, "Software\\BsTest", "Number", 5);
  m.SetString(kHkeyCurrentUser, "Software\\BsTest", "Text", std::string("one\0two", 7));
  m.SetString(kHkeyCurrentUser, "Software\\BsTest", "Expand", "%TEMP%", win::kRegExpandSz);
  TRegistryReader reader;
  ASSERT_TRUE(reader.OpenKey("\\Software\\BsTest"));
  EXPECT_EQ(reader.ReadString("Text"), "one");
  EXPECT_EQ(reader.ReadString("Expand"), "%TEMP%");
  EXPECT_EQ(reader.ReadInteger("Number"), 5);
  EXPECT_EQ(reader.GetDataType("Number"), win::kRegDword);
  EXPECT_EQ(reader.GetDataType("Missing"), std::nullopt);
  EXPECT_THROW(reader.ReadString("Number"), ERegistryException);
  EXPECT_THROW(reader.ReadInteger("Text"), ERegistryException);
  EXPECT_THROW(reader.ReadInteger("Missing"), ERegistryException);
}

TEST_F(RegistryHelpers, ValueToText) {
  const uint32_t minusOne = 4294967295u;
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    std::string text;
  } cases[] = {
      {"SzTrimmed", win::kRegSz, Bytes(std::string(" \t C:\\x.exe /s \r\n\0", 18)), "C:\\x.exe /s"},
      {"SzUpToNul", win::kRegSz, Bytes(std::string("left\0right\0", 11)), "left"},
      {"SzEmpty", win::kRegSz, {0}, ""},
      {"ExpandAsStored", win::kRegExpandSz, Bytes(std::string("  %windir%\\a.exe \0", 18)), "  %windir%\\a.exe "},
      {"Binary", win::kRegBinary, {1, 2, 3}, "Binary Data"},
      {"DwordAllOnes", win::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
      {"DwordSmall", win::kRegDword, {42, 0, 0, 0}, "42"},
      {"DwordShort", win::kRegDword, {1, 0}, "Unknown"},
      {"Multi", win::kRegMultiSz, Bytes(std::string("a\0b\0\0", 5)), "Unknown"},
      {"Qword", win::kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}, "Unknown"},
      {"None", win::kRegNone, {}, "Unknown"},
  };
  for (const Case& c : cases) m.SetValue(kHkeyLocalMachine, "SOFTWARE\\BsTest", c.name, c.type, c.data);
  m.SetDword(kHkeyLocalMachine, "SOFTWARE\\BsTest", "ViaSetDword", minusOne);

  TRegistryReader reader;
  reader.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reader.OpenKey("\\SOFTWARE\\BsTest"));
  for (const Case& c : cases) EXPECT_EQ(RegValueToText(reader, c.name), c.text) << c.name;
  EXPECT_EQ(RegValueToText(reader, "ViaSetDword"), "-1");
  EXPECT_EQ(RegValueToText(reader, "NotThere"), "Unknown");
  reader.CloseKey();
}

TEST(RegistryEntry, ValueEntryUsesTheLanguageLabels) {
  ClearLngTable();
  FillDefaultTexts();
  EXPECT_EQ(ValueEntry("Updater", "C:\\u.exe", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
            "Value: Updater\r\nData: C:\\u.exe\r\nKey: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\r\n");
  SetLng(47, "Wert");
  SetLng(48, "Daten");
  SetLng(49, "Schluessel");
  EXPECT_EQ(ValueEntry("", "", "HKEY_CURRENT_USER\\X"), "Wert: \r\nDaten: \r\nSchluessel: HKEY_CURRENT_USER\\X\r\n");
  ClearLngTable();
}

TEST_F(RegistryHelpers, ScanRegistryIsOnePerThread) {
  m.CreateKey(kHkeyLocalMachine, "SOFTWARE\\BsTest");
  TRegistryReader& mine = ScanRegistry();
  EXPECT_EQ(&mine, &ScanRegistry());
  mine.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(mine.OpenKey("\\SOFTWARE\\BsTest"));

  const TRegistryReader* other = nullptr;
  bool otherHasKey = true;
  platform::RegKey otherRoot = 0;
  platform::Thread worker([&] {
    other = &ScanRegistry();
    otherHasKey = ScanRegistry().HasCurrentKey();
    otherRoot = ScanRegistry().RootKey();
  });
  worker.Join();
  EXPECT_NE(other, &mine);
  EXPECT_FALSE(otherHasKey);
  EXPECT_EQ(otherRoot, kHkeyCurrentUser);
  EXPECT_TRUE(mine.HasCurrentKey());
  mine.CloseKey();
  mine.SetRootKey(kHkeyCurrentUser);
}

}  // namespace
