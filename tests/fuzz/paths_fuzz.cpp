// Command lines and paths come from the registry, services and processes, which malware
// writes: any text must resolve or give a default, and the text helpers keep their contracts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "inspect/paths.h"
#include "platform/fake/fake_machine.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool PlainForSplit(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) > ' ' && c != '"'; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::fake::Machine* machine = [] {
    auto* m = new platform::fake::Machine;
    m->AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
    m->AddFile("C:\\WINDOWS\\system32\\a.dll");
    m->AddFile("C:\\WINDOWS\\notepad.exe");
    m->Install();
    return m;
  }();
  (void)machine;
  if (size < 2) return 0;
  const size_t n = data[0];
  const char delimiter = static_cast<char>(data[1]);
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  inspect::ExeFromCommandLine(text);
  inspect::ModuleFromCommandLine(text);
  inspect::ExpandNtPath(text);
  for (int mode = 0; mode <= 3; ++mode) inspect::ServiceImageToFile(text, mode);
  if (text.find("\\??\\") != std::string::npos) Check(inspect::ServiceImageToFile(text, 1).size() <= 255);

  Check(inspect::RightChars(text, n).size() == std::min(n, text.size()));
  const std::string sub = text.substr(0, n % 4);
  const size_t pos = inspect::PosFrom(sub, text, n);
  Check(pos == 0 || (pos >= n && text.compare(pos - 1, sub.size(), sub) == 0));

  std::vector<std::string> items;
  inspect::SplitText(delimiter, text, items);
  Check(items.size() <= text.size() + 1);
  inspect::SplitText('\\', text, items);
  const std::string last = inspect::LastPathPart(text);
  const std::string parent = inspect::ParentPathOf(text);
  Check(parent.empty() || parent.back() == '\\');
  if (PlainForSplit(text)) {
    // Without blanks or quotes the items are exactly the text cut at each backslash.
    std::string joined;
    for (size_t i = 0; i < items.size(); ++i) joined += (i ? "\\" : "") + items[i];
    Check(joined == text);
    Check(parent + last == text);
  }
  const std::string joined = inspect::JoinPath(text.substr(0, n), text.substr(std::min(n, text.size())));
  Check(joined.size() >= text.size());
  return 0;
}
