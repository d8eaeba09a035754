// The table of controls: lookups the window and the GUI driver rely on, and the captions a
// language gives.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

#include "inspect/lang.h"
#include "managers/windows_tools.h"
#include "restorer/repairs.h"
#include "app/controls.h"
#include "scan/settings.h"

namespace {

using namespace app;

TEST(ControlTable, IdsAndNamesAreUniqueWhereTheyAreLookedUp) {
  std::set<int> ids;
  std::set<std::pair<int, std::string>> names;
  for (const TControl& c : kControls) {
    if (c.kind == TKind::MenuSeparator) continue;
    EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " of " << c.name;
    // The driver finds main-window controls by name alone.
    const int scope = c.place <= kPlaceMenu ? -1 : c.place;
    EXPECT_TRUE(names.insert({scope, c.name}).second) << c.name;
    if (c.lng) {
      EXPECT_TRUE(inspect::LngHasKey(c.lng)) << c.name;
    }
  }
}

// The Settings page loads and saves through the stored options: each box, radio, list and the
// language field names an option or list file of its own kind, and every stored option has its control.
TEST(ControlTable, SettingsControlsAndStoredOptionsMatch) {
  std::map<std::string, int> options, lists;
  for (const TControl& c : kControls) {
    if (c.place != kPageSettings) continue;
    if (c.kind == TKind::Memo) {
      ASSERT_NE(scan::FindListFile(c.key ? c.key : ""), nullptr) << c.name;
      ++lists[c.key];
      continue;
    }
    const auto expected = c.kind == TKind::CheckBox ? scan::TOptionKind::Flag
                          : c.kind == TKind::Radio  ? scan::TOptionKind::RecentDays
                          : c.kind == TKind::Combo  ? scan::TOptionKind::Language
                                                    : std::optional<scan::TOptionKind>();
    if (!expected) continue;
    const scan::TOptionKey* option = scan::FindOptionKey(c.key ? c.key : "");
    ASSERT_NE(option, nullptr) << c.name;
    EXPECT_EQ(option->kind, *expected) << c.name;
    if (c.kind == TKind::Radio) {
      EXPECT_EQ(option->days, c.value) << c.name;
    }
    ++options[c.key];
  }
  for (const scan::TOptionKey& option : scan::kOptionKeys) EXPECT_EQ(options[option.key], 1) << option.key;
  for (const scan::TListFile& list : scan::kListFiles) EXPECT_EQ(lists[list.file], 1) << list.file;
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

// The page reads a repair box's catalogue row and a browser button's value from the table; a row
// pointing at the wrong repair would apply another repair than the one the box names.
TEST(ControlTable, RestorerRowsNameTheirRepairs) {
  std::set<int> repairs;
  std::map<int, std::string> edits, buttons;  // browser value -> sub-page and grid row
  for (const TControl& c : kControls) {
    if (c.place != kPageRestorer || c.sub < 0) continue;
    const std::string where = std::to_string(c.sub) + "/" + std::to_string(c.cell.row);
    switch (c.kind) {
      case TKind::CheckBox:
      case TKind::Radio:
        EXPECT_TRUE(repairs.insert(c.value).second) << c.name;
        EXPECT_EQ(EnglishCaption(c), restorer::RepairCaption(static_cast<restorer::TRepair>(c.value))) << c.name;
        EXPECT_EQ(c.kind == TKind::Radio, c.sub == kSafeMode) << c.name;
        break;
      case TKind::Edit: EXPECT_TRUE(edits.emplace(c.value, where).second) << c.name; break;
      case TKind::Button: EXPECT_TRUE(buttons.emplace(c.value, where).second) << c.name; break;
      default: break;
    }
  }
  EXPECT_EQ(repairs.size(), restorer::kRepairCount);
  EXPECT_EQ(edits.size(), restorer::kBrowserValueCount);
  EXPECT_EQ(edits, buttons);
  EXPECT_EQ(EnglishCaption(*FindMainControl("Startup_Hijacks_Tab")), " Startup Hijacks ");
  EXPECT_EQ(EnglishCaption(*FindMainControl("Safe_Mode_Tab")), "  Safe Mode ");
  // The page panels are the eight pages, not the pages' own tab controls.
  int panels = 0;
  for (const TControl& c : kControls) panels += IsPagePanel(c) ? 1 : 0;
  EXPECT_EQ(panels, kPageCount);
  EXPECT_FALSE(IsPagePanel(*FindMainControl("AdvPC3")));
}

// The page table: every page index has exactly one panel and one button, and every panel and
// button row stands for a page that exists; a button's id finds its row and no other control's does.
TEST(ControlTable, EveryPageHasItsPanelAndItsButton) {
  std::map<int, int> panels, buttons;
  for (const TControl& c : kControls) {
    if (IsPagePanel(c)) ++panels[c.value];
    if (c.kind != TKind::PageButton) continue;
    ++buttons[c.value];
    EXPECT_EQ(FindPageButton(c.id), &c) << c.name;
  }
  for (int page = 0; page < kPageCount; ++page) {
    EXPECT_EQ(panels[page], 1) << "page " << page;
    EXPECT_EQ(buttons[page], 1) << "page " << page;
  }
  EXPECT_EQ(panels.size(), static_cast<size_t>(kPageCount));
  EXPECT_EQ(buttons.size(), static_cast<size_t>(kPageCount));
  EXPECT_EQ(FindPageButton(IdOf("BitBtn1")), nullptr);
  EXPECT_EQ(FindPageButton(IdOf("Exit1")), nullptr);
}

// The Windows Tools menu: two sub-menus holding the tool table's entries in its order.
TEST(ControlTable, WindowsToolsMenuFollowsTheToolTable) {
  std::vector<std::pair<std::string, std::string>> entries;  // sub-menu, entry
  std::string subMenu;
  bool inTools = false;
  for (const TControl& c : kControls) {
    if (c.place != kPlaceMenu) continue;
    if (c.kind == TKind::MenuPopup && c.sub < 0) inTools = c.name == std::string("WindowsTools1");
    if (!inTools) continue;
    if (c.kind == TKind::MenuPopup && c.sub > 0) subMenu = c.caption;
    if (c.kind == TKind::MenuItem) {
      EXPECT_EQ(c.sub, 1) << c.name;
      EXPECT_EQ(c.lng, 0) << c.name;
      entries.emplace_back(subMenu, c.name);
    }
  }
  const auto& tools = managers::WindowsTools();
  ASSERT_EQ(entries.size(), tools.size());
  for (size_t i = 0; i < tools.size(); ++i) {
    EXPECT_EQ(entries[i].first, tools[i].menu == managers::TToolMenu::Security ? "Security" : "Utilities") << i;
    EXPECT_EQ(entries[i].second, tools[i].component) << i;
    EXPECT_EQ(FindControl(kPlaceMenu, tools[i].component)->caption, std::string(tools[i].caption)) << i;
  }
  EXPECT_EQ(FindMainControl("WindowsTools1")->lng, 108);
}

}  // namespace
