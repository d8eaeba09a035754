#include "platform/platform.h"

namespace platform {

namespace {
Backend g_backend;
}

const Backend& Current() { return g_backend; }

void Install(const Backend& backend) { g_backend = backend; }

}  // namespace platform
