// Window class and control ids of the main window; the GUI test driver finds controls by them.
#pragma once

namespace app {

inline constexpr const char* kMainWindowClass = "TForm1";
inline constexpr const char* kPageWindowClass = "TBurrowPage";

// Page buttons, one id per page button of the column.
inline constexpr int kIdAdvGlowButton1 = 201;  // Restorer
inline constexpr int kIdAdvGlowButton2 = 202;  // Analyzer
inline constexpr int kIdAdvGlowButton3 = 203;  // Hosts File
inline constexpr int kIdAdvGlowButton4 = 204;  // Startups
inline constexpr int kIdAdvGlowButton5 = 205;  // Boot Files
inline constexpr int kIdAdvGlowButton6 = 206;  // BHOs
inline constexpr int kIdAdvGlowButton7 = 207;  // Settings
inline constexpr int kIdAdvGlowButton8 = 208;  // Delete File

inline constexpr int kIdStatusBar = 300;

// Analyzer page.
inline constexpr int kIdBitBtn1 = 1001;  // "Scan PC"
inline constexpr int kIdMemo1 = 1002;
inline constexpr int kIdPb1 = 1003;

}  // namespace app
