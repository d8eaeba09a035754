// Not tests: the window timed on large inputs, for the benchmarks.
#include "managers/startups.h"
#include "tests/e2e/helpers/gui_driver/scenarios.h"

namespace gui_driver {

namespace {

void ScenarioBenchHosts(const std::string& exe) {
  const std::string hosts = SystemDir() + "\\drivers\\etc\\hosts";
  TKeptFile kept(hosts);
  TApp app(exe);
  // A sent click returns once the handler has run; the time-out is generous here.
  auto timedClick = [&](const char* name) {
    const DWORD start = GetTickCount();
    DWORD_PTR ignored = 0;
    Require(SendMessageTimeoutA(Find(app, name), BM_CLICK, 0, 0, SMTO_BLOCK, 600000, &ignored) != 0,
            std::string(name) + " did not return");
    return GetTickCount() - start;
  };
  for (const size_t size : {size_t{10} << 18, size_t{10} << 19, size_t{10} << 20}) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) text += "0.0.0.0 ad" + std::to_string(i) + ".tracker.example\r\n";
    Require(WriteFileText(hosts, text), "cannot write " + hosts);
    const DWORD load = timedClick("AdvGlowButton3");
    const DWORD save = timedClick("Button1");
    std::string saved;
    ReadFileText(hosts, &saved);
    std::printf("  hosts page, %4.1f MB: load %6lu ms, save %4lu ms, saved %s\n", text.size() / 1048576.0, load, save,
                saved == text ? "unchanged" : "DIFFERENT");
    Check(saved == text, "the saved hosts file is the loaded one");
  }
  Check(app.Close() == 0, "the window closes with code 0");
}

// Values of the bench's own across the Startups page's fourteen keys; keys it had to make go again.
class TBenchStartupValues {
 public:
  ~TBenchStartupValues() {
    for (int i = 0; i < count_; ++i) DeleteRegValue(Root(i), Path(i), Name(i).c_str());
    for (const auto& [root, path] : madeKeys_) RegDeleteKeyA(root, path);
  }
  void GrowTo(int count) {
    for (; count_ < count; ++count_) {
      HKEY existing = nullptr;
      if (RegOpenKeyExA(Root(count_), Path(count_), 0, KEY_QUERY_VALUE, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
      } else {
        madeKeys_.emplace_back(Root(count_), Path(count_));
      }
      const std::string data = "\"C:\\bs-bench\\program" + std::to_string(count_) + ".exe\" /run";
      Require(SetRegString(Root(count_), Path(count_), Name(count_).c_str(), data), "cannot seed " + Name(count_));
    }
  }

 private:
  static const managers::TRunKey& Key(int i) { return managers::kStartupKeys[i % managers::kStartupKeys.size()]; }
  static HKEY Root(int i) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(Key(i).root)); }
  static const char* Path(int i) { return Key(i).path + 1; }
  static std::string Name(int i) { return "BsBench" + std::to_string(i); }
  int count_ = 0;
  std::vector<std::pair<HKEY, const char*>> madeKeys_;
};

// Not a test: the Startups page of the window filling its list from 2,500, 5,000 and 10,000
// values of the bench's own, timed from the button press until the list is filled.
void ScenarioBenchStartups(const std::string& exe) {
  TBenchStartupValues values;
  TApp app(exe);
  HWND button = Find(app, "AdvGlowButton4");
  for (const int count : {2500, 5000, 10000}) {
    values.GrowTo(count);
    const DWORD start = GetTickCount();
    DWORD_PTR ignored = 0;
    Require(SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_BLOCK, 600000, &ignored) != 0,
            "the Startups button did not return");
    const DWORD fill = GetTickCount() - start;
    const int rows = TRemoteList(app, Find(app, "SLV")).Count();
    std::printf("  startups page, %5d values: fill %6lu ms, %5.1f us per value, %d rows\n", count, fill,
                1000.0 * fill / count, rows);
    Check(rows >= count, "the list holds every value of the bench");
  }
  Check(app.Close() == 0, "the window closes with code 0");
}

}  // namespace

std::span<const TScenario> BenchScenarios() {
  static constexpr TScenario kRows[] = {
      {"bench-hosts", ScenarioBenchHosts},
      {"bench-startups", ScenarioBenchStartups},
  };
  return kRows;
}

}  // namespace gui_driver
