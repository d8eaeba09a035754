// The user-mode hook section over the own process and the shell: its time, the bytes it reads
// (other processes' memory and module files) as a ratio to the bytes of the inspected module
// images read once, and the peak of heap memory it holds, which must stay below the largest
// module image plus a few megabytes (one image copy at a time, a parsed file released at once).
// Under Wine it inspects the real processes (tools/bench starts a shell as explorer.exe from the
// Windows folder); natively a fake shell of 80 modules of 1 MB each.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "rootkit/native_layer.h"
#include "rootkit/ring3_hooks.h"
#include "tests/support/forwarding_file_system.h"

#ifdef _WIN32
#include "platform/win32/win32_backend.h"
#else
#include "platform/fake/fake_machine.h"
#include "tests/support/pe_builder.h"
#endif

// Live and peak heap bytes of the whole program.
namespace {
size_t g_live = 0, g_peak = 0;
constexpr size_t kHeader = 16;
}  // namespace

void* operator new(size_t size) {
  auto* p = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!p) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(p) = size;
  g_live += size;
  g_peak = std::max(g_peak, g_live);
  return p + kHeader;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (!p) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  g_live -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

using platform::Address;
using platform::Handle;

// Counts the bytes read from other processes.
class CountingNative : public platform::NativeApi {
 public:
  uint64_t bytesRead = 0;
  explicit CountingNative(platform::NativeApi& inner) : inner_(inner) {}
  void SetServiceEntry(platform::NativeService s, const platform::ServiceEntry& e) override {
    inner_.SetServiceEntry(s, e);
  }
  platform::ServiceEntry GetServiceEntry(platform::NativeService s) override { return inner_.GetServiceEntry(s); }
  uint32_t OpenProcess(Handle* process, uint32_t access, bool inherit, uint32_t pid) override {
    return inner_.OpenProcess(process, access, inherit, pid);
  }
  uint32_t Close(Handle handle) override { return inner_.Close(handle); }
  uint32_t ReadVirtualMemory(Handle process, Address address, void* buffer, uint32_t size, uint32_t* read) override {
    uint32_t done = 0;
    const uint32_t status = inner_.ReadVirtualMemory(process, address, buffer, size, &done);
    bytesRead += done;
    if (read) *read = done;
    return status;
  }
  uint32_t QueryVirtualMemory(Handle process, Address address, uint32_t infoClass, void* buffer, uint32_t size,
                              uint32_t* returned) override {
    return inner_.QueryVirtualMemory(process, address, infoClass, buffer, size, returned);
  }
  uint32_t QueryInformationProcess(Handle process, uint32_t infoClass, void* buffer, uint32_t size,
                                   uint32_t* returned) override {
    return inner_.QueryInformationProcess(process, infoClass, buffer, size, returned);
  }
  uint32_t QuerySystemInformation(uint32_t infoClass, void* buffer, uint32_t size, uint32_t* returned) override {
    return inner_.QuerySystemInformation(infoClass, buffer, size, returned);
  }
  uint32_t DeviceIoControlFile(Handle file, Handle event, platform::IoStatus* ioStatus, uint32_t code,
                               const void* input, uint32_t inputSize, void* output, uint32_t outputSize) override {
    return inner_.DeviceIoControlFile(file, event, ioStatus, code, input, inputSize, output, outputSize);
  }
  uint32_t LoadDriver(const std::u16string& key) override { return inner_.LoadDriver(key); }
  uint32_t UnloadDriver(const std::u16string& key) override { return inner_.UnloadDriver(key); }
  bool ReadOwnMemory(Address address, void* buffer, uint32_t size) override {
    return inner_.ReadOwnMemory(address, buffer, size);
  }
  Address GetModuleHandle(const std::string& name) override { return inner_.GetModuleHandle(name); }
  Address LoadLibrary(const std::string& name) override { return inner_.LoadLibrary(name); }
  std::string GetModuleFileName(Address module, uint32_t chars) override {
    return inner_.GetModuleFileName(module, chars);
  }
  Address CurrentPeb() override { return inner_.CurrentPeb(); }
  std::optional<bool> CallIsWow64Process(Address address) override { return inner_.CallIsWow64Process(address); }
  uint32_t CallRtlAdjustPrivilege(Address address, uint32_t privilege, bool enable, bool thread) override {
    return inner_.CallRtlAdjustPrivilege(address, privilege, enable, thread);
  }
  std::string WideToAnsi(const std::u16string& text) override { return inner_.WideToAnsi(text); }
  Handle OpenDevice(const std::string& path) override { return inner_.OpenDevice(path); }
  bool CloseDevice(Handle device) override { return inner_.CloseDevice(device); }
  Address MapImageFile(const std::string& path) override { return inner_.MapImageFile(path); }
  void UnmapImageFile(Address view) override { inner_.UnmapImageFile(view); }
  Address LoadLibraryEx(const std::string& path, uint32_t flags) override { return inner_.LoadLibraryEx(path, flags); }
  void FreeLibrary(Address module) override { inner_.FreeLibrary(module); }

 private:
  platform::NativeApi& inner_;
};

class CountingFiles : public bs_test::ForwardingFileSystem {
 public:
  uint64_t bytesRead = 0;
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    const bool ok = inner().ReadFile(file, buffer, size, read);
    if (ok) bytesRead += *read;
    return ok;
  }
};

}  // namespace

int main() {
#ifdef _WIN32
  platform::win32::Install();
  rootkit::InitNativeLayer();
  const char* where = "under Wine";
#else
  platform::fake::Machine machine;
  machine.Install();
  for (size_t i = 0; i < platform::kNativeServiceCount; ++i) {
    machine.backend().native->SetServiceEntry(static_cast<platform::NativeService>(i),
                                              {platform::ServiceGate::Export, 0, 0x7C900000});
  }
  bs_test::PeImage dll;
  dll.exports = {{"A"}, {"B"}, {"C", {0xE9, 0, 0, 0, 0x10}}};
  std::vector<uint8_t> image = dll.Build();
  image.resize(1u << 20);
  const std::string exe = "C:\\WINDOWS\\explorer.exe";
  machine.AddProcess(4321, exe);
  machine.LoadModule(4321, 0x01000000, bs_test::PeImage().Build(), exe);
  for (uint32_t i = 0; i < 80; ++i) {
    const std::string path = "C:\\WINDOWS\\system32\\m" + std::to_string(i) + ".dll";
    machine.AddFile(path, std::string(image.begin(), image.end()));
    machine.LoadModule(4321, 0x10000000 + (i << 21), image, path);
  }
  const char* where = "fake shell, 80 modules of 1 MB";
#endif
  // The floor: every inspected module image read once.
  uint64_t floor = 0, largest = 0;
  size_t processes = 0;
  for (uint32_t pid : rootkit::GetInspectedProcesses()) {
    platform::ScopedNtHandle process(rootkit::OpenProcessById(0x410, false, pid));
    if (!process.ok()) continue;
    ++processes;
    for (const rootkit::TModuleSpan& m : rootkit::BuildModuleLists(process.get()).modules) {
      floor += m.size;
      largest = std::max<uint64_t>(largest, m.size);
    }
  }
  CountingNative native(platform::Native());
  platform::Backend backend = platform::Current();
  backend.native = &native;
  platform::Install(backend);
  CountingFiles files;
  files.Install();
  std::printf("ring3 hooks %s: %zu processes, images %.1f MB, largest %.1f MB\n", where, processes, floor / 1048576.0,
              largest / 1048576.0);
  for (int run = 1; run <= 3; ++run) {
    native.bytesRead = files.bytesRead = 0;
    const size_t before = g_live;
    g_peak = g_live;
    const auto start = std::chrono::steady_clock::now();
    const size_t lines = rootkit::ListRing3Hooks().size();
    const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
    const size_t peak = g_peak - before;
    const uint64_t limit = largest + (4u << 20);
    std::printf(
        "  run %d: %.0f ms, %zu lines; read %.1f MB of memory + %.1f MB of files = %.2f x the images; "
        "peak heap %.1f MB (limit %.1f MB: %s)\n",
        run, ms.count(), lines, native.bytesRead / 1048576.0, files.bytesRead / 1048576.0,
        floor ? double(native.bytesRead + files.bytesRead) / floor : 0.0, peak / 1048576.0, limit / 1048576.0,
        peak < limit ? "ok" : "OVER");
  }
  return 0;
}
