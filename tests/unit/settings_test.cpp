// Reading and writing Data\Options.ini and the three list files.
#include <gtest/gtest.h>

#include "platform/fake/fake_machine.h"
#include "inspect/files.h"
#include "inspect/lang.h"
#include "scan/settings.h"

namespace {

using platform::fake::Machine;

const std::string kApp = "C:\\Tools\\BurrowSentry\\";
const std::string kIni = kApp + "Data\\Options.ini";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.Install();
    machine.AddFolder(kApp + "Data");
  }
  scan::TSettings Load() {
    scan::TSettings s;
    scan::LoadSettings(kApp, s);
    return s;
  }
  Machine machine;
};

TEST(OptionValueTest, NumbersAndTrueFalse) {
  const std::tuple<std::string, bool, bool> cases[] = {
      // text, valid, ticked
      {"-1", true, true}, {"1", true, true}, {"0", true, false}, {"42", true, true},
      {"true", true, true}, {"TRUE", true, true}, {"False", true, false},
      {"yes", false, false}, {"", false, false}, {"1x", false, false}, {"-", false, false},
  };
  for (const auto& [text, valid, ticked] : cases) {
    bool value = !ticked;
    EXPECT_EQ(scan::ParseOptionValue(text, &value), valid) << text;
    if (valid) {
      EXPECT_EQ(value, ticked) << text;
    }
  }
}

TEST_F(SettingsTest, FreshInstallationKeepsTheDefaults) {
  scan::TSettings s = Load();
  scan::TSettings defaults;
  EXPECT_EQ(s.Language, "English");
  EXPECT_TRUE(s.ExcludeMicrosoftFiles);
  EXPECT_TRUE(s.ReduceMemoryUsage);
  EXPECT_EQ(s.RecentDays, 15);
  EXPECT_FALSE(s.SaveReport);
  EXPECT_TRUE(s.RegDump.empty() && s.ExeLister.empty() && s.ExclusionMemo.empty());
  EXPECT_EQ(s.RestorePointBeforeRestorer, defaults.RestorePointBeforeRestorer);
}

TEST_F(SettingsTest, TheFirstInvalidValueEndsTheReading) {
  machine.AddFile(kIni,
                  "[Options]\r\n4=1\r\n5=true\r\n3=0\r\n9=-1\r\n10=yes\r\n11=-1\r\n25=Deutsch\r\n12=0\r\n");
  scan::TSettings s = Load();
  EXPECT_TRUE(s.CustomFilesListing);
  EXPECT_TRUE(s.CustomRegistryDump);
  EXPECT_TRUE(s.CopyToClipboard);
  EXPECT_FALSE(s.SaveReport);            // invalid: default kept
  EXPECT_FALSE(s.OpenReport);            // after it: defaults
  EXPECT_EQ(s.Language, "English");
  EXPECT_TRUE(s.ExcludeMicrosoftFiles);
}

TEST_F(SettingsTest, AMissingFirstKeyLoadsNothingNotEvenTheLanguage) {
  machine.AddFile(kIni, "[Options]\r\n5=-1\r\n25=Deutsch\r\n");
  scan::TSettings s = Load();
  EXPECT_FALSE(s.CustomRegistryDump);
  EXPECT_EQ(s.Language, "English");
}

// Files of any shape load what they can: the valid keys before the first bad one, only the first
// of repeated keys and sections, every line of a list.
TEST_F(SettingsTest, BadFilesLoadWhatTheyCan) {
  const std::string big(1 << 20, 'x');
  const std::string head = "[Options]\r\n4=-1\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n";
  struct Case {
    const char* name;
    std::string text;
    bool customFiles;
    std::string language;
    bool excludeMicrosoft;
  };
  const Case cases[] = {
      {"binary junk", std::string("\0\x01\xFF[[[=\r\n4=-1\n\r", 14), false, "English", true},
      {"no Options section", "[Other]\r\n4=-1\r\n", false, "English", true},
      {"keys before any section", "4=-1\r\n[Options]\r\n", false, "English", true},
      {"a megabyte of language", head + "25=" + big + "\r\n12=0\r\n", true, big, false},
      {"repeated key: the first counts", "[Options]\r\n4=-1\r\n4=0\r\n", true, "English", true},
      {"repeated section: the first counts", "[Options]\r\n4=-1\r\n[Options]\r\n5=0\r\n25=Deutsch\r\n", true,
       "English", true},
  };
  for (const Case& c : cases) {
    machine.AddFile(kIni, c.text);
    const scan::TSettings s = Load();
    EXPECT_EQ(s.CustomFilesListing, c.customFiles) << c.name;
    EXPECT_EQ(s.Language, c.language) << c.name;
    EXPECT_EQ(s.ExcludeMicrosoftFiles, c.excludeMicrosoft) << c.name;
  }
  machine.AddFile(kApp + "Data\\exclist.txt", std::string("a\0b\r\n", 5) + big + "\n\xFF");
  const scan::TSettings s = Load();
  ASSERT_EQ(s.ExclusionMemo.size(), 3u);
  EXPECT_EQ(s.ExclusionMemo[0], std::string("a\0b", 3));
  EXPECT_EQ(s.ExclusionMemo[1].size(), big.size());
}

TEST_F(SettingsTest, RecentPeriodRadios) {
  const std::tuple<std::string, int> cases[] = {
      {"28=-1\r\n", 10},                        // older file: only the 10-day key
      {"28=0\r\n", 15},                         // older file: default period
      {"28=0\r\n29=-1\r\n30=-1\r\n31=-1\r\n32=-1\r\n33=0\r\n34=0\r\n35=-1\r\n", 30},
      {"28=0\r\n29=-1\r\n30=-1\r\n31=-1\r\n32=-1\r\n33=0\r\n34=0\r\n35=0\r\n", 0},
  };
  const std::string before = "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=-1\r\n"
                             "13=0\r\n14=0\r\n15=0\r\n16=-1\r\n17=-1\r\n18=-1\r\n27=-1\r\n";
  for (const auto& [keys, days] : cases) {
    machine.AddFile(kIni, before + keys);
    EXPECT_EQ(Load().RecentDays, days) << keys;
  }
}

// The switch of the autostart and tampering sections is read after every older key: a file
// written before it existed keeps it on.
TEST_F(SettingsTest, ExtraSectionsSwitch) {
  const std::string older = "[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=-1\r\n"
                            "13=0\r\n14=0\r\n15=0\r\n16=-1\r\n17=-1\r\n18=-1\r\n27=-1\r\n28=0\r\n29=-1\r\n30=-1\r\n"
                            "31=-1\r\n32=-1\r\n33=0\r\n34=-1\r\n35=0\r\n";
  const std::pair<std::string, bool> cases[] = {
      {older, true},
      {older + "ExtraSections=0\r\n", false},
      {older + "ExtraSections=True\r\n", true},
  };
  for (const auto& [text, on] : cases) {
    machine.AddFile(kIni, text);
    const scan::TSettings s = Load();
    EXPECT_EQ(s.ExtraSections, on) << text;
    EXPECT_EQ(scan::TakeScanOptions(s).ExtraSections, on) << text;
  }
}

TEST_F(SettingsTest, SaveThenLoadRoundTrips) {
  scan::TSettings s;
  s.CustomFilesListing = true;
  s.SaveReport = true;
  s.Language = "Deutsch";
  s.ExcludeMicrosoftFiles = false;
  s.RecentDays = 30;
  s.RestorePointBeforeAnalyzer = true;
  s.ExtraSections = false;
  s.ExeLister = {"C:\\Temp|*.exe", "", "D:\\|*.*"};
  s.ExclusionMemo = {"d41d8cd98f00b204e9800998ecf8427e :: a.exe :: 1.0 :: Unknown :: "};
  scan::SaveSettings(kApp, s);

  EXPECT_NE(machine.Contents(kIni).find("4=-1\r\n5=0\r\n25=Deutsch\r\n3=0\r\n"), std::string::npos);
  EXPECT_EQ(machine.Contents(kApp + "Data\\exelist.txt"), "C:\\Temp|*.exe\r\n\r\nD:\\|*.*\r\n");
  EXPECT_FALSE(machine.Exists(kApp + "Data\\reglist.txt"));  // empty list: not written

  scan::TSettings back = Load();
  EXPECT_TRUE(back.CustomFilesListing);
  EXPECT_TRUE(back.SaveReport);
  EXPECT_EQ(back.Language, "Deutsch");
  EXPECT_FALSE(back.ExcludeMicrosoftFiles);
  EXPECT_EQ(back.RecentDays, 30);
  EXPECT_TRUE(back.RestorePointBeforeAnalyzer);
  EXPECT_FALSE(back.ExtraSections);
  EXPECT_FALSE(scan::TakeScanOptions(back).ExtraSections);
  EXPECT_EQ(back.ExeLister, s.ExeLister);
  EXPECT_EQ(back.ExclusionMemo, s.ExclusionMemo);
}

TEST_F(SettingsTest, AnEmptiedListKeepsItsFile) {
  machine.AddFile(kApp + "Data\\exclist.txt", "abc :: old\r\n");
  scan::TSettings s = Load();
  s.ExclusionMemo.clear();
  scan::SaveSettings(kApp, s);
  EXPECT_EQ(Load().ExclusionMemo, (std::vector<std::string>{"abc :: old"}));
}

TEST_F(SettingsTest, AReadOnlyDataFolderSavesNothingAndRaisesNothing) {
  machine.RemoveFile(kApp + "Data");
  machine.DenyCreate(kApp + "Data");
  scan::TSettings s;
  s.ExeLister = {"x"};
  scan::SaveSettings(kApp, s);
  EXPECT_FALSE(machine.Exists(kIni));
}

// Answers every prompt with OK and keeps what was asked.
struct TRecordingPrompter : inspect::TPrompter {
  std::vector<std::string> texts;
  int Prompt(const std::string& text, const std::string&, uint32_t) override {
    texts.push_back(text);
    return platform::win::kIdOk;
  }
};

TEST_F(SettingsTest, ExclusionEntriesAreAddedOncePerDigest) {
  inspect::FillDefaultTexts();
  machine.AddFile("C:\\x\\one.exe", "same bytes").version = platform::fake::FileVersion{"Acme", "2.1"};
  machine.AddFile("C:\\x\\twin.exe", "same bytes");
  machine.AddFile("C:\\x\\other.exe", "other bytes");
  TRecordingPrompter prompter;
  std::vector<std::string> memo{"hand written line"};
  EXPECT_TRUE(scan::AddExclusionEntry("C:\\x\\one.exe", "mine", memo, prompter));
  EXPECT_FALSE(scan::AddExclusionEntry("C:\\x\\one.exe", "again", memo, prompter));
  EXPECT_FALSE(scan::AddExclusionEntry("C:\\x\\twin.exe", "", memo, prompter));  // identical content
  EXPECT_TRUE(scan::AddExclusionEntry("C:\\x\\other.exe", "", memo, prompter));
  EXPECT_FALSE(scan::AddExclusionEntry("C:\\x\\missing.exe", "", memo, prompter));
  ASSERT_EQ(memo.size(), 3u);
  EXPECT_EQ(memo[1], inspect::FileMd5Text("C:\\x\\one.exe") + " :: one.exe :: 2.1 :: Acme :: mine");
  EXPECT_EQ(memo[2], inspect::FileMd5Text("C:\\x\\other.exe") + " :: other.exe :: Unknown :: Unknown :: ");
  EXPECT_EQ(prompter.texts, (std::vector<std::string>{"File does not exist."}));
  // The scan takes the digest of each line.
  scan::TSettings s;
  s.ExclusionMemo = memo;
  EXPECT_EQ(scan::TakeScanOptions(s).Md5Exclusions[1], inspect::FileMd5Text("C:\\x\\one.exe"));
}

TEST_F(SettingsTest, ImportTakesOnlyLinesWithADoubleColon) {
  TRecordingPrompter prompter;
  std::vector<std::string> memo{"existing :: line"};
  // Long enough to arrive in several blocks, with a CR LF cut between two of them.
  std::string text = "d41d8cd98f00b204e9800998ecf8427e :: a.exe\r\nno colons here\r\n\r\n";
  text += std::string(4094 - text.size(), 'x') + "\r\nb :: c\r\nlast::line";
  machine.AddFile("C:\\list.txt", text);
  scan::ImportExclusionFile("C:\\list.txt", memo, prompter);
  scan::ImportExclusionFile("C:\\missing.txt", memo, prompter);
  EXPECT_EQ(memo, (std::vector<std::string>{"existing :: line", "d41d8cd98f00b204e9800998ecf8427e :: a.exe",
                                            "b :: c", "last::line"}));
  EXPECT_TRUE(prompter.texts.empty());
}

TEST(SaveReportRule, UntickingUnticksItsTwoDependants) {
  scan::TSettings s;
  s.SaveReport = true;
  s.OpenReport = s.CopyToDesktop = s.CopyToClipboard = true;
  scan::SaveReportClicked(s);  // ticked: nothing else changes
  EXPECT_TRUE(s.OpenReport && s.CopyToDesktop);
  s.SaveReport = false;
  scan::SaveReportClicked(s);
  EXPECT_FALSE(s.OpenReport || s.CopyToDesktop);
  EXPECT_TRUE(s.CopyToClipboard);
  s.SaveReport = true;
  scan::SaveReportClicked(s);
  EXPECT_FALSE(s.OpenReport || s.CopyToDesktop);
}

TEST(SplitLinesTest, MemoLineBreaks) {
  EXPECT_EQ(scan::SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(scan::SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(scan::SplitLines("").empty());
}

}  // namespace
