#include "inspect/run_flags.h"

namespace inspect {

std::atomic<bool> ScanRunning{false};
std::atomic<bool> RestorerRunning{false};
std::atomic<bool> AppClosing{false};

}  // namespace inspect
