// Product identity shown in the window caption, the report header and the About box.
#pragma once

namespace scan {

inline constexpr const char* kProductName = "Burrow Sentry";
inline constexpr const char* kProductVersion = "1.8.4.0";
inline constexpr const char* kHomePage = "http://www.orvatek.com/burrowsentry/";

}  // namespace scan
