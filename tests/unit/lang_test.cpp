// The language table: which entries have keys, the built-in English texts and their filling,
// and reading the table while another thread writes it.
#include <gtest/gtest.h>

#include <atomic>

#include "inspect/lang.h"
#include "platform/sync.h"

namespace {

using namespace inspect;

class LangTable : public ::testing::Test {
 protected:
  void SetUp() override { ClearLngTable(); }
  void TearDown() override { ClearLngTable(); }
};

TEST_F(LangTable, KeyedEntries) {
  const std::pair<int, bool> cases[] = {{0, false},  {1, true},  {70, true},  {71, false}, {72, true},
                                        {85, true},  {86, false}, {90, false}, {93, false}, {94, true},
                                        {229, true}, {230, false}, {-1, false}};
  for (const auto& [n, keyed] : cases) EXPECT_EQ(LngHasKey(n), keyed) << n;
}

TEST_F(LangTable, StartsEmptyAndIgnoresEntriesOutOfRange) {
  for (int n = 1; n <= kLngCount; ++n) EXPECT_EQ(Lng(n), "") << n;
  SetLng(0, "zero");
  SetLng(230, "past the end");
  EXPECT_EQ(Lng(0), "");
  EXPECT_EQ(Lng(230), "");
  EXPECT_EQ(Lng(-5), "");
  SetLng(229, "Aktualisieren");
  EXPECT_EQ(Lng(229), "Aktualisieren");
}

TEST_F(LangTable, DefaultsCoverReportWordsTitlesAndMessages) {
  const std::pair<int, const char*> cases[] = {
      {15, "Generic system info"},
      {26, "Files created/modified"},
      {27, "days ago"},
      {47, "Value"},
      {48, "Data"},
      {49, "Key"},
      {55, "Finish ["},
      {79, "Drivers -> FSFilter Anti-Virus"},
      {97, "A new version of Burrow Sentry is available for download."},
      {117, "Cannot save the report file to dekstop"},
      {186, "The changes have been applied... It is recommended to reboot your computer for the changes to take effect"},
      {228, "Do you want to shutdown the system ?"},
      // Captions and texts without a built-in English text.
      {1, ""},
      {4, ""},
      {71, ""},
      {136, ""},
      {201, ""},
      {226, ""},
      {229, ""},
  };
  FillDefaultTexts();
  for (const auto& [n, text] : cases) {
    EXPECT_EQ(LngDefault(n), text) << n;
    EXPECT_EQ(Lng(n), text) << n;
  }
  // Every built-in text belongs to an entry a language file can replace.
  for (int n = -1; n <= kLngCount + 1; ++n) {
    if (!LngDefault(n).empty()) {
      EXPECT_TRUE(LngHasKey(n)) << n;
    }
  }
}

TEST_F(LangTable, FillDefaultTextsNeverOverwrites) {
  SetLng(15, "Allgemeine Systeminformationen");
  SetLng(47, " ");
  SetLng(1, "Analyse");
  FillDefaultTexts();
  EXPECT_EQ(Lng(15), "Allgemeine Systeminformationen");
  EXPECT_EQ(Lng(47), " ");
  EXPECT_EQ(Lng(48), "Data");
  EXPECT_EQ(Lng(1), "Analyse");

  // A language switch empties an entry; the next fill gives the default back.
  SetLng(15, "");
  FillDefaultTexts();
  EXPECT_EQ(Lng(15), "Generic system info");
}

TEST_F(LangTable, ReadersSeeWholeTextsWhileTheTableChanges) {
  const std::string english(200, 'e'), german(300, 'g');
  SetLng(16, english);
  std::atomic<bool> stop{false};
  platform::Thread writer([&] {
    for (int i = 0; i < 20000; ++i) {
      SetLng(16, i % 2 ? german : english);
      if (i % 100 == 0) {
        ClearLngTable();
        FillDefaultTexts();
      }
    }
    stop = true;
  });
  int odd = 0;
  while (!stop) {
    const std::string text = Lng(16);
    if (text != english && text != german && text != "Running processes" && !text.empty()) ++odd;
  }
  writer.Join();
  EXPECT_EQ(odd, 0);
}

}  // namespace
