// The WinInet facility.
#pragma once

#include <cstdint>
#include <string>

#include "platform/basics.h"

namespace platform {

// WinInet. Failures leave the code in System::GetLastError, as the WinInet calls do.
class Internet {
 public:
  virtual ~Internet() = default;
  // InternetOpenA with the preconfigured proxy settings, no proxy names and no flags; kNoHandle on failure.
  virtual Handle Open(const std::string& userAgent) = 0;
  // InternetOpenUrlA without extra headers; kNoHandle on failure.
  virtual Handle OpenUrl(Handle internet, const std::string& url, uint32_t flags) = 0;
  // HttpQueryInfoA(HTTP_QUERY_STATUS_CODE) into a text buffer of `chars` characters.
  virtual bool QueryStatusCode(Handle request, uint32_t chars, std::string* status) = 0;
  // InternetReadFile of up to `size` bytes; *read is 0 at the end of the data.
  virtual bool ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* read) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace platform
