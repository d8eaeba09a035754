// The fake machine's kernel and companion driver: the system module list, driver loading through
// the service key, the driver's device and its four requests (answered by the driver's own
// request code over the fake kernel memory), and files mapped as images into the own process.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "driver/kvdrv_requests.h"
#include "platform/fake/facilities.h"
#include "platform/fake/fake_machine.h"

namespace platform::fake {

namespace {

constexpr uint32_t kStatusInvalidInfoClass = 0xC0000003;
constexpr uint32_t kStatusObjectPathNotFound = 0xC000003A;
constexpr uint32_t kModuleEntrySize = 284;
constexpr uint32_t kModuleNameChars = 256;
constexpr char kMachinePrefix[] = "\\REGISTRY\\MACHINE\\";
// Images larger than this are refused (a test image is a few pages).
constexpr uint32_t kMaxImageSize = 64u << 20;

uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
  return v;
}
uint16_t U16(const std::string& bytes, size_t at) {
  uint16_t v = 0;
  if (at + 2 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 2);
  return v;
}

// The service key's ImagePath, or nothing when the key or the value is missing.
std::optional<std::string> ImagePathOf(MachineState& s, const std::string& serviceKey) {
  const std::string upper = UpperAscii(serviceKey);
  if (upper.rfind(kMachinePrefix, 0) != 0) return std::nullopt;
  auto node = s.registry.Find(kHkeyLocalMachine, serviceKey.substr(sizeof kMachinePrefix - 1));
  if (!node) return std::nullopt;
  const RegValue* value = node->Value("ImagePath");
  if (!value || (value->type != win::kRegSz && value->type != win::kRegExpandSz)) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// The driver's view of the fake kernel.
uint32_t DriverServiceTable(void* context, uint32_t* count) {
  const KernelState& k = *static_cast<const KernelState*>(context);
  *count = k.serviceCount;
  return k.serviceTable;
}
uint32_t KernelImage(void* context, uint32_t* size) {
  const KernelState& k = *static_cast<const KernelState*>(context);
  *size = k.modules.empty() ? 0 : k.modules[0].size;
  return k.modules.empty() ? 0 : k.modules[0].base;
}
int IsReadable(void* context, uint32_t address, uint32_t length) {
  auto& k = *static_cast<KernelState*>(context);
  std::vector<uint8_t> bytes(length);
  return length != 0 && k.memory.Read(address, bytes.data(), length) == length;
}
void ReadKernel(void* context, uint32_t address, void* out, uint32_t length) {
  static_cast<KernelState*>(context)->memory.Read(address, out, length);
}
uint32_t SyscallEntry(void* context) { return static_cast<const KernelState*>(context)->syscallEntry; }

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

// Lays a PE file out as the loader maps it: headers, then each section's raw data at its
// virtual address, in a zero-filled image of the optional header's size. Empty when malformed.
std::vector<uint8_t> LayOut(const std::string& file) {
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return {};
  const uint32_t nt = U32(file, 0x3C);
  if (uint64_t{nt} + 248 > file.size() || file.compare(nt, 4, std::string("PE\0\0", 4)) != 0) return {};
  const uint16_t sections = U16(file, nt + 6), optionalSize = U16(file, nt + 20);
  const uint32_t imageSize = U32(file, nt + 24 + 56), headersSize = U32(file, nt + 24 + 60);
  if (imageSize == 0 || imageSize > kMaxImageSize) return {};
  std::vector<uint8_t> image(imageSize);
  const size_t headers = std::min<size_t>({headersSize, file.size(), imageSize});
  std::memcpy(image.data(), file.data(), headers);
  const uint64_t table = uint64_t{nt} + 24 + optionalSize;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint64_t at = table + 40ull * i;
    if (at + 40 > file.size()) return {};
    const uint32_t va = U32(file, at + 12), rawSize = U32(file, at + 16), raw = U32(file, at + 20);
    if (va >= imageSize || raw >= file.size()) continue;
    const size_t n = std::min<size_t>({rawSize, file.size() - raw, imageSize - va});
    std::memcpy(image.data() + va, file.data() + raw, n);
  }
  return image;
}

}  // namespace

uint32_t KernelQueryModules(MachineState& s, void* buffer, uint32_t size, uint32_t* returned) {
  const KernelState& k = s.kernel;
  if (k.moduleListStatus) return k.moduleListStatus;
  const uint32_t needed = 4 + kModuleEntrySize * static_cast<uint32_t>(k.modules.size());
  if (returned) *returned = needed;
  if (size < needed) return nt::kStatusInfoLengthMismatch;
  std::vector<uint8_t> out(needed);
  const uint32_t count = static_cast<uint32_t>(k.modules.size());
  std::memcpy(out.data(), &count, 4);
  for (uint32_t i = 0; i < count; ++i) {
    const KernelModule& m = k.modules[i];
    uint8_t* e = out.data() + 4 + kModuleEntrySize * i;
    std::memcpy(e + 8, &m.base, 4);
    std::memcpy(e + 12, &m.size, 4);
    const std::string name = m.imageName.substr(0, kModuleNameChars - 1);
    const size_t slash = name.find_last_of('\\');
    const uint16_t fileOffset = static_cast<uint16_t>(slash == std::string::npos ? 0 : slash + 1);
    std::memcpy(e + 26, &fileOffset, 2);
    std::memcpy(e + 28, name.data(), name.size());
  }
  std::memcpy(buffer, out.data(), needed);
  return nt::kStatusSuccess;
}

uint32_t KernelLoadDriver(MachineState& s, const std::string& serviceKey) {
  KernelState& k = s.kernel;
  const auto image = ImagePathOf(s, serviceKey);
  if (!image) return nt::kStatusObjectNameNotFound;
  std::string file = *image;
  if (file.rfind("\\??\\", 0) == 0) file.erase(0, 4);
  const FakeFile* f = s.files.Find(file);
  if (!f) return kStatusObjectPathNotFound;
  if (k.loadStatus) return k.loadStatus;
  if (k.loaded) return nt::kStatusImageAlreadyLoaded;
  k.loaded = true;
  k.loadedImage = f->contents;
  k.events.push_back("load " + *image);
  return nt::kStatusSuccess;
}

uint32_t KernelUnloadDriver(MachineState& s, const std::string& serviceKey) {
  KernelState& k = s.kernel;
  if (!ImagePathOf(s, serviceKey) || !k.loaded) return nt::kStatusObjectNameNotFound;
  k.loaded = false;
  k.events.push_back("unload");
  return nt::kStatusSuccess;
}

Handle KernelOpenDevice(MachineState& s, const std::string& path) {
  KernelState& k = s.kernel;
  // The device's name, with whatever follows it after a backslash.
  const auto under = [&](const std::string& name) {
    return EqualNoCase(path.substr(0, name.size()), name) && (path.size() == name.size() || path[name.size()] == '\\');
  };
  const std::string global = "\\\\.\\Global\\" + k.deviceName, local = "\\\\.\\" + k.deviceName;
  const std::string* name = k.globalDeviceNames && under(global) ? &global : under(local) ? &local : nullptr;
  if (!k.loaded || !name) {
    SetThreadLastError(win::kErrorFileNotFound);
    return kInvalidHandle;
  }
  // The device's DACL, one open at a time, and no file name after the device's own.
  if (!k.callerIsAdmin || k.device != kNoHandle || path.size() != name->size()) {
    SetThreadLastError(win::kErrorAccessDenied);
    return kInvalidHandle;
  }
  k.device = s.NewHandle();
  k.events.push_back("open " + path);
  return k.device;
}

bool KernelCloseDevice(MachineState& s, Handle device) {
  KernelState& k = s.kernel;
  if (device == kNoHandle || device != k.device) {
    SetThreadLastError(win::kErrorInvalidHandle);
    return false;
  }
  k.device = kNoHandle;
  k.events.push_back("close");
  return true;
}

uint32_t KernelDeviceControl(MachineState& s, Handle file, IoStatus* ioStatus, uint32_t code, const void* input,
                             uint32_t inputSize, void* output, uint32_t outputSize) {
  KernelState& k = s.kernel;
  if (file == kNoHandle || file != k.device) return nt::kStatusInvalidHandle;
  k.events.push_back("request " + Hex(code));
  // Buffered transfer: one system buffer for both directions; what was answered is copied back.
  std::vector<uint8_t> buffer(std::max(inputSize, outputSize) + 1);
  if (inputSize) std::memcpy(buffer.data(), input, inputSize);
  const KvKernel kernel{&k, DriverServiceTable, KernelImage, IsReadable, ReadKernel, SyscallEntry};
  uint32_t information = 0;
  // Without a loaded driver nothing answers; the handle stays but the requests fail.
  uint32_t status = k.loaded ? static_cast<uint32_t>(
                                   KvHandleRequest(&kernel, code, buffer.data(), inputSize, outputSize, &information))
                             : nt::kStatusInvalidHandle;
  if (auto it = k.answers.find(code); it != k.answers.end()) {
    status = it->second.status;
    information = it->second.information;
  }
  if ((status & 0xC0000000u) != 0xC0000000u && output) {
    std::memcpy(output, buffer.data(), std::min(information, outputSize));
  }
  if (ioStatus) *ioStatus = IoStatus{status, information};
  return status;
}

Address MapImage(MachineState& s, const std::string& path, bool library) {
  FakeFile* f = s.files.Find(path);
  if (!f || f->directory) {
    SetThreadLastError(win::kErrorFileNotFound);
    return 0;
  }
  std::vector<uint8_t> image = LayOut(f->contents);
  if (image.empty()) {
    SetThreadLastError(193);  // ERROR_BAD_EXE_FORMAT
    return 0;
  }
  const Address base = s.nextImageBase;
  s.nextImageBase += (static_cast<uint32_t>(image.size()) + 0xFFFFu) & ~0xFFFFu;
  AddressSpace& own = s.native.spaces[s.processes.currentPid];
  own.regions[base] = MemoryRegion{base, nt::kMemCommit, true, std::move(image)};
  s.mappedImages[base] = MappedImage{f->path, library};
  s.kernel.events.push_back((library ? "library " : "map ") + f->path);
  return base;
}

bool UnmapImage(MachineState& s, Address base, bool library) {
  auto it = s.mappedImages.find(base);
  if (it == s.mappedImages.end() || it->second.library != library) return false;
  s.kernel.events.push_back((library ? "free " : "unmap ") + it->second.path);
  s.native.spaces[s.processes.currentPid].regions.erase(base);
  s.mappedImages.erase(it);
  return true;
}

size_t Machine::MappedImageCount() {
  std::lock_guard lock(state_.mutex);
  return state_.mappedImages.size();
}

}  // namespace platform::fake
