// Runs update checks with the real backend (WinInet) against the servers named on the command
// line: for each "host:port" it writes UpdateServer into Data\Options.ini beside itself, checks
// as the Update window does and prints one line
//   check <host:port> result=<"" | y | error | error2> ms=<elapsed> told=<caption>: <text>
// The checks run back to back in one process, so a worker that outlives its wait is still
// running during the next check.
//
//   update_probe.exe HOST:PORT...
#include <windows.h>

#include <cstdio>
#include <string>

#include "inspect/lang.h"
#include "inspect/system.h"
#include "platform/win32/win32_backend.h"
#include "scan/update_check.h"

namespace {

struct TRecordingPrompter : inspect::TPrompter {
  std::string told;
  int Prompt(const std::string& text, const std::string& caption, uint32_t) override {
    if (!told.empty()) told += " | ";
    told += caption + ": " + text;
    return platform::win::kIdNo;  // never opens a browser
  }
};

std::string OneLine(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\\n");
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  platform::win32::Install();
  inspect::FillDefaultTexts();
  const std::string appDir = inspect::GetAppDir();
  CreateDirectoryA((appDir + "Data").c_str(), nullptr);
  const std::string ini = appDir + "Data\\Options.ini";
  scan::TUpdateCheck checker;  // one for every check, as the Update window holds one
  for (int i = 1; i < argc; ++i) {
    WritePrivateProfileStringA("Options", "UpdateServer", argv[i], ini.c_str());
    TRecordingPrompter prompter;
    const DWORD start = GetTickCount();
    const std::string result = checker.CheckAndWait(scan::UpdateUrl(appDir), true, prompter);
    const DWORD elapsed = GetTickCount() - start;
    std::printf("check %s result=\"%s\" ms=%lu told=%s\n", argv[i], result.c_str(), elapsed,
                OneLine(prompter.told).c_str());
    std::fflush(stdout);
  }
  DeleteFileA(ini.c_str());
  return 0;
}
