#include "rootkit/driver_identity.h"

#include "driver_digest.h"

namespace rootkit {

const char* ExpectedDriverDigest() { return kBuiltDriverMd5; }

}  // namespace rootkit
