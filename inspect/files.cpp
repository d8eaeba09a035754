#include "inspect/files.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <vector>

#include "inspect/md5.h"
#include "inspect/system.h"
#include "inspect/text.h"
#include "platform/call_counts.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace inspect {
namespace {

using platform::Fs;
using platform::Handle;
using platform::Svc;
using platform::Sys;
namespace win = platform::win;

constexpr uint32_t kShareAll = win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;

using platform::ScopedFile;
using platform::ScopedService;
using platform::ScopedView;

// The string field of the first translation of the version information; nullopt when missing.
std::optional<std::string> VersionField(const std::string& path, const std::string& field) {
  if (path.empty()) return std::nullopt;
  std::vector<uint8_t> info;
  uint16_t language = 0, codePage = 0;
  if (!Fs().GetFileVersionInfo(path, &info) || !Fs().VerQueryTranslation(info, &language, &codePage)) {
    return std::nullopt;
  }
  char block[64];
  std::snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", language, codePage);
  return Fs().VerQueryString(info, block + field);
}

// Reads from the file's current position to its end; false when a read fails.
bool ReadToEnd(Handle file, std::string* contents) {
  // 1 MiB a call: a whole large file in few calls. One buffer per thread, kept.
  thread_local std::vector<char> buffer(1 << 20);
  uint32_t got = 0;
  while (Fs().ReadFile(file, buffer.data(), static_cast<uint32_t>(buffer.size()), &got)) {
    if (got == 0) return true;
    if (contents) contents->append(buffer.data(), got);
  }
  return false;
}

bool ReadExactly(Handle file, void* buffer, uint32_t size) {
  uint32_t got = 0;
  return Fs().ReadFile(file, buffer, size, &got) && got == size;
}

// The bytes one mapped view covers: 256 allocation units, 16 MiB at the usual 64 KiB.
uint64_t Md5WindowSize() {
  const uint64_t granularity = std::max<uint32_t>(Sys().AllocationGranularity(), 1);
  constexpr uint64_t kMaxWindow = 64ull << 20;
  return std::max(granularity, std::min<uint64_t>(granularity * 256, kMaxWindow / granularity * granularity));
}

}  // namespace

std::optional<platform::FindData> FindEntry(const std::string& path) {
  platform::FindData data;
  const platform::ScopedFind find(Fs().FindFirstFile(path, &data));
  if (!find.ok()) return std::nullopt;
  return data;
}

uint64_t FileSizeOf(const std::string& path) {
  const auto entry = FindEntry(path);
  return entry ? entry->size : 0;
}

std::string FileCompanyName(const std::string& path) {
  return TLookupMemo::Answer("C" + path, [&] {
    const std::string company = TrimControls(VersionField(path, "CompanyName").value_or(""));
    return company.empty() ? std::string("Unknown") : company;
  });
}

std::string FileProductVersion(const std::string& path) {
  const std::string version = VersionField(path, "ProductVersion").value_or("");
  return TrimControls(version).empty() ? "Unknown" : version;
}

std::string FileDateText(const std::string& path, int which) {
  if (which < 1 || which > 3) return "";
  const auto entry = FindEntry(path);
  return entry ? EntryDateText(*entry, which) : "";
}

std::string EntryDateText(const platform::FindData& entry, int which) {
  if (which < 1 || which > 3) return "";
  const platform::FileTime time =
      which == 1 ? entry.creationTime : which == 2 ? entry.lastAccessTime : entry.lastWriteTime;
  const platform::LocalTime local = Sys().FileTimeToLocalTime(time);
  std::string text = Sys().FormatShortDate(local);
  if (local.hour != 0 || local.minute != 0 || local.second != 0) text += " " + Sys().FormatLongTime(local);
  return text;
}

std::string FileAttrText(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  if (attributes == win::kInvalidFileAttributes) return "----";
  std::string text = "----";
  if (attributes & win::kFileAttributeHidden) text[0] = 'H';
  if (attributes & win::kFileAttributeSystem) text[1] = 'S';
  if (attributes & win::kFileAttributeArchive) text[2] = 'A';
  if (attributes & win::kFileAttributeReadonly) text[3] = 'R';
  return text;
}

bool CanOpenFile(const std::string& path) {
  ScopedFile file(Fs().CreateFile(path, win::kGenericRead, kShareAll, win::kOpenExisting, 0));
  if (!file.ok()) return false;
  ReadToEnd(file.get(), nullptr);  // a failed read does not change the answer
  return true;
}

bool IsPeFile(const std::string& path) {
  ScopedFile file(Fs().CreateFile(path, win::kGenericRead, kShareAll, win::kOpenExisting, 0));
  if (!file.ok()) return false;
  uint8_t dos[64];
  if (!ReadExactly(file.get(), dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint32_t offset = dos[60] | (dos[61] << 8) | (dos[62] << 16) | (uint32_t{dos[63]} << 24);
  uint8_t nt[248];
  if (!Fs().SetFilePointer(file.get(), offset, win::kFileBegin, nullptr) || !ReadExactly(file.get(), nt, sizeof nt)) {
    return false;
  }
  return nt[0] == 'P' && nt[1] == 'E' && nt[2] == 0 && nt[3] == 0;
}

bool IsProtectedSystemFile(const std::string& path) {
  // Looked for in the system folder only: a bare name would find a planted copy in the current one.
  const uint32_t sfc = Fs().GetFileAttributes(Sys().GetSystemDirectory() + "\\SFC.dll");
  const bool hasSfc = sfc != win::kInvalidFileAttributes && !(sfc & win::kFileAttributeDirectory);
  return Sys().SfcIsFileProtected(hasSfc ? "SFC.dll" : "sfc_os.dll", path).value_or(false);
}

// Hashed through a sequence of read-only views, so that a file larger than the address space
// still gets its true digest. A file that cannot be opened or mapped, or whose first view
// cannot be made, feeds nothing; a view refused further on raises EFileReadError, because the
// digest of a prefix would pass for the file's own.
std::string FileMd5Text(const std::string& path) {
  TMd5 md5;
  ScopedFile file(Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead | win::kFileShareWrite,
                                    win::kOpenExisting, win::kFileFlagSequentialScan));
  uint64_t size = 0;
  if (file.ok() && Fs().GetFileSize(file.get(), &size) && size > 0) {
    ScopedFile mapping(Fs().CreateFileMapping(file.get()));
    if (mapping.ok()) {
      const uint64_t window = Md5WindowSize();
      for (uint64_t offset = 0; offset < size; offset += window) {
        const auto length = static_cast<size_t>(std::min(window, size - offset));
        ScopedView view(Fs().MapViewOfFile(mapping.get(), offset, length));
        if (!view.get()) {
          if (offset == 0) break;
          throw EFileReadError("cannot map " + path + " at offset " + std::to_string(offset));
        }
        md5.Update(view.get(), length);
        platform::CountHashedBytes(length);
      }
    }
  }
  return TMd5::ToHex(md5.Finish());
}

bool FileExists(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && !(attributes & win::kFileAttributeDirectory);
}

bool FolderExists(const std::string& path) {
  const uint32_t attributes = Fs().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory);
}

bool PathExists(const std::string& path) { return Fs().GetFileAttributes(path) != win::kInvalidFileAttributes; }

std::string ReadFileText(const std::string& path) {
  ScopedFile file(Fs().CreateFile(path, win::kGenericRead, kShareAll, win::kOpenExisting, 0));
  if (!file.ok()) return "";
  std::string text;
  if (!ReadToEnd(file.get(), &text)) return "";
  return text;
}

bool ReadFileBytes(const std::string& path, uint64_t maxSize, std::vector<uint8_t>* bytes) {
  ScopedFile file(Fs().CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0));
  uint64_t size = 0;
  if (!file.ok() || !Fs().GetFileSize(file.get(), &size) || size == 0 || size > maxSize) return false;
  try {
    bytes->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint32_t read = 0;
  return Fs().ReadFile(file.get(), bytes->data(), static_cast<uint32_t>(size), &read) && read == size;
}

uint32_t ServiceState(const std::string& machine, const std::string& serviceName) {
  ScopedService manager(Svc().OpenSCManager(machine, win::kScManagerConnect));
  if (!manager.ok()) return 0;
  ScopedService service(Svc().OpenService(manager.get(), serviceName, win::kServiceQueryStatus));
  uint32_t state = 0;
  if (!service.ok() || !Svc().QueryServiceStatus(service.get(), &state)) return 0;
  return state;
}

bool IsServiceRunning(const std::string& machine, const std::string& serviceName) {
  return ServiceState(machine, serviceName) == win::kServiceRunning;
}

std::string ServiceBinaryPath(const std::string& serviceName) {
  ScopedService manager(Svc().OpenSCManager("", win::kScManagerAllAccess));
  if (!manager.ok()) return "";
  ScopedService service(Svc().OpenService(manager.get(), serviceName, win::kServiceAllAccess));
  platform::ServiceConfig config;
  if (!service.ok() || !Svc().QueryServiceConfig(service.get(), 4096, &config)) return "";
  return config.binaryPath;
}

}  // namespace inspect
