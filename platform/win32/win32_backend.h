// The real backend: every facility of platform.h over the Win32 ANSI calls.
#pragma once

#include "platform/platform.h"

namespace platform::win32 {

platform::Backend Backend();
// platform::Install(Backend()).
void Install();

}  // namespace platform::win32
