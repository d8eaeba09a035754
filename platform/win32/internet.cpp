// WinInet for the update check.
#include "platform/win32/win32_common.h"

#include <wininet.h>

namespace platform::win32 {
namespace {

HINTERNET AsInternet(Handle handle) { return reinterpret_cast<HINTERNET>(handle); }

class Win32Internet final : public Internet {
 public:
  Handle Open(const std::string& userAgent) override {
    return reinterpret_cast<Handle>(
        ::InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  }

  Handle OpenUrl(Handle internet, const std::string& url, uint32_t flags) override {
    return reinterpret_cast<Handle>(::InternetOpenUrlA(AsInternet(internet), url.c_str(), nullptr, 0, flags, 0));
  }

  bool QueryStatusCode(Handle request, uint32_t chars, std::string* status) override {
    std::string buffer(chars, '\0');
    DWORD size = chars;
    if (!::HttpQueryInfoA(AsInternet(request), HTTP_QUERY_STATUS_CODE, buffer.data(), &size, nullptr)) return false;
    buffer.resize(size < chars ? size : chars);
    *status = buffer.c_str();
    return true;
  }

  bool ReadFile(Handle request, void* buffer, uint32_t size, uint32_t* read) override {
    DWORD got = 0;
    const bool ok = ::InternetReadFile(AsInternet(request), buffer, size, &got) != FALSE;
    *read = ok ? got : 0;
    return ok;
  }

  bool CloseHandle(Handle handle) override { return ::InternetCloseHandle(AsInternet(handle)) != FALSE; }
};

}  // namespace

Internet& InternetFacility() {
  static Win32Internet facility;
  return facility;
}

}  // namespace platform::win32
