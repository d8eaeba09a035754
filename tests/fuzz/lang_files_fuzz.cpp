// Language files are text anyone can drop into Langs\: any bytes must list and load without
// harm, keyless entries stay empty, and the defaults refill every entry that has one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "inspect/lang.h"
#include "inspect/lang_files.h"
#include "platform/fake/fake_machine.h"
#include "app/controls.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::fake::Machine* machine = [] {
    auto* m = new platform::fake::Machine;
    m->Install();
    return m;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string app = "C:\\Tools\\BurrowSentry\\";
  // The whole input as one file, and its second half as another, listed together.
  machine->AddFile(app + "Langs\\Fuzz.ini", bytes);
  machine->AddFile(app + "Langs\\Half.ini", bytes.substr(size / 2));

  const inspect::TLanguageList list = inspect::ListLanguages(app);
  Check(list.credits.size() >= 2 && list.credits[0].empty() && list.credits[1] == "Translators");
  Check(list.names.size() == 2);

  inspect::ClearLngTable();
  size_t captions = 0;
  inspect::ApplyLanguage(app, "Fuzz", [&] {
    for (const app::TControl& c : app::kControls) captions += app::LanguageCaption(c).size();
  });
  for (int n = 0; n <= inspect::kLngCount + 1; ++n) {
    const std::string text = inspect::Lng(n);
    if (n < 1 || n > inspect::kLngCount || !inspect::LngHasKey(n)) Check(text.empty() || !inspect::LngDefault(n).empty());
    if (!inspect::LngDefault(n).empty()) Check(!text.empty());
  }
  // Loading the other file replaces every keyed entry at once.
  Check(inspect::LoadLanguageFile(app, "Half.ini"));
  (void)captions;
  return 0;
}
