// The wildcard matcher of the start-page whitelist: "?" is one character, "*" any run of
// characters, and a wildcard in the text counts as one in the pattern.
#pragma once

#include <string>
#include <vector>

namespace scan {

class TWildCard {
 public:
  // Whether the whole text matches the whole pattern. Letters compare exactly; callers
  // upper-case both sides when case must not count. Any length is handled: the walk keeps
  // one table row per text position, so time grows with length(text) * length(pattern).
  bool WildMatch(const std::string& text, const std::string& pattern);

 private:
  // Scratch rows, kept between calls of one matcher.
  std::vector<char> match_, nextMatch_, textStarRun_, patternStarRun_, nextPatternStarRun_;
};

}  // namespace scan
