// Facilities a backend owns, one owner each, and the backend over them.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace platform {

struct OwnedFacilities {
#define BS_OWNED_FACILITY(Type, member, Accessor) std::unique_ptr<Type> member;
  BS_PLATFORM_FACILITIES(BS_OWNED_FACILITY)
#undef BS_OWNED_FACILITY

  Backend backend() const {
    Backend b;
#define BS_LEND_FACILITY(Type, member, Accessor) b.member = member.get();
    BS_PLATFORM_FACILITIES(BS_LEND_FACILITY)
#undef BS_LEND_FACILITY
    return b;
  }
};

}  // namespace platform
