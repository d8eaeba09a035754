// The companion driver this program was built with.
#pragma once

namespace rootkit {

constexpr const char* kDriverServiceName = "kvdrv";
constexpr const char* kDriverFileName = "kvdrv.sys";

// The MD5 text of the kvdrv.sys built from our sources together with this executable; a
// driver file with any other digest is refused.
const char* ExpectedDriverDigest();

}  // namespace rootkit
