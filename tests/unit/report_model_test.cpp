// The report read back as structured data: line shapes, sections, the JSON document and its
// reader, and the comparison of two reports.
#include <gtest/gtest.h>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/frame.h"
#include "scan/json_text.h"
#include "scan/report_diff.h"
#include "scan/report_json.h"
#include "scan/report_model.h"
#include "tests/support/report_scenario.h"

namespace {

using scan::TEntryKind;
using scan::TReportEntry;

const std::string kMd5 = "0123456789abcdef0123456789abcdef";

TEST(ReportModel, LinesAreReadByTheirShape) {
  const scan::TReportWords words;
  const struct {
    const char* name;
    std::string line;
    TEntryKind kind;
    std::string path, company, created, attributes, marker;
    uint64_t size;
  } cases[] = {
      {"file line", "C:\\a.exe (10 bytes) (Acme) (1/2/2024 3:04:05) (--A-) (" + kMd5 + ")", TEntryKind::File,
       "C:\\a.exe", "Acme", "1/2/2024 3:04:05", "--A-", "", 10},
      {"' (' in the path, parentheses in the company",
       "C:\\Program Files (x86)\\b (1).exe (0 bytes) (Intel(R) Corp (EU)) (1/2/2024) (HS-R) (" + kMd5 + ")",
       TEntryKind::File, "C:\\Program Files (x86)\\b (1).exe", "Intel(R) Corp (EU)", "1/2/2024", "HS-R", "", 0},
      {"empty creation time of a vanished file", "C:\\gone.dll (0 bytes) (Unknown) () (----) (" + kMd5 + ")",
       TEntryKind::File, "C:\\gone.dll", "Unknown", "", "----", "", 0},
      {"marker after the digest", "C:\\n.exe (5 bytes) (Unknown) (1/1/2024) (--A-) (" + kMd5 + ") (created)",
       TEntryKind::File, "C:\\n.exe", "Unknown", "1/1/2024", "--A-", "created", 5},
      {"short line of the non accessible files", "C:\\s.sys (7 bytes) (Ms (c)) (" + kMd5 + ")",
       TEntryKind::ShortFile, "C:\\s.sys", "Ms (c)", "", "", "", 7},
      {"locked line", "C:\\x (1).exe (LOCKED)", TEntryKind::Locked, "C:\\x (1).exe", "", "", "", "", 0},
      {"hidden-file line", "C:\\h.sys (!!!POSSIBLE ROOTKIT IS HIDING FILES!!!)", TEntryKind::Hidden, "C:\\h.sys",
       "", "", "", "", 0},
      {"digest with capitals is no file line", "C:\\a (1 bytes) (A) () (----) (" + std::string(32, 'A') + ")",
       TEntryKind::Text, "", "", "", "", "", 0},
      {"size that overflows", "C:\\a (99999999999999999999 bytes) (A) () (----) (" + kMd5 + ")", TEntryKind::Text,
       "", "", "", "", "", 0},
      {"service line", "C:\\svc.exe (svc) (Service) (Acme) (" + kMd5 + ")", TEntryKind::Text, "", "", "", "", "", 0},
      {"plain text", "Windows: Windows XP Professional 32-bit", TEntryKind::Text, "", "", "", "", "", 0},
      {"connection line: four columns, no function", "svchost.exe -> 0.0.0.0:135 -> 0.0.0.0:0 -> LISTENING",
       TEntryKind::Text, "", "", "", "", "", 0},
      {"empty line", "", TEntryKind::Text, "", "", "", "", "", 0},
  };
  for (const auto& c : cases) {
    const TReportEntry e = scan::ClassifyEntry({c.line}, words);
    EXPECT_EQ(e.kind, c.kind) << c.name;
    EXPECT_EQ(e.lines, std::vector<std::string>{c.line}) << c.name;
    EXPECT_EQ(e.path, c.path) << c.name;
    EXPECT_EQ(e.company, c.company) << c.name;
    EXPECT_EQ(e.created, c.created) << c.name;
    EXPECT_EQ(e.attributes, c.attributes) << c.name;
    EXPECT_EQ(e.marker, c.marker) << c.name;
    EXPECT_EQ(e.size, c.size) << c.name;
    if (c.kind == TEntryKind::File) EXPECT_EQ(scan::FileLineOf(e), c.line) << c.name;
  }
}

TEST(ReportModel, HookLinesAndValueEntriesHaveTheirFields) {
  const scan::TReportWords words;
  const TReportEntry hook =
      scan::ClassifyEntry({"C:\\WINDOWS\\explorer.exe -> KERNEL32.DLL->CreateProcessW -> hook.dll -> Inline JMP 0xE9"}, words);
  EXPECT_EQ(hook.kind, TEntryKind::Hook);
  EXPECT_EQ(hook.process, "C:\\WINDOWS\\explorer.exe");
  EXPECT_EQ(hook.function, "KERNEL32.DLL->CreateProcessW");
  EXPECT_EQ(hook.target, "hook.dll");
  EXPECT_EQ(hook.hookKind, "Inline JMP 0xE9");

  const TReportEntry value = scan::ClassifyEntry(
      {"Value: Name: with colon", "Data: first", "second", "CLSID: {1234}", "Key: HKEY_CLASSES_ROOT\\CLSID", ""}, words);
  EXPECT_EQ(value.kind, TEntryKind::Value);
  EXPECT_EQ(value.value, "Name: with colon");
  EXPECT_EQ(value.data, "first\r\nsecond");
  EXPECT_EQ(value.extra, std::vector<std::string>{"CLSID: {1234}"});
  EXPECT_EQ(value.key, "HKEY_CLASSES_ROOT\\CLSID");

  scan::TReportWords german;
  german.valueLabel = "Wert";
  german.dataLabel = "Daten";
  german.keyLabel = "Schl\xFC" "ssel";
  EXPECT_EQ(scan::ClassifyEntry({"Wert: a", "Daten: b", "Schl\xFC" "ssel: HKEY_X", ""}, german).kind, TEntryKind::Value);
  EXPECT_EQ(scan::ClassifyEntry({"Wert: a", "Daten: b", "Schl\xFC" "ssel: HKEY_X", ""}, words).kind, TEntryKind::Text);
}

// A hostile value whose data looks like the end of a section and a banner: read from the items,
// it stays one entry of its section; the text gives the same model for an ordinary report.
TEST(ReportModel, SectionsComeFromTheItemsAndTheTextGivesTheSameModel) {
  scan::TReportWords words;
  words.titles = {"Registry startups", "Hosts file"};
  const std::vector<std::string> items = {
      "Burrow Sentry 1.8.4.0", "http://x", "Log created on 1/1/2024 at 10:00:00", "",
      "[+] Registry startups", "",
      "Value: evil\r\nData: x\r\n\r\n[+] Hosts file\r\n\r\n127.0.0.1 y\r\nKey: HKEY_LOCAL_MACHINE\\Run\r\n",
      "Value: ok\r\nData: C:\\ok.exe\r\nKey: HKEY_LOCAL_MACHINE\\Run\r\n",
      "",
      "[+] Hosts file", "",
      "127.0.0.1 localhost", "",
      "(!!!POSSIBLE ROOTKIT DETECTED!!!)", "",
      "---", "Finish [ 0:0:1 ]"};
  const scan::TReportModel model = scan::ParseReportItems(items, words);
  EXPECT_EQ(model.header, (std::vector<std::string>{items[0], items[1], items[2]}));
  EXPECT_EQ(model.footer, (std::vector<std::string>{"---", "Finish [ 0:0:1 ]"}));
  ASSERT_EQ(model.sections.size(), 2u);
  ASSERT_EQ(model.sections[0].entries.size(), 2u);
  EXPECT_EQ(model.sections[0].entries[0].kind, TEntryKind::Value);
  EXPECT_EQ(model.sections[0].entries[0].data, "x\r\n\r\n[+] Hosts file\r\n\r\n127.0.0.1 y");
  ASSERT_EQ(model.sections[1].entries.size(), 3u);  // the verdict after the last section stays in it
  EXPECT_EQ(model.sections[1].entries[2].lines[0], "(!!!POSSIBLE ROOTKIT DETECTED!!!)");

  scan::TReport report;
  for (const auto& item : items) report.Add(item);
  EXPECT_EQ(scan::RenderReportText(model), report.Text());

  // An ordinary report: the text alone gives the same sections and entries.
  std::vector<std::string> plain = items;
  plain.erase(plain.begin() + 6);
  const scan::TReportModel fromItems = scan::ParseReportItems(plain, words);
  const scan::TReportModel fromText = scan::ParseReportText(scan::RenderReportText(fromItems), scan::TReportWords{});
  ASSERT_EQ(fromText.sections.size(), fromItems.sections.size());
  for (size_t s = 0; s < fromText.sections.size(); ++s) {
    ASSERT_EQ(fromText.sections[s].entries.size(), fromItems.sections[s].entries.size()) << s;
    for (size_t e = 0; e < fromText.sections[s].entries.size(); ++e) {
      EXPECT_EQ(fromText.sections[s].entries[e].lines, fromItems.sections[s].entries[e].lines);
      EXPECT_EQ(fromText.sections[s].entries[e].kind, fromItems.sections[s].entries[e].kind);
    }
  }
}

class ReportJsonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.Install();
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
  scan::TReport Scan() {
    scan::TReport report;
    bs_test::NullDisplay display;
    const scan::TScanOptions options = bs_test::ScenarioOptions();
    scan::ScanThread(report, options, display);
    return report;
  }
  platform::fake::Machine machine;
};

// The whole report of a scan goes through JSON and back without losing a line; non-ASCII text
// is UTF-8 there.
TEST_F(ReportJsonTest, ScannedReportSurvivesJsonAndBack) {
  bs_test::SeedReportScenario(machine, 5, 6);
  const scan::TReport report = Scan();
  const scan::TReportWords words = scan::CurrentReportWords(nullptr);
  const scan::TScanOptions options = bs_test::ScenarioOptions();
  const scan::TReportModel model = scan::Utf8ReportModel(report, scan::CurrentReportWords(&options));
  const std::string json = scan::ReportJson(model);
  EXPECT_NE(json.find("Caf\xC3\xA9\\\\\\\"quoted\\\" \\\\ tab\\there.exe"), std::string::npos) << json;

  std::string error;
  const auto back = scan::ReportModelFromJson(json, scan::Utf8Words(words), &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(scan::RenderReportText(*back), platform::Sys().AnsiToUtf8(report.Text()));

  size_t files = 0, values = 0;
  for (const auto& section : back->sections) {
    for (const auto& e : section.entries) {
      files += e.kind == TEntryKind::File;
      values += e.kind == TEntryKind::Value;
    }
  }
  EXPECT_GE(values, 5u);
  EXPECT_GE(files, 3u);
}

TEST(JsonReader, RejectsWhatIsNoJsonAndDecodesEscapes) {
  const char* bad[] = {
      "", "{", "{\"a\": }", "[1, 2", "\"\\ud800\"", "\"\\udc00\"", "\"a\nb\"", "01", "{} x", "\"\\x\"",
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(scan::ParseJson(text, &error)) << text;
    EXPECT_NE(error.find("at byte"), std::string::npos) << text;
  }
  std::string error;
  EXPECT_FALSE(scan::ParseJson(std::string(100, '[') + std::string(100, ']'), &error));
  EXPECT_NE(error.find("nested"), std::string::npos);

  const auto value = scan::ParseJson(R"({"s": "\u00e9\ud83d\ude00\/\t", "n": -1.5e2, "t": [true, null]})", &error);
  ASSERT_TRUE(value) << error;
  EXPECT_EQ(*value->Member("s")->String(), "\xC3\xA9\xF0\x9F\x98\x80/\t");
  EXPECT_EQ(value->Member("n")->number, -150.0);
  EXPECT_EQ(value->Member("t")->Array()->size(), 2u);

  std::string escaped;
  scan::AppendJsonString(escaped, std::string("q\"b\\\x01\r\n", 7));
  EXPECT_EQ(escaped, "\"q\\\"b\\\\\\u0001\\r\\n\"");
  EXPECT_EQ(*scan::ParseJson(escaped, &error)->String(), std::string("q\"b\\\x01\r\n", 7));
}

TEST(JsonReader, ReportsThatAreNoReportsAreNamed) {
  const struct {
    const char* json;
    const char* message;
  } cases[] = {
      {"{\"sections\": []}", "format"},
      {"{\"format\": \"burrow-sentry-report\"}", "sections"},
      {"{\"format\": \"burrow-sentry-report\", \"sections\": [{\"title\": \"T\"}]}", "title or entries"},
      {"{\"format\": \"burrow-sentry-report\", \"sections\": [{\"title\": \"T\", \"entries\": [{\"kind\": \"text\"}]}]}",
       "lines"},
      {"{\"format\": \"burrow-sentry-report\", \"header\": 1, \"sections\": []}", "header"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(scan::ReportModelFromJson(c.json, scan::TReportWords{}, &error)) << c.json;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.json << ": " << error;
  }
}

// Two text reports as a scan would write them, from a template of sections.
std::string TextReport(const std::string& created, const std::string& finish,
                       const std::vector<std::pair<std::string, std::vector<std::string>>>& sections) {
  std::string text = "Burrow Sentry 1.8.4.0\r\nhttp://x\r\nLog created on " + created + "\r\n\r\n";
  for (const auto& [title, lines] : sections) {
    text += "[+] " + title + "\r\n\r\n";
    for (const auto& line : lines) text += line + "\r\n";
    text += "\r\n";
  }
  return text + "---\r\nFinish [ " + finish + " ]\r\n";
}

std::string File(const std::string& path, const std::string& created) {
  return path + " (10 bytes) (Acme) (" + created + ") (--A-) (" + kMd5 + ")";
}

std::string Diff(const std::string& before, const std::string& after, bool exact) {
  const scan::TReportWords words;
  std::string error;
  const auto a = scan::LoadReportModel(before, words, &error);
  const auto b = scan::LoadReportModel(after, words, &error);
  EXPECT_TRUE(a && b) << error;
  return a && b ? scan::DiffReports(*a, *b, words, exact) : "";
}

TEST(ReportDiff, ComparesSectionsAsMultisetsAndLeavesOutWhatEveryRunChanges) {
  const std::string value = "Value: Evil\r\nData: C:\\evil.exe\r\nKey: HKEY_LOCAL_MACHINE\\Run\r\n";
  const std::string before = TextReport(
      "1/1/2024 at 10:00:00", "0:0:5",
      {{"Running processes", {File("C:\\a.exe", "1/1/2024"), File("C:\\b.exe", "1/1/2024"), "dup", "dup"}},
       {"Registry startups", {"Value: Old\r\nData: C:\\old.exe\r\nKey: HKEY_LOCAL_MACHINE\\Run\r\n"}},
       {"Hosts file", {"127.0.0.1 localhost"}}});
  // Reordered, one file re-created, one duplicate fewer, a value replaced, a section gone.
  const std::string after =
      TextReport("2/2/2024 at 11:11:11", "0:1:7",
                 {{"Running processes", {File("C:\\b.exe", "1/1/2024"), "dup", File("C:\\a.exe", "3/3/2024")}},
                  {"Registry startups", {value}}});

  EXPECT_EQ(Diff(before, after, false),
            "[+] Running processes\r\n"
            "- dup\r\n"
            "\r\n"
            "[+] Registry startups\r\n"
            "- Value: Old\r\n- Data: C:\\old.exe\r\n- Key: HKEY_LOCAL_MACHINE\\Run\r\n"
            "+ Value: Evil\r\n+ Data: C:\\evil.exe\r\n+ Key: HKEY_LOCAL_MACHINE\\Run\r\n"
            "\r\n"
            "[+] Hosts file\r\n"
            "- 127.0.0.1 localhost\r\n"
            "\r\n"
            "1 appeared, 3 disappeared\r\n");

  const std::string exact = Diff(before, after, true);
  for (const std::string& expected :
       {"- " + File("C:\\a.exe", "1/1/2024"), "+ " + File("C:\\a.exe", "3/3/2024"),
        std::string("- Log created on 1/1/2024 at 10:00:00"), std::string("+ Finish [ 0:1:7 ]")}) {
    EXPECT_NE(exact.find(expected + "\r\n"), std::string::npos) << expected << "\n" << exact;
  }
  EXPECT_EQ(Diff(after, after, false), "0 appeared, 0 disappeared\r\n");
}

// Appeared lines in a stable order, whatever the order of the report; JSON and text alike.
TEST(ReportDiff, OrderOfTheReportsDoesNotChangeTheOutputAndJsonComparesWithText) {
  const std::string base = TextReport("t", "0:0:1", {{"Startup folders", {"C:\\keep.lnk"}}});
  const std::string one = TextReport("t", "0:0:1", {{"Startup folders", {"C:\\z.lnk", "C:\\keep.lnk", "C:\\a.lnk"}}});
  const std::string two = TextReport("t", "0:0:1", {{"Startup folders", {"C:\\a.lnk", "C:\\z.lnk", "C:\\keep.lnk"}}});
  const std::string expected = "[+] Startup folders\r\n+ C:\\a.lnk\r\n+ C:\\z.lnk\r\n\r\n2 appeared, 0 disappeared\r\n";
  EXPECT_EQ(Diff(base, one, false), expected);
  EXPECT_EQ(Diff(base, two, false), expected);

  const std::string json = scan::ReportJson(scan::ParseReportText(two, scan::TReportWords{}));
  EXPECT_EQ(Diff(base, "\xEF\xBB\xBF  " + json, false), expected);
  EXPECT_EQ(Diff(json, two, true), "0 appeared, 0 disappeared\r\n");
}

}  // namespace
