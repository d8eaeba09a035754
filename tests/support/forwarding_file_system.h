// The file system installed now, passing every call on: test doubles derive from it and
// override only the calls they change. Install() puts it in place of the current backend's
// file system until it is destroyed.
#pragma once

#include "platform/forwarding_file_system.h"
#include "platform/platform.h"

namespace bs_test {

class ForwardingFileSystem : public platform::ForwardingFileSystem {
 public:
  // Wraps the file system of the backend installed now.
  ForwardingFileSystem() : platform::ForwardingFileSystem(platform::Fs()) {}
  ~ForwardingFileSystem() override {
    if (installed_) platform::Install(previous_);
  }
  ForwardingFileSystem(const ForwardingFileSystem&) = delete;
  ForwardingFileSystem& operator=(const ForwardingFileSystem&) = delete;

  void Install() {
    previous_ = platform::Current();
    platform::Backend backend = previous_;
    backend.files = this;
    platform::Install(backend);
    installed_ = true;
  }

  using Handle = platform::Handle;
  using FindData = platform::FindData;
  using FileTime = platform::FileTime;

 private:
  platform::Backend previous_;
  bool installed_ = false;
};

}  // namespace bs_test
