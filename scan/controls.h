// The window's controls as data: one row per control with its id, its name, where it stands,
// its kind, its language entry, its English caption and its settings key. The window creates,
// captions, loads and saves from these rows; the GUI test driver finds controls by them.
// Adding a control is adding a row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/settings.h"

namespace scan {

// Where a control lives: a page of the page area (0..7, by page index), or another place.
enum TPlace : int8_t {
  kPageAnalyzer = 0,
  kPageRestorer = 1,
  kPageHosts = 2,
  kPageStartups = 3,
  kPageBoot = 4,
  kPageSettings = 5,
  kPageBhos = 6,
  kPageDeleteFile = 7,
  kPageCount = 8,
  kPlaceMain = 8,    // the main window itself: header, page column, status bar
  kPlaceMenu = 9,    // the main menu
  kPlaceUpdate = 10, // the Update window
  kPlaceAbout = 11,  // the About box
};

// Sub-pages of the Settings page, in order.
enum TSettingsTab : int8_t { kGeneral, kReport, kScan, kFiles, kRegistry, kExclusions, kLanguage, kSettingsTabCount };

enum class TKind : uint8_t {
  Window,      // a top-level window: its caption
  PageButton,  // value = the page it selects
  Page,        // value = page index
  TabSheet,    // value = sub-page index
  Button,
  CheckBox,
  Radio,       // value = the recent-files period in days
  Label,
  Link,        // a label that opens something when clicked
  Edit,
  Memo,        // key = the list file
  Combo,
  Progress,
  StatusBar,
  MenuPopup,
  MenuItem,
  MenuSeparator,
  ListView,    // a report-style list view; its Column rows follow on its page
  Column,      // value = width in pixels
  TabControl,  // the sub-page tabs of a page; its TabSheet rows follow
};

// How a caption is built from its language entry.
enum class TForm : uint8_t {
  Plain,
  Tab,       // "  " + text + " "
  TabNarrow, // " " + text + " "
  Column,    // " " + text
  Maker,     // "Orvatek " + text
  Period,    // entry 26 + " <days> " + entry 27
};

// A cell of a page's grid of rows and columns (kGridColumns to a row).
struct TCell {
  int8_t row = 0, column = 0, rows = 1, columns = 1;
};
inline constexpr int kGridColumns = 12;

struct TControl {
  int id;
  const char* name;
  TPlace place;
  int8_t sub;       // Settings sub-page, or -1
  TKind kind;
  int16_t lng;      // language entry; 0 = not retranslated
  const char* caption;  // English, as the entry holds it (before TForm)
  const char* key;      // Options.ini key, the list file of a memo, or null
  TCell cell;
  TForm form;
  int value;
  bool TSettings::*flag;
  std::vector<std::string> TSettings::*list;
};

namespace rows {
constexpr TControl Make(int id, const char* name, TPlace place, int8_t sub, TKind kind, int16_t lng,
                        const char* caption, TCell cell = {}, TForm form = TForm::Plain, int value = 0,
                        const char* key = nullptr, bool TSettings::*flag = nullptr,
                        std::vector<std::string> TSettings::*list = nullptr) {
  return TControl{id, name, place, sub, kind, lng, caption, key, cell, form, value, flag, list};
}
constexpr TControl PageButton(int id, const char* name, int16_t lng, const char* caption, TPlace page) {
  return Make(id, name, kPlaceMain, -1, TKind::PageButton, lng, caption, {}, TForm::Plain, page);
}
constexpr TControl Tab(int id, const char* name, int8_t sub, int16_t lng, const char* caption) {
  return Make(id, name, kPageSettings, sub, TKind::TabSheet, lng, caption, {}, TForm::Tab, sub);
}
constexpr TControl Check(int id, const char* name, int8_t sub, int16_t lng, const char* caption, const char* key,
                         bool TSettings::*flag, TCell cell) {
  return Make(id, name, kPageSettings, sub, TKind::CheckBox, lng, caption, cell, TForm::Plain, 0, key, flag);
}
constexpr TControl Radio(int id, const char* name, int days, const char* key, TCell cell) {
  return Make(id, name, kPageSettings, kScan, TKind::Radio, 26, "Files created/modified", cell, TForm::Period,
              days, key);
}
constexpr TControl Memo(int id, const char* name, int8_t sub, const char* file,
                        std::vector<std::string> TSettings::*list, TCell cell) {
  return Make(id, name, kPageSettings, sub, TKind::Memo, 0, "", cell, TForm::Plain, 0, file, nullptr, list);
}
constexpr TControl Setting(int id, const char* name, int8_t sub, TKind kind, int16_t lng, const char* caption,
                           TCell cell) {
  return Make(id, name, kPageSettings, sub, kind, lng, caption, cell);
}
constexpr TControl Menu(int id, const char* name, TKind kind, int16_t lng, const char* caption,
                        TForm form = TForm::Plain) {
  return Make(id, name, kPlaceMenu, -1, kind, lng, caption, {}, form);
}
constexpr TControl Separator() { return Make(0, "-", kPlaceMenu, -1, TKind::MenuSeparator, 0, ""); }
}  // namespace rows

// Rows of the manager pages: lists with their columns and context menus, editors, the deleter.
namespace rows {
constexpr TControl On(int id, const char* name, TPlace page, int8_t sub, TKind kind, int16_t lng, const char* caption,
                      TCell cell = {}) {
  return Make(id, name, page, sub, kind, lng, caption, cell);
}
constexpr TControl Column(int id, const char* name, TPlace page, int16_t lng, const char* caption, int width) {
  return Make(id, name, page, -1, TKind::Column, lng, caption, {}, TForm::Column, width);
}
constexpr TControl Sheet(int id, const char* name, TPlace page, int8_t sub, const char* caption) {
  return Make(id, name, page, sub, TKind::TabSheet, 0, caption, {}, TForm::Tab, sub);
}
// A context menu of a page: the popup row, then its entries up to the next row of another kind.
constexpr TControl Popup(int id, const char* name, TPlace page) {
  return Make(id, name, page, -1, TKind::MenuPopup, 0, "");
}
constexpr TControl Entry(int id, const char* name, TPlace page, int16_t lng, const char* caption) {
  return Make(id, name, page, -1, TKind::MenuItem, lng, caption);
}
constexpr TControl EntrySeparator(TPlace page) { return Make(0, "-", page, -1, TKind::MenuSeparator, 0, ""); }
}  // namespace rows

// The rows, in creation order (which is also the tab order of a page). Menu rows stand in
// menu order: a popup row opens a sub-menu that holds the item rows after it.
inline constexpr TControl kControls[] = {
    // The main window.
    rows::Make(100, "Form1", kPlaceMain, -1, TKind::Window, 0, "Burrow Sentry 1.8.4.0"),
    rows::Make(101, "Label3", kPlaceMain, -1, TKind::Link, 0, "www.orvatek.com"),
    rows::Make(300, "StatusBar1", kPlaceMain, -1, TKind::StatusBar, 0, "Windows startup and malware inspection"),
    // The page column, top to bottom.
    rows::PageButton(202, "AdvGlowButton2", 1, "Analyzer", kPageAnalyzer),
    rows::PageButton(207, "AdvGlowButton7", 2, "Settings", kPageSettings),
    rows::PageButton(201, "AdvGlowButton1", 136, "Restorer", kPageRestorer),
    rows::PageButton(204, "AdvGlowButton4", 187, "Startups", kPageStartups),
    rows::PageButton(205, "AdvGlowButton5", 192, "Boot Files", kPageBoot),
    rows::PageButton(203, "AdvGlowButton3", 103, "Hosts File", kPageHosts),
    rows::PageButton(208, "AdvGlowButton8", 217, "Delete File", kPageDeleteFile),
    rows::PageButton(206, "AdvGlowButton6", 218, "BHOs", kPageBhos),
    // The pages, by index.
    rows::Make(210, "Analyzer_Tab", kPageAnalyzer, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageAnalyzer),
    rows::Make(211, "Restorer_Tab", kPageRestorer, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageRestorer),
    rows::Make(212, "Hosts_Tab", kPageHosts, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageHosts),
    rows::Make(213, "Startups_Tab", kPageStartups, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageStartups),
    rows::Make(214, "Boot_Tab", kPageBoot, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageBoot),
    rows::Make(215, "Settings_Tab", kPageSettings, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageSettings),
    rows::Make(216, "BHOs_Tab", kPageBhos, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageBhos),
    rows::Make(217, "Delete_File_Tab", kPageDeleteFile, -1, TKind::Page, 0, "", {}, TForm::Plain, kPageDeleteFile),

    // Analyzer page.
    rows::Make(1002, "Memo1", kPageAnalyzer, -1, TKind::Memo, 0, ""),
    rows::Make(1003, "pb1", kPageAnalyzer, -1, TKind::Progress, 0, ""),
    rows::Make(1001, "BitBtn1", kPageAnalyzer, -1, TKind::Button, 4, "Scan PC"),

    // Settings page: the sub-pages, then each sub-page's controls.
    rows::Make(2000, "AdvPC4", kPageSettings, -1, TKind::Page, 0, ""),
    rows::Tab(2001, "AdvTabSheet5", kGeneral, 130, "General"),
    rows::Tab(2002, "AdvTabSheet6", kReport, 131, "Report"),
    rows::Tab(2003, "AdvTabSheet7", kScan, 129, "Scan"),
    rows::Tab(2004, "AdvTabSheet8", kFiles, 133, "Files"),
    rows::Tab(2005, "AdvTabSheet9", kRegistry, 134, "Registry"),
    rows::Tab(2006, "AdvTabSheet10", kExclusions, 135, "Exclusions"),
    rows::Tab(2007, "AdvTabSheet11", kLanguage, 132, "Language"),

    rows::Check(2101, "CheckBox3", kGeneral, 9, "Stay always on top", "3", &TSettings::StayOnTop, {0, 0, 1, 8}),
    rows::Check(2102, "CheckBox8", kGeneral, 190, "Work in background", "15", &TSettings::WorkInBackground,
                {1, 0, 1, 8}),
    rows::Check(2103, "CheckBox9", kGeneral, 191, "Try to reduce memory usage", "16", &TSettings::ReduceMemoryUsage,
                {2, 0, 1, 8}),
    rows::Check(2104, "CheckBox46", kGeneral, 0, "Create system restore point before run Restorer ", "32",
                &TSettings::RestorePointBeforeRestorer, {4, 0, 1, 10}),
    rows::Check(2105, "CheckBox49", kGeneral, 0, "Create system restore point before run Analyzer", "33",
                &TSettings::RestorePointBeforeAnalyzer, {5, 0, 1, 10}),

    rows::Check(2201, "CheckBox1", kReport, 10, "Copy the report to clipboard", "9", &TSettings::CopyToClipboard,
                {0, 0, 1, 8}),
    rows::Check(2202, "CheckBox2", kReport, 11, "Save the report on Logs folder", "10", &TSettings::SaveReport,
                {1, 0, 1, 8}),
    rows::Check(2203, "CheckBox4", kReport, 12, "Open the report when finished", "11", &TSettings::OpenReport,
                {2, 1, 1, 8}),
    rows::Check(2204, "CheckBox6", kReport, 189, "Copy the report in the Desktop", "13", &TSettings::CopyToDesktop,
                {3, 1, 1, 8}),

    rows::Check(2301, "CheckBox5", kScan, 74, "Exclude Microsoft System Files", "12",
                &TSettings::ExcludeMicrosoftFiles, {0, 0, 1, 6}),
    rows::Check(2302, "CheckBox10", kScan, 127, "Show all ServiceDll ( CurrentControlSet\\Services )", "17",
                &TSettings::ShowAllServiceDll, {1, 0, 1, 6}),
    rows::Check(2303, "CheckBox11", kScan, 128, "Show only Loaded Modules from suspicious folders", "18",
                &TSettings::SuspiciousModulesOnly, {2, 0, 1, 6}),
    rows::Check(2304, "CheckBox45", kScan, 208, "Kernel Mode Info", "27", &TSettings::KernelModeInfo, {3, 0, 1, 6}),
    rows::Check(2305, "CheckBox48", kScan, 209, "Ring3 API Hooks", "30", &TSettings::Ring3ApiHooks, {4, 0, 1, 6}),
    rows::Check(2306, "CheckBox47", kScan, 113, "Unknown .SYS files", "29", &TSettings::UnknownSysFiles,
                {5, 0, 1, 6}),
    rows::Check(2307, "CheckBox50", kScan, 211, "Unknown files in CLSID", "31", &TSettings::UnknownClsidFiles,
                {6, 0, 1, 6}),
    rows::Radio(2308, "RadioButton9", 10, "28", {0, 6, 1, 6}),
    rows::Radio(2309, "RadioButton5", 15, "34", {1, 6, 1, 6}),
    rows::Radio(2310, "RadioButton8", 30, "35", {2, 6, 1, 6}),

    rows::Check(2401, "cb2", kFiles, 31, "Custom files listing", "4", &TSettings::CustomFilesListing, {0, 0, 1, 8}),
    rows::Memo(2402, "ExeLister", kFiles, "Data\\exelist.txt", &TSettings::ExeLister, {1, 0, 12, 12}),

    rows::Check(2501, "cb5", kRegistry, 32, "Custom registry keys and values dump", "5",
                &TSettings::CustomRegistryDump, {0, 0, 1, 8}),
    rows::Memo(2502, "RegDump", kRegistry, "Data\\reglist.txt", &TSettings::RegDump, {1, 0, 12, 12}),

    rows::Check(2601, "CheckBox7", kExclusions, 121, "Exclude files with following MD5 hashes", "14",
                &TSettings::UseMd5Exclusions, {0, 0, 1, 8}),
    rows::Memo(2602, "ExclusionMemo", kExclusions, "Data\\exclist.txt", &TSettings::ExclusionMemo, {1, 0, 8, 12}),
    rows::Setting(2603, "Label9", kExclusions, TKind::Label, 122, "Select file:", {9, 0, 1, 4}),
    rows::Setting(2604, "Edit1", kExclusions, TKind::Edit, 0, "", {9, 4, 1, 7}),
    rows::Setting(2605, "Button5", kExclusions, TKind::Button, 0, "...", {9, 11, 1, 1}),
    rows::Setting(2606, "Label11", kExclusions, TKind::Label, 123, "Comment:", {10, 0, 1, 4}),
    rows::Setting(2607, "Edit2", kExclusions, TKind::Edit, 0, "", {10, 4, 1, 7}),
    rows::Setting(2608, "Button7", kExclusions, TKind::Button, 0, "+", {10, 11, 1, 1}),
    rows::Setting(2609, "Label14", kExclusions, TKind::Label, 126, "Load from an external file:", {11, 0, 1, 4}),
    rows::Setting(2610, "Edit3", kExclusions, TKind::Edit, 0, "", {11, 4, 1, 7}),
    rows::Setting(2611, "Button8", kExclusions, TKind::Button, 0, "...", {11, 11, 1, 1}),

    rows::Setting(2701, "Label33", kLanguage, TKind::Label, 13, "Select Language:", {0, 0, 1, 3}),
    rows::Make(2702, "cb", kPageSettings, kLanguage, TKind::Combo, 0, "English", {0, 3, 1, 4}, TForm::Plain, 0, "25"),

    // Startups page.
    rows::On(7100, "SLV", kPageStartups, -1, TKind::ListView, 0, "", {0, 0, 15, 12}),
    rows::Column(7101, "SLV_Value", kPageStartups, 193, "Value", 180),
    rows::Column(7102, "SLV_Data", kPageStartups, 194, "Data", 400),
    rows::Column(7103, "SLV_Key", kPageStartups, 195, "Key", 300),
    rows::Popup(7110, "PopupMenu2", kPageStartups),
    rows::Entry(7111, "Refresh2", kPageStartups, 197, "Refresh"),
    rows::EntrySeparator(kPageStartups),
    rows::Entry(7112, "DeleteStartupItem1", kPageStartups, 196, "Delete Startup Item"),
    rows::EntrySeparator(kPageStartups),
    rows::Entry(7113, "DeleteFile2", kPageStartups, 198, "Open Containing Folder"),
    rows::Entry(7114, "ShowFileProperties2", kPageStartups, 199, "Show File Properties"),

    // BHOs page.
    rows::On(7200, "BHO_LV", kPageBhos, -1, TKind::ListView, 0, "", {0, 0, 15, 12}),
    rows::Column(7201, "BHO_LV_File", kPageBhos, 50, "File", 300),
    // Not retranslated: the language entry of the Data column would head class identifiers "Data".
    rows::Column(7202, "BHO_LV_CLSID", kPageBhos, 0, "CLSID", 276),
    rows::Column(7203, "BHO_LV_Key", kPageBhos, 195, "Key", 200),
    rows::Popup(7210, "PopupMenu1", kPageBhos),
    rows::Entry(7211, "Refresh1", kPageBhos, 197, "Refresh"),
    rows::EntrySeparator(kPageBhos),
    rows::Entry(7212, "OpenContainingFolder1", kPageBhos, 198, "Open Containing Folder"),
    rows::Entry(7213, "ShowFileProperties1", kPageBhos, 199, "Show File Properties"),

    // Hosts File page.
    rows::On(7300, "Memo2", kPageHosts, -1, TKind::Memo, 0, "", {0, 0, 14, 12}),
    rows::On(7301, "Button1", kPageHosts, -1, TKind::Button, 101, "Save", {14, 6, 1, 2}),
    rows::On(7302, "Button2", kPageHosts, -1, TKind::Button, 102, "Reload", {14, 8, 1, 2}),
    rows::On(7303, "Button3", kPageHosts, -1, TKind::Button, 188, "Notepad", {14, 10, 1, 2}),

    // Boot Files page: the sub-pages, then each one's editor and buttons.
    rows::On(7400, "AdvPC2", kPageBoot, -1, TKind::TabControl, 0, ""),
    rows::Sheet(7401, "AdvTabSheet1", kPageBoot, 0, "System.ini"),
    rows::Sheet(7402, "AdvTabSheet2", kPageBoot, 1, "Win.ini"),
    rows::Sheet(7403, "AdvTabSheet3", kPageBoot, 2, "Autoexec.bat"),
    rows::Sheet(7404, "AdvTabSheet4", kPageBoot, 3, "Boot.ini"),
    rows::On(7410, "SystemIni", kPageBoot, 0, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7411, "Button18", kPageBoot, 0, TKind::Button, 101, "Save", {12, 6, 1, 2}),
    rows::On(7412, "Button22", kPageBoot, 0, TKind::Button, 102, "Reload", {12, 8, 1, 2}),
    rows::On(7413, "Button26", kPageBoot, 0, TKind::Button, 188, "Notepad", {12, 10, 1, 2}),
    rows::On(7420, "WinIni", kPageBoot, 1, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7421, "Button19", kPageBoot, 1, TKind::Button, 101, "Save", {12, 6, 1, 2}),
    rows::On(7422, "Button23", kPageBoot, 1, TKind::Button, 102, "Reload", {12, 8, 1, 2}),
    rows::On(7423, "Button27", kPageBoot, 1, TKind::Button, 188, "Notepad", {12, 10, 1, 2}),
    rows::On(7430, "AutoexecBat", kPageBoot, 2, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7431, "Button20", kPageBoot, 2, TKind::Button, 101, "Save", {12, 6, 1, 2}),
    rows::On(7432, "Button24", kPageBoot, 2, TKind::Button, 102, "Reload", {12, 8, 1, 2}),
    rows::On(7433, "Button28", kPageBoot, 2, TKind::Button, 188, "Notepad", {12, 10, 1, 2}),
    rows::On(7440, "BootIni", kPageBoot, 3, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7441, "Button17", kPageBoot, 3, TKind::Button, 101, "Save", {12, 6, 1, 2}),
    rows::On(7442, "Button21", kPageBoot, 3, TKind::Button, 102, "Reload", {12, 8, 1, 2}),
    rows::On(7443, "Button25", kPageBoot, 3, TKind::Button, 188, "Notepad", {12, 10, 1, 2}),

    // Delete File page.
    rows::On(7500, "Label2", kPageDeleteFile, -1, TKind::Label, 223, "Select a file you want to delete:", {0, 0, 1, 8}),
    rows::On(7501, "Edit11", kPageDeleteFile, -1, TKind::Edit, 0, "", {1, 0, 1, 11}),
    rows::On(7502, "Button4", kPageDeleteFile, -1, TKind::Button, 0, "...", {1, 11, 1, 1}),
    rows::On(7503, "Button6", kPageDeleteFile, -1, TKind::Button, 224, "Delete", {2, 0, 1, 2}),

    // The main menu. Entries whose handler comes with a later page are shown greyed.
    rows::Menu(400, "File1", TKind::MenuPopup, 222, "File"),
    rows::Menu(401, "Run1", TKind::MenuItem, 219, "Run..."),
    rows::Separator(),
    rows::Menu(402, "RebootSystem1", TKind::MenuItem, 220, "Reboot PC"),
    rows::Menu(403, "ShutdownPC1", TKind::MenuItem, 221, "Shutdown PC"),
    rows::Separator(),
    rows::Menu(404, "OpenLogs1", TKind::MenuItem, 33, "Open Logs"),
    rows::Menu(405, "ClearLogs1", TKind::MenuItem, 34, "Delete Logs"),
    rows::Separator(),
    rows::Menu(406, "Readme1", TKind::MenuItem, 35, "Readme"),
    rows::Menu(407, "Eula1", TKind::MenuItem, 210, "Eula"),
    rows::Separator(),
    rows::Menu(408, "Exit1", TKind::MenuItem, 36, "Exit"),
    rows::Menu(410, "Resources1", TKind::MenuPopup, 37, "Resources"),
    rows::Menu(411, "OnlineVirusScanner1", TKind::MenuItem, 41, "Homepage", TForm::Maker),
    rows::Menu(412, "MalwareHash1", TKind::MenuItem, 42, "Products", TForm::Maker),
    rows::Menu(413, "SecurityArticles1", TKind::MenuItem, 43, "Services", TForm::Maker),
    rows::Menu(420, "Help1", TKind::MenuPopup, 38, "Help"),
    rows::Menu(421, "utorialandFAQs1", TKind::MenuItem, 39, "Help File"),
    rows::Separator(),
    rows::Menu(422, "Info1", TKind::MenuItem, 44, "Info..."),
    rows::Menu(430, "CheckforUpdates1", TKind::MenuItem, 229, "Update"),

    // The Update window.
    rows::Make(3000, "Form3", kPlaceUpdate, -1, TKind::Window, 229, "Update"),
    rows::Make(3001, "Label2", kPlaceUpdate, -1, TKind::Label, 229, "Update"),
    rows::Make(3002, "Label1", kPlaceUpdate, -1, TKind::Link, 94, "Check for Updates"),

    // The About box.
    rows::Make(3100, "Form2", kPlaceAbout, -1, TKind::Window, 0, "About"),
    rows::Make(3101, "Memo1", kPlaceAbout, -1, TKind::Memo, 0, ""),
    rows::Make(3102, "Button3", kPlaceAbout, -1, TKind::Button, 0, "Homepage"),
    rows::Make(3103, "Button2", kPlaceAbout, -1, TKind::Button, 0, "Support Forum"),
    rows::Make(3104, "Button1", kPlaceAbout, -1, TKind::Button, 0, "Close"),
};

// The row of `name` in `place` (names repeat between windows); null when there is none.
constexpr const TControl* FindControl(TPlace place, std::string_view name) {
  for (const TControl& c : kControls) {
    if (c.place == place && name == c.name) return &c;
  }
  return nullptr;
}
// The row of a page control or a menu entry by its name, wherever it is in the main window.
constexpr const TControl* FindMainControl(std::string_view name) {
  for (const TControl& c : kControls) {
    if (c.place <= kPlaceMenu && name == c.name) return &c;
  }
  return nullptr;
}
constexpr const TControl* FindControlById(int id) {
  for (const TControl& c : kControls) {
    if (c.id == id && c.kind != TKind::MenuSeparator) return &c;
  }
  return nullptr;
}
// The id of a main-window control; a name that is not in the table does not compile.
consteval int IdOf(std::string_view name) {
  for (const TControl& c : kControls) {
    if (c.place <= kPlaceMenu && name == c.name) return c.id;
  }
  throw "no such control";
}

// The caption of `control` with `entry(n)` giving the text of language entry n.
template <typename Entry>
std::string ControlCaption(const TControl& control, Entry entry) {
  switch (control.form) {
    case TForm::Tab: return "  " + entry(control.lng) + " ";
    case TForm::TabNarrow: return " " + entry(control.lng) + " ";
    case TForm::Column: return " " + entry(control.lng);
    case TForm::Maker: return "Orvatek " + entry(control.lng);
    case TForm::Period: return entry(26) + " " + std::to_string(control.value) + " " + entry(27);
    case TForm::Plain: break;
  }
  return entry(control.lng);
}

// The English caption the control is created with.
std::string EnglishCaption(const TControl& control);
// The caption the current language table gives it (empty entries give empty captions).
std::string LanguageCaption(const TControl& control);

}  // namespace scan
