// The language table: texts 1 to 229, keyed "lng1".."lng229" (71 and 86..93 have no key).
#pragma once

#include <string>
#include <vector>

namespace inspect {

constexpr int kLngCount = 229;

bool LngHasKey(int n);
// The current text of entry n (empty when unset or out of range). Safe from any thread.
std::string Lng(int n);
void SetLng(int n, const std::string& text);
void ClearLngTable();
// Replaces every keyed entry at once: texts[n] for entry n (missing ones empty). A reader on
// another thread sees each entry either before or after, never half written.
void SetLngTable(const std::vector<std::string>& texts);
// The built-in English text of entry n; empty when it has none.
std::string LngDefault(int n);
// Gives every empty entry that has a built-in text its English text.
void FillDefaultTexts();

}  // namespace inspect
