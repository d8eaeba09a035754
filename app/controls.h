// The window's controls as data: one row per control with its id, its name, where it stands,
// its kind, its language entry, its English caption and its settings key (an option key or list
// file of scan/settings.h). The window creates, captions, loads and saves from these rows; the GUI
// test driver finds controls by them.
// Adding a control is adding a row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Where a control lives: a page of the page area (by page index), or another place. A new page
// takes a name before kPageCount; the places after it number themselves.
enum TPlace : int8_t {
  kPageAnalyzer,
  kPageRestorer,
  kPageHosts,
  kPageStartups,
  kPageBoot,
  kPageSettings,
  kPageBhos,
  kPageDeleteFile,
  kPageCount,
  kPlaceMain = kPageCount,  // the main window itself: header, page column, status bar
  kPlaceMenu,               // the main menu
  kPlaceUpdate,             // the Update window
  kPlaceAbout,              // the About box
};

// Sub-pages of the Settings page, in order.
enum TSettingsTab : int8_t { kGeneral, kReport, kScan, kFiles, kRegistry, kExclusions, kLanguage, kSettingsTabCount };
// Sub-pages of the Restorer page, in order.
enum TRestorerTab : int8_t {
  kSystemHijacks, kOtherHijacks, kStartupHijacks, kSafeMode, kIeUrls, kIeHijacks, kRestorerTabCount
};

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
  int8_t sub;       // sub-page of the Settings or Restorer page, a menu row's depth, or -1
  TKind kind;
  int16_t lng;      // language entry; 0 = not retranslated
  const char* caption;  // English, as the entry holds it (before TForm)
  const char* key;      // Options.ini key, the list file of a memo, or null
  TCell cell;
  TForm form;
  int value;
};

namespace rows {
constexpr TControl Make(int id, const char* name, TPlace place, int8_t sub, TKind kind, int16_t lng,
                        const char* caption, TCell cell = {}, TForm form = TForm::Plain, int value = 0,
                        const char* key = nullptr) {
  return TControl{id, name, place, sub, kind, lng, caption, key, cell, form, value};
}
constexpr TControl PageButton(int id, const char* name, int16_t lng, const char* caption, TPlace page) {
  return Make(id, name, kPlaceMain, -1, TKind::PageButton, lng, caption, {}, TForm::Plain, page);
}
constexpr TControl Tab(int id, const char* name, int8_t sub, int16_t lng, const char* caption) {
  return Make(id, name, kPageSettings, sub, TKind::TabSheet, lng, caption, {}, TForm::Tab, sub);
}
constexpr TControl Check(int id, const char* name, int8_t sub, int16_t lng, const char* caption, const char* key,
                         TCell cell) {
  return Make(id, name, kPageSettings, sub, TKind::CheckBox, lng, caption, cell, TForm::Plain, 0, key);
}
constexpr TControl Radio(int id, const char* name, int days, const char* key, TCell cell) {
  return Make(id, name, kPageSettings, kScan, TKind::Radio, 26, "Files created/modified", cell, TForm::Period,
              days, key);
}
constexpr TControl Memo(int id, const char* name, int8_t sub, const char* file, TCell cell) {
  return Make(id, name, kPageSettings, sub, TKind::Memo, 0, "", cell, TForm::Plain, 0, file);
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

// Restorer rows. A repair box or radio button holds its row of the repair catalogue in `value`;
// a browser value's edit field and "OK" button hold the browser value they write.
constexpr TControl RestorerTab(int id, const char* name, int8_t sub, int16_t lng, const char* caption,
                               TForm form = TForm::Tab) {
  return Make(id, name, kPageRestorer, sub, TKind::TabSheet, lng, caption, {}, form, sub);
}
constexpr TControl Repair(int id, const char* name, int8_t sub, int16_t lng, const char* caption, int repair,
                          int8_t row) {
  return Make(id, name, kPageRestorer, sub, TKind::CheckBox, lng, caption, {row, 0, 1, 10}, TForm::Plain, repair);
}
constexpr TControl SafeModeRadio(int id, const char* name, const char* caption, int repair, int8_t row) {
  return Make(id, name, kPageRestorer, kSafeMode, TKind::Radio, 0, caption, {row, 1, 1, 10}, TForm::Plain, repair);
}
// A labelled field with its "OK" button on grid row `row`: label, edit, button.
constexpr TControl BrowserLabel(int id, const char* name, int8_t sub, int16_t lng, const char* caption, int8_t row) {
  return Make(id, name, kPageRestorer, sub, TKind::Label, lng, caption, {row, 0, 1, 3});
}
constexpr TControl BrowserEdit(int id, const char* name, int8_t sub, int value, int8_t row) {
  return Make(id, name, kPageRestorer, sub, TKind::Edit, 0, "", {row, 3, 1, 7}, TForm::Plain, value);
}
constexpr TControl BrowserOk(int id, const char* name, int8_t sub, int value, int8_t row) {
  return Make(id, name, kPageRestorer, sub, TKind::Button, 152, "OK", {row, 10, 1, 2}, TForm::Plain, value);
}
// A sub-menu of a main-menu popup, and its entries (English in every language).
constexpr TControl SubMenu(int id, const char* name, const char* caption) {
  return Make(id, name, kPlaceMenu, 1, TKind::MenuPopup, 0, caption);
}
constexpr TControl ToolEntry(int id, const char* name, const char* caption) {
  return Make(id, name, kPlaceMenu, 1, TKind::MenuItem, 0, caption);
}
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
// Captions carry their mnemonic ("&"), as the language files do. Alt+F, R, W, H and U belong to
// the menu bar, so the controls of one page keep off them and off each other. Entries that are
// also a window caption, a message box caption or a report title (lng136, lng229, the Scan
// sub-page's boxes) carry none.
inline constexpr TControl kControls[] = {
    // The main window.
    rows::Make(100, "Form1", kPlaceMain, -1, TKind::Window, 0, "Burrow Sentry 1.8.4.0"),
    rows::Make(101, "Label3", kPlaceMain, -1, TKind::Link, 0, "www.orvatek.com"),
    rows::Make(300, "StatusBar1", kPlaceMain, -1, TKind::StatusBar, 0, "Windows startup and malware inspection"),
    // The page column, top to bottom.
    rows::PageButton(202, "AdvGlowButton2", 1, "&Analyzer", kPageAnalyzer),
    rows::PageButton(207, "AdvGlowButton7", 2, "&Settings", kPageSettings),
    rows::PageButton(201, "AdvGlowButton1", 136, "Restorer", kPageRestorer),
    rows::PageButton(204, "AdvGlowButton4", 187, "S&tartups", kPageStartups),
    rows::PageButton(205, "AdvGlowButton5", 192, "&Boot Files", kPageBoot),
    rows::PageButton(203, "AdvGlowButton3", 103, "Hosts F&ile", kPageHosts),
    rows::PageButton(208, "AdvGlowButton8", 217, "&Delete File", kPageDeleteFile),
    rows::PageButton(206, "AdvGlowButton6", 218, "BH&Os", kPageBhos),
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
    rows::Make(1001, "BitBtn1", kPageAnalyzer, -1, TKind::Button, 4, "S&can PC"),

    // Settings page: the sub-pages, then each sub-page's controls.
    rows::Make(2000, "AdvPC4", kPageSettings, -1, TKind::Page, 0, ""),
    rows::Tab(2001, "AdvTabSheet5", kGeneral, 130, "General"),
    rows::Tab(2002, "AdvTabSheet6", kReport, 131, "Report"),
    rows::Tab(2003, "AdvTabSheet7", kScan, 129, "Scan"),
    rows::Tab(2004, "AdvTabSheet8", kFiles, 133, "Files"),
    rows::Tab(2005, "AdvTabSheet9", kRegistry, 134, "Registry"),
    rows::Tab(2006, "AdvTabSheet10", kExclusions, 135, "Exclusions"),
    rows::Tab(2007, "AdvTabSheet11", kLanguage, 132, "Language"),

    rows::Check(2101, "CheckBox3", kGeneral, 9, "Stay always on top", "3", {0, 0, 1, 8}),
    rows::Check(2102, "CheckBox8", kGeneral, 190, "Work in background", "15", {1, 0, 1, 8}),
    rows::Check(2103, "CheckBox9", kGeneral, 191, "Try to reduce memory usage", "16", {2, 0, 1, 8}),
    rows::Check(2104, "CheckBox46", kGeneral, 0, "Create system restore point before run Restorer ", "32",
                {4, 0, 1, 10}),
    rows::Check(2105, "CheckBox49", kGeneral, 0, "Create system restore point before run Analyzer", "33",
                {5, 0, 1, 10}),

    rows::Check(2201, "CheckBox1", kReport, 10, "Copy the report to clipboard", "9", {0, 0, 1, 8}),
    rows::Check(2202, "CheckBox2", kReport, 11, "Save the report on Logs folder", "10", {1, 0, 1, 8}),
    rows::Check(2203, "CheckBox4", kReport, 12, "Open the report when finished", "11", {2, 1, 1, 8}),
    rows::Check(2204, "CheckBox6", kReport, 189, "Copy the report in the Desktop", "13", {3, 1, 1, 8}),

    rows::Check(2301, "CheckBox5", kScan, 74, "Exclude Microsoft System Files", "12", {0, 0, 1, 6}),
    rows::Check(2302, "CheckBox10", kScan, 127, "Show all ServiceDll ( CurrentControlSet\\Services )", "17",
                {1, 0, 1, 6}),
    rows::Check(2303, "CheckBox11", kScan, 128, "Show only Loaded Modules from suspicious folders", "18", {2, 0, 1, 6}),
    rows::Check(2304, "CheckBox45", kScan, 208, "Kernel Mode Info", "27", {3, 0, 1, 6}),
    rows::Check(2305, "CheckBox48", kScan, 209, "Ring3 API Hooks", "30", {4, 0, 1, 6}),
    rows::Check(2306, "CheckBox47", kScan, 113, "Unknown .SYS files", "29", {5, 0, 1, 6}),
    rows::Check(2307, "CheckBox50", kScan, 211, "Unknown files in CLSID", "31", {6, 0, 1, 6}),
    rows::Check(2311, "CheckBox51", kScan, 0, "Autostart and tampering sections", "ExtraSections", {7, 0, 1, 6}),
    rows::Radio(2308, "RadioButton9", 10, "28", {0, 6, 1, 6}),
    rows::Radio(2309, "RadioButton5", 15, "34", {1, 6, 1, 6}),
    rows::Radio(2310, "RadioButton8", 30, "35", {2, 6, 1, 6}),

    rows::Check(2401, "cb2", kFiles, 31, "Custom files listing", "4", {0, 0, 1, 8}),
    rows::Memo(2402, "ExeLister", kFiles, "Data\\exelist.txt", {1, 0, 12, 12}),

    rows::Check(2501, "cb5", kRegistry, 32, "Custom registry keys and values dump", "5", {0, 0, 1, 8}),
    rows::Memo(2502, "RegDump", kRegistry, "Data\\reglist.txt", {1, 0, 12, 12}),

    rows::Check(2601, "CheckBox7", kExclusions, 121, "Exclude files with following MD5 hashes", "14", {0, 0, 1, 8}),
    rows::Memo(2602, "ExclusionMemo", kExclusions, "Data\\exclist.txt", {1, 0, 8, 12}),
    rows::Setting(2603, "Label9", kExclusions, TKind::Label, 122, "Se&lect file:", {9, 0, 1, 4}),
    rows::Setting(2604, "Edit1", kExclusions, TKind::Edit, 0, "", {9, 4, 1, 7}),
    rows::Setting(2605, "Button5", kExclusions, TKind::Button, 0, "...", {9, 11, 1, 1}),
    rows::Setting(2606, "Label11", kExclusions, TKind::Label, 123, "Comme&nt:", {10, 0, 1, 4}),
    rows::Setting(2607, "Edit2", kExclusions, TKind::Edit, 0, "", {10, 4, 1, 7}),
    rows::Setting(2608, "Button7", kExclusions, TKind::Button, 0, "+", {10, 11, 1, 1}),
    rows::Setting(2609, "Label14", kExclusions, TKind::Label, 126, "Load from an e&xternal file:", {11, 0, 1, 4}),
    rows::Setting(2610, "Edit3", kExclusions, TKind::Edit, 0, "", {11, 4, 1, 7}),
    rows::Setting(2611, "Button8", kExclusions, TKind::Button, 0, "...", {11, 11, 1, 1}),

    rows::Setting(2701, "Label33", kLanguage, TKind::Label, 13, "Select &Language:", {0, 0, 1, 3}),
    rows::Make(2702, "cb", kPageSettings, kLanguage, TKind::Combo, 0, "English", {0, 3, 1, 4}, TForm::Plain, 0, "25"),

    // Startups page.
    rows::On(7100, "SLV", kPageStartups, -1, TKind::ListView, 0, "", {0, 0, 15, 12}),
    rows::Column(7101, "SLV_Value", kPageStartups, 193, "Value", 180),
    rows::Column(7102, "SLV_Data", kPageStartups, 194, "Data", 400),
    rows::Column(7103, "SLV_Key", kPageStartups, 195, "Key", 300),
    rows::Popup(7110, "PopupMenu2", kPageStartups),
    rows::Entry(7111, "Refresh2", kPageStartups, 197, "&Refresh"),
    rows::EntrySeparator(kPageStartups),
    rows::Entry(7112, "DeleteStartupItem1", kPageStartups, 196, "&Delete Startup Item"),
    rows::EntrySeparator(kPageStartups),
    rows::Entry(7113, "DeleteFile2", kPageStartups, 198, "&Open Containing Folder"),
    rows::Entry(7114, "ShowFileProperties2", kPageStartups, 199, "Show File &Properties"),

    // BHOs page.
    rows::On(7200, "BHO_LV", kPageBhos, -1, TKind::ListView, 0, "", {0, 0, 15, 12}),
    rows::Column(7201, "BHO_LV_File", kPageBhos, 50, "File", 300),
    // Not retranslated: the language entry of the Data column would head class identifiers "Data".
    rows::Column(7202, "BHO_LV_CLSID", kPageBhos, 0, "CLSID", 276),
    rows::Column(7203, "BHO_LV_Key", kPageBhos, 195, "Key", 200),
    rows::Popup(7210, "PopupMenu1", kPageBhos),
    rows::Entry(7211, "Refresh1", kPageBhos, 197, "&Refresh"),
    rows::EntrySeparator(kPageBhos),
    rows::Entry(7212, "OpenContainingFolder1", kPageBhos, 198, "&Open Containing Folder"),
    rows::Entry(7213, "ShowFileProperties1", kPageBhos, 199, "Show File &Properties"),

    // Hosts File page.
    rows::On(7300, "Memo2", kPageHosts, -1, TKind::Memo, 0, "", {0, 0, 14, 12}),
    rows::On(7301, "Button1", kPageHosts, -1, TKind::Button, 101, "Sa&ve", {14, 6, 1, 2}),
    rows::On(7302, "Button2", kPageHosts, -1, TKind::Button, 102, "Re&load", {14, 8, 1, 2}),
    rows::On(7303, "Button3", kPageHosts, -1, TKind::Button, 188, "&Notepad", {14, 10, 1, 2}),

    // Boot Files page: the sub-pages, then each one's editor and buttons.
    rows::On(7400, "AdvPC2", kPageBoot, -1, TKind::TabControl, 0, ""),
    rows::Sheet(7401, "AdvTabSheet1", kPageBoot, 0, "System.ini"),
    rows::Sheet(7402, "AdvTabSheet2", kPageBoot, 1, "Win.ini"),
    rows::Sheet(7403, "AdvTabSheet3", kPageBoot, 2, "Autoexec.bat"),
    rows::Sheet(7404, "AdvTabSheet4", kPageBoot, 3, "Boot.ini"),
    rows::On(7410, "SystemIni", kPageBoot, 0, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7411, "Button18", kPageBoot, 0, TKind::Button, 101, "Sa&ve", {12, 6, 1, 2}),
    rows::On(7412, "Button22", kPageBoot, 0, TKind::Button, 102, "Re&load", {12, 8, 1, 2}),
    rows::On(7413, "Button26", kPageBoot, 0, TKind::Button, 188, "&Notepad", {12, 10, 1, 2}),
    rows::On(7420, "WinIni", kPageBoot, 1, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7421, "Button19", kPageBoot, 1, TKind::Button, 101, "Sa&ve", {12, 6, 1, 2}),
    rows::On(7422, "Button23", kPageBoot, 1, TKind::Button, 102, "Re&load", {12, 8, 1, 2}),
    rows::On(7423, "Button27", kPageBoot, 1, TKind::Button, 188, "&Notepad", {12, 10, 1, 2}),
    rows::On(7430, "AutoexecBat", kPageBoot, 2, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7431, "Button20", kPageBoot, 2, TKind::Button, 101, "Sa&ve", {12, 6, 1, 2}),
    rows::On(7432, "Button24", kPageBoot, 2, TKind::Button, 102, "Re&load", {12, 8, 1, 2}),
    rows::On(7433, "Button28", kPageBoot, 2, TKind::Button, 188, "&Notepad", {12, 10, 1, 2}),
    rows::On(7440, "BootIni", kPageBoot, 3, TKind::Memo, 0, "", {0, 0, 12, 12}),
    rows::On(7441, "Button17", kPageBoot, 3, TKind::Button, 101, "Sa&ve", {12, 6, 1, 2}),
    rows::On(7442, "Button21", kPageBoot, 3, TKind::Button, 102, "Re&load", {12, 8, 1, 2}),
    rows::On(7443, "Button25", kPageBoot, 3, TKind::Button, 188, "&Notepad", {12, 10, 1, 2}),

    // Delete File page.
    rows::On(7500, "Label2", kPageDeleteFile, -1, TKind::Label, 223, "Select a fi&le you want to delete:", {0, 0, 1, 8}),
    rows::On(7501, "Edit11", kPageDeleteFile, -1, TKind::Edit, 0, "", {1, 0, 1, 11}),
    rows::On(7502, "Button4", kPageDeleteFile, -1, TKind::Button, 0, "...", {1, 11, 1, 1}),
    rows::On(7503, "Button6", kPageDeleteFile, -1, TKind::Button, 224, "D&elete", {2, 0, 1, 2}),
    // Restorer page: the sub-pages, each sub-page's controls, and "Apply" below them.
    rows::Make(1100, "AdvPC3", kPageRestorer, -1, TKind::Page, 0, ""),
    rows::RestorerTab(1101, "System_Hijacks_Tab", kSystemHijacks, 137, "System Hijacks"),
    rows::RestorerTab(1102, "General_Hijacks_Tab", kOtherHijacks, 138, "Other Hijacks"),
    rows::RestorerTab(1103, "Startup_Hijacks_Tab", kStartupHijacks, 139, "Startup Hijacks", TForm::TabNarrow),
    rows::RestorerTab(1104, "Safe_Mode_Tab", kSafeMode, 140, "Safe Mode"),
    rows::RestorerTab(1105, "IE_Urls_Tab", kIeUrls, 141, "IE Urls"),
    rows::RestorerTab(1106, "IE_Hijacks_Tab", kIeHijacks, 142, "IE Hijacks"),

    rows::Repair(1110, "CheckBox12", kSystemHijacks, 174, "Restore Registry Editor", 0, 0),
    rows::Repair(1111, "CheckBox13", kSystemHijacks, 175, "Restore Task Manager", 1, 1),
    rows::Repair(1112, "CheckBox14", kSystemHijacks, 176, "Restore CMD", 2, 2),
    rows::Repair(1113, "CheckBox27", kSystemHijacks, 177, "Delete DisallowRun Key", 3, 3),
    rows::Repair(1114, "CheckBox28", kSystemHijacks, 178, "Restore SHOWALL", 4, 4),
    rows::Repair(1115, "CheckBox29", kSystemHijacks, 179, "Enable Windows Firewall", 5, 5),
    rows::Repair(1116, "CheckBox30", kSystemHijacks, 180, "Enable Show Hidden Files", 6, 6),
    rows::Repair(1117, "CheckBox31", kSystemHijacks, 181, "Enable Show System Files", 7, 7),
    rows::Repair(1118, "CheckBox35", kSystemHijacks, 183, "Enable RequireSignedAppInit_DLLs", 9, 8),
    rows::Repair(1119, "CheckBox36", kSystemHijacks, 184, "Enable Folder Options", 10, 9),

    rows::Repair(1120, "CheckBox37", kOtherHijacks, 143, "Disable DisableSR", 31, 0),
    rows::Repair(1121, "CheckBox38", kOtherHijacks, 144, "Disable SFCDisable", 32, 1),
    rows::Repair(1122, "CheckBox39", kOtherHijacks, 145, "Enable SFCScan", 33, 2),
    rows::Repair(1123, "CheckBox40", kOtherHijacks, 146, "Enable SystemFileProtection Popups", 34, 3),
    rows::Repair(1124, "CheckBox41", kOtherHijacks, 147, "Delete LowRiskFileTypes", 35, 4),
    rows::Repair(1125, "CheckBox42", kOtherHijacks, 148, "Restore ChangingWallpaper", 36, 5),
    rows::Repair(1126, "CheckBox43", kOtherHijacks, 149, "Restore SetActiveDesktop", 37, 6),
    rows::Repair(1127, "CheckBox44", kOtherHijacks, 150, "Restore ActiveDesktopChanges", 38, 7),
    rows::Repair(1128, "CheckBox32", kOtherHijacks, 182, "Disable DCOM", 8, 8),

    rows::Repair(1130, "CheckBox15", kStartupHijacks, 164, "Restore Shell", 11, 0),
    rows::Repair(1131, "CheckBox16", kStartupHijacks, 165, "Restore Userinit", 12, 1),
    rows::Repair(1132, "CheckBox17", kStartupHijacks, 166, "Restore UIHost", 13, 2),
    rows::Repair(1133, "CheckBox18", kStartupHijacks, 167, "Restore HKCR\\exefile", 14, 3),
    rows::Repair(1134, "CheckBox19", kStartupHijacks, 168, "Restore HKCR\\comfile", 15, 4),
    rows::Repair(1135, "CheckBox20", kStartupHijacks, 169, "Restore HKCR\\batfile", 16, 5),
    rows::Repair(1136, "CheckBox21", kStartupHijacks, 170, "Restore HKCR\\scrfile", 17, 6),
    rows::Repair(1137, "CheckBox22", kStartupHijacks, 171, "Restore HKCR\\piffile", 18, 7),
    rows::Repair(1138, "CheckBox23", kStartupHijacks, 172, "Restore HKCR\\txtfile", 19, 8),
    rows::Repair(1139, "CheckBox24", kStartupHijacks, 173, "Delete Policies\\Explorer\\Run", 20, 9),

    rows::Make(1140, "Label27", kPageRestorer, kSafeMode, TKind::Label, 163, "Restore Safe Mode Registry Keys:",
               {0, 0, 1, 10}),
    rows::SafeModeRadio(1141, "RadioButton1", "Windows XP SP2 (32-bit)", 21, 1),
    rows::SafeModeRadio(1142, "RadioButton2", "Windows XP SP3  (32-bit)", 22, 2),
    rows::SafeModeRadio(1143, "RadioButton3", "Windows 2000 SP4 Pro  (32-bit)", 23, 3),
    rows::SafeModeRadio(1144, "RadioButton4", "Windows Server 2003 Standard R2 SP2  (32-bit)", 24, 4),
    rows::SafeModeRadio(1145, "RadioButton6", "Windows 7 Ultimate  (32-bit)", 25, 5),
    rows::SafeModeRadio(1146, "RadioButton7", "Windows 7 Ultimate  (64-bit)", 26, 6),

    rows::BrowserLabel(1150, "Label19", kIeUrls, 157, "Start Page", 0),
    rows::BrowserEdit(1151, "Edit4", kIeUrls, 0, 0),
    rows::BrowserOk(1152, "Button11", kIeUrls, 0, 0),
    rows::BrowserLabel(1153, "Label20", kIeUrls, 158, "Default_Search_URL", 1),
    rows::BrowserEdit(1154, "Edit5", kIeUrls, 1, 1),
    rows::BrowserOk(1155, "Button12", kIeUrls, 1, 1),
    rows::BrowserLabel(1156, "Label21", kIeUrls, 159, "Search Page", 2),
    rows::BrowserEdit(1157, "Edit6", kIeUrls, 2, 2),
    rows::BrowserOk(1158, "Button13", kIeUrls, 2, 2),
    rows::BrowserLabel(1159, "Label22", kIeUrls, 160, "Default_Page_URL", 3),
    rows::BrowserEdit(1160, "Edit7", kIeUrls, 3, 3),
    rows::BrowserOk(1161, "Button14", kIeUrls, 3, 3),
    rows::BrowserLabel(1162, "Label23", kIeUrls, 161, "SearchAssistant", 4),
    rows::BrowserEdit(1163, "Edit8", kIeUrls, 4, 4),
    rows::BrowserOk(1164, "Button15", kIeUrls, 4, 4),
    rows::BrowserLabel(1165, "Label25", kIeUrls, 162, "URLSearchHooks", 5),
    rows::BrowserEdit(1166, "Edit9", kIeUrls, 5, 5),
    rows::BrowserOk(1167, "Button16", kIeUrls, 5, 5),

    rows::BrowserLabel(1170, "Label26", kIeHijacks, 151, "Window Title", 0),
    rows::BrowserEdit(1171, "Edit10", kIeHijacks, 6, 0),
    rows::BrowserOk(1172, "Button10", kIeHijacks, 6, 0),
    rows::Repair(1173, "CheckBox25", kIeHijacks, 153, "Disable RunInvalidSignatures", 27, 2),
    rows::Repair(1174, "CheckBox26", kIeHijacks, 154, "Enable CheckExeSignatures", 28, 3),
    rows::Repair(1175, "CheckBox33", kIeHijacks, 155, "Enable DEP", 29, 4),
    rows::Repair(1176, "CheckBox34", kIeHijacks, 156, "Enable PhishingFilter", 30, 5),

    rows::Make(1180, "Button9", kPageRestorer, -1, TKind::Button, 185, "Apply", {0, 10, 1, 2}),

    // The main menu. Entries whose handler comes with a later page are shown greyed.
    rows::Menu(400, "File1", TKind::MenuPopup, 222, "&File"),
    rows::Menu(401, "Run1", TKind::MenuItem, 219, "Run..."),
    rows::Separator(),
    rows::Menu(402, "RebootSystem1", TKind::MenuItem, 220, "Reboot PC"),
    rows::Menu(403, "ShutdownPC1", TKind::MenuItem, 221, "Shutdown PC"),
    rows::Separator(),
    rows::Menu(404, "OpenLogs1", TKind::MenuItem, 33, "&Open Logs"),
    rows::Menu(405, "ClearLogs1", TKind::MenuItem, 34, "&Delete Logs"),
    rows::Separator(),
    rows::Menu(406, "Readme1", TKind::MenuItem, 35, "&Readme"),
    rows::Menu(407, "Eula1", TKind::MenuItem, 210, "&Eula"),
    rows::Separator(),
    rows::Menu(408, "Exit1", TKind::MenuItem, 36, "E&xit"),
    rows::Menu(410, "Resources1", TKind::MenuPopup, 37, "&Resources"),
    rows::Menu(411, "OnlineVirusScanner1", TKind::MenuItem, 41, "&Homepage", TForm::Maker),
    rows::Menu(412, "MalwareHash1", TKind::MenuItem, 42, "&Products", TForm::Maker),
    rows::Menu(413, "SecurityArticles1", TKind::MenuItem, 43, "&Services", TForm::Maker),
    // Windows Tools: two sub-menus; each entry is enabled at the first showing when its program exists.
    rows::Menu(440, "WindowsTools1", TKind::MenuPopup, 108, "&Windows Tools"),
    rows::SubMenu(441, "Security1", "Security"),
    rows::ToolEntry(450, "DOSPrompt1", "CMD DOS Prompt (cmd.exe)"),
    rows::ToolEntry(451, "DriverQuery1", "Driver Query (driverquery.exe)"),
    rows::ToolEntry(452, "MicrosoftMaliciousSoftwareRemovalTool1", "Malicious Software Removal Tool (mrt.exe)"),
    rows::ToolEntry(453, "Netstatnetstatexe1", "Netstat (netstat.exe)"),
    rows::ToolEntry(454, "RegistryEditorUtilityregedt32exe1", "Registry Editor Utility (regedt32.exe)"),
    rows::ToolEntry(455, "RegistryEditor1", "Registry Editor (regedit.exe)"),
    rows::ToolEntry(456, "ServicesManager1", "Services Manager (services.msc)"),
    rows::ToolEntry(457, "WindowsTaskmanager1", "Task Manager (taskmgr.exe)"),
    rows::Separator(),
    rows::SubMenu(442, "Utilities1", "Utilities"),
    rows::ToolEntry(460, "IexpressWizardiexpressexe1", "Iexpress Wizard (iexpress.exe)"),
    rows::ToolEntry(461, "EventViewereventvwrmsc1", "Event Viewer (eventvwr.msc)"),
    rows::ToolEntry(462, "LocalUsersManagerlusrmgrmsc1", "Local Users Manager (lusrmgr.msc)"),
    rows::ToolEntry(463, "MicrosoftManagementConsolemmcexe1", "Microsoft Management Console (mmc.exe)"),
    rows::ToolEntry(464, "MicrosoftMagnifiermagnifyexe1", "Magnifier (magnify.exe)"),
    rows::ToolEntry(465, "DebuggerpostmortemDottWatsondrwtsn32exe1", "Debugger postmortem Dott. Watson (drwtsn32.exe)"),
    rows::ToolEntry(466, "GroupPolicyEditorgpeditmsc1", "Group Policy Editor (gpedit.msc)"),
    rows::ToolEntry(467, "SystemConfigurationUtility1", "System Configuration Utility (msconfig.exe)"),
    rows::ToolEntry(468, "ComputerManagementcompmgmtmsc1", "Computer Management (compmgmt.msc)"),
    rows::ToolEntry(469, "DiskManagement1", "Disk Management (diskmgmt.msc)"),
    rows::ToolEntry(470, "WindowsCleanDiskManager1", "Clean Disk Manager (cleanmgr.exe)"),
    rows::Menu(420, "Help1", TKind::MenuPopup, 38, "&Help"),
    rows::Menu(421, "utorialandFAQs1", TKind::MenuItem, 39, "&Help File"),
    rows::Separator(),
    rows::Menu(422, "Info1", TKind::MenuItem, 44, "&Info..."),
    rows::Menu(430, "CheckforUpdates1", TKind::MenuItem, 229, "Update"),

    // The Update window.
    rows::Make(3000, "Form3", kPlaceUpdate, -1, TKind::Window, 229, "Update"),
    rows::Make(3001, "Label2", kPlaceUpdate, -1, TKind::Label, 229, "Update"),
    rows::Make(3002, "Label1", kPlaceUpdate, -1, TKind::Link, 94, "Check for Updates"),

    // The About box.
    rows::Make(3100, "Form2", kPlaceAbout, -1, TKind::Window, 0, "About"),
    rows::Make(3101, "Memo1", kPlaceAbout, -1, TKind::Memo, 0, ""),
    rows::Make(3102, "Button3", kPlaceAbout, -1, TKind::Button, 0, "&Homepage"),
    rows::Make(3103, "Button2", kPlaceAbout, -1, TKind::Button, 0, "&Support Forum"),
    rows::Make(3104, "Button1", kPlaceAbout, -1, TKind::Button, 0, "&Close"),
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
// The page button of `id`; null for any other control.
constexpr const TControl* FindPageButton(int id) {
  for (const TControl& c : kControls) {
    if (c.id == id && c.kind == TKind::PageButton) return &c;
  }
  return nullptr;
}
// A panel of the page area, shown by its page button. A page's own control of sub-pages (AdvPC3,
// AdvPC4) is a Page row too, but it stands for page index 0, not for its own page.
constexpr bool IsPagePanel(const TControl& c) {
  return c.kind == TKind::Page && c.place < kPageCount && c.sub < 0 && c.value == c.place;
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

}  // namespace app
