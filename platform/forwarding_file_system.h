// A file system that passes every call to another one: wrappers derive from it and override
// only the calls they change.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace platform {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  Handle FindFirstFile(const std::string& pattern, FindData* data) override {
    return inner_.FindFirstFile(pattern, data);
  }
  bool FindNextFile(Handle find, FindData* data) override { return inner_.FindNextFile(find, data); }
  void FindClose(Handle find) override { inner_.FindClose(find); }
  uint32_t GetFileAttributes(const std::string& path) override { return inner_.GetFileAttributes(path); }
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override {
    return inner_.SetFileAttributes(path, attributes);
  }
  bool CreateDirectory(const std::string& path) override { return inner_.CreateDirectory(path); }
  bool CreatePrivateDirectory(const std::string& path) override { return inner_.CreatePrivateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return inner_.RemoveDirectory(path); }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override {
    return inner_.CopyFile(from, to, failIfExists);
  }
  bool MoveFileEx(const std::string& from, const std::string& to, uint32_t flags) override {
    return inner_.MoveFileEx(from, to, flags);
  }
  Handle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t attributes) override {
    return inner_.CreateFile(path, access, share, disposition, attributes);
  }
  bool ReadFile(Handle file, void* buffer, uint32_t size, uint32_t* read) override {
    return inner_.ReadFile(file, buffer, size, read);
  }
  bool WriteFile(Handle file, const void* buffer, uint32_t size, uint32_t* written) override {
    return inner_.WriteFile(file, buffer, size, written);
  }
  bool FlushFileBuffers(Handle file) override { return inner_.FlushFileBuffers(file); }
  bool GetFileAttributesByHandle(Handle file, uint32_t* attributes) override {
    return inner_.GetFileAttributesByHandle(file, attributes);
  }
  Handle CreatePrivateFile(const std::string& path) override { return inner_.CreatePrivateFile(path); }
  bool SetFilePointer(Handle file, int64_t distance, uint32_t method, uint64_t* position) override {
    return inner_.SetFilePointer(file, distance, method, position);
  }
  bool GetFileSize(Handle file, uint64_t* size) override { return inner_.GetFileSize(file, size); }
  bool GetFileTime(Handle file, FileTime* creation, FileTime* access, FileTime* write) override {
    return inner_.GetFileTime(file, creation, access, write);
  }
  bool CloseHandle(Handle file) override { return inner_.CloseHandle(file); }
  Handle CreateFileMapping(Handle file) override { return inner_.CreateFileMapping(file); }
  const uint8_t* MapViewOfFile(Handle mapping, uint64_t offset, size_t length) override {
    return inner_.MapViewOfFile(mapping, offset, length);
  }
  void UnmapViewOfFile(const uint8_t* view) override { inner_.UnmapViewOfFile(view); }
  bool GetFileVersionInfo(const std::string& path, std::vector<uint8_t>* data) override {
    return inner_.GetFileVersionInfo(path, data);
  }
  bool VerQueryTranslation(const std::vector<uint8_t>& data, uint16_t* language, uint16_t* codePage) override {
    return inner_.VerQueryTranslation(data, language, codePage);
  }
  std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, const std::string& subBlock) override {
    return inner_.VerQueryString(data, subBlock);
  }

 protected:
  FileSystem& inner() { return inner_; }

 private:
  FileSystem& inner_;
};

}  // namespace platform
