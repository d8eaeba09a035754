// MD5 throughput: TMd5 over a large buffer in memory, FileMd5Text over a real file where the
// program runs on Windows, and md5sum / openssl over a file of the same size where they exist.
// Usage: md5_bench [MiB]   (default 512)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/md5.h"

#ifdef _WIN32
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Best of three runs of `run`, in MB/s (10^6 bytes) for `bytes` bytes.
template <typename Run>
double BestRate(size_t bytes, Run run) {
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (!run()) return 0;
    best = std::min(best, Seconds(start));
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
// Runs a command that prints a digest; true when it ran and printed `digest` somewhere.
bool RunDigest(const std::string& command, const std::string& digest) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return false;
  char line[512] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  return pclose(pipe) == 0 && got && std::string(line).find(digest) != std::string::npos;
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
  const double aligned = BestRate(size, [&] { return HashMemory(bytes.data(), size) == digest; });
  const double unaligned = BestRate(size, [&] { return !HashMemory(bytes.data() + 1, size).empty(); });
  std::printf("md5 TMd5, %zu MiB in memory: %.0f MB/s (from an odd address: %.0f MB/s)\n", mib, aligned, unaligned);

  bytes.pop_back();
#ifdef _WIN32
  platform::win32::Install();
  std::string path = platform::Sys().GetTempPath() + "bs-md5-bench.bin";
#else
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/bs-md5-bench.bin";
#endif
  if (!WriteFile(path, bytes)) {
    std::printf("md5: cannot write %s\n", path.c_str());
    return 1;
  }
#ifdef _WIN32
  const double mapped = BestRate(size, [&] { return inspect::FileMd5Text(path) == digest; });
  std::printf("md5 FileMd5Text, %zu MiB file through mapped views: %.0f MB/s\n", mib, mapped);
#else
  // The same file, already in the page cache, through the system's tools.
  const std::pair<const char*, std::string> tools[] = {
      {"md5sum", "md5sum '" + path + "'"},
      {"openssl md5", "openssl md5 '" + path + "'"},
  };
  for (const auto& [name, command] : tools) {
    RunDigest(command, digest);  // warm the cache
    const double rate = BestRate(size, [&] { return RunDigest(command, digest); });
    if (rate > 0) {
      std::printf("md5 %s, %zu MiB file: %.0f MB/s; TMd5 / %s = %.2f\n", name, mib, rate, name, aligned / rate);
    } else {
      std::printf("md5 %s: not available or disagrees\n", name);
    }
  }
#endif
  std::remove(path.c_str());
  return 0;
}
