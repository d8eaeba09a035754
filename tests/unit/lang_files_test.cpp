// Language files: listing with the translator credits, loading, and the shipped files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "inspect/lang.h"
#include "inspect/lang_files.h"
#include "platform/fake/fake_machine.h"
#include "app/controls.h"

namespace {

using platform::fake::Machine;

const std::string kApp = "C:\\Tools\\BurrowSentry\\";

class LangFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.Install();
    inspect::ClearLngTable();
  }
  void TearDown() override { inspect::ClearLngTable(); }
  Machine machine;
};

// The shipped file of the source tree.
std::string Shipped(const std::string& name) {
#ifdef _WIN32
  const std::string root = std::string("Z:") + BS_SOURCE_DIR;
#else
  const std::string root = BS_SOURCE_DIR;
#endif
  std::ifstream in(root + "/dist/Langs/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(LangFiles, CreditsNameTheTranslatedFilesInTheOrderFound) {
  machine.AddFile(kApp + "Langs\\German.ini", "[Info]\r\nTranslator=Anna\r\n[Language]\r\nlng1=Analyse\r\n");
  machine.AddFile(kApp + "Langs\\French.ini", "[Language]\r\nlng1=Analyseur\r\n");
  machine.AddFile(kApp + "Langs\\readme.txt", "not a language");
  const inspect::TLanguageList list = inspect::ListLanguages(kApp);
  EXPECT_EQ(list.credits, (std::vector<std::string>{"", "Translators", " German by Anna"}));
  std::vector<std::string> names = list.names;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"French", "German"}));
}

TEST_F(LangFiles, NoLangsFolderListsNothingAndLeavesTheTable) {
  EXPECT_TRUE(inspect::ListLanguages(kApp).names.empty());
  inspect::SetLng(15, "kept");
  bool captions = false;
  inspect::ApplyLanguage(kApp, "English", [&] { captions = true; });
  EXPECT_FALSE(captions);
  EXPECT_EQ(inspect::Lng(15), "kept");
  EXPECT_EQ(inspect::Lng(16), "Running processes");
}

TEST_F(LangFiles, AFileWithOnlyLng1EmptiesTheCaptionsButNotTheDefaults) {
  inspect::SetLng(2, "Settings");
  inspect::SetLng(15, "Old title");
  machine.AddFile(kApp + "Langs\\Tiny.ini", "[Language]\r\nlng1=Analyse\r\n");
  bool captions = false;
  inspect::ApplyLanguage(kApp, "Tiny", [&] {
    captions = true;
    // Captions are applied before the defaults come back.
    EXPECT_EQ(inspect::Lng(15), "");
  });
  EXPECT_TRUE(captions);
  EXPECT_EQ(inspect::Lng(1), "Analyse");
  EXPECT_EQ(inspect::Lng(2), "");
  EXPECT_EQ(inspect::Lng(15), "Generic system info");
  EXPECT_EQ(inspect::Lng(136), "");
}

TEST_F(LangFiles, ValuesAreConvertedFromUtf8) {
  machine.AddFile(kApp + "Langs\\Mixed.ini",
                  "[Info]\r\nTranslator=J\xC3\xBCrgen\r\n[Language]\r\nlng1=Gr\xC3\xBC\xC3\x9F" "e\r\n"
                  "lng2=\xE2\x82\xAC 5\r\nlng3=\xE4\xBD\xA0\r\nlng4=bad \xC3 end\r\nlng5=\xFF\xFE\r\n");
  EXPECT_EQ(inspect::ListLanguages(kApp).credits.back(), " Mixed by J\xFCrgen");
  ASSERT_TRUE(inspect::LoadLanguageFile(kApp, "Mixed.ini"));
  EXPECT_EQ(inspect::Lng(1), "Gr\xFC\xDF" "e");
  EXPECT_EQ(inspect::Lng(2), "\x80 5");  // the euro sign of code page 1252
  EXPECT_EQ(inspect::Lng(3), "?");       // not in the code page
  // Malformed sequences give what the conversion gives; nothing else is disturbed.
  EXPECT_EQ(inspect::Lng(4), "bad ? end");
  EXPECT_EQ(inspect::Lng(5), "??");
}

TEST_F(LangFiles, BadFilesLoadWhatTheyCan) {
  const std::pair<const char*, std::string> cases[] = {
      {"junk", std::string("\0\x01\xFF[[[=\r\n\n\r", 12)},
      {"big", "[Language]\r\nlng1=" + std::string(1 << 20, 'x') + "\r\nlng2=two\r\n"},
      {"repeated", "[Language]\r\nlng2=first\r\nlng2=second\r\n[Language]\r\nlng2=third\r\n"},
      {"nosection", "lng1=orphan\r\n"},
  };
  for (const auto& [name, text] : cases) {
    machine.AddFile(kApp + "Langs\\" + name + ".ini", text);
    EXPECT_TRUE(inspect::LoadLanguageFile(kApp, std::string(name) + ".ini")) << name;
  }
  EXPECT_EQ(inspect::Lng(1), "");
  EXPECT_EQ(inspect::ListLanguages(kApp).names.size(), 4u);
}

TEST_F(LangFiles, ShippedFilesHoldEveryKeyAndEnglishMatchesTheProgram) {
  const std::string english = Shipped("English.ini");
  const std::string german = Shipped("Deutsch.ini");
  ASSERT_FALSE(english.empty());
  ASSERT_FALSE(german.empty());
  machine.AddFile(kApp + "Langs\\English.ini", english);
  machine.AddFile(kApp + "Langs\\Deutsch.ini", german);
  for (int n = 1; n <= inspect::kLngCount; ++n) {
    const std::string key = "\nlng" + std::to_string(n) + "=";
    EXPECT_EQ(english.find(key) != std::string::npos, inspect::LngHasKey(n)) << n;
    EXPECT_EQ(german.find(key) != std::string::npos, inspect::LngHasKey(n)) << n;
  }
  ASSERT_TRUE(inspect::LoadLanguageFile(kApp, "English.ini"));
  for (int n = 1; n <= inspect::kLngCount; ++n) {
    if (!inspect::LngDefault(n).empty()) {
      EXPECT_EQ(inspect::Lng(n), inspect::LngDefault(n)) << n;
    }
  }
  for (const app::TControl& c : app::kControls) {
    if (c.lng) {
      EXPECT_EQ(app::LanguageCaption(c), app::EnglishCaption(c)) << c.name;
    }
  }
  // Every entry English fills, German fills too; with letters beyond ASCII and a translator.
  ASSERT_TRUE(inspect::LoadLanguageFile(kApp, "Deutsch.ini"));
  for (int n = 1; n <= inspect::kLngCount; ++n) {
    if (english.find("\nlng" + std::to_string(n) + "=\r") == std::string::npos && inspect::LngHasKey(n)) {
      EXPECT_NE(inspect::Lng(n), "") << n;
    }
  }
  EXPECT_EQ(inspect::Lng(24), "Ausf\xFChrbare Dateien in Temp-Ordnern");
  EXPECT_EQ(inspect::ListLanguages(kApp).credits.back(), " Deutsch by J\xFCrgen Wei\xDF");
}

}  // namespace
