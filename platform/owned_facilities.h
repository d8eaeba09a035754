// Facilities a backend owns, one owner each, and the backend over them.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace platform {

struct OwnedFacilities {
  std::unique_ptr<Registry> registry;
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<System> system;
  std::unique_ptr<Security> security;
  std::unique_ptr<Processes> processes;
  std::unique_ptr<Shell> shell;
  std::unique_ptr<Clipboard> clipboard;
  std::unique_ptr<Ui> ui;
  std::unique_ptr<Threads> threads;
  std::unique_ptr<Services> services;
  std::unique_ptr<IpHelper> iphelper;
  std::unique_ptr<Internet> internet;
  std::unique_ptr<NativeApi> native;

  Backend backend() const {
    return {registry.get(), files.get(),    system.get(),  security.get(), processes.get(),
            shell.get(),    clipboard.get(), ui.get(),     threads.get(),  services.get(),
            iphelper.get(), internet.get(),  native.get()};
  }
};

}  // namespace platform
