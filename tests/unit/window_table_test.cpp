// The table of controls: lookups the window and the GUI driver rely on, and the captions a
// language gives.
#include <gtest/gtest.h>

#include <set>

#include "inspect/lang.h"
#include "scan/controls.h"

namespace {

using namespace scan;

TEST(ControlTable, IdsAndNamesAreUniqueWhereTheyAreLookedUp) {
  std::set<int> ids;
  std::set<std::pair<int, std::string>> names;
  for (const TControl& c : kControls) {
    if (c.kind == TKind::MenuSeparator) continue;
    EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " of " << c.name;
    // The driver finds main-window controls by name alone.
    const int scope = c.place <= kPlaceMenu ? -1 : c.place;
    EXPECT_TRUE(names.insert({scope, c.name}).second) << c.name;
    if (c.lng) EXPECT_TRUE(inspect::LngHasKey(c.lng)) << c.name;
    if (c.kind == TKind::CheckBox) EXPECT_TRUE(c.flag && c.key) << c.name;
    if (c.kind == TKind::Memo && c.place == kPageSettings) EXPECT_TRUE(c.list && c.key) << c.name;
  }
}

TEST(ControlTable, CaptionsFromTheLanguageTable) {
  inspect::ClearLngTable();
  // A language holding only entry 1, before the defaults are filled.
  inspect::SetLng(1, "Analyse");
  const std::pair<const char*, const char*> onlyLng1[] = {
      {"AdvGlowButton2", "Analyse"}, {"AdvGlowButton7", ""},      {"AdvTabSheet5", "   "},
      {"OnlineVirusScanner1", "Orvatek "}, {"RadioButton9", " 10 "}, {"BitBtn1", ""},
  };
  for (const auto& [name, caption] : onlyLng1) EXPECT_EQ(LanguageCaption(*FindMainControl(name)), caption) << name;

  inspect::FillDefaultTexts();
  EXPECT_EQ(LanguageCaption(*FindMainControl("RadioButton8")), "Files created/modified 30 days ago");

  const std::pair<const char*, const char*> english[] = {
      {"AdvTabSheet10", "  Exclusions "}, {"MalwareHash1", "Orvatek &Products"},
      {"RadioButton5", "Files created/modified 15 days ago"}, {"CheckBox46", "Create system restore point before run Restorer "},
  };
  for (const auto& [name, caption] : english) EXPECT_EQ(EnglishCaption(*FindMainControl(name)), caption) << name;
  inspect::ClearLngTable();
}

}  // namespace
