// The file system facility: files, folders, volumes and version resources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/basics.h"

namespace platform {

// FILETIME as one number: 100 ns units since 1601-01-01 UTC.
using FileTime = uint64_t;

struct FindData {
  uint32_t attributes = 0;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  uint64_t size = 0;
  std::string name;
  // cAlternateFileName: the 8.3 name when the file has one besides its name, else empty.
  std::string shortName;
};

// File calls set the thread's last error (System::GetLastError) when they fail.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // FindFirstFileA; kInvalidHandle when nothing matches or the folder is missing.
  virtual Handle FindFirstFile(const std::string& pattern, FindData* data) = 0;
  virtual bool FindNextFile(Handle find, FindData* data) = 0;
  virtual void FindClose(Handle find) = 0;
  virtual uint32_t GetFileAttributes(const std::string& path) = 0;
  virtual bool SetFileAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  // CreateDirectoryA with a protected DACL: full access for SYSTEM and the Administrators group,
  // inherited by everything created inside, and nothing for anyone else. Fails when it exists.
  virtual bool CreatePrivateDirectory(const std::string& path) = 0;
  virtual bool RemoveDirectory(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // MoveFileExA with kMoveFileReplaceExisting and the like; a file only, on the same volume.
  virtual bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) = 0;
  // CreateFileA with the Windows access, share and disposition numbers; kInvalidHandle on failure.
  virtual Handle CreateFile(const std::string& path, uint32_t access, uint32_t share,
                            uint32_t disposition, uint32_t attributes) = 0;
  virtual bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) = 0;
  virtual bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) = 0;
  virtual bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) = 0;
  virtual bool GetFileSize(Handle file, uint64_t* size) = 0;
  virtual bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) = 0;
  // Closes a file or a mapping handle.
  virtual bool CloseHandle(Handle file) = 0;
  // FlushFileBuffers: what was written reaches the disk before the call returns.
  virtual bool FlushFileBuffers(Handle file) = 0;
  // GetFileInformationByHandle's attributes of an open file or folder.
  virtual bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) = 0;
  // CreateFileA of a new file (fails when the name exists), read and write, shared for reading and
  // writing but never for deleting or renaming while open, with a DACL of its own (not inherited)
  // that lets in only SYSTEM and the Administrators; kInvalidHandle on failure.
  virtual Handle CreatePrivateFile(const std::string& path) = 0;

  // CreateFileMappingA of an open file, read-only, whole file; kNoHandle on failure (an empty
  // file cannot be mapped).
  virtual Handle CreateFileMapping(Handle file) = 0;
  // MapViewOfFile, read-only, `length` bytes from `offset` (a multiple of the allocation
  // granularity); null on failure. Released with UnmapViewOfFile.
  virtual const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) = 0;
  virtual void UnmapViewOfFile(const uint8_t* view) = 0;

  // GetFileVersionInfoSizeA + GetFileVersionInfoA; false when the file has no version information.
  virtual bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) = 0;
  // VerQueryValueA of "\VarFileInfo\Translation": the first language and code page pair.
  virtual bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) = 0;
  // VerQueryValueA of a string sub-block such as "\StringFileInfo\040904B0\CompanyName",
  // up to its first NUL; nullopt when the block is missing.
  virtual std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data,
                                                    const std::string& subBlock) = 0;
};

}  // namespace platform
