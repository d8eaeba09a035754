// Browser pages, trusted sites, firewall exceptions and the hosts file.
#include "scan/browser_network.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "inspect/files.h"
#include "inspect/key_paths.h"
#include "inspect/registry.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "scan/file_lines.h"
#include "scan/sections.h"
#include "scan/value_checks.h"
#include "scan/wildcard.h"

namespace scan {

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

// Addresses a clean browser may hold: the big search portals and the browser's own pages.
// Site names: google, hp, microsoft, msn, yahoo. ("?\?/" keeps "??/" from reading as a trigraph.)
constexpr const char* KnownPageWhitelist[] = {
    "http://www.google.??\?/", "http://www.google.??\?/*", "http://www.google.???",
    "http://www.google.?\?/",  "http://www.google.?\?/*",  "http://www.google.??",
    "http://google.??\?/",     "http://google.??\?/*",     "http://google.???",
    "http://google.?\?/",      "http://google.?\?/*",      "http://google.??",
    "http://*.google.??\?/",   "http://*.google.??\?/*",   "http://*.google.???",
    "http://*.google.?\?/",    "http://*.google.?\?/*",    "http://*.google.??",

    "http://*.hp.??\?/", "http://*.hp.??\?/*", "http://*.hp.???",
    "http://hp.??\?/",   "http://hp.??\?/*",   "http://hp.???",

    "Preserve",

    "http://www.microsoft.com/", "http://www.microsoft.com/*", "http://*.microsoft.com/*",
    "http://*.microsoft.com/",   "http://www.microsoft.com",   "http://*.microsoft.com",

    "http://*.msn.??\?/", "http://*.msn.??\?/*", "http://*.msn.???",
    "http://*.msn.?\?/",  "http://*.msn.?\?/*",  "http://*.msn.??",
    "http://msn.??\?/*",  "http://msn.?\?/*",    "http://msn.???", "http://msn.??",

    "http://*.yahoo.??\?/", "http://*.yahoo.??\?/*", "http://*.yahoo.???",
    "http://*.yahoo.?\?/",  "http://*.yahoo.?\?/*",  "http://*.yahoo.??",
    "http://yahoo.??\?/",   "http://yahoo.??\?/*",   "http://yahoo.?\?/",
    "http://yahoo.?\?/*",   "http://yahoo.???",     "http://yahoo.??",

    "res://shdoclc.dll/navcancl.htm",      "res://shdoclc.dll/offcancl.htm",
    "res://mshtml.dll/blank.htm",          "res://mshtml.dll/repost.htm",
    "res://ieframe.dll/navcancl.htm",      "res://ieframe.dll/repost.htm",
    "res://ieframe.dll/inprivate.htm",     "res://ieframe.dll/noaddon.htm",
    "res://ieframe.dll/noaddoninfo.htm",   "res://ieframe.dll/offcancl.htm",
    "res://ieframe.dll/securityatrisk.htm", "res://ieframe.dll/tabswelcome.htm",

    "about:blank",
};
static_assert(std::size(KnownPageWhitelist) == 66);

enum class TIeCheck { Url, Named, IfNot, IfEquals };

struct TIeRow {
  RegKey root;
  const char* key;
  const char* value;
  TIeCheck check;
  const char* expected;
};

constexpr const char* kMain = inspect::keys::kInternetExplorerMain;
constexpr const char* kAboutUrls = "\\SOFTWARE\\Microsoft\\Internet Explorer\\AboutURLs";
constexpr const char* kSearch = inspect::keys::kInternetExplorerSearch;
constexpr const char* kInternetSettings = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kDownload = inspect::keys::kInternetExplorerDownload;
constexpr RegKey kLm = kHkeyLocalMachine;
constexpr RegKey kCu = kHkeyCurrentUser;
using C = TIeCheck;

// clang-format off
constexpr TIeRow kIeRows[] = {
  {kLm, kMain,              "Start Page",                   C::Url,      nullptr},
  {kCu, kMain,              "Start Page",                   C::Url,      nullptr},
  {kLm, kMain,              "Default_Search_URL",           C::Url,      nullptr},
  {kCu, kMain,              "Default_Search_URL",           C::Url,      nullptr},
  {kCu, kMain,              "Search Bar",                   C::Url,      nullptr},
  {kCu, kMain,              "Search Page",                  C::Url,      nullptr},
  {kLm, kMain,              "Search Page",                  C::Url,      nullptr},
  {kCu, kMain,              "Window Title",                 C::Url,      nullptr},
  {kLm, kMain,              "Default_Page_URL",             C::Url,      nullptr},
  {kLm, kSearch,            "SearchAssistant",              C::Url,      nullptr},
  {kCu, kSearch,            "SearchAssistant",              C::Url,      nullptr},
  {kCu, kMain,              "SearchMigratedDefaultURL",     C::Url,      nullptr},
  // A value of this name right under the browser key, not the subkey of the same name.
  {kCu, inspect::keys::kInternetExplorer, "URLSearchHooks", C::Url, nullptr},
  {kCu, kInternetSettings,  "AutoConfigURL",                C::Named,    nullptr},
  {kCu, kInternetSettings,  "ProxyOverride",                C::IfNot,    "*.local"},
  {kCu, kInternetSettings,  "ProxyServer",                  C::Named,    nullptr},
  {kLm, kAboutUrls,         "NavigationFailure",            C::Url,      nullptr},
  {kLm, kAboutUrls,         "DesktopItemNavigationFailure", C::Url,      nullptr},
  {kLm, kAboutUrls,         "NavigationCanceled",           C::Url,      nullptr},
  {kLm, kAboutUrls,         "OfflineInformation",           C::Url,      nullptr},
  {kLm, kAboutUrls,         "blank",                        C::Url,      nullptr},
  {kLm, kAboutUrls,         "PostNotCached",                C::Url,      nullptr},
  {kLm, kAboutUrls,         "NoAdd-onsInfo",                C::Url,      nullptr},
  {kLm, kAboutUrls,         "InPrivate",                    C::Url,      nullptr},
  {kLm, kAboutUrls,         "NoAdd-ons",                    C::Url,      nullptr},
  {kLm, kAboutUrls,         "Tabs",                         C::Url,      nullptr},
  {kLm, kAboutUrls,         "SecurityRisk",                 C::Url,      nullptr},
  {kCu, kDownload,          "RunInvalidSignatures",         C::IfEquals, "1"},
  {kCu, kDownload,          "CheckExeSignatures",           C::IfNot,    "yes"},
};
// clang-format on

constexpr std::string_view kHostsLoopback = "127.0.0.1localhost";

// A hosts line is listed unless it holds a comment, maps the loopback address to localhost
// (blanks ignored, tabs not) or has fewer than two dots. `packed` is scratch space.
bool IsListedHostsLine(std::string_view line, std::string& packed) {
  if (line.find('#') != std::string_view::npos) return false;
  packed.clear();
  for (char c : line) {
    if (c != ' ') packed += c;
  }
  if (packed.find(kHostsLoopback) != std::string::npos) return false;
  return HasSecondDot(line);
}

}  // namespace

bool IsKnownStartPage(const std::string& text) {
  if (text.empty()) return false;
  TWildCard matcher;
  const std::string upperText = inspect::UpperAscii(text);
  for (const char* pattern : KnownPageWhitelist) {
    if (matcher.WildMatch(upperText, inspect::UpperAscii(pattern))) return true;
  }
  return false;
}

void ReportUrlValue(TReport& report, const std::string& keyPath, const std::string& valueName, RegKey root) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value :
       ReadValueTexts(root, keyPath, [&](const std::string& name) { return inspect::EqualNoCase(name, valueName); })) {
    if (value.text.empty() || value.text == "Home" || IsKnownStartPage(inspect::TrimControls(value.text))) continue;
    report.Add(inspect::ValueEntry(value.name, value.text, keyText));
  }
}

bool HasSecondDot(std::string_view line) { return std::count(line.begin(), line.end(), '.') >= 2; }

void WriteIeSettings(TReport& report, const TScanOptions&) {
  for (const TIeRow& row : kIeRows) {
    switch (row.check) {
      case C::Url: ReportUrlValue(report, row.key, row.value, row.root); break;
      case C::Named: ReportNamedValue(report, row.key, row.value, row.root); break;
      case C::IfNot: ReportValueIfNot(report, row.key, row.value, row.root, row.expected); break;
      case C::IfEquals: ReportValueIfEquals(report, row.key, row.value, row.root, row.expected); break;
    }
  }
}

void WriteTrustedSites(TReport& report, const std::string& keyPath, RegKey root) {
  const std::vector<std::string> domains = inspect::ReaderSubkeyNames(root, keyPath);
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const std::string& domain : domains) {
    // Only the domain's own "http" value: host keys below it and other schemes are not looked at.
    for (const TValueText& value :
         ReadValueTexts(root, keyPath + "\\" + domain, [](const std::string& name) { return inspect::EqualNoCase(name, "http"); })) {
      if (value.text == "2") report.Add(keyText + "\\" + domain);
    }
  }
}

void ListFirewallPrograms(TReport& report, const std::string& keyPath, RegKey root,
                          const std::string& excludedValue) {
  const std::string keyText = inspect::RootKeyName(root) + keyPath;
  for (const TValueText& value : ReadValueTexts(root, keyPath, [&](const std::string& name) {
         return !inspect::EqualNoCase(name, excludedValue);
       })) {
    report.Add(inspect::ValueEntry(value.name, value.text, keyText));
  }
}

void WriteHostsFile(TReport& report, const TScanOptions&) {
  const std::string path = inspect::GetSystemDir() + "\\drivers\\etc\\hosts";
  // One read of the whole file: a hosts file of a hundred thousand lines is common after
  // some "ad-blocking" tools.
  const std::string text = inspect::ReadFileText(path);
  if (text.empty()) {
    // Present with contents, yet unreadable (held open without sharing, or denied).
    if (inspect::FileSizeOf(path) > 0) report.Add(LockedLine(path));
    return;
  }
  // Lines end with CR LF, LF or a lone CR.
  const std::string_view all = text;
  std::string packed;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(start, end - start);
    if (IsListedHostsLine(line, packed)) report.Add(std::string(line));
    start = end + (all.substr(end, 2) == "\r\n" ? 2 : 1);
  }
}

}  // namespace scan
