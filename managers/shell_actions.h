// What the shell does for the window: the program's folders, documents and logs, web pages,
// and the manager lists' containing folders.
#pragma once

#include <string>

namespace managers {

// Creates Data\ and Logs\ in `appDir` (ending with "\") where missing; failures are ignored.
void CreateProgramFolders(const std::string& appDir);

// Opens `appDir` + `relative` (a file, or a folder ending with "\") with the shell, when it
// exists; true when it was handed to the shell.
bool OpenBesideProgram(const std::string& appDir, const std::string& relative);

// Empties Logs\ with everything below it, when it exists. Nothing is asked or reported.
void DeleteLogs(const std::string& appDir);

// Opens a web page in the default browser; a failure is ignored.
void OpenWebPage(const std::string& url);

// The maker's pages.
inline constexpr const char* kProductsPage = "http://www.orvatek.com/products/";
inline constexpr const char* kServicesPage = "http://www.orvatek.com/services/";
inline constexpr const char* kSupportForum = "http://forum.orvatek.com/";

// A folder that exists on a drive of this machine ("C:\...", on a fixed, removable, CD or RAM drive). A
// share ("\\server\..."), a mapped network drive or a device path is none: the shell would
// reach out over the network for it, or hand it to whatever handles such a name.
bool IsLocalFolder(const std::string& folder);

// Opens the folder of `file` (its path up to and including the last "\") with the shell; false
// when that is not a local folder (IsLocalFolder) or the shell refuses.
bool OpenContainingFolder(const std::string& file);

}  // namespace managers
