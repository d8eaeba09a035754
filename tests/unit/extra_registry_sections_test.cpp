// The autostart and tampering sections over the fake machine: for each location a planted entry
// is reported and a stock entry beside it is not; the 32-bit copies are read by the x86_64 build
// only; the stock lists and the multi-string items.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "inspect/lang.h"
#include "platform/fake/fake_machine.h"
#include "scan/extra_registry_sections.h"

namespace {

namespace win = platform::win;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::RegKey;
using platform::fake::Machine;
using scan::TReport;
using scan::TScanOptions;

constexpr RegKey kCu = kHkeyCurrentUser;
constexpr RegKey kLm = kHkeyLocalMachine;
constexpr const char* kLmText = "HKEY_LOCAL_MACHINE\\";
constexpr const char* kCuText = "HKEY_CURRENT_USER\\";
constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kIfeo = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr const char* kLsa = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr const char* kSystemPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kFirewall = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";
constexpr const char* kSystem = "C:\\WINDOWS\\system32";

std::string Entry(const std::string& name, const std::string& data, const std::string& key) {
  return "Value: " + name + "\r\nData: " + data + "\r\nKey: " + key + "\r\n";
}

std::vector<uint8_t> MultiString(std::initializer_list<const char*> items) {
  std::vector<uint8_t> bytes;
  for (const char* item : items) {
    bytes.insert(bytes.end(), item, item + std::strlen(item));
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

// A file of the system folder with its maker.
void SystemFile(Machine& m, const std::string& name, const std::string& contents, const std::string& company) {
  m.AddFile(std::string(kSystem) + "\\" + name, contents).version = platform::fake::FileVersion{company, "5.1"};
}

using Writer = void (*)(TReport&, const TScanOptions&);
using Seed = std::function<void(Machine&)>;

// One location: `planted` must bring the item `reported`; `stock`, what a clean system holds
// there, must bring no item containing `silent`.
struct Location {
  const char* name;
  Writer write;
  Seed planted;
  std::string reported;
  Seed stock;
  std::vector<std::string> silent;
};

const std::vector<Location>& Locations() {
  static const std::vector<Location> locations = {
      // Winlogon and logon
      {"per-user Shell", scan::WriteWinlogonAndLogon,
       [](Machine& m) { m.SetString(kCu, kWinlogon, "Shell", "explorer.exe C:\\bad\\shell.exe"); },
       Entry("Shell", "explorer.exe C:\\bad\\shell.exe", kCuText + std::string(kWinlogon)),
       [](Machine& m) { m.SetString(kLm, kWinlogon, "Shell", "Explorer.exe"); }, {"Explorer.exe"}},
      {"per-user Userinit", scan::WriteWinlogonAndLogon,
       [](Machine& m) { m.SetString(kCu, kWinlogon, "Userinit", "C:\\bad\\init.exe"); },
       Entry("Userinit", "C:\\bad\\init.exe", kCuText + std::string(kWinlogon)),
       [](Machine& m) { m.SetString(kCu, kWinlogon, "ParseAutoexec", "1"); }, {"ParseAutoexec"}},
      {"GPExtensions", scan::WriteWinlogonAndLogon,
       [](Machine& m) { m.SetString(kLm, std::string(kWinlogon) + "\\GPExtensions\\{BAD}", "DllName", "C:\\bad\\gp.dll"); },
       Entry("DllName", "C:\\bad\\gp.dll",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\GPExtensions\\{BAD}"),
       [](Machine& m) {
         m.SetString(kLm, std::string(kWinlogon) + "\\GPExtensions\\{827D319E-6EAC-11D2-A4EA-00C04F79F83A}",
                     "DllName", "scecli.dll");
         m.SetString(kLm, std::string(kWinlogon) + "\\GPExtensions\\{3610eda5-77ef-11d2-8dc5-00c04fa31a66}",
                     "DllName", "%SystemRoot%\\System32\\dskquota.dll", win::kRegExpandSz);
         m.SetString(kLm, std::string(kWinlogon) + "\\GPExtensions\\{25537BA6-77A8-11D2-9B6C-0000F8080861}",
                     "DllName", "C:\\WINDOWS\\system32\\fdeploy.dll");
       },
       {"scecli", "dskquota", "fdeploy"}},
      {"logon script", scan::WriteWinlogonAndLogon,
       [](Machine& m) { m.SetString(kCu, "Environment", "UserInitMprLogonScript", "C:\\bad\\logon.bat"); },
       Entry("UserInitMprLogonScript", "C:\\bad\\logon.bat", "HKEY_CURRENT_USER\\Environment"),
       [](Machine& m) { m.SetString(kCu, "Environment", "TEMP", "%USERPROFILE%\\Local Settings\\Temp"); }, {"TEMP"}},
      {"Group Policy logon script", scan::WriteWinlogonAndLogon,
       [](Machine& m) {
         m.SetString(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Logon\\0\\0", "Script",
                     "C:\\bad\\gp.cmd");
       },
       Entry("Script", "C:\\bad\\gp.cmd",
             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Logon\\0\\0"),
       [](Machine& m) {
         m.SetString(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Group Policy\\Scripts\\Logon\\0", "GPO-ID",
                     "LocalGPO");
       },
       {"LocalGPO"}},
      {"RunOnceEx subkey", scan::WriteWinlogonAndLogon,
       [](Machine& m) {
         m.SetString(kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001", "Line1", "||C:\\bad\\r.dll");
       },
       Entry("Line1", "||C:\\bad\\r.dll", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001"),
       [](Machine& m) { m.SetString(kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", "Flags", "20"); },
       {"Flags"}},

      // LSA
      {"security package", scan::WriteLsa,
       [](Machine& m) {
         m.SetValue(kLm, kLsa, "Security Packages", win::kRegMultiSz,
                    MultiString({"kerberos", "msv1_0", "schannel", "wdigest", "badssp"}));
       },
       Entry("Security Packages", "kerberos msv1_0 schannel wdigest badssp", kLmText + std::string(kLsa)),
       [](Machine& m) { m.SetValue(kLm, kLsa, "Authentication Packages", win::kRegMultiSz, MultiString({"msv1_0"})); },
       {"Authentication Packages"}},
      {"notification package", scan::WriteLsa,
       [](Machine& m) {
         m.SetValue(kLm, kLsa, "Notification Packages", win::kRegMultiSz, MultiString({"scecli", "badfilter"}));
       },
       Entry("Notification Packages", "scecli badfilter", kLmText + std::string(kLsa)),
       [](Machine& m) {
         m.SetValue(kLm, std::string(kLsa) + "\\OSConfig", "Security Packages", win::kRegMultiSz,
                    MultiString({"kerberos", "msv1_0", "schannel", "wdigest", "tspkg", "pku2u"}));
       },
       {"OSConfig"}},
      {"OSConfig package", scan::WriteLsa,
       [](Machine& m) {
         m.SetValue(kLm, std::string(kLsa) + "\\OSConfig", "Security Packages", win::kRegMultiSz,
                    MultiString({"badssp"}));
       },
       Entry("Security Packages", "badssp", kLmText + std::string(kLsa) + "\\OSConfig"),
       [](Machine& m) {
         m.SetValue(kLm, kLsa, "Security Packages", win::kRegMultiSz,
                    MultiString({"kerberos", "msv1_0", "schannel", "wdigest", "tspkg", "pku2u"}));
       },
       {"kerberos"}},
      {"LsaDbExtPt", scan::WriteLsa,
       [](Machine& m) { m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Services\\NTDS", "LsaDbExtPt", "C:\\bad\\x.dll"); },
       Entry("LsaDbExtPt", "C:\\bad\\x.dll", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\NTDS"),
       [](Machine& m) { m.SetValue(kLm, kLsa, "Notification Packages", win::kRegMultiSz, MultiString({"scecli"})); },
       {"scecli"}},

      // Image and process hooks
      {"SilentProcessExit monitor", scan::WriteImageHooks,
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit\\notepad.exe",
                     "MonitorProcess", "C:\\bad\\mon.exe");
         m.SetDword(kLm, std::string(kIfeo) + "\\notepad.exe", "GlobalFlag", 512);
       },
       Entry("MonitorProcess", "C:\\bad\\mon.exe",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit\\notepad.exe") +
           "\x1F" + Entry("GlobalFlag", "512", kLmText + std::string(kIfeo) + "\\notepad.exe"),
       [](Machine& m) { m.SetDword(kLm, std::string(kIfeo) + "\\calc.exe", "GlobalFlag", 2); }, {"calc.exe"}},
      {"AppCertDlls", scan::WriteImageHooks,
       [](Machine& m) {
         m.SetString(kLm, std::string(kSessionManager) + "\\AppCertDlls", "bad", "C:\\bad\\cert.dll");
       },
       Entry("bad", "C:\\bad\\cert.dll", kLmText + std::string(kSessionManager) + "\\AppCertDlls"),
       [](Machine& m) {
         m.SetString(kLm, std::string(kSessionManager) + "\\AppCertDlls", "AppSecDll", "C:\\left\\to\\hijack.dll");
       },
       {"AppSecDll"}},
      {"AeDebug debugger", scan::WriteImageHooks,
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "Debugger", "C:\\bad\\dbg.exe -p %ld");
       },
       Entry("Debugger", "C:\\bad\\dbg.exe -p %ld", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug"),
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "Auto", "0");
       },
       {"Auto"}},
      {"AeDebug stock debugger", scan::WriteImageHooks, nullptr, "",
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", "Debugger",
                     "drwtsn32 -p %ld -e %ld -g");
       },
       {"drwtsn32"}},
      {"WER hang debugger", scan::WriteImageHooks,
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\Hangs", "Debugger", "C:\\bad\\hang.exe");
       },
       Entry("Debugger", "C:\\bad\\hang.exe",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\Hangs"),
       nullptr, {""}},
      {"accessibility tool of another maker", scan::WriteImageHooks,
       [](Machine& m) { SystemFile(m, "sethc.exe", "MZ bad", "Bad Inc."); },
       "C:\\WINDOWS\\system32\\sethc.exe (6 bytes) (Bad Inc.)",
       [](Machine& m) {
         SystemFile(m, "utilman.exe", "MZ utilman", "Microsoft Corporation");
       },
       {"utilman"}},
      {"accessibility tool replaced by the command shell", scan::WriteImageHooks,
       [](Machine& m) {
         SystemFile(m, "cmd.exe", "MZ shell!", "Microsoft Corporation");
         SystemFile(m, "osk.exe", "MZ shell!", "Microsoft Corporation");
       },
       "C:\\WINDOWS\\system32\\osk.exe (9 bytes) (Microsoft Corporation)",
       [](Machine& m) {
         SystemFile(m, "magnify.exe", "MZ magnifier", "Microsoft Corporation");
       },
       {"magnify"}},

      // COM and shell
      {"per-user class over a machine class", scan::WriteComAndShell,
       [](Machine& m) {
         m.CreateKey(kLm, "SOFTWARE\\Classes\\CLSID\\{B5F8350B-0548-48B1-A6EE-88BD00B4A5E7}");
         m.SetString(kCu, "Software\\Classes\\CLSID\\{B5F8350B-0548-48B1-A6EE-88BD00B4A5E7}\\InprocServer32", "",
                     "C:\\bad\\com.dll");
       },
       Entry("", "C:\\bad\\com.dll",
             "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{B5F8350B-0548-48B1-A6EE-88BD00B4A5E7}\\InprocServer32"),
       [](Machine& m) {
         m.SetString(kCu, "Software\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", "",
                     "C:\\app\\own.dll");
       },
       {"own.dll"}},
      {"ScriptletURL", scan::WriteComAndShell,
       [](Machine& m) {
         m.SetString(kCu, "Software\\Classes\\CLSID\\{22222222-2222-3333-4444-555555555555}\\ScriptletURL", "",
                     "http://bad.example/x.sct");
       },
       Entry("", "http://bad.example/x.sct",
             "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{22222222-2222-3333-4444-555555555555}\\ScriptletURL"),
       nullptr, {""}},
      {"ms-settings handler", scan::WriteComAndShell,
       [](Machine& m) { m.SetString(kCu, "Software\\Classes\\ms-settings\\shell\\open\\command", "", "C:\\bad\\up.exe"); },
       Entry("", "C:\\bad\\up.exe", "HKEY_CURRENT_USER\\Software\\Classes\\ms-settings\\shell\\open\\command"),
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Classes\\mscfile\\shell\\open\\command", "", "%SystemRoot%\\system32\\mmc.exe \"%1\" %*");
       },
       {"mmc.exe"}},
      {"context-menu handler", scan::WriteComAndShell,
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\Bad", "",
                     "{33333333-2222-3333-4444-555555555555}");
         m.SetString(kLm, "SOFTWARE\\Classes\\CLSID\\{33333333-2222-3333-4444-555555555555}\\InProcServer32", "",
                     "C:\\bad\\menu.dll");
       },
       "Value: Bad\r\nData: C:\\bad\\menu.dll\r\nCLSID: {33333333-2222-3333-4444-555555555555}\r\n"
       "Key: HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Bad\r\n",
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\Open With", "",
                     "{09799AFB-AD67-11d1-ABCD-00C04FC30936}");
         m.SetString(kLm, "SOFTWARE\\Classes\\CLSID\\{09799AFB-AD67-11d1-ABCD-00C04FC30936}\\InProcServer32", "",
                     "C:\\WINDOWS\\system32\\shell32.dll");
         m.system().protectedFiles.push_back("C:\\WINDOWS\\system32\\shell32.dll");
       },
       {"shell32"}},
      {"profiler in the environment", scan::WriteComAndShell,
       [](Machine& m) { m.SetString(kCu, "Environment", "COR_PROFILER", "{44444444-2222-3333-4444-555555555555}"); },
       Entry("COR_PROFILER", "{44444444-2222-3333-4444-555555555555}", "HKEY_CURRENT_USER\\Environment"),
       [](Machine& m) { m.SetString(kLm, std::string(kSessionManager) + "\\Environment", "OS", "Windows_NT"); },
       {"Windows_NT"}},

      // Print, time, netsh, boot
      {"port monitor", scan::WritePrintTimeNetshBoot,
       [](Machine& m) { m.SetString(kLm, std::string(kPrint) + "\\Monitors\\Bad Port", "Driver", "badmon.dll"); },
       Entry("Driver", "badmon.dll", kLmText + std::string(kPrint) + "\\Monitors\\Bad Port"),
       [](Machine& m) {
         m.SetString(kLm, std::string(kPrint) + "\\Monitors\\Local Port", "Driver", "localspl.dll");
         m.SetString(kLm, std::string(kPrint) + "\\Monitors\\Standard TCP/IP Port", "Driver", "tcpmon.dll");
       },
       {"localspl", "tcpmon"}},
      {"print processor", scan::WritePrintTimeNetshBoot,
       [](Machine& m) {
         m.SetString(kLm, std::string(kPrint) + "\\Environments\\Windows NT x86\\Print Processors\\bad", "Driver",
                     "badproc.dll");
       },
       Entry("Driver", "badproc.dll",
             kLmText + std::string(kPrint) + "\\Environments\\Windows NT x86\\Print Processors\\bad"),
       [](Machine& m) {
         m.SetString(kLm, std::string(kPrint) + "\\Environments\\Windows NT x86\\Print Processors\\winprint", "Driver",
                     "WinPrint.dll");
       },
       {"winprint"}},
      {"time provider", scan::WritePrintTimeNetshBoot,
       [](Machine& m) {
         m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders\\Bad", "DllName",
                     "C:\\bad\\time.dll");
       },
       Entry("DllName", "C:\\bad\\time.dll",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders\\Bad"),
       [](Machine& m) {
         m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders\\NtpClient", "DllName",
                     "%SystemRoot%\\System32\\w32time.dll", win::kRegExpandSz);
       },
       {"w32time"}},
      {"netsh helper", scan::WritePrintTimeNetshBoot,
       [](Machine& m) { m.SetString(kLm, "SOFTWARE\\Microsoft\\NetSh", "bad", "C:\\bad\\helper.dll"); },
       Entry("bad", "C:\\bad\\helper.dll", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NetSh"),
       [](Machine& m) {
         m.SetString(kLm, "SOFTWARE\\Microsoft\\NetSh", "ipmontr", "ipmontr.dll");
         m.SetString(kLm, "SOFTWARE\\Microsoft\\NetSh", "wcnnetsh", "WcnNetsh.dll");
       },
       {"ipmontr", "WcnNetsh"}},
      {"BootExecute", scan::WritePrintTimeNetshBoot,
       [](Machine& m) {
         m.SetValue(kLm, kSessionManager, "BootExecute", win::kRegMultiSz,
                    MultiString({"autocheck autochk *", "C:\\bad\\native.exe"}));
       },
       Entry("BootExecute", "autocheck autochk * C:\\bad\\native.exe", kLmText + std::string(kSessionManager)),
       nullptr, {""}},
      {"BootExecute stock", scan::WritePrintTimeNetshBoot, nullptr, "",
       [](Machine& m) {
         m.SetValue(kLm, kSessionManager, "BootExecute", win::kRegMultiSz, MultiString({"autocheck autochk *"}));
       },
       {"BootExecute"}},
      {"BootVerificationProgram", scan::WritePrintTimeNetshBoot,
       [](Machine& m) {
         m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Control\\BootVerificationProgram", "ImagePath", "C:\\bad\\bv.exe");
       },
       Entry("ImagePath", "C:\\bad\\bv.exe",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\BootVerificationProgram"),
       nullptr, {""}},

      // Office
      {"Office test key", scan::WriteOffice,
       [](Machine& m) { m.SetString(kCu, "Software\\Microsoft\\Office test\\Special\\Perf", "", "C:\\bad\\perf.dll"); },
       Entry("", "C:\\bad\\perf.dll", "HKEY_CURRENT_USER\\Software\\Microsoft\\Office test\\Special\\Perf"),
       [](Machine& m) { m.SetString(kCu, "Software\\Microsoft\\Office\\11.0\\Word\\Options", "PROGRAMDIR", "C:\\Office"); },
       {"PROGRAMDIR"}},
      {"Word startup folder", scan::WriteOffice,
       [](Machine& m) {
         m.AddFile("C:\\Documents and Settings\\User\\Application Data\\Microsoft\\Word\\STARTUP\\bad.dot", "DOC");
       },
       "C:\\Documents and Settings\\User\\Application Data\\Microsoft\\Word\\STARTUP\\bad.dot (3 bytes)",
       [](Machine& m) {
         m.AddFile("C:\\Documents and Settings\\User\\Application Data\\Microsoft\\Templates\\Normal.dot", "DOC");
       },
       {"Normal.dot"}},

      // Tampering
      {"Defender policy", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, "SOFTWARE\\Policies\\Microsoft\\Windows Defender", "DisableAntiSpyware", 1); },
       Entry("DisableAntiSpyware", "1", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows Defender"),
       [](Machine& m) {
         m.SetDword(kLm, "SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Real-Time Protection",
                    "DisableRealtimeMonitoring", 0);
       },
       {"Realtime"}},
      {"Defender exclusion", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, "SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Paths", "C:\\bad", 0); },
       Entry("C:\\bad", "0", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Paths"),
       nullptr, {""}},
      {"UAC prompt behaviour", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, kSystemPolicies, "ConsentPromptBehaviorAdmin", 0); },
       Entry("ConsentPromptBehaviorAdmin", "0", kLmText + std::string(kSystemPolicies)),
       [](Machine& m) {
         m.SetDword(kLm, kSystemPolicies, "PromptOnSecureDesktop", 1);
         m.SetDword(kLm, kSystemPolicies, "EnableLUA", 1);
       },
       {"PromptOnSecureDesktop", "EnableLUA"}},
      {"UAC prompt behaviour at its default", scan::WriteTampering, nullptr, "",
       [](Machine& m) { m.SetDword(kLm, kSystemPolicies, "ConsentPromptBehaviorAdmin", 5); }, {"Consent"}},
      {"secure desktop off", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, kSystemPolicies, "PromptOnSecureDesktop", 0); },
       Entry("PromptOnSecureDesktop", "0", kLmText + std::string(kSystemPolicies)), nullptr, {""}},
      {"AMSI off", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kCu, "Software\\Microsoft\\Windows Script\\Settings", "AmsiEnable", 0); },
       Entry("AmsiEnable", "0", "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Script\\Settings"), nullptr, {""}},
      {"event log off", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, "SYSTEM\\CurrentControlSet\\Services\\EventLog", "Start", 4); },
       Entry("Start", "4", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog"),
       [](Machine& m) { m.SetDword(kLm, "SYSTEM\\CurrentControlSet\\Services\\WinDefend", "Start", 2); }, {"WinDefend"}},
      {"firewall profile off", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, std::string(kFirewall) + "\\StandardProfile", "EnableFirewall", 0); },
       Entry("EnableFirewall", "0", kLmText + std::string(kFirewall) + "\\StandardProfile"),
       [](Machine& m) { m.SetDword(kLm, std::string(kFirewall) + "\\DomainProfile", "EnableFirewall", 1); },
       {"DomainProfile"}},
      {"firewall rule", scan::WriteTampering,
       [](Machine& m) {
         m.SetString(kLm, std::string(kFirewall) + "\\FirewallRules", "{BAD}",
                     "v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=4444|Name=Updater|");
       },
       Entry("{BAD}", "v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=4444|Name=Updater|",
             kLmText + std::string(kFirewall) + "\\FirewallRules"),
       [](Machine& m) {
         m.SetString(kLm, std::string(kFirewall) + "\\FirewallRules", "CoreNet-DHCP-In",
                     "v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=68|Name=@FirewallAPI.dll,-25301|");
         m.SetString(kLm, std::string(kFirewall) + "\\FirewallRules", "{OFF}",
                     "v2.10|Action=Allow|Active=FALSE|Dir=In|Name=Disabled rule|");
         m.SetString(kLm, std::string(kFirewall) + "\\FirewallRules", "{BLOCK}",
                     "v2.10|Action=Block|Active=TRUE|Dir=In|Name=Blocking rule|");
       },
       {"CoreNet", "{OFF}", "{BLOCK}"}},
      {"port proxy", scan::WriteTampering,
       [](Machine& m) {
         m.SetString(kLm, "SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v4tov4\\tcp", "0.0.0.0/4444", "10.0.0.5/3389");
       },
       Entry("0.0.0.0/4444", "10.0.0.5/3389", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v4tov4\\tcp"),
       nullptr, {""}},
      {"remote desktop on", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, "SYSTEM\\CurrentControlSet\\Control\\Terminal Server", "fDenyTSConnections", 0); },
       Entry("fDenyTSConnections", "0", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server"),
       [](Machine& m) {
         m.SetDword(kLm, "SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp", "PortNumber", 3389);
       },
       {"PortNumber"}},
      {"WDigest credentials", scan::WriteTampering,
       [](Machine& m) {
         m.SetDword(kLm, "SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\WDigest", "UseLogonCredential", 1);
       },
       Entry("UseLogonCredential", "1",
             "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\WDigest"),
       nullptr, {""}},
      {"hidden user", scan::WriteTampering,
       [](Machine& m) { m.SetDword(kLm, std::string(kWinlogon) + "\\SpecialAccounts\\UserList", "support$", 0); },
       Entry("support$", "0",
             "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\SpecialAccounts\\UserList"),
       [](Machine& m) {
         m.SetDword(kLm, std::string(kWinlogon) + "\\SpecialAccounts\\UserList", "HelpAssistant", 0);
         m.SetDword(kLm, std::string(kWinlogon) + "\\SpecialAccounts\\UserList", "IUSR_BOX", 0);
       },
       {"HelpAssistant", "IUSR_BOX"}},
      {"machine-wide hidden files", scan::WriteTampering,
       [](Machine& m) {
         m.SetDword(kLm, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "HideFileExt", 1);
       },
       Entry("HideFileExt", "1", "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"),
       [](Machine& m) {
         m.SetDword(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "HideFileExt", 1);
       },
       {"HKEY_CURRENT_USER"}},
  };
  return locations;
}

// The items of a report joined, and a report text holding `item` as one whole item (or, for
// several joined by \x1F, as consecutive items).
std::string Joined(const TReport& report) {
  std::string text;
  for (size_t i = 0; i < report.Count(); ++i) text += report.Item(i) + "\x1F";
  return text;
}

class ExtraSectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inspect::ClearLngTable();
    inspect::FillDefaultTexts();
  }
};

TEST_F(ExtraSectionsTest, EachLocationReportsThePlantedEntryAndNotTheStockOne) {
  for (const Location& location : Locations()) {
    SCOPED_TRACE(location.name);
    Machine machine;
    if (location.stock) location.stock(machine);
    if (location.planted) location.planted(machine);
    machine.Install();
    TReport report;
    location.write(report, TScanOptions{});
    const std::string text = Joined(report);
    if (!location.reported.empty()) {
      // The planted entry is reported once, as whole items.
      const size_t at = text.find(location.reported);
      if (at == std::string::npos) {
        ADD_FAILURE() << "not reported: " << location.reported << "\nreport: " << text;
        continue;
      }
      EXPECT_TRUE(at == 0 || text[at - 1] == '\x1F') << text;
      EXPECT_EQ(text.find(location.reported, at + 1), std::string::npos) << text;
    }
    for (const std::string& silent : location.silent) {
      if (!silent.empty()) {
        EXPECT_EQ(text.find(silent), std::string::npos) << silent << " in " << text;
      }
    }
  }
}

// The 32-bit copies are read by the x86_64 build only: the 32-bit build sees that view already.
TEST_F(ExtraSectionsTest, TheX64BuildAlsoReadsThe32BitCopies) {
  struct Copy {
    Writer write;
    const char* key;
    const char* name;
    const char* data;
  };
  const Copy copies[] = {
      {scan::WriteImageHooks, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs",
       "C:\\bad\\init32.dll"},
      {scan::WriteImageHooks,
       "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe",
       "Debugger", "C:\\bad\\dbg32.exe"},
      {scan::WriteWinlogonAndLogon,
       "SOFTWARE\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\{BAD}", "StubPath",
       "C:\\bad\\stub32.exe"},
      {scan::WritePrintTimeNetshBoot, "SOFTWARE\\Wow6432Node\\Microsoft\\NetSh", "bad", "C:\\bad\\netsh32.dll"},
      {scan::WriteOffice, "SOFTWARE\\Wow6432Node\\Microsoft\\Office test\\Special\\Perf", "", "C:\\bad\\perf32.dll"},
  };
  for (const Copy& copy : copies) {
    for (const bool x64 : {false, true}) {
      SCOPED_TRACE(std::string(copy.key) + (x64 ? " x86_64 build" : " 32-bit build"));
      Machine machine;
      machine.system().process64 = x64;
      machine.system().wow64 = !x64;
      machine.SetString(kLm, copy.key, copy.name, copy.data);
      // A stock Active Setup stub of the 32-bit copy stays out.
      machine.SetString(kLm, "SOFTWARE\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\{IE}", "StubPath",
                        "C:\\WINDOWS\\SysWOW64\\ie4uinit.exe -BaseSettings");
      machine.Install();
      TReport report;
      copy.write(report, TScanOptions{});
      const std::string text = Joined(report);
      EXPECT_EQ(text.find(Entry(copy.name, copy.data, kLmText + std::string(copy.key))) != std::string::npos, x64)
          << text;
      EXPECT_EQ(text.find("ie4uinit"), std::string::npos) << text;
    }
  }
}

// A stock list item matches whole, in any letter case, with or without the system folder before
// it; an item ending in "*" matches what it begins.
TEST_F(ExtraSectionsTest, StockTexts) {
  Machine machine;
  machine.Install();
  const struct {
    const char* text;
    const char* list;
    bool stock;
  } cases[] = {
      {"LOCALSPL.DLL", "tcpmon.dll|localspl.dll", true},
      {"C:\\WINDOWS\\system32\\localspl.dll", "localspl.dll", true},
      {"%systemroot%\\system32\\w32time.dll", "w32time.dll", true},
      {"C:\\bad\\localspl.dll", "localspl.dll", false},
      {"localspl.dll.bad", "localspl.dll", false},
      {"localspl", "localspl.dll", false},
      {"IUSR_BOX", "HelpAssistant|IUSR_*", true},
      {"autocheck autochk /q \\??\\C:", "autocheck autochk *", true},
      {"autochk", "autocheck autochk *", false},
      {"", "", true},
      {"anything", "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(scan::IsStockText(c.text, c.list), c.stock) << c.text << " in " << c.list;
}

// Multi-string items: a value that is not a string is passed over, a plain string is one item, an
// empty item or a missing final NUL neither hides nor invents an item.
TEST_F(ExtraSectionsTest, MultiStringItems) {
  const struct {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    std::string reported;  // empty: nothing
  } cases[] = {
      {"stock only", win::kRegMultiSz, MultiString({"kerberos", "msv1_0"}), ""},
      {"empty item between", win::kRegMultiSz, {'k', 'e', 'r', 'b', 'e', 'r', 'o', 's', 0, 0, 'b', 'a', 'd', 0, 0},
       {"kerberos bad"}},
      {"no final NULs", win::kRegMultiSz, {'m', 's', 'v', '1', '_', '0', 0, 'b', 'a', 'd'}, {"msv1_0 bad"}},
      {"plain string", win::kRegSz, {'b', 'a', 'd', 0, 'x', 0}, {"bad"}},
      {"binary", win::kRegBinary, {'b', 'a', 'd', 0}, {""}},
      {"empty", win::kRegMultiSz, {}, {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine machine;
    machine.SetValue(kLm, kLsa, "Security Packages", c.type, c.data);
    machine.Install();
    TReport report;
    scan::WriteLsa(report, TScanOptions{});
    if (c.reported.empty()) {
      EXPECT_EQ(report.Count(), 0u) << Joined(report);
    } else {
      ASSERT_EQ(report.Count(), 1u) << Joined(report);
      EXPECT_EQ(report.Item(0), Entry("Security Packages", c.reported, kLmText + std::string(kLsa)));
    }
  }
}

}  // namespace
