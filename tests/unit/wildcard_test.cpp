// The wildcard matcher and the start-page whitelist built on it.
#include <gtest/gtest.h>

#include <string>

#include "scan/browser_network.h"
#include "scan/wildcard.h"

namespace {

TEST(WildMatch, Table) {
  const std::string a299(299, 'a');
  struct Case {
    std::string text, pattern;
    bool match;
  } cases[] = {
      {"", "", true},
      {"", "*", true},
      {"", "**", true},
      {"*", "", true},
      {"", "*a", false},
      {"", "a", false},
      {"a", "", false},
      {"abc", "abc", true},
      {"abc", "abd", false},
      {"abc", "ab", false},
      {"ab", "abc", false},
      {"ABC", "abc", false},  // letters compare exactly
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abbc", "a?c", false},
      {"abc", "a*", true},
      {"abc", "*c", true},
      {"ac", "a*c", true},
      {"abc", "*b*", true},
      {"abc", "*d*", false},
      {"abcabd", "*ab?", true},
      {"abcabe", "*abd", false},
      {"mississippi", "m*iss*ppi", true},
      {"mississippi", "m*iss*ppx", false},
      {"abc", "a**c", true},
      // Wildcards in the text count like those of the pattern.
      {"a*", "abc", true},
      {"a?c", "abc", true},
      {"*", "anything at all", true},
      {"*c", "ab", false},
      {"a*c", "a*c", true},
      // "?" takes exactly one character of the other side, even a star.
      {"?", "*", true},
      {"??", "*", false},
      // Long texts: positions are not limited to 8 bits.
      {a299 + "b", "*b", true},
      {a299 + "b", "*c", false},
      {a299 + "b", a299 + "?", true},
      {a299, std::string(298, 'a'), false},
      {"x" + a299, "?" + std::string(299, '?'), true},
  };
  scan::TWildCard matcher;  // one matcher for all: no state may leak between calls
  for (const Case& c : cases) {
    EXPECT_EQ(matcher.WildMatch(c.text, c.pattern), c.match)
        << "text \"" << c.text.substr(0, 40) << "\" pattern \"" << c.pattern.substr(0, 40) << "\"";
  }
}

TEST(IsKnownStartPage, Table) {
  const std::string google = "http://www.google.com/";
  const std::string q255 = google + std::string(255 - google.size(), 'q');
  const std::string q1000 = google + std::string(1000 - google.size(), 'q');
  const std::string evil1000 = "http://evil.example/" + std::string(980, 'q');
  ASSERT_EQ(q255.size(), 255u);
  ASSERT_EQ(q1000.size(), 1000u);
  struct Case {
    std::string text;
    bool known;
  } cases[] = {
      {"", false},
      {"*", true},  // a star in the value matches the first pattern
      {"http://www.google.com/", true},
      {"http://google.de", true},
      {"HTTP://WWW.GOOGLE.COM/", true},
      {"http://www.google.com/search?q=x", true},
      {"http://www.google.co.uk/", false},  // "??" and "???" are exactly two and three characters
      {"http://www.google.com.evil.example/", false},
      {"https://www.google.com/", false},
      {"http://news.google.com", true},
      {"http://h30.hp.com/portal", true},
      {"http://hp.com", true},
      {"Preserve", true},
      {"preserve", true},
      {"http://www.microsoft.com", true},
      {"http://go.microsoft.com/fwlink/?LinkId=69157", true},
      {"http://www.microsoft.de/", false},  // the top-level part of this site is fixed
      {"http://de.msn.com/", true},
      {"http://msn.com/", true},
      {"http://msn.com.evil.example/", false},
      {"http://de.yahoo.com/", true},
      {"http://yahoo.fr", true},
      {"res://ieframe.dll/tabswelcome.htm", true},
      {"RES://SHDOCLC.DLL/NAVCANCL.HTM", true},
      {"res://mshtml.dll/blank.htm", true},
      {"res://ieframe.dll/dnserror.htm", false},
      {"res://evil.dll/blank.htm", false},
      {"about:blank", true},
      {"About:Blank", true},
      {"about:blankx", false},
      {"about:blank ", false},  // callers trim
      {"Home", false},
      {"home", false},
      {"http://search.hijacked-start.example/", false},
      {q255, true},
      {q1000, true},
      {evil1000, false},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::IsKnownStartPage(c.text), c.known) << c.text.substr(0, 60);
}

}  // namespace
