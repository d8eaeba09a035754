// Process-wide flags that order the scan, the repairs and the closing of the window.
#pragma once

#include <atomic>

namespace inspect {

extern std::atomic<bool> ScanRunning;
extern std::atomic<bool> RestorerRunning;
extern std::atomic<bool> AppClosing;

}  // namespace inspect
