// The registry listers of the startup sections, and the pieces other sections walk the
// registry with: the subkey walk, the class server look-up and the Microsoft exclusion.
// Key paths begin with "\" and are read through the shared reader; entries are value entries.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/options.h"
#include "scan/report.h"

namespace scan {

using platform::RegKey;

// True when an entry whose data is `data` is dropped: the option "Exclude Microsoft System Files"
// is on and the file the data names is protected by Windows File Protection.
bool ExcludedAsMicrosoft(const TScanOptions& options, const std::string& data);

enum class TServerRead { ExpandThenPlain, PlainOnly };
// The default value of `classKey` + "\InProcServer32" (`classKey` relative to the root, such as
// "CLSID\{...}"): as an expandable string, else as a plain string; PlainOnly reads only the
// plain string. Empty when there is none.
std::string ClassServerFile(RegKey root, const std::string& classKey, TServerRead read);

// A value entry with the line "CLSID: <clsid>" between its Data and Key lines.
std::string ClsidValueEntry(const std::string& name, const std::string& data, const std::string& clsid,
                            const std::string& keyText);

// The subkey walk: for every subkey of the key, each value named `valueName` (in any letter case,
// as Windows matches value names) whose text is not empty and passes `keep` becomes a value entry
// with the stored name, the text and the key line root name + key path + "\" + subkey. A subkey
// that cannot be opened is skipped.
void ListSubkeyValues(TReport& report, const std::string& keyPath, RegKey root, const std::string& valueName,
                      const std::function<bool(const std::string& text)>& keep);

// Every non-empty value of the terminal-server Run key under the root.
void ListTerminalServerRun(TReport& report, RegKey root);
// Values whose text is a CLSID, with its server file from the same root's SOFTWARE\Classes.
void ListDelayLoadObjects(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root);
// Values whose name is a CLSID and whose text describes it, with the server file from HKEY_CLASSES_ROOT.
void ListClsidHookValues(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root);
// Subkeys named by CLSID, with the plain-string server file from HKEY_CLASSES_ROOT.
void ListBrowserHelperObjects(TReport& report, const TScanOptions& options, const std::string& keyPath,
                              RegKey root);
// "StubPath" of every subkey; with the Microsoft option on, stubs of the whitelist are left out.
void ListActiveSetupStubs(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root);
// The 28 stub command lines of a clean Windows, built from this machine's folders.
std::vector<std::string> ActiveSetupWhitelist();
// "DllName" (any letter case) of every subkey, subject to the Microsoft exclusion.
void ListWinlogonNotify(TReport& report, const TScanOptions& options, const std::string& keyPath, RegKey root);
// "Debugger" (any letter case) of every subkey unless it is exactly "ntsd -d".
void ListDebuggerHijacks(TReport& report, const std::string& keyPath, RegKey root);

}  // namespace scan
