#include "scan/wildcard.h"

#include <utility>

namespace scan {

// M(i, j): does text[i..] match pattern[j..]. Walking both from (i, j):
//   "?" on either side consumes one character of each       -> M(i+1, j+1)
//   "*" in the text: the rest of the text against the pattern from j or any later position
//                    (the text ending at the star matches)    -> OR of M(i+1, k), k = j..m-1
//   "*" in the pattern: the same with the roles exchanged     -> OR of M(k, j+1), k = i..n-1
//   equal characters                                          -> M(i+1, j+1)
// and when one side is exhausted the other must hold only stars. Every M(i, j) depends on
// later positions only, so the table is filled from the ends, one text row at a time, with the
// two ORs kept as running suffixes: no recursion, and no limit on the lengths.
bool TWildCard::WildMatch(const std::string& text, const std::string& pattern) {
  const size_t n = text.size();
  const size_t m = pattern.size();
  match_.assign(m + 1, 0);
  nextMatch_.assign(m + 1, 0);
  textStarRun_.assign(m + 1, 0);
  patternStarRun_.assign(m + 1, 0);
  nextPatternStarRun_.assign(m + 1, 0);

  // Row n: the text is exhausted, so the rest of the pattern must be stars.
  nextMatch_[m] = 1;
  for (size_t j = m; j-- > 0;) nextMatch_[j] = pattern[j] == '*' && nextMatch_[j + 1];

  for (size_t i = n; i-- > 0;) {
    // textStarRun_[j] = OR of M(i+1, k) for k = j..m-1.
    textStarRun_[m] = 0;
    for (size_t j = m; j-- > 0;) textStarRun_[j] = nextMatch_[j] || textStarRun_[j + 1];

    const char t = text[i];
    match_[m] = t == '*' && nextMatch_[m];  // the pattern is exhausted: the rest must be stars
    patternStarRun_[m] = match_[m] || nextPatternStarRun_[m];
    for (size_t j = m; j-- > 0;) {
      const char p = pattern[j];
      bool result;
      if (t == '?' || p == '?') {
        result = nextMatch_[j + 1];
      } else if (t == '*') {
        result = i + 1 == n || textStarRun_[j];
      } else if (p == '*') {
        result = j + 1 == m || patternStarRun_[j + 1];  // OR of M(k, j+1), k = i..n-1
      } else {
        result = t == p && nextMatch_[j + 1];
      }
      match_[j] = result;
      patternStarRun_[j] = result || nextPatternStarRun_[j];
    }
    std::swap(match_, nextMatch_);
    std::swap(patternStarRun_, nextPatternStarRun_);
  }
  return nextMatch_[0] != 0;
}

}  // namespace scan
