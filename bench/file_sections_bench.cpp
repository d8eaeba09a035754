// The file-system sections over a Temp folder of 2,500, 5,000 and 10,000 files on the fake
// machine ("Try to reduce memory usage" off): the time of the whole group of sections, which must
// grow linearly, and the bytes read to describe each listed file, which must stay at one reading
// of the file (two with the MD5 exclusion on).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/frame.h"
#include "scan/sections.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/scan_helpers.h"

namespace {

namespace win = platform::win;
using platform::Handle;

constexpr size_t kFileSize = 16384;
constexpr const char* kTemp = "C:\\DOCUME~1\\User\\LOCALS~1\\Temp\\";

// Counts the bytes read from each file, through reads and mapped views, by upper-cased path.
class CountingFiles : public bs_test::ForwardingFileSystem {
 public:
  std::map<std::string, uint64_t> bytesRead;

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    const Handle h = inner().CreateFile(path, access, share, disposition, attributes);
    if (h != platform::kInvalidHandle) owners_[h] = platform::fake::UpperAscii(path);
    return h;
  }
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    const bool ok = inner().ReadFile(file, buffer, size, read);
    if (ok) bytesRead[owners_[file]] += *read;
    return ok;
  }
  Handle CreateFileMapping(Handle file) override {
    const Handle h = inner().CreateFileMapping(file);
    if (h != platform::kNoHandle) owners_[h] = owners_[file];
    return h;
  }
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    const uint8_t* view = inner().MapViewOfFile(mapping, offset, length);
    if (view) bytesRead[owners_[mapping]] += length ? length : kFileSize;  // 0 maps the rest
    return view;
  }

 private:
  std::map<Handle, std::string> owners_;
};

// The fake answers a find of one exact name by scanning every file it holds, so over 10,000
// files its own cost grows with the square of the count; a real file system looks the name up
// in the folder's index. This answers such finds from the fake's table directly, so that the
// timings measure the sections.
class IndexedFind : public bs_test::ForwardingFileSystem {
 public:
  explicit IndexedFind(platform::fake::Machine& m) : m_(m) {}
  Handle FindFirstFile(const std::string& pattern, platform::FindData* data) override {
    if (pattern.find_first_of("*?") != std::string::npos) return inner().FindFirstFile(pattern, data);
    const platform::fake::FakeFile* f = m_.File(pattern);
    if (!f) {
      platform::Sys().SetLastError(win::kErrorFileNotFound);
      return platform::kInvalidHandle;
    }
    *data = platform::FindData{};
    data->attributes = f->attributes | (f->directory ? win::kFileAttributeDirectory : 0);
    data->creationTime = f->creationTime;
    data->lastAccessTime = f->lastAccessTime;
    data->lastWriteTime = f->lastWriteTime;
    data->size = f->directory ? 0 : f->contents.size();
    data->name = f->path.substr(f->path.find_last_of('\\') + 1);
    return kOwnFind;
  }
  bool FindNextFile(Handle find, platform::FindData* data) override {
    if (find != kOwnFind) return inner().FindNextFile(find, data);
    platform::Sys().SetLastError(win::kErrorNoMoreFiles);
    return false;
  }
  void FindClose(Handle find) override {
    if (find != kOwnFind) inner().FindClose(find);
  }

 private:
  static constexpr Handle kOwnFind = 0x7F000001;
  platform::fake::Machine& m_;
};

void Seed(platform::fake::Machine& m, int files) {
  m.system().specialFolders[20] = "C:\\WINDOWS\\Fonts";
  for (int i = 0; i < files; ++i) {
    char name[32];
    const char* ext = i % 4 == 0 ? "exe" : i % 4 == 1 ? "txt" : "tmp";
    std::snprintf(name, sizeof name, "f%05d.%s", i, ext);
    const bool pe = i % 4 < 2;
    m.AddFile(std::string(kTemp) + name, pe ? bs_test::PeFileBytes(kFileSize) : std::string(kFileSize, 't'),
              i % 50 == 0 ? win::kFileAttributeHidden : win::kFileAttributeArchive);
  }
}

bool IsFileSection(const scan::TSection& s) {
  const int keys[] = {18, 24, 25, 113, 114, 77, 78, 26, 28, 204};
  return std::find(std::begin(keys), std::end(keys), s.titleKey) != std::end(keys) ||
         (s.titleKey == 0 && std::string(s.fixedTitle) == "Autorun.ini");
}

scan::TScanOptions Options(bool md5Exclusions) {
  scan::TScanOptions o;
  o.ReduceMemoryUsage = false;
  o.ExcludeMicrosoftFiles = false;
  o.UseMd5Exclusions = md5Exclusions;
  o.Md5Exclusions = {"00000000000000000000000000000000"};
  o.RecentDays = 10;
  o.CustomFilesList = true;
  o.CustomFileEntries = {std::string(kTemp) + "|*.tmp"};
  return o;
}

double SectionsSeconds(int files, bool indexedFind) {
  platform::fake::Machine m;
  m.Install();
  Seed(m, files);
  IndexedFind indexed(m);
  if (indexedFind) indexed.Install();
  const scan::TScanOptions options = Options(false);
  scan::TReport report;
  const auto start = std::chrono::steady_clock::now();
  for (const scan::TSection& s : scan::DefaultSections()) {
    if (IsFileSection(s)) s.content(report, options);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes read per listed file in "Executables in Temp folders", as multiples of the file size.
std::pair<double, double> ReadsPerDescribedFile(bool md5Exclusions) {
  platform::fake::Machine m;
  m.Install();
  Seed(m, 400);
  CountingFiles counting;
  counting.Install();
  scan::TReport report;
  scan::ListFolderFiles(report, Options(md5Exclusions), kTemp, "*.*", true);
  double lowest = 1e9, highest = 0;
  for (size_t i = 0; i < report.Count(); ++i) {
    const std::string path = report.Item(i).substr(0, report.Item(i).find(" ("));
    const double ratio = double(counting.bytesRead[platform::fake::UpperAscii(path)]) / kFileSize;
    lowest = std::min(lowest, ratio);
    highest = std::max(highest, ratio);
  }
  return {lowest, highest};
}

}  // namespace

// With --raw-fake the timings are also taken over the fake's own finds (minutes at 10,000).
int main(int argc, char** argv) {
  const bool raw = argc > 1 && std::string(argv[1]) == "--raw-fake";
  inspect::ClearLngTable();
  inspect::FillDefaultTexts();
  std::printf("file-system sections, Temp folder of N files of %zu bytes (a quarter PE named .exe, a quarter PE "
              "named .txt, one in fifty hidden)\n",
              kFileSize);
  for (bool indexedFind : {true, false}) {
    if (!indexedFind && !raw) break;
    std::printf(" %s\n", indexedFind ? "exact-name finds indexed, as a real file system does:"
                                      : "over the fake's own finds (each scans every file):");
    double base = 0;
    for (int files : {2500, 5000, 10000}) {
      const double seconds = SectionsSeconds(files, indexedFind);
      if (files == 2500) base = seconds / files;
      std::printf("  N=%5d: %8.3f s  %7.1f us/file  (x%.2f the per-file time at N=2500)\n", files, seconds,
                  seconds / files * 1e6, seconds / files / base);
    }
  }
  for (bool md5 : {false, true}) {
    const auto [lowest, highest] = ReadsPerDescribedFile(md5);
    std::printf(" bytes read per file listed in \"Executables in Temp folders\", MD5 exclusion %s: %.3f .. %.3f "
                "times its size\n",
                md5 ? "on " : "off", lowest, highest);
  }
  return 0;
}
