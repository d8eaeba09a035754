// What the main window's menus do beside the program: its folders, its documents, its logs.
#pragma once

#include <string>

namespace scan {

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

}  // namespace scan
