// The manager pages' work: the Startups list over 2,500, 5,000 and 10,000 values spread across its
// fourteen keys, whose time must grow linearly with the count; and the hosts editor loading and
// saving a 10 MB hosts file. Natively over the fake machine; under Wine over the prefix's real
// registry (fourteen keys of the bench's own under HKCU, removed afterwards) and its real hosts
// file (put back afterwards).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "inspect/files.h"
#include "inspect/save_file.h"
#include "inspect/system.h"
#include "managers/editors.h"
#include "managers/startups.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "tests/support/recording_prompter.h"

#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#else
#include "platform/fake/fake_machine.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
namespace win = platform::win;
using platform::Reg;

constexpr int kKeys = static_cast<int>(managers::kStartupKeys.size());
constexpr size_t kHostsBytes = 10u << 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Where the values go: the list's own keys on the fake, keys of the bench's own under Wine.
struct TBenchKey {
  platform::RegKey root;
  std::string path;  // begins with "\"
};

std::vector<TBenchKey> BenchKeys() {
  std::vector<TBenchKey> keys;
  for (int k = 0; k < kKeys; ++k) {
#ifdef _WIN32
    keys.push_back({platform::kHkeyCurrentUser, "\\Software\\BurrowSentryBench\\Run" + std::to_string(k)});
#else
    keys.push_back({managers::kStartupKeys[k].root, managers::kStartupKeys[k].path});
#endif
  }
  return keys;
}

// `count` values round-robin over the keys; every tenth names a program that exists.
void Seed(const std::vector<TBenchKey>& keys, int count, const std::string& existing) {
  std::vector<platform::ScopedKey> open(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    Reg().CreateKey(keys[k].root, keys[k].path.substr(1), win::kKeyAllAccess, open[k].out());
  }
  for (int i = 0; i < count; ++i) {
    char data[128];
    if (i % 10 == 0) {
      std::snprintf(data, sizeof data, "\"%s\" /run%d", existing.c_str(), i);
    } else {
      std::snprintf(data, sizeof data, "\"C:\\Program Files\\Vendor%d\\app%d.exe\" /min", i % 97, i);
    }
    const std::string name = "Value" + std::to_string(i);
    Reg().SetValue(open[i % keys.size()].get(), name, win::kRegSz, data, static_cast<uint32_t>(std::strlen(data) + 1));
  }
}

void Unseed(const std::vector<TBenchKey>& keys) {
  for (const TBenchKey& key : keys) Reg().DeleteKey(key.root, key.path.substr(1));
#ifdef _WIN32
  Reg().DeleteKey(platform::kHkeyCurrentUser, "Software\\BurrowSentryBench");
#endif
}

double ListMs(const std::vector<TBenchKey>& keys, size_t* rows) {
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    std::vector<managers::TStartupRow> list;
    const auto start = Clock::now();
    for (const TBenchKey& key : keys) managers::ListRunKeyValues(key.path, key.root, list);
    best = std::min(best, Ms(Clock::now() - start));
    *rows = list.size();
  }
  return best;
}

void StartupsBench(const std::string& existing) {
  const std::vector<TBenchKey> keys = BenchKeys();
  std::printf("Startups list, %d keys (best of 5, after a warm-up list)\n  %8s %10s %12s\n", kKeys, "values", "ms",
              "us/value");
  for (int count : {500, 2500, 5000, 10000}) {
#ifndef _WIN32
    platform::fake::Machine m;
    m.Install();
    m.AddFile(existing);
#endif
    Seed(keys, count, existing);
    size_t rows = 0;
    const double ms = ListMs(keys, &rows);
    if (count == 500) {  // the warm-up: the first walks of a prefix's registry and folders
      Unseed(keys);
      continue;
    }
    std::printf("  %8zu %10.1f %12.2f\n", rows, ms, 1000.0 * ms / static_cast<double>(std::max<size_t>(rows, 1)));
    Unseed(keys);
  }
}

std::string HostsText() {
  std::string text;
  text.reserve(kHostsBytes + 64);
  for (int i = 0; text.size() < kHostsBytes; ++i) {
    text += "0.0.0.0 ad" + std::to_string(i) + ".tracker.example\n";  // LF only: the save turns it to CR LF
  }
  return text;
}

void HostsBench() {
#ifndef _WIN32
  platform::fake::Machine m;
  m.Install();
  m.AddFolder(inspect::GetSystemDir() + "\\drivers\\etc");
#endif
  const std::string path = managers::EditorFilePath(managers::TEditorFile::Hosts);
#ifdef _WIN32
  const bool existed = inspect::FileExists(path);
  const std::string original = inspect::ReadFileText(path);
#endif
  const std::string text = HostsText();
  inspect::SaveFileReplacing(path, text);
  bs_test::RecordingPrompter prompter;
  double loadMs = 1e300, saveMs = 1e300;
  size_t loaded = 0;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    const std::optional<std::string> field = managers::LoadEditorText(managers::TEditorFile::Hosts);
    loadMs = std::min(loadMs, Ms(Clock::now() - start));
    loaded = field ? field->size() : 0;
    start = Clock::now();
    const uint32_t rc = managers::SaveEditorText(managers::TEditorFile::Hosts, text, prompter);
    saveMs = std::min(saveMs, Ms(Clock::now() - start));
    if (rc != win::kErrorSuccess) std::printf("  save failed: %u\n", rc);
  }
  const std::string saved = inspect::ReadFileText(path);
  std::printf("Hosts editor, %.1f MB (best of 3; save includes keeping the previous file)\n"
              "  load %.1f ms, save %.1f ms, saved %.1f MB with CR LF\n",
              loaded / 1048576.0, loadMs, saveMs, saved.size() / 1048576.0);
#ifdef _WIN32
  if (existed) {
    inspect::SaveFileReplacing(path, original);
  } else {
    platform::Fs().DeleteFile(path);
  }
  // The copies the saves kept beside the bench.
  const std::string backups = inspect::GetAppDir() + "Backups\\";
  platform::FindData data;
  const platform::Handle find = platform::Fs().FindFirstFile(backups + "hosts*", &data);
  if (find != platform::kInvalidHandle) {
    do {
      platform::Fs().DeleteFile(backups + data.name);
    } while (platform::Fs().FindNextFile(find, &data));
    platform::Fs().FindClose(find);
  }
  platform::Fs().RemoveDirectory(backups);
#endif
}

}  // namespace

int main() {
#ifdef _WIN32
  platform::win32::Install();
  std::printf("managers_bench under Wine: the prefix's registry and hosts file\n");
  const std::string existing = inspect::GetWindowsDir() + "\\notepad.exe";
#else
  std::printf("managers_bench over the fake machine\n");
  const std::string existing = "C:\\WINDOWS\\system32\\ctfmon.exe";
#endif
  StartupsBench(existing);
  HostsBench();
  return 0;
}
