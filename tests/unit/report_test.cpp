// TReport: items, whole text, and the case-insensitive look-up behind duplicate suppression.
#include <gtest/gtest.h>

#include "inspect/text.h"
#include "scan/report.h"

namespace {

TEST(ReportTest, TextAndLookUp) {
  scan::TReport report;
  report.Add("C:\\WINDOWS\\a.exe");
  report.Add("");
  report.Add("Value: x\r\nData: y\r\nKey: z\r\n");
  report.Add("c:\\windows\\A.EXE");
  EXPECT_EQ(report.Text(), "C:\\WINDOWS\\a.exe\r\n\r\nValue: x\r\nData: y\r\nKey: z\r\n\r\nc:\\windows\\A.EXE\r\n");
  EXPECT_EQ(report.Count(), 4u);
  EXPECT_EQ(report.IndexOf("c:\\Windows\\a.EXE"), 0);  // the first of equal items
  EXPECT_EQ(report.IndexOf(""), 1);
  EXPECT_EQ(report.IndexOf("Value: x"), -1);  // whole items only
  EXPECT_EQ(report.IndexOf("missing"), -1);
  EXPECT_EQ(scan::TReport().Text(), "");
}

// The index answers what a walk over every item with the same case rule would: ASCII letters
// fold, every other byte (code page letters such as 0xE9 and 0xC9 included) compares exactly.
TEST(ReportTest, LookUpMatchesAWalkForEveryByte) {
  scan::TReport report;
  std::vector<std::string> items;
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    for (const std::string& item : {std::string("C:\\") + c + ".exe", std::string(1, c)}) {
      report.Add(item);
      items.push_back(item);
    }
  }
  auto walk = [&](const std::string& wanted) -> long {
    for (size_t i = 0; i < items.size(); ++i) {
      if (inspect::EqualNoCase(items[i], wanted)) return static_cast<long>(i);
    }
    return -1;
  };
  for (const std::string& item : items) {
    for (const std::string& query : {item, inspect::UpperAscii(item)}) {
      EXPECT_EQ(report.IndexOf(query), walk(query)) << static_cast<int>(static_cast<unsigned char>(query.back()));
    }
  }
  EXPECT_EQ(report.IndexOf("C:\\a.EXE"), report.IndexOf("c:\\A.exe"));
  EXPECT_NE(report.IndexOf("C:\\\xE9.exe"), report.IndexOf("C:\\\xC9.exe"));
}

}  // namespace
