// Scoped owners of the handles the facilities hand out. Each closes through the facility that
// opened it, cannot be copied, can be moved, and treats the facility's failure values as "none".
#pragma once

#include <cstdint>
#include <utility>

#include "platform/platform.h"

namespace platform {

template <typename T, void (*Close)(T), T kNone, T kAlsoNone = kNone>
class TScoped {
 public:
  TScoped() = default;
  explicit TScoped(T value) : value_(value) {}
  ~TScoped() { Reset(); }
  TScoped(TScoped&& other) noexcept : value_(other.Release()) {}
  TScoped& operator=(TScoped&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  TScoped(const TScoped&) = delete;
  TScoped& operator=(const TScoped&) = delete;

  bool ok() const { return value_ != kNone && value_ != kAlsoNone; }
  T get() const { return value_; }
  // For calls that return the handle through a pointer: closes what is held first.
  T* out() {
    Reset();
    return &value_;
  }
  T Release() { return std::exchange(value_, kNone); }
  void Reset(T value = kNone) {
    if (ok()) Close(value_);
    value_ = value;
  }

 private:
  T value_ = kNone;
};

namespace close {
inline void Key(RegKey key) { Reg().CloseKey(key); }
inline void File(Handle file) { Fs().CloseHandle(file); }
inline void Find(Handle find) { Fs().FindClose(find); }
inline void View(const uint8_t* view) { Fs().UnmapViewOfFile(view); }
inline void Service(Handle service) { Svc().CloseServiceHandle(service); }
inline void Process(Handle process) { Procs().CloseHandle(process); }
inline void Thread(Handle thread) { Thr().CloseHandle(thread); }
inline void Token(Handle token) { Sec().CloseHandle(token); }
inline void InternetHandle(Handle handle) { Net().CloseHandle(handle); }
inline void NtHandle(Handle handle) { Native().Close(handle); }
inline void Device(Handle device) { Native().CloseDevice(device); }
inline void ImageView(Address view) { Native().UnmapImageFile(view); }
inline void Library(Address module) { Native().FreeLibrary(module); }
}  // namespace close

// An opened registry key (never one of the predefined roots).
using ScopedKey = TScoped<RegKey, close::Key, RegKey{0}>;
// A file or a file mapping; CreateFile fails with kInvalidHandle, CreateFileMapping with kNoHandle.
using ScopedFile = TScoped<Handle, close::File, kInvalidHandle, kNoHandle>;
using ScopedFind = TScoped<Handle, close::Find, kInvalidHandle, kNoHandle>;
using ScopedView = TScoped<const uint8_t*, close::View, nullptr>;
// The service manager or one service.
using ScopedService = TScoped<Handle, close::Service, kNoHandle>;
using ScopedProcess = TScoped<Handle, close::Process, kNoHandle>;
using ScopedThread = TScoped<Handle, close::Thread, kNoHandle>;
using ScopedToken = TScoped<Handle, close::Token, kNoHandle>;
// A WinInet session or request.
using ScopedInternet = TScoped<Handle, close::InternetHandle, kNoHandle>;
// A handle the native services opened (NtOpenProcess), closed with NtClose.
using ScopedNtHandle = TScoped<Handle, close::NtHandle, kNoHandle>;
// A device of a driver (CreateFile on "\\.\name"), closed with CloseDevice.
using ScopedDevice = TScoped<Handle, close::Device, kInvalidHandle, kNoHandle>;
// A file mapped as an image (MapImageFile) and a library loaded with LoadLibraryEx.
using ScopedImageView = TScoped<Address, close::ImageView, Address{0}>;
using ScopedLibrary = TScoped<Address, close::Library, Address{0}>;

// A Windows Sockets session of the IP Helper facility: WSACleanup only after a successful start.
class ScopedWinsock {
 public:
  ScopedWinsock(IpHelper& ip, uint16_t version) : ip_(ip), started_(ip.WsaStartup(version)) {}
  ~ScopedWinsock() {
    if (started_) ip_.WsaCleanup();
  }
  ScopedWinsock(const ScopedWinsock&) = delete;
  ScopedWinsock& operator=(const ScopedWinsock&) = delete;
  bool ok() const { return started_; }

 private:
  IpHelper& ip_;
  bool started_;
};

}  // namespace platform
