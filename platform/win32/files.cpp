#include "platform/win32/win32_common.h"

#include <vector>

namespace platform::win32 {
namespace {

void ToFindData(const WIN32_FIND_DATAA& in, FindData* out) {
  out->attributes = in.dwFileAttributes;
  out->creationTime = ToFileTime(in.ftCreationTime);
  out->lastAccessTime = ToFileTime(in.ftLastAccessTime);
  out->lastWriteTime = ToFileTime(in.ftLastWriteTime);
  out->size = (static_cast<uint64_t>(in.nFileSizeHigh) << 32) | in.nFileSizeLow;
  out->name = in.cFileName;
  out->shortName = in.cAlternateFileName;
}

// A file that names its own DACL, not inherited: SYSTEM and the Administrators, full access.
class PrivateFileSecurity {
 public:
  PrivateFileSecurity() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_) ||
        !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &admins_)) {
      return;
    }
    const DWORD size = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(system_) + ::GetLengthSid(admins_);
    acl_.assign(size / sizeof(DWORD) + 1, 0);
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    ok_ = ::InitializeAcl(acl, size, ACL_REVISION) && ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system_) &&
          ::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, admins_) &&
          ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
          ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
          ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  ~PrivateFileSecurity() {
    if (system_) ::FreeSid(system_);
    if (admins_) ::FreeSid(admins_);
  }
  PrivateFileSecurity(const PrivateFileSecurity&) = delete;
  PrivateFileSecurity& operator=(const PrivateFileSecurity&) = delete;

  SECURITY_ATTRIBUTES* attributes() {
    if (!ok_) return nullptr;
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    return &attributes_;
  }

 private:
  PSID system_ = nullptr;
  PSID admins_ = nullptr;
  std::vector<DWORD> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool ok_ = false;
};

class Win32Files final : public FileSystem {
 public:
  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return kInvalidHandle;
    ToFindData(found, data);
    return FromHandle(find);
  }

  bool FindNextFile(Handle find, FindData* data) override {
    WIN32_FIND_DATAA found{};
    if (!::FindNextFileA(ToHandle(find), &found)) return false;
    ToFindData(found, data);
    return true;
  }

  void FindClose(Handle find) override { ::FindClose(ToHandle(find)); }

  uint32_t GetFileAttributes(const std::string& path) override { return ::GetFileAttributesA(path.c_str()); }

  bool SetFileAttributes(const std::string& path, uint32_t attributes) override {
    return ::SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }

  bool CreateDirectory(const std::string& path) override { return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

  bool CreatePrivateDirectory(const std::string& path) override {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID system = nullptr, admins = nullptr;
    bool created = false;
    if (AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
      const DWORD size = sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(system) + GetLengthSid(admins);
      std::vector<DWORD> aclBytes(size / sizeof(DWORD) + 1);
      auto* acl = reinterpret_cast<PACL>(aclBytes.data());
      constexpr DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
      SECURITY_DESCRIPTOR descriptor;
      if (InitializeAcl(acl, size, ACL_REVISION) &&
          AddAccessAllowedAceEx(acl, ACL_REVISION, kInherit, FILE_ALL_ACCESS, system) &&
          AddAccessAllowedAceEx(acl, ACL_REVISION, kInherit, FILE_ALL_ACCESS, admins) &&
          InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
          SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
          SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
        created = ::CreateDirectoryA(path.c_str(), &attributes) != FALSE;
      }
    }
    const DWORD error = ::GetLastError();
    if (admins) FreeSid(admins);
    if (system) FreeSid(system);
    ::SetLastError(error);
    return created;
  }

  bool RemoveDirectory(const std::string& path) override { return ::RemoveDirectoryA(path.c_str()) != FALSE; }

  bool DeleteFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != FALSE; }

  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return ::CopyFileA(from.c_str(), to.c_str(), failIfExists) != FALSE;
  }

  bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
  }

  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    HANDLE file = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    return file == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(file);
  }

  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    DWORD got = 0;
    BOOL ok = ::ReadFile(ToHandle(file), buffer, size, &got, nullptr);
    if (read) *read = got;
    return ok != FALSE;
  }

  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    DWORD put = 0;
    BOOL ok = ::WriteFile(ToHandle(file), buffer, size, &put, nullptr);
    if (written) *written = put;
    return ok != FALSE;
  }

  // The high/low form: 0xFFFFFFFF is a valid low half, so the last error tells failure apart.
  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) override {
    LONG high = static_cast<LONG>(distance >> 32);
    ::SetLastError(NO_ERROR);
    DWORD low = ::SetFilePointer(ToHandle(file), static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
    if (position) *position = (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
  }

  bool GetFileSize(Handle file, uint64_t* size) override {
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    DWORD low = ::GetFileSize(ToHandle(file), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
  }

  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) override {
    FILETIME c{}, a{}, w{};
    if (!::GetFileTime(ToHandle(file), &c, &a, &w)) return false;
    if (creation) *creation = ToFileTime(c);
    if (access) *access = ToFileTime(a);
    if (write) *write = ToFileTime(w);
    return true;
  }

  bool CloseHandle(Handle file) override { return ::CloseHandle(ToHandle(file)) != FALSE; }

  bool FlushFileBuffers(Handle file) override { return ::FlushFileBuffers(ToHandle(file)) != FALSE; }

  bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(ToHandle(file), &info)) return false;
    *attributes = info.dwFileAttributes;
    return true;
  }

  Handle CreatePrivateFile(const std::string& path) override {
    PrivateFileSecurity security;
    SECURITY_ATTRIBUTES* attributes = security.attributes();
    if (!attributes) return kInvalidHandle;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, attributes,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(file);
  }

  Handle CreateFileMapping(Handle file) override {
    HANDLE mapping = ::CreateFileMappingA(ToHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    return mapping ? FromHandle(mapping) : kNoHandle;
  }

  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    return static_cast<const uint8_t*>(::MapViewOfFile(ToHandle(mapping), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                                       static_cast<DWORD>(offset & 0xFFFFFFFF), length));
  }

  void UnmapViewOfFile(const uint8_t* view) override { ::UnmapViewOfFile(view); }

  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return false;
    data->assign(size, 0);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data->data())) {
      data->clear();
      return false;
    }
    return true;
  }

  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) override {
    void* block = nullptr;
    UINT length = 0;
    if (data.empty() ||
        !::VerQueryValueA(const_cast<uint8_t*>(data.data()), "\\VarFileInfo\\Translation", &block, &length) ||
        !block || length < 4) {
      return false;
    }
    const WORD* pair = static_cast<const WORD*>(block);
    *language = pair[0];
    *codePage = pair[1];
    return true;
  }

  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) override {
    void* block = nullptr;
    UINT length = 0;
    if (data.empty() || !::VerQueryValueA(const_cast<uint8_t*>(data.data()), subBlock.c_str(), &block, &length) ||
        !block) {
      return std::nullopt;
    }
    const char* text = static_cast<const char*>(block);
    return std::string(text, ::strnlen(text, length));
  }
};

}  // namespace

FileSystem& FileSystemFacility() {
  static Win32Files files;
  return files;
}

}  // namespace platform::win32
