// Browser settings, trusted sites, firewall programs and the hosts file over the fake.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/registry.h"
#include "platform/fake/fake_machine.h"
#include "scan/browser_network.h"
#include "scan/file_lines.h"
#include "scan/sections.h"
#include "tests/support/scan_helpers.h"

namespace {

namespace win = platform::win;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::fake::Machine;
using bs_test::ReportItems;
using scan::TReport;

const char kMain[] = "\\Software\\Microsoft\\Internet Explorer\\Main";
const char kHosts[] = "C:\\WINDOWS\\system32\\drivers\\etc\\hosts";

class BrowserNetwork : public ::testing::Test {
 protected:
  void SetUp() override { m.Install(); }
  std::vector<std::string> Hosts(const std::string& contents) {
    m.AddFile(kHosts, contents);
    TReport report;
    scan::WriteHostsFile(report, {});
    return ReportItems(report);
  }
  Machine m;
};

TEST_F(BrowserNetwork, UrlValueTable) {
  struct Case {
    std::string text;
    uint32_t type;
    bool reported;
  } cases[] = {
      {"Home", win::kRegSz, false},  // exactly this word, letter case counting
      {"home", win::kRegSz, true},
      {"HOME", win::kRegSz, true},
      {"", win::kRegSz, false},
      {"about:blank", win::kRegSz, false},
      {"ABOUT:BLANK", win::kRegSz, false},
      {"about:blank#", win::kRegSz, true},
      {" about:blank\t", win::kRegExpandSz, false},  // shown as stored, tested trimmed
      {"http://www.google.com/", win::kRegSz, false},
      {"http://www.google.co.uk/", win::kRegSz, true},
      {"res://ieframe.dll/navcancl.htm", win::kRegSz, false},
      {"res://ieframe.dll/dnserror.htm", win::kRegSz, true},
      {"http://search.hijacked-start.example/", win::kRegSz, true},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.Install();
    machine.SetString(kHkeyCurrentUser, kMain + 1, "Start Page", c.text, c.type);
    TReport report;
    scan::ReportUrlValue(report, kMain, "Start Page", kHkeyCurrentUser);
    const std::vector<std::string> expected =
        c.reported ? std::vector<std::string>{inspect::ValueEntry("Start Page", c.text,
                                                                  std::string("HKEY_CURRENT_USER") + kMain)}
                   : std::vector<std::string>{};
    EXPECT_EQ(ReportItems(report), expected) << "\"" << c.text << "\"";
  }
}

TEST_F(BrowserNetwork, UrlValueNamesMatchInAnyLetterCase) {
  m.SetString(kHkeyCurrentUser, kMain + 1, "start page", "http://a.example/");
  m.SetValue(kHkeyCurrentUser, kMain + 1, "Search Page", win::kRegMultiSz, {'x', 0, 0});
  TReport report;
  scan::ReportUrlValue(report, kMain, "Start Page", kHkeyLocalMachine);  // no such key
  EXPECT_EQ(report.Count(), 0u);
  scan::ReportUrlValue(report, kMain, "Start Page", kHkeyCurrentUser);
  scan::ReportUrlValue(report, kMain, "Search Page", kHkeyCurrentUser);
  const std::string key = std::string("HKEY_CURRENT_USER") + kMain;
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{inspect::ValueEntry("start page", "http://a.example/", key),
                                                           inspect::ValueEntry("Search Page", "Unknown", key)}));
}

TEST_F(BrowserNetwork, IeSettingsInRowOrder) {
  const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  const std::string download = "Software\\Microsoft\\Internet Explorer\\Download";
  const std::string about = "SOFTWARE\\Microsoft\\Internet Explorer\\AboutURLs";
  m.SetString(kHkeyCurrentUser, download, "CheckExeSignatures", "no");
  m.SetDword(kHkeyCurrentUser, download, "RunInvalidSignatures", 1);
  m.SetString(kHkeyCurrentUser, settings, "ProxyServer", "127.0.0.1:8080");
  m.SetString(kHkeyCurrentUser, settings, "ProxyOverride", "*.LOCAL");
  m.SetString(kHkeyLocalMachine, about, "blank", "res://mshtml.dll/blank.htm");
  m.SetString(kHkeyLocalMachine, about, "Tabs", "http://tabs.example/");
  m.SetString(kHkeyCurrentUser, "Software\\Microsoft\\Internet Explorer", "URLSearchHooks", "http://hook.example/");
  m.SetString(kHkeyCurrentUser, "Software\\Microsoft\\Internet Explorer\\URLSearchHooks",
              "{CFBFAE00-17A6-11D0-99CB-00C04FD64497}", "");
  m.SetString(kHkeyCurrentUser, kMain + 1, "Start Page", "http://start.example/");
  m.SetString(kHkeyLocalMachine, kMain + 1, "Start Page", "http://www.msn.com/");
  TReport report;
  scan::WriteIeSettings(report, {});
  const std::string hkcu = "HKEY_CURRENT_USER\\";
  EXPECT_EQ(ReportItems(report),
            (std::vector<std::string>{
                inspect::ValueEntry("Start Page", "http://start.example/", hkcu + (kMain + 1)),
                inspect::ValueEntry("URLSearchHooks", "http://hook.example/",
                                    hkcu + "Software\\Microsoft\\Internet Explorer"),
                inspect::ValueEntry("ProxyServer", "127.0.0.1:8080", hkcu + settings),
                inspect::ValueEntry("Tabs", "http://tabs.example/", "HKEY_LOCAL_MACHINE\\" + about),
                inspect::ValueEntry("RunInvalidSignatures", "1", hkcu + download),
                inspect::ValueEntry("CheckExeSignatures", "no", hkcu + download),
            }));
}

TEST_F(BrowserNetwork, TrustedSitesWithHttpInZoneTwo) {
  const std::string domains = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
  m.SetDword(kHkeyCurrentUser, domains + "\\evil.example", "http", 2);
  m.SetString(kHkeyCurrentUser, domains + "\\string.example", "http", "2");
  m.SetDword(kHkeyCurrentUser, domains + "\\intranet.example", "http", 1);
  m.SetDword(kHkeyCurrentUser, domains + "\\blocked.example", "http", 4);
  m.SetDword(kHkeyCurrentUser, domains + "\\secure.example", "https", 2);
  m.SetDword(kHkeyCurrentUser, domains + "\\deep.example\\www", "http", 2);  // a host below a domain
  m.SetDword(kHkeyCurrentUser, domains + "\\zz-denied.example", "http", 2);
  m.DenyKey(kHkeyCurrentUser, domains + "\\zz-denied.example");  // cannot be opened: skipped
  TReport report;
  scan::WriteTrustedSites(report, "\\" + domains, kHkeyCurrentUser);
  const std::string prefix = "HKEY_CURRENT_USER\\" + domains + "\\";
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{prefix + "evil.example", prefix + "string.example"}));
}

TEST_F(BrowserNetwork, FirewallProgramsLeaveOutTheRemoteAssistant) {
  const std::string list = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
                           "StandardProfile\\AuthorizedApplications\\List";
  const std::string excluded = "%windir%\\system32\\sessmgr.exe";
  m.SetString(kHkeyLocalMachine, list, "%WINDIR%\\System32\\sessmgr.exe",
              "%windir%\\system32\\sessmgr.exe:*:enabled:@xpsp2res.dll,-22019");
  TReport report;
  scan::ListFirewallPrograms(report, "\\" + list, kHkeyLocalMachine, excluded);
  EXPECT_EQ(report.Count(), 0u);

  m.SetString(kHkeyLocalMachine, list, "C:\\evil\\bot.exe", "C:\\evil\\bot.exe:*:Enabled:bot");
  m.SetString(kHkeyLocalMachine, list, "C:\\empty.exe", "");
  scan::ListFirewallPrograms(report, "\\" + list, kHkeyLocalMachine, excluded);
  const std::string key = "HKEY_LOCAL_MACHINE\\" + list;
  EXPECT_EQ(ReportItems(report), (std::vector<std::string>{
                               inspect::ValueEntry("C:\\evil\\bot.exe", "C:\\evil\\bot.exe:*:Enabled:bot", key),
                               inspect::ValueEntry("C:\\empty.exe", "", key),
                           }));
}

TEST_F(BrowserNetwork, HostsLinesTable) {
  struct Case {
    std::string line;
    bool listed;
  } cases[] = {
      {"127.0.0.1 www.google.com", true},
      {"0.0.0.0 ads.example.com", true},
      {"10.0.0.1 intranet", true},  // the address's own dots count
      {"127.0.0.1 localhost", false},
      {"127.0.0.1      localhost", false},
      {"   127.0.0.1   localhost   ", false},
      {"127.0.0.1 localhost.localdomain", false},  // begins with "localhost": contained
      {"127.0.0.1 localhostevil.example", false},
      {"127.0.0.1\tlocalhost", true},  // tabs are not blanks
      {"# 127.0.0.1 evil.example.com", false},
      {"127.0.0.1 evil.example.com # moved", false},
      {"#", false},
      {"::1 localhost", false},
      {"::1 ip6-localhost.lan", false},
      {"fe80::1%lo0 localhost", false},
      {"", false},
      {"a.b", false},
      {"a.b.c", true},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> expected = c.listed ? std::vector<std::string>{c.line} : std::vector<std::string>{};
    EXPECT_EQ(Hosts(c.line + "\r\n"), expected) << "\"" << c.line << "\"";
  }
}

TEST_F(BrowserNetwork, HostsLinesInFileOrderWhateverTheLineEnds) {
  EXPECT_EQ(Hosts("1.2.3.4 a.example\r\n127.0.0.1 localhost\n5.6.7.8 b.example \r9.9.9.9 c.example"),
            (std::vector<std::string>{"1.2.3.4 a.example", "5.6.7.8 b.example ", "9.9.9.9 c.example"}));
}

TEST_F(BrowserNetwork, MissingOrEmptyHostsFileGivesNothing) {
  TReport report;
  scan::WriteHostsFile(report, {});
  EXPECT_EQ(report.Count(), 0u);
  EXPECT_EQ(Hosts(""), std::vector<std::string>{});
}

TEST_F(BrowserNetwork, UnreadableHostsFileIsNoted) {
  m.AddFile(kHosts, "1.2.3.4 evil.example.com\r\n").lockedExclusive = true;
  TReport report;
  scan::WriteHostsFile(report, {});
  EXPECT_EQ(ReportItems(report), std::vector<std::string>{scan::LockedLine(kHosts)});
}

TEST(HasSecondDot, CountsDots) {
  EXPECT_FALSE(scan::HasSecondDot(""));
  EXPECT_FALSE(scan::HasSecondDot("a.b"));
  EXPECT_TRUE(scan::HasSecondDot(".."));
  EXPECT_TRUE(scan::HasSecondDot("127.0.0.1"));
}

}  // namespace
