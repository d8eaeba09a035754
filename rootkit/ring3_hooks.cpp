#include "rootkit/ring3_hooks.h"

#include <cstring>
#include <new>
#include <optional>

#include "inspect/files.h"
#include "inspect/processes.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/handles.h"
#include "rootkit/sections.h"

namespace rootkit {

namespace {

constexpr uint32_t kProcessQueryRead = 0x410;
constexpr uint32_t kPathChars = 260;
// An image larger than this is not copied (the size comes from the other process).
constexpr uint32_t kMaxImageCopy = 256u << 20;
// A module file larger than this is not read: no system library comes near it.
constexpr uint64_t kMaxModuleFileSize = 64u << 20;

std::string LowerTrimmed(const std::string& text) {
  std::string out = inspect::TrimControls(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

// The file of the module looked at last, read whole once however many of its exports are
// compared with it; a file that cannot be read (or exceeds the cap) is not tried again.
class TModuleFile {
 public:
  const std::vector<uint8_t>* Bytes(const std::string& path) {
    if (path != path_) {
      path_ = path;
      bytes_.clear();
      read_ = inspect::ReadFileBytes(path, kMaxModuleFileSize, &bytes_);
    }
    return read_ ? &bytes_ : nullptr;
  }
  std::optional<TFileExport> Find(const std::string& path, const std::string& name) {
    const std::vector<uint8_t>* bytes = Bytes(path);
    return bytes ? FindFileExport(bytes->data(), bytes->size(), name) : std::nullopt;
  }

 private:
  std::string path_;
  bool read_ = false;
  std::vector<uint8_t> bytes_;
};

struct TScanContext {
  Handle process = 0;
  uint32_t pid = 0;
  std::string exePath;
  std::vector<std::string>* lines = nullptr;
  TModuleFile* file = nullptr;

  void Add(const std::string& module, const std::string& function, Address target, const char* kind) const {
    lines->push_back(exePath + " -> " + inspect::UpperAscii(module) + "->" + function + " -> " +
                     ModuleNameOfAddress(target, pid) + " -> " + kind);
  }
};

void CheckImportHooks(const TMemoryReader& copy, uint32_t copySize, const TPeHeaders& headers,
                      const std::vector<TModulePath>& paths, const TScanContext& context) {
  std::string lastModule;
  std::vector<TModuleSpan> matches;
  WalkImports(copy, copySize, headers.imports, [&](const TImportEntry& e) {
    if (e.module != lastModule || e.first) {
      lastModule = e.module;
      matches = FindModulesByFileName(e.module, paths);
    }
    if (e.function.find('.') != std::string::npos || matches.empty()) return;
    bool inPlace = false;
    for (const TModuleSpan& m : matches) {
      const uint64_t end = uint64_t{m.base} + m.size;
      inPlace |= matches.size() == 1 ? (m.base <= e.value && e.value <= end) : (m.base < e.value && e.value < end);
    }
    if (inPlace || IsForwardedExport(e.module, e.function)) return;
    std::string path;
    if (!GetRemoteModuleFileName(context.process, matches[0].base, &path, kPathChars) ||
        !context.file->Find(path, e.function)) {
      return;
    }
    context.Add(e.module, e.function, e.value, "IAT");
  });
}

struct TInline {
  const char* kind = nullptr;
  Address target = 0;
  uint32_t length = 0;
};

TInline ClassifyOpening(const uint8_t b[6], Address functionAddress) {
  uint32_t operand;
  if (b[0] == 0x68 && b[5] == 0xC3) {
    std::memcpy(&operand, b + 1, 4);
    return {"Inline Push/Ret", operand, 6};
  }
  if (b[0] == 0xE9) {
    std::memcpy(&operand, b + 1, 4);
    return {"Inline JMP 0xE9", functionAddress + 5 + operand, 5};
  }
  if (b[0] == 0xFF && b[1] == 0x25) {
    // The pointer cell's address, not where the cell points.
    std::memcpy(&operand, b + 2, 4);
    return {"Inline JMP 0x25FF", operand, 6};
  }
  return {};
}

void CheckExportHooks(const TMemoryReader& copy, const TPeHeaders& headers, const TModuleSpan& module,
                      const TScanContext& context) {
  const TDataDirectory exports = headers.exports;
  if (!exports.rva || !exports.size) return;
  const auto dir = ReadExportDirectory(copy, exports.rva);
  if (!dir || !copy.Readable(dir->namesRva, 4) || !copy.Readable(dir->ordinalsRva, 2) ||
      !copy.Readable(dir->functionsRva, 4)) {
    return;
  }
  std::string moduleName, function, path;
  copy.Text(dir->nameRva, &moduleName, kPathChars);
  for (uint32_t i = 0; i < dir->nameCount; ++i) {
    uint32_t nameRva = 0, rva = 0;
    uint16_t ordinal = 0;
    if (!copy.U32(dir->namesRva + 4ull * i, &nameRva) || !copy.U16(dir->ordinalsRva + 2ull * i, &ordinal)) return;
    if (ordinal >= dir->functionCount || !copy.U32(dir->functionsRva + 4ull * ordinal, &rva) ||
        !copy.Text(nameRva, &function, kMaxExportNameChars)) {
      continue;
    }
    if (IsOutsideImage(copy, rva, module.size)) {
      context.Add(moduleName, function, module.base + rva, "EAT");
      continue;
    }
    uint8_t opening[6];
    if (!copy.Read(rva, opening, sizeof opening)) continue;
    const TInline hook = ClassifyOpening(opening, module.base + rva);
    if (!hook.kind) continue;
    if (hook.target >= module.base && uint64_t{hook.target} < uint64_t{module.base} + module.size) continue;
    if (path.empty() && !GetRemoteModuleFileName(context.process, module.base, &path, kPathChars + 1)) continue;
    const std::vector<uint8_t>* file = context.file->Bytes(path);
    const auto onDisk = file ? FindFileExport(file->data(), file->size(), function) : std::nullopt;
    if (!onDisk || !onDisk->fileOffset || file->size() - *onDisk->fileOffset < sizeof opening ||
        std::memcmp(opening, file->data() + *onDisk->fileOffset, hook.length) == 0) {
      continue;
    }
    context.Add(moduleName, function, hook.target, hook.kind);
  }
}

void InspectProcess(uint32_t pid, TModuleFile& file, std::vector<std::string>* lines) {
  platform::ScopedNtHandle process(OpenProcessById(kProcessQueryRead, false, pid));
  if (!process.ok()) return;
  const TModuleLists lists = BuildModuleLists(process.get());
  TScanContext context{process.get(), pid, "", lines, &file};
  GetRemoteModuleFileName(process.get(), 0, &context.exePath, kPathChars);
  for (size_t i = 0; i < lists.modules.size(); ++i) {
    const TModuleSpan& module = lists.modules[i];
    if (module.size == 0 || module.size > kMaxImageCopy) continue;
    // A copy per module, released before the next one is taken: never two images at once.
    std::vector<uint8_t> copy;
    try {
      copy.assign(module.size, 0);
    } catch (const std::bad_alloc&) {
      continue;
    }
    if (!SysReadVirtualMemory(process.get(), module.base, copy.data(), module.size, nullptr)) continue;
    const TBufferReader reader(copy.data(), copy.size());
    const auto headers = ReadPeHeaders(reader, 0);
    if (!headers) continue;
    if (i == 0) CheckImportHooks(reader, module.size, *headers, lists.paths, context);
    CheckExportHooks(reader, *headers, module, context);
  }
}

}  // namespace

std::vector<uint32_t> GetInspectedProcesses() {
  std::vector<uint32_t> pids{platform::Procs().GetCurrentProcessId()};
  const uint32_t shell = inspect::FindProcessId("explorer.exe", inspect::GetWindowsDir() + "\\");
  if (shell && shell != pids[0]) pids.push_back(shell);
  return pids;
}

TModuleLists BuildModuleLists(Handle process) {
  TModuleLists lists;
  Address bases[kMaxInspectedModules];
  uint32_t needed = 0;
  if (!EnumRemoteModules(process, bases, sizeof bases, &needed)) return lists;
  const uint32_t count = std::min<uint32_t>(needed / 4, kMaxInspectedModules);
  for (uint32_t i = 0; i < count; ++i) {
    TRemoteModuleInfo info;
    if (!GetRemoteModuleInfo(process, bases[i], &info, sizeof info)) continue;
    lists.modules.push_back({info.base, info.imageSize});
    std::string path;
    if (GetRemoteModuleFileName(process, bases[i], &path, kPathChars)) {
      lists.paths.push_back({path, {info.base, info.imageSize}});
    }
  }
  return lists;
}

std::vector<TModuleSpan> FindModulesByFileName(const std::string& moduleName, const std::vector<TModulePath>& paths) {
  const std::string wanted = LowerTrimmed(moduleName);
  std::vector<TModuleSpan> matches;
  for (const TModulePath& p : paths) {
    if (matches.size() == kMaxSameNameModules) break;
    if (LowerTrimmed(inspect::FileNamePart(p.path)) == wanted) matches.push_back(p.span);
  }
  return matches;
}

uint64_t NextImportName(const TMemoryReader& copy, uint64_t text) {
  std::string name;
  if (!copy.Text(text, &name, kMaxExportNameChars)) return 0;
  // Hint/name entries start on even addresses, each name after a 2-byte hint.
  return text + name.size() + (name.size() % 2 ? 3 : 4);
}

void WalkImports(const TMemoryReader& copy, uint32_t copySize, const TDataDirectory& imports,
                 const std::function<void(const TImportEntry&)>& visit) {
  if (!imports.rva || !imports.size) return;
  uint64_t copyEnd = GetAlignedImageSize(copy, 0);
  if (copyEnd == 0 || copyEnd > copySize) copyEnd = copySize;
  TImportEntry e;
  for (uint64_t d = imports.rva;; d += 20) {
    uint32_t descriptor[5];
    if (!copy.Read(d, descriptor, sizeof descriptor) || descriptor[3] == 0) return;
    const uint32_t lookup = descriptor[0], moduleNameRva = descriptor[3], iat = descriptor[4];
    // Linkers place the address tables before or after the descriptors: only one that leaves
    // the image ends the walk.
    if (iat >= copyEnd) return;
    if (iat == 0 || !copy.Text(moduleNameRva, &e.module, kPathChars)) continue;
    e.first = true;
    uint64_t name = 0;
    for (uint64_t k = 0;; ++k) {
      if (!copy.U32(iat + 4 * k, &e.value) || e.value == 0) break;
      if (lookup) {
        uint32_t hintName = 0;
        if (!copy.U32(lookup + 4 * k, &hintName)) break;
        name = uint64_t{hintName} + 2;
      } else {
        name = NextImportName(copy, k == 0 ? moduleNameRva : name);
      }
      if (name == 0 || name >= copyEnd || !copy.Text(name, &e.function, kMaxExportNameChars)) continue;
      visit(e);
      e.first = false;
    }
  }
}

bool IsForwardedExport(const std::string& module, const std::string& function) {
  const Address base = platform::Native().GetModuleHandle(module);
  const TOwnMemory memory;
  const auto headers = base ? ReadPeHeaders(memory, base) : std::nullopt;
  if (!headers || !headers->exports.rva || !headers->exports.size) return true;
  const auto dir = ReadExportDirectory(memory, uint64_t{base} + headers->exports.rva);
  if (!dir || dir->nameCount == 0) return true;
  std::string name;
  for (uint32_t i = 0; i < dir->nameCount; ++i) {
    uint32_t nameRva = 0, rva = 0;
    uint16_t ordinal = 0;
    if (!memory.U32(uint64_t{base} + dir->namesRva + 4ull * i, &nameRva) ||
        !memory.U16(uint64_t{base} + dir->ordinalsRva + 2ull * i, &ordinal)) {
      return true;
    }
    if (!memory.Text(uint64_t{base} + nameRva, &name, static_cast<uint32_t>(function.size())) || name != function) {
      continue;
    }
    if (!memory.U32(uint64_t{base} + dir->functionsRva + 4ull * ordinal, &rva)) return true;
    return rva >= headers->exports.rva && uint64_t{rva} < uint64_t{headers->exports.rva} + headers->exports.size;
  }
  return true;
}

bool IsOutsideImage(const TMemoryReader& copy, uint64_t rva, uint32_t loaderSize) {
  uint32_t size = GetAlignedImageSize(copy, 0);
  if (size == 0) size = loaderSize;
  return rva >= size;
}

std::string ModuleNameOfAddress(Address address, uint32_t pid) {
  platform::ScopedNtHandle process(OpenProcessById(kProcessQueryRead, false, pid));
  if (!process.ok()) return "";
  // Base 0 would name the executable: an address in no committed region names no module.
  const Address base = GetAllocationBase(process.get(), address);
  std::string path;
  if (!base || !GetRemoteModuleFileName(process.get(), base, &path, kPathChars + 1)) return "N/A";
  const std::string name = inspect::TrimControls(inspect::FileNamePart(path));
  return name.find('.') == std::string::npos ? "N/A" : name;
}

std::vector<std::string> ListRing3Hooks() {
  std::vector<std::string> lines;
  TModuleFile file;  // shared: the processes load the same system libraries
  for (uint32_t pid : GetInspectedProcesses()) InspectProcess(pid, file, &lines);
  return lines;
}

std::vector<std::string> Ring3HookItems() { return ListRing3Hooks(); }

}  // namespace rootkit
