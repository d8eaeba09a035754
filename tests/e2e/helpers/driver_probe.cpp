// Loads kvdrv.sys through the service control manager, asks it the requests named on the
// command line and prints the answers, then stops and removes the service again.
//   driver_probe.exe <full path of kvdrv.sys> table|entry|bytes ...
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/kvdrv_requests.h"

namespace {

bool Ask(HANDLE device, DWORD code, DWORD input, DWORD inLength, BYTE* out, DWORD outLength, DWORD* got) {
  BYTE buffer[16] = {};
  std::memcpy(buffer, &input, sizeof input);
  *got = 0;
  const BOOL ok = DeviceIoControl(device, code, buffer, inLength, buffer, outLength, got, nullptr);
  std::memcpy(out, buffer, outLength);
  return ok != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: driver_probe <kvdrv.sys> requests...\n");
    return 2;
  }
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return std::printf("manager %lu\n", GetLastError()), 1;
  SC_HANDLE service = CreateServiceA(manager, "kvdrv", "kvdrv probe", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, argv[1], nullptr, nullptr, nullptr,
                                     nullptr, nullptr);
  if (!service) return std::printf("create %lu\n", GetLastError()), 1;
  int rc = 0;
  if (!StartServiceA(service, 0, nullptr)) {
    std::printf("start %lu\n", GetLastError());
    rc = 1;
  } else {
    HANDLE device = CreateFileA("\\\\.\\Global\\kvdrv", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
      device = CreateFileA("\\\\.\\kvdrv", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (device == INVALID_HANDLE_VALUE) {
      std::printf("open %lu\n", GetLastError());
      rc = 1;
    } else {
      DWORD table = 0;
      for (int i = 2; i < argc; ++i) {
        BYTE out[16] = {};
        DWORD got = 0;
        const std::string request = argv[i];
        bool ok = false;
        if (request == "table") {
          ok = Ask(device, KV_IOCTL_GET_SERVICE_TABLE, 0, 0, out, 4, &got);
          std::memcpy(&table, out, 4);
        } else if (request == "entry") {
          ok = Ask(device, KV_IOCTL_READ_SERVICE_ENTRY, 0, 4, out, 4, &got);
        } else if (request == "bytes") {
          ok = Ask(device, KV_IOCTL_READ_KERNEL_BYTES, table, 4, out, 15, &got);
        } else if (request == "user-bytes") {
          ok = Ask(device, KV_IOCTL_READ_KERNEL_BYTES, 0x00400000, 4, out, 15, &got);
        }
        std::printf("%s %s %lu", request.c_str(), ok ? "ok" : "refused", ok ? got : GetLastError());
        for (DWORD b = 0; b < got && b < 15; ++b) std::printf(" %02x", out[b]);
        std::printf("\n");
      }
      CloseHandle(device);
    }
    SERVICE_STATUS status;
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) std::printf("stop %lu\n", GetLastError());
  }
  if (!DeleteService(service)) std::printf("delete %lu\n", GetLastError());
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  std::fflush(stdout);
  return rc;
}
