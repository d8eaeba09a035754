// MD5 throughput: TMd5 over a large buffer in memory; then, natively, md5sum over a file of the
// same bytes and `openssl speed md5`; under Windows, FileMd5Text over that file.
// Natively the rates divide by CPU time (ours: the process's; md5sum: its user time, which is
// its hashing; openssl speed: user time, as it measures by default), so that other work on a
// shared machine does not skew the ratio. Under Windows they divide by elapsed time.
// Usage: md5_bench [MiB]   (default 512)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/md5.h"

#ifdef _WIN32
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#else
#include <sys/resource.h>
#endif

namespace {

// Seconds of the clock the rates divide by.
double Now() {
#ifdef _WIN32
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

// Best of `runs` runs of `run`, in MB/s (10^6 bytes) for `bytes` bytes; 0 when a run fails.
template <typename Run>
double BestRate(size_t bytes, Run run, int runs = 3) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double start = Now();
    if (!run()) return 0;
    best = std::min(best, std::max(Now() - start, 1e-6));
  }
  return bytes / best / 1e6;
}

std::string HashMemory(const uint8_t* data, size_t size) {
  inspect::TMd5 md5;
  md5.Update(data, size);
  return inspect::TMd5::ToHex(md5.Finish());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

#ifndef _WIN32
double ChildUserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
}

// Runs a command; its first line of output, or "" when it failed.
std::string FirstLine(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return "";
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  return pclose(pipe) == 0 && got ? line : "";
}

// md5sum's rate by its user time, best of three; 0 when it is missing or disagrees with us.
double Md5sumRate(const std::string& path, size_t size, const std::string& digest) {
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const double start = ChildUserSeconds();
    if (FirstLine("md5sum '" + path + "'").rfind(digest, 0) != 0) return 0;
    best = std::min(best, std::max(ChildUserSeconds() - start, 1e-6));
  }
  return size / best / 1e6;
}

// `openssl speed md5` on 16 KiB blocks, in MB/s; 0 when openssl is missing.
double OpensslSpeed() {
  FILE* pipe = popen("openssl speed -seconds 2 -bytes 16384 md5 2>/dev/null", "r");
  if (!pipe) return 0;
  char line[512];
  double kilobytes = 0;
  while (std::fgets(line, sizeof line, pipe)) std::sscanf(line, "md5 %lfk", &kilobytes);
  pclose(pipe);
  return kilobytes / 1000;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
  const size_t size = mib << 20;
  std::vector<uint8_t> bytes(size + 1);
  uint32_t x = 12345;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);

  const std::string digest = HashMemory(bytes.data(), size);
  const double ours = BestRate(size, [&] { return HashMemory(bytes.data(), size) == digest; });
  const double unaligned = BestRate(size, [&] { return !HashMemory(bytes.data() + 1, size).empty(); });
  std::printf("md5 TMd5, %zu MiB in memory: %.0f MB/s (from an odd address: %.0f MB/s)\n", mib, ours, unaligned);

  bytes.pop_back();
#ifdef _WIN32
  platform::win32::Install();
  const std::string path = platform::Sys().GetTempPath() + "bs-md5-bench.bin";
#else
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/bs-md5-bench.bin";
#endif
  if (!WriteFile(path, bytes)) {
    std::printf("md5: cannot write %s\n", path.c_str());
    return 1;
  }
#ifdef _WIN32
  const double mapped = BestRate(size, [&] { return inspect::FileMd5Text(path) == digest; });
  std::printf("md5 FileMd5Text, %zu MiB file through mapped views: %.0f MB/s\n", mib, mapped);
#else
  const double md5sum = Md5sumRate(path, size, digest);
  if (md5sum > 0) {
    std::printf("md5 md5sum, %zu MiB file: %.0f MB/s; TMd5 / md5sum = %.2f\n", mib, md5sum, ours / md5sum);
  } else {
    std::printf("md5 md5sum: not available or disagrees\n");
  }
  const double openssl = OpensslSpeed();
  if (openssl > 0) {
    std::printf("md5 openssl speed md5, 16 KiB blocks: %.0f MB/s; TMd5 / openssl = %.2f\n", openssl, ours / openssl);
  }
#endif
  std::remove(path.c_str());
  return 0;
}
