// The autostart and tampering sections after the classic ones, and the listers their check
// tables use. Key paths begin with "\"; entries are value entries. A stock list is a text of
// items separated by "|" (letter case ignored; an item ending in "*" matches every text it
// begins); a text is stock when it, or the text without a leading system-folder part
// ("%SystemRoot%\System32\", "%windir%\system32\" or this machine's system folder), is an item.
#pragma once

#include <string>

#include "platform/platform.h"
#include "scan/options.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

bool IsStockText(const std::string& text, const std::string& stockList);

// The value named `valueName` (any letter case) of every subkey, unless its text is stock.
void ListSubkeyValuesExcept(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                            const std::string& stockList);
// Every non-empty value of every subkey.
void ListSubkeyAllValues(TReport& report, const std::string& keyPath, RegKey root);
// The value named `valueName` of every subkey of every subkey.
void ListNestedSubkeyValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName);
// Every non-empty value of the key whose text (or, with `byName`, whose name) is not stock.
void ListUnlistedValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& stockList,
                        bool byName);
// One value as a whole (the items of a REG_MULTI_SZ joined by " ") when any of its items is not stock.
void ListUnlistedItems(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                       const std::string& stockList);
// "MonitorProcess" of every subkey, with the "GlobalFlag" of the same image under `ifeoPath`.
void ListSilentExitMonitors(TReport& report, const std::string& keyPath, RegKey root, const std::string& ifeoPath);
// Per-user classes (subkeys of `keyPath`) that stand in for a machine class: the server and
// TreatAs defaults of those, and every per-user ScriptletURL.
void ListUserClassOverrides(TReport& report, const std::string& keyPath, RegKey root);
// Handlers named by a CLSID (the subkey's name or default value) whose server file is not
// excluded as Microsoft's.
void ListContextMenuHandlers(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root);
// Active allowing firewall rules whose name is not a resource reference ("@..."), as stock rules' are.
void ListFirewallRules(TReport& report, const std::string& keyPath, RegKey root);
// Accessibility tools of the system folder that are not the system's files: another maker, or
// the size of the command shell, Explorer or Task Manager (a renamed copy). File lines.
void ListReplacedAccessibilityTools(TReport& report, const TScanOptions& options);

void WriteWinlogonAndLogon(TReport& report, const TScanOptions& options);
void WriteLsa(TReport& report, const TScanOptions& options);
void WriteImageHooks(TReport& report, const TScanOptions& options);
void WriteComAndShell(TReport& report, const TScanOptions& options);
void WritePrintTimeNetshBoot(TReport& report, const TScanOptions& options);
void WriteOffice(TReport& report, const TScanOptions& options);
void WriteTampering(TReport& report, const TScanOptions& options);

}  // namespace scan
