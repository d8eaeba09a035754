// The update check: one HTTP request for the version file on a worker thread, waited for at
// most 8 seconds while the window keeps answering.
#pragma once

#include <string>

#include "inspect/prompt.h"
#include "platform/platform.h"

namespace scan {

inline constexpr const char* kUpdateHost = "update.orvatek.com";
inline constexpr const char* kUpdatePath = "/updates/burrowsentry/version.ini";
inline constexpr const char* kUpdateUserAgent = "Orvatek Update Check";
inline constexpr uint32_t kUpdateWaitSeconds = 8;

// The address of the version file: on the host (or host:port) of the key "UpdateServer" in
// section "Options" of Data\Options.ini when it is set, on ours otherwise.
std::string UpdateUrl(const std::string& appDir);

// The worker's answer: "" (no newer version, or nothing to conclude), "y" (the server's version
// differs from `ownVersion`), "error" (no connection), "error2" (a status other than 200).
std::string RequestUpdateVersion(const std::string& url, const std::string& ownVersion);

// One check: refused while another runs. Starts the worker, waits for it, then tells the user
// (interactive: every result; otherwise only a newer version). Returns the result, which is
// "" when the worker did not answer in time.
std::string CheckForUpdate(const std::string& url, bool interactive, inspect::TPrompter& prompter);

bool UpdateCheckRunning();
// The worker of the check in progress, for the window's close; kNoHandle when there is none.
platform::Handle CurrentUpdateThread();

}  // namespace scan
