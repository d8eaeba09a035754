// A tiny Win32 service of our own, and the service-manager calls that install and drive it.
//
//   sample_service.exe --install NAME DISPLAY   CreateServiceA: own process, demand start, this exe
//   sample_service.exe --start NAME             StartServiceA, then waits until it runs
//   sample_service.exe --stop NAME              stops it and waits until it has stopped
//   sample_service.exe --delete NAME            DeleteService
//   sample_service.exe                          the service itself (started by the manager)
// Exit code 0 on success; a failure prints the step and the error code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
  if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(g_stop);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  g_status = RegisterServiceCtrlHandlerExA("", Handler, nullptr);
  if (g_status == nullptr) return;
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  Report(SERVICE_STOPPED);
}

int Fail(const char* step) {
  std::fprintf(stderr, "%s failed: %lu\n", step, GetLastError());
  return 1;
}

// Polls the service until it reaches `state` (about 20 s at most).
bool WaitFor(SC_HANDLE service, DWORD state) {
  for (int i = 0; i < 200; ++i) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == state) return true;
    Sleep(100);
  }
  return false;
}

int Manage(const std::string& action, const char* name, const char* display) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return Fail("OpenSCManagerA");
  int rc = 0;
  if (action == "--install") {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string command = std::string("\"") + path + "\"";
    SC_HANDLE service = CreateServiceA(manager, name, display, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr,
                                       nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) {
      rc = Fail("CreateServiceA");
    } else {
      CloseServiceHandle(service);
    }
  } else {
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
      rc = Fail("OpenServiceA");
    } else if (action == "--start") {
      if (!StartServiceA(service, 0, nullptr)) rc = Fail("StartServiceA");
      else if (!WaitFor(service, SERVICE_RUNNING)) rc = Fail("waiting for SERVICE_RUNNING");
    } else if (action == "--stop") {
      SERVICE_STATUS status{};
      if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) rc = Fail("ControlService");
      else if (!WaitFor(service, SERVICE_STOPPED)) rc = Fail("waiting for SERVICE_STOPPED");
    } else if (action == "--delete") {
      if (!DeleteService(service)) rc = Fail("DeleteService");
    } else {
      std::fprintf(stderr, "unknown action %s\n", action.c_str());
      rc = 2;
    }
    if (service != nullptr) CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3) return Manage(argv[1], argv[2], argc >= 4 ? argv[3] : argv[2]);
  if (argc == 2) {
    std::fprintf(stderr, "usage: sample_service.exe --install|--start|--stop|--delete NAME [DISPLAY]\n");
    return 2;
  }
  SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : Fail("StartServiceCtrlDispatcherA");
}
