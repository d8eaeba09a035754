// A backend over facilities someone owns: one member per facility, each an owner with get().
#pragma once

#include "platform/platform.h"

namespace platform {

template <class Owners>
Backend BackendOf(const Owners& f) {
  return {f.registry.get(), f.files.get(),   f.system.get(),   f.security.get(), f.processes.get(),
          f.shell.get(),    f.clipboard.get(), f.ui.get(),     f.threads.get(),  f.services.get(),
          f.iphelper.get(), f.internet.get(),  f.native.get()};
}

}  // namespace platform
