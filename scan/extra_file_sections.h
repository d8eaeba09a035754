// The autostart sections read from the task store, the service database and the system folder.
#pragma once

#include "scan/options.h"
#include "scan/report.h"

namespace scan {

// Every task of the task folders, and of the task cache where its file is gone, whose program
// is not a stock one (script hosts are never stock here).
void WriteScheduledTasks(TReport& report, const TScanOptions& options);
// Every boot, system and automatic service and driver, running or not, with its ServiceDll.
void WriteAutoStartServices(TReport& report, const TScanOptions& options);
// DLLs that a system component looks for in the system folder and no Windows release ships.
void WritePhantomDlls(TReport& report, const TScanOptions& options);

}  // namespace scan
