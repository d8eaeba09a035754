// The offline registry over any bytes as the SOFTWARE and NTUSER.DAT hives of a volume: opening
// it notes what it cannot read, and a walk of every key and value it shows never crashes, reads
// out of bounds or goes round for ever.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/offline/offline_backend.h"

namespace {

namespace fs = std::filesystem;
using platform::Reg;
using platform::RegKey;

size_t g_budget = 0;

void Walk(RegKey root, const std::string& path, int depth) {
  if (depth > 16 || g_budget == 0) return;
  --g_budget;
  RegKey key = 0;
  if (Reg().OpenKey(root, path, platform::win::kKeyRead, &key) != 0) return;
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  for (uint32_t i = 0; i < 64 && Reg().EnumValueData(key, i, &name, &type, &data) == 0; ++i) {
    Reg().QueryValue(key, name, &type, &data);
  }
  std::vector<std::string> children;
  for (uint32_t i = 0; i < 64 && Reg().EnumKey(key, i, &name) == 0; ++i) children.push_back(name);
  Reg().CloseKey(key);
  for (const std::string& child : children) Walk(root, path.empty() ? child : path + "\\" + child, depth + 1);
}

const fs::path& Volume() {
  static const fs::path dir = [] {
    const fs::path d = fs::temp_directory_path() / ("bs-hive-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(d / "WINDOWS/system32/config");
    fs::create_directories(d / "Documents and Settings/User");
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& dir = Volume();
  // The header's checksum made right, so that damage past the header gets read.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() >= 0x200) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4) {
      uint32_t word;
      std::memcpy(&word, bytes.data() + i, 4);
      sum ^= word;
    }
    std::memcpy(bytes.data() + 0x1FC, &sum, 4);
  }
  for (const char* hive : {"WINDOWS/system32/config/SOFTWARE", "Documents and Settings/User/NTUSER.DAT"}) {
    std::ofstream(dir / hive, std::ios::binary | std::ios::trunc) << bytes;
  }
  platform::offline::Volume volume(dir.string());
  volume.Install();
  g_budget = 500;
  Walk(platform::kHkeyLocalMachine, "", 0);
  Walk(platform::kHkeyCurrentUser, "", 0);
  Walk(platform::kHkeyClassesRoot, "", 0);
  platform::Sys().GetVersion();
  platform::Sys().GetTempPath();
  return 0;
}
