// Describing 5,000, 10,000 and 20,000 distinct small files of the fake machine into one report
// through ReportFile. The time per file must stay flat as the report grows: the duplicate test
// looks each line up in the report's index instead of walking the report. For scale, the last
// column is what one walk over the finished report would cost per file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "inspect/text.h"
#include "platform/fake/fake_machine.h"
#include "scan/file_lines.h"
#include "scan/report.h"
#include "tests/support/forwarding_file_system.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::Handle;

constexpr size_t kFileSize = 512;
constexpr Handle kDirectFind = 0x7FFF0001;

// The fake's FindFirstFile looks at every file of the machine; for a bare path this answers from
// the file itself, so that the figures are those of the report and the file queries.
class DirectEntries : public bs_test::ForwardingFileSystem {
 public:
  explicit DirectEntries(platform::fake::Machine& m) : m_(m) {}
  Handle FindFirstFile(const std::string& pattern, platform::FindData* data) override {
    const platform::fake::FakeFile* f = pattern.find_first_of("*?") == std::string::npos ? m_.File(pattern) : nullptr;
    if (!f || f->directory) return inner().FindFirstFile(pattern, data);
    data->attributes = f->attributes;
    data->creationTime = f->creationTime;
    data->lastAccessTime = f->lastAccessTime;
    data->lastWriteTime = f->lastWriteTime;
    data->size = f->contents.size();
    data->name = inspect::FileNamePart(f->path);
    return kDirectFind;
  }
  bool FindNextFile(Handle find, platform::FindData* data) override {
    return find != kDirectFind && inner().FindNextFile(find, data);
  }
  void FindClose(Handle find) override {
    if (find != kDirectFind) inner().FindClose(find);
  }

 private:
  platform::fake::Machine& m_;
};

std::vector<std::string> Seed(platform::fake::Machine& m, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    char path[64];
    std::snprintf(path, sizeof path, "C:\\Bench\\d%03d\\file%05d.%s", i % 200, i, i % 3 ? "dll" : "exe");
    std::string contents(kFileSize, static_cast<char>('a' + i % 26));
    contents.replace(0, 8, std::to_string(10000000 + i));  // every digest differs
    platform::fake::FakeFile& f = m.AddFile(path, contents);
    f.creationTime = 127360944000000000ull + static_cast<uint64_t>(i) * 10000000ull;
    if (i % 2) f.version = platform::fake::FileVersion{"Bench Corp", "1.0"};
    paths.push_back(path);
  }
  return paths;
}

// Letter case ignored as the report's look-up ignores it, without copying either text.
bool SameNoCase(const std::string& a, const std::string& b) {
  auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Figures {
  double describe;    // seconds to list every file once
  double duplicates;  // seconds to offer every file again (all found in the index)
  double walk;        // seconds of one case-insensitive walk over the report per file
};

Figures Measure(int count) {
  platform::fake::Machine m;
  m.Install();
  DirectEntries files(m);
  files.Install();
  const std::vector<std::string> paths = Seed(m, count);
  const std::vector<std::string> noExclusions;

  scan::TReport report;
  auto start = Clock::now();
  for (const std::string& path : paths) scan::ReportFile(path, report, true, noExclusions, false);
  Figures f{};
  f.describe = Seconds(Clock::now() - start);
  if (report.Count() != paths.size()) std::fprintf(stderr, "describe_bench: %zu lines for %d files\n", report.Count(), count);

  start = Clock::now();
  for (const std::string& path : paths) scan::ReportFile(path, report, true, noExclusions, false);
  f.duplicates = Seconds(Clock::now() - start);
  if (report.Count() != paths.size()) std::fprintf(stderr, "describe_bench: duplicates were added\n");

  // One walk over the finished report for a line it does not hold, as a linear duplicate test
  // would make for the last file; averaged over a few walks.
  const std::string absent = scan::FileDescriptionLine("C:\\Bench\\absent.exe");
  constexpr int kWalks = 20;
  size_t found = 0;
  start = Clock::now();
  for (int w = 0; w < kWalks; ++w) {
    for (size_t i = 0; i < report.Count(); ++i) found += SameNoCase(report.Item(i), absent);
  }
  f.walk = Seconds(Clock::now() - start) / kWalks;
  if (found) std::fprintf(stderr, "describe_bench: the absent line was found\n");
  return f;
}

}  // namespace

int main() {
  std::printf("describe_bench: ReportFile of distinct %zu-byte files of the fake machine into one report\n", kFileSize);
  std::printf("%8s %10s %12s %10s %16s %16s\n", "files", "total s", "us per file", "vs first", "again us/file",
              "walk us/file");
  double first = 0;
  for (int count : {5000, 10000, 20000}) {
    Figures best{1e9, 1e9, 1e9};
    for (int run = 0; run < 3; ++run) {  // the best of three: the machine is shared
      const Figures f = Measure(count);
      best.describe = std::min(best.describe, f.describe);
      best.duplicates = std::min(best.duplicates, f.duplicates);
      best.walk = std::min(best.walk, f.walk);
    }
    const double perFile = best.describe / count * 1e6;
    if (first == 0) first = perFile;
    std::printf("%8d %10.3f %12.1f %10.2f %16.1f %16.1f\n", count, best.describe, perFile, perFile / first,
                best.duplicates / count * 1e6, best.walk * 1e6);
  }
  return 0;
}
