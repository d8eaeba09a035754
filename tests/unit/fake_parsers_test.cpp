// The fake machine's text helpers on their own: regedit import, profile text, date pictures.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/fake/date_time.h"
#include "platform/fake/profile_text.h"
#include "platform/fake/reg_import.h"

namespace {

namespace win = platform::win;
using namespace platform::fake;
using platform::LocalTime;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) { return {values.begin(), values.end()}; }

TEST(RegImport, AppliesKeysValuesAndRemovals) {
  RegistryTree tree;
  ImportReg(tree,
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; a comment line\r\n"
            "[HKEY_CURRENT_USER\\Software\\Acme]\r\n"
            "@=\"default\"\r\n"
            "\"Path\"=\"C:\\\\Program Files\\\\Acme \\\"x\\\"\"\r\n"
            "\"Count\"=dword:0000002a\r\n"
            "\"Blob\"=hex:01,ff,\\\r\n"
            "  10\r\n"
            "\"Expand\"=hex(2):25,00\r\n"
            "\"Gone\"=\"soon\"\r\n"
            "\"Gone\"=-\r\n"
            "[HKEY_NOWHERE\\Key]\r\n"
            "\"Lost\"=\"unknown root\"\r\n"
            "[HKLM\\SOFTWARE\\Old\\Child]\r\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
            "\"Orphan\"=\"after a removal\"\r\n");

  auto acme = tree.Find(platform::kHkeyCurrentUser, "software\\ACME");
  ASSERT_NE(acme, nullptr);
  const struct {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
  } cases[] = {
      {"", win::kRegSz, StringBytes("default")},
      {"Path", win::kRegSz, StringBytes("C:\\Program Files\\Acme \"x\"")},
      {"Count", win::kRegDword, DwordBytes(42)},
      {"Blob", win::kRegBinary, Bytes({0x01, 0xff, 0x10})},
      {"Expand", win::kRegExpandSz, Bytes({0x25, 0x00})},
  };
  for (const auto& c : cases) {
    const RegValue* v = acme->Value(c.name);
    ASSERT_NE(v, nullptr) << c.name;
    EXPECT_EQ(v->type, c.type) << c.name;
    EXPECT_EQ(v->data, c.data) << c.name;
  }
  EXPECT_EQ(acme->Value("Gone"), nullptr);
  EXPECT_EQ(acme->values.size(), std::size(cases));  // in file order, nothing else
  EXPECT_EQ(acme->values[1].first, "Path");

  EXPECT_EQ(tree.Find(platform::kHkeyLocalMachine, "SOFTWARE\\Old"), nullptr);  // with its subkey
  EXPECT_NE(tree.Find(platform::kHkeyLocalMachine, "SOFTWARE"), nullptr);
  EXPECT_EQ(tree.Find(platform::kHkeyLocalMachine, "SOFTWARE")->Value("Orphan"), nullptr);
}

// Damaged data is skipped line by line, as the Registry Editor rejects it; it never throws.
TEST(RegImport, SkipsDamagedDataLines) {
  RegistryTree tree;
  ImportReg(tree,
            "REGEDIT4\r\n"
            "[HKEY_CURRENT_USER\\Bad]\r\n"
            "\"EmptyDword\"=dword:\r\n"
            "\"LetterDword\"=dword:zz\r\n"
            "\"LongDword\"=dword:123456789\r\n"
            "\"WideByte\"=hex:01,234,05\r\n"
            "\"BadByte\"=hex:0g\r\n"
            "\"BadType\"=hex(q):00\r\n"
            "\"HugeType\"=hex(1234567890):00\r\n"
            "\"Good\"=dword:ffffffff\r\n"
            "\"Empty\"=hex:\r\n");
  auto key = tree.Find(platform::kHkeyCurrentUser, "Bad");
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 2u);
  EXPECT_EQ(key->Value("Good")->data, DwordBytes(0xffffffff));
  EXPECT_TRUE(key->Value("Empty")->data.empty());
}

TEST(ProfileText, ReadsTrimmedValuesWithoutCase) {
  const std::string text =
      "; comment\r\n"
      "[ Main ]\r\n"
      "  Lang =  English  \r\n"
      "Double=\"a b\"\r\n"
      "Single='c'\r\n"
      "Unmatched=\"d'\r\n"
      "Lang=second\r\n"
      "[Next]\r\n"
      "Other=1\r\n";
  const struct {
    const char *section, *key;
    std::optional<std::string> expected;
  } cases[] = {
      {"main", "LANG", "English"},  // the first of two
      {"Main", "Double", "a b"},
      {"Main", "Single", "c"},
      {"Main", "Unmatched", "\"d'"},
      {"Main", "Other", std::nullopt},
      {"Next", "Other", "1"},
      {"Absent", "Lang", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadProfileString(text, c.section, c.key), c.expected) << c.section << "/" << c.key;
  }
}

TEST(ProfileText, WritesInPlaceOrAtTheEndOfTheSection) {
  const std::string text = "[A]\nx=1\n\n[B]\ny=2\n";
  const struct {
    const char *name, *section, *key, *value, *expected;
  } cases[] = {
      {"replaces in place", "a", "X", "9", "[A]\r\nX=9\r\n\r\n[B]\r\ny=2\r\n"},
      {"adds before the blank line", "A", "z", "3", "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
      {"adds to the last section", "B", "z", "3", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nz=3\r\n"},
      {"adds a new section", "C", "k", "v", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n[C]\r\nk=v\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteProfileString(text, c.section, c.key, c.value), c.expected) << c.name;
  EXPECT_EQ(WriteProfileString("", "S", "k", "v"), "[S]\r\nk=v\r\n");
}

TEST(DateTime, PicturesFormatEveryField) {
  const LocalTime morning{2009, 3, 1, 7, 0, 5, 9, 0};
  const LocalTime afternoon{2010, 12, 5, 31, 23, 45, 30, 0};
  const LocalTime noon{2009, 3, 1, 7, 12, 0, 0, 0};
  const struct {
    const char* picture;
    LocalTime time;
    const char* expected;
  } cases[] = {
      {"M/d/yyyy", morning, "3/7/2009"},         {"dd.MM.yy", morning, "07.03.09"},
      {"h:mm:ss tt", morning, "12:05:09 AM"},    {"HH:mm:ss", morning, "00:05:09"},
      {"h:mm t", afternoon, "11:45 P"},          {"hh-H", afternoon, "11-23"},
      {"yyyy-MM-dd", afternoon, "2010-12-31"},   {"h tt", noon, "12 PM"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTimePicture(c.picture, c.time), c.expected) << c.picture;
}

TEST(DateTime, FileTimesConvertBothWays) {
  constexpr platform::FileTime kSecond = 10000000;
  EXPECT_EQ(CivilToFileTime({1601, 1, 1, 1, 0, 0, 0, 0}), 0u);
  EXPECT_EQ(CivilToFileTime({1970, 1, 4, 1, 0, 0, 0, 0}), 116444736000000000u);

  const struct {
    LocalTime utc;
    int32_t offsetMinutes;
    LocalTime local;
  } cases[] = {
      {{2009, 12, 3, 2, 9, 30, 0, 0}, 0, {2009, 12, 3, 2, 9, 30, 0, 0}},
      {{2009, 12, 3, 31, 23, 30, 0, 0}, 60, {2010, 1, 5, 1, 0, 30, 0, 0}},  // into the new year
      {{2008, 3, 6, 1, 0, 15, 0, 0}, -60, {2008, 2, 5, 29, 23, 15, 0, 0}},  // back to a leap day
  };
  for (const auto& c : cases) {
    const LocalTime got = FileTimeToCivil(CivilToFileTime(c.utc) + kSecond / 1000 * 250, c.offsetMinutes);
    const auto fields = [](const LocalTime& t) {
      return std::vector<int>{t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second};
    };
    EXPECT_EQ(fields(got), fields(c.local)) << c.local.year << "-" << c.local.month << "-" << c.local.day;
    EXPECT_EQ(got.milliseconds, 250);
  }
}

}  // namespace
