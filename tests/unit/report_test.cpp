// TReport: items, whole text, and the case-insensitive look-up behind duplicate suppression.
#include <gtest/gtest.h>

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

}  // namespace
