// The whole offline scan of a volume whose Temp folder holds N files (2,500, 5,000, 10,000; a
// quarter PE named .exe, a quarter PE named .txt, one in fifty hidden): the time must grow
// linearly with N. The volume's hives come from tools/offline-volume.
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/offline_scan.h"
#include "inspect/lang.h"
#include "platform/offline/offline_backend.h"
#include "scan/frame.h"
#include "tests/support/scan_helpers.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFileSize = 16384;

class NullDisplay : public scan::TScanDisplay {
 public:
  void AddLine(const std::string&) override {}
  void SetProgress(int) override {}
};

double ScanSeconds(const fs::path& base, int files) {
  const fs::path dir = base.string() + "-" + std::to_string(files);
  fs::remove_all(dir);
  fs::copy(base, dir, fs::copy_options::recursive);
  const fs::path temp = dir / "Documents and Settings/User/Local Settings/Temp";
  const std::string pe = bs_test::PeFileBytes(kFileSize), text(kFileSize, 't');
  const uint8_t hidden[4] = {0, 0, 0, 0x22};
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%05d.%s", i, i % 4 == 0 ? "exe" : i % 4 == 1 ? "txt" : "tmp");
    const fs::path path = temp / name;
    std::ofstream(path, std::ios::binary) << (i % 4 < 2 ? pe : text);
    if (i % 50 == 0) ::setxattr(path.c_str(), "user.ntfs_attrib_be", hidden, 4, 0);
  }
  double seconds = 0;
  {
    platform::offline::Volume volume(dir.string());
    volume.Install();
    scan::TScanOptions options;
    options.ReduceMemoryUsage = false;
    options.ExcludeMicrosoftFiles = false;
    options.RecentDays = 10;
    const std::vector<scan::TSection> sections = cli::OfflineSections();
    scan::TReport report;
    NullDisplay display;
    const auto start = std::chrono::steady_clock::now();
    scan::ScanThread(report, options, display, sections);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  fs::remove_all(dir);
  return seconds;
}

}  // namespace

int main() {
  inspect::FillDefaultTexts();
  const fs::path base = fs::temp_directory_path() / ("bs-offline-bench-" + std::to_string(::getpid()));
  fs::remove_all(base);
  const std::string command = std::string("'") + BS_SOURCE_DIR + "/tools/offline-volume' '" + base.string() + "'";
  if (std::system(command.c_str()) != 0) {
    std::printf("offline scan: cannot lay out a volume (%s)\n", command.c_str());
    return 1;
  }
  std::printf("offline scan, Temp folder of N files of %zu bytes (a quarter PE named .exe, a quarter PE named "
              ".txt, one in fifty hidden)\n",
              kFileSize);
  double base1 = 0;
  for (int files : {2500, 5000, 10000}) {
    const double seconds = ScanSeconds(base, files);
    if (files == 2500) base1 = seconds / files;
    std::printf("  N=%5d: %8.3f s  %7.1f us/file  (x%.2f the per-file time at N=2500)\n", files, seconds,
                seconds / files * 1e6, seconds / files / base1);
  }
  fs::remove_all(base);
  return 0;
}
