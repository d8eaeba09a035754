// The fake machine's process memory: regions per process, and the loader structures (environment
// block, loader data, in-load-order entries) in their 32-bit layouts, as the native walkers read them.
#include <cstring>
#include <mutex>

#include "platform/fake/facilities.h"
#include "platform/fake/fake_machine.h"

namespace platform::fake {

namespace {

constexpr uint32_t kPebSize = 0x1000;
constexpr uint32_t kLdrSize = 0x40;
constexpr uint32_t kLdrListHead = 0x0C;
constexpr uint32_t kEntrySize = 0x48;

std::vector<uint8_t> Utf16(const std::string& text) {
  std::vector<uint8_t> out;
  for (unsigned char c : text) {
    out.push_back(c);
    out.push_back(0);
  }
  return out;
}

}  // namespace

MemoryRegion* AddressSpace::RegionAt(Address address, Address* base) {
  auto it = regions.upper_bound(address);
  if (it == regions.begin()) return nullptr;
  --it;
  if (static_cast<uint64_t>(address) >= static_cast<uint64_t>(it->first) + it->second.bytes.size()) return nullptr;
  if (base) *base = it->first;
  return &it->second;
}

uint32_t AddressSpace::Read(Address address, void* out, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    Address base = 0;
    const uint64_t at = static_cast<uint64_t>(address) + done;
    if (at > 0xFFFFFFFFu) break;
    MemoryRegion* region = RegionAt(static_cast<Address>(at), &base);
    if (!region || region->state != nt::kMemCommit || !region->readable) break;
    const size_t offset = at - base;
    const size_t n = std::min<size_t>(size - done, region->bytes.size() - offset);
    std::memcpy(static_cast<uint8_t*>(out) + done, region->bytes.data() + offset, n);
    done += static_cast<uint32_t>(n);
  }
  return done;
}

bool AddressSpace::Write(Address address, const void* data, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    Address base = 0;
    const uint64_t at = static_cast<uint64_t>(address) + done;
    MemoryRegion* region = at > 0xFFFFFFFFu ? nullptr : RegionAt(static_cast<Address>(at), &base);
    if (!region || region->state != nt::kMemCommit) return false;
    const size_t offset = at - base;
    const size_t n = std::min<size_t>(size - done, region->bytes.size() - offset);
    std::memcpy(region->bytes.data() + offset, static_cast<const uint8_t*>(data) + done, n);
    done += static_cast<uint32_t>(n);
  }
  return true;
}

Address AddressSpace::AllocateStructure(uint32_t size) {
  const uint32_t rounded = (size + 0xFFF) & ~0xFFFu;
  const Address base = nextStructure;
  nextStructure += rounded;
  regions[base] = MemoryRegion{base, nt::kMemCommit, true, std::vector<uint8_t>(rounded)};
  return base;
}

void Machine::MapMemory(uint32_t pid, Address base, std::vector<uint8_t> bytes, uint32_t state) {
  std::lock_guard lock(state_.mutex);
  state_.native.spaces[pid].regions[base] = MemoryRegion{base, state, true, std::move(bytes)};
}

void LinkModule(MachineState& state, uint32_t pid, Address base, std::vector<uint8_t> image,
                const std::string& fullPath) {
  std::lock_guard lock(state.mutex);
  AddressSpace& space = state.native.spaces[pid];
  if (!space.peb) {
    space.peb = space.AllocateStructure(kPebSize);
    space.ldr = space.AllocateStructure(kLdrSize);
    space.Write32(space.peb + 0x0C, space.ldr);
    space.Write32(space.peb + 0xA0, space.peb + 0x800);  // the loader lock
    space.Write32(space.peb + 0xA4, state.system.version.major);
    space.Write32(space.peb + 0xA8, state.system.version.minor);
    space.Write32(space.ldr, 0x28);
    space.Write32(space.ldr + kLdrListHead, space.ldr + kLdrListHead);
    space.Write32(space.ldr + kLdrListHead + 4, space.ldr + kLdrListHead);
  }
  const uint32_t size = static_cast<uint32_t>(image.size());
  space.regions[base] = MemoryRegion{base, nt::kMemCommit, true, std::move(image)};

  const std::string fileName = fullPath.substr(fullPath.find_last_of('\\') + 1);
  const std::vector<uint8_t> full = Utf16(fullPath), name = Utf16(fileName);
  const Address entry = space.AllocateStructure(kEntrySize + static_cast<uint32_t>(full.size() + name.size()) + 4);
  const Address head = space.ldr + kLdrListHead;
  Address last = 0;
  space.Read(head + 4, &last, 4);
  space.Write32(entry, head);
  space.Write32(entry + 4, last);
  space.Write32(last, entry);  // the previous entry's (or the head's) forward link
  space.Write32(head + 4, entry);
  space.Write32(entry + 0x18, base);
  space.Write32(entry + 0x1C, base + 0x1000);
  space.Write32(entry + 0x20, size);
  const Address fullAt = entry + kEntrySize, nameAt = fullAt + static_cast<Address>(full.size()) + 2;
  space.Write32(entry + 0x24, static_cast<uint32_t>(full.size()) | static_cast<uint32_t>(full.size() + 2) << 16);
  space.Write32(entry + 0x28, fullAt);
  space.Write32(entry + 0x2C, static_cast<uint32_t>(name.size()) | static_cast<uint32_t>(name.size() + 2) << 16);
  space.Write32(entry + 0x30, nameAt);
  space.Write(fullAt, full.data(), static_cast<uint32_t>(full.size()));
  space.Write(nameAt, name.data(), static_cast<uint32_t>(name.size()));
  space.modules.push_back({base, size, fullPath, entry});
}

void Machine::LoadModule(uint32_t pid, Address base, std::vector<uint8_t> image, const std::string& fullPath) {
  LinkModule(state_, pid, base, std::move(image), fullPath);
}

void Machine::AddLoadableLibrary(const std::string& fileName, Address base, std::vector<uint8_t> image,
                                 const std::string& fullPath) {
  std::lock_guard lock(state_.mutex);
  state_.native.libraries[UpperAscii(fileName)] = LoadableLibrary{base, std::move(image), fullPath};
}

}  // namespace platform::fake
