#!/usr/bin/env bash
# The autostart and tampering sections of bsscan's report on a real registry: a fresh disposable
# prefix is scanned clean (the new sections hold nothing), then seeded with reg add and a copy of
# the command shell as an accessibility tool, and scanned again; with --no-extra-sections the
# seeded prefix gives the classic report.
set -euo pipefail
source "$(dirname "$0")/lib.sh" "$1" "$2" --disposable-prefix
here=$(cd "$(dirname "$0")" && pwd)

# scan NAME [OPTIONS...]: runs bsscan and leaves the report, without CRs, in $work/NAME.txt
scan() {
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$1.txt" "${@:2}" || fail "bsscan exited $?"
  tr -d '\r' <"$INSTALL_DIR/$1.txt" >"$work/$1.txt"
}
# section REPORT TITLE: the lines between the section's banner and the next banner
section() {
  awk -v b="[+] $2" '$0 == b {on = 1; next} /^\[\+\] / || /^---$/ {on = 0} on' "$1"
}
# entries REPORT TITLE NAME DATA KEY: how many value entries of the section read so
entries() {
  section "$1" "$2" | V="Value: $3" D="Data: $4" K="Key: $5" awk '{l[NR] = $0}
    END {n = 0; for (i = 1; i + 2 <= NR; i++) if (l[i] == ENVIRON["V"] && l[i+1] == ENVIRON["D"] && l[i+2] == ENVIRON["K"]) n++; print n}'
}
reg_add() { "$WINE" reg add "$@" /f </dev/null >/dev/null 2>&1 || fail "reg add $*"; }

hklm=HKEY_LOCAL_MACHINE
hkcu=HKEY_CURRENT_USER
nt='SOFTWARE\Microsoft\Windows NT\CurrentVersion'
titles=("Winlogon and logon" "LSA" "Image and process hooks" "COM and shell" "Print, time, netsh, boot" "Office"
  "Tampering")

# What each planted artefact must bring: section|name|data|key
expected_entries=(
  "Winlogon and logon|Shell|C:\\bs-fixture\\user-shell.exe|$hkcu\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
  "Winlogon and logon|UserInitMprLogonScript|C:\\bs-fixture\\logon.bat|$hkcu\\Environment"
  "LSA|Security Packages|kerberos schannel bsfixture|$hklm\\SYSTEM\\CurrentControlSet\\Control\\Lsa"
  "Image and process hooks|MonitorProcess|C:\\bs-fixture\\monitor.exe|$hklm\\$nt\\SilentProcessExit\\notepad.exe"
  "Image and process hooks|GlobalFlag|512|$hklm\\$nt\\Image File Execution Options\\notepad.exe"
  "COM and shell||C:\\bs-fixture\\settings.exe|$hkcu\\Software\\Classes\\ms-settings\\shell\\open\\command"
  "Print, time, netsh, boot|Driver|bsfixture-mon.dll|$hklm\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\BsFixture Port"
  "Print, time, netsh, boot|bsfixture|C:\\bs-fixture\\netsh-helper.dll|$hklm\\SOFTWARE\\Microsoft\\NetSh"
  "Office||C:\\bs-fixture\\perf.dll|$hkcu\\Software\\Microsoft\\Office test\\Special\\Perf"
  "Tampering|ConsentPromptBehaviorAdmin|0|$hklm\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"
  "Tampering|bsfixture\$|0|$hklm\\$nt\\Winlogon\\SpecialAccounts\\UserList"
  "Tampering|0.0.0.0/4444|10.9.8.7/3389|$hklm\\SYSTEM\\CurrentControlSet\\Services\\PortProxy\\v4tov4\\tcp"
)
# The x86_64 build reads the 32-bit copy too.
if [ "$WINE_ARCH" = win64 ]; then
  expected_entries+=("Image and process hooks|AppInit_DLLs|C:\\bs-fixture\\init32.dll|$hklm\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows")
fi
system32="$BS_WINEPREFIX/drive_c/windows/system32"
sethc_line='C:\windows\system32\sethc.exe ('

# 1. The clean prefix, its post-mortem debugger and print processors set as on a clean Windows:
# the new sections are there, in order after the classic ones, and empty.
reg_add "HKLM\\$nt\\AeDebug" /v Debugger /d 'drwtsn32 -p %ld -e %ld -g'
for environment in 'Windows NT x86' 'Windows x64'; do
  "$WINE" reg delete "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\$environment\\Print Processors" /f \
    </dev/null >/dev/null 2>&1 || true
  reg_add "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\$environment\\Print Processors\\winprint" \
    /v Driver /d winprint.dll
done
scan clean
grep '^\[+\] ' "$work/clean.txt" | sed 's/^\[+\] //' | tail -n ${#titles[@]} >"$work/tail.txt"
printf '%s\n' "${titles[@]}" | diff -u - "$work/tail.txt" || fail "new sections missing or out of order"
held=
for title in "${titles[@]}"; do
  [ -z "$(section "$work/clean.txt" "$title" | tr -d '\n')" ] || held+="$title:"$'\n'"$(section "$work/clean.txt" "$title")"$'\n'
done
[ -z "$held" ] || fail "clean prefix: the new sections hold"$'\n'"$held"

# 2. Seeded.
reg_add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Winlogon' /v Shell /d 'C:\bs-fixture\user-shell.exe'
reg_add 'HKCU\Environment' /v UserInitMprLogonScript /d 'C:\bs-fixture\logon.bat'
reg_add 'HKLM\SYSTEM\CurrentControlSet\Control\Lsa' /v 'Security Packages' /t REG_MULTI_SZ /d 'kerberos\0schannel\0bsfixture'
reg_add "HKLM\\$nt\\SilentProcessExit\\notepad.exe" /v MonitorProcess /d 'C:\bs-fixture\monitor.exe'
reg_add "HKLM\\$nt\\Image File Execution Options\\notepad.exe" /v GlobalFlag /t REG_DWORD /d 512
reg_add 'HKCU\Software\Classes\ms-settings\shell\open\command' /ve /d 'C:\bs-fixture\settings.exe'
reg_add 'HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\BsFixture Port' /v Driver /d bsfixture-mon.dll
reg_add 'HKLM\SOFTWARE\Microsoft\NetSh' /v bsfixture /d 'C:\bs-fixture\netsh-helper.dll'
reg_add 'HKCU\Software\Microsoft\Office test\Special\Perf' /ve /d 'C:\bs-fixture\perf.dll'
reg_add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\System' /v ConsentPromptBehaviorAdmin /t REG_DWORD /d 0
reg_add "HKLM\\$nt\\Winlogon\\SpecialAccounts\\UserList" /v 'bsfixture$' /t REG_DWORD /d 0
reg_add 'HKLM\SYSTEM\CurrentControlSet\Services\PortProxy\v4tov4\tcp' /v 0.0.0.0/4444 /d 10.9.8.7/3389
if [ "$WINE_ARCH" = win64 ]; then
  reg_add 'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows NT\CurrentVersion\Windows' /v AppInit_DLLs /d 'C:\bs-fixture\init32.dll'
fi
cp "$system32/cmd.exe" "$system32/sethc.exe"

scan seeded
for e in "${expected_entries[@]}"; do
  IFS='|' read -r title name data key <<<"$e"
  [ "$(entries "$work/seeded.txt" "$title" "$name" "$data" "$key")" = 1 ] \
    || fail "$title: no single entry $name = $data in $key; section was:"$'\n'"$(section "$work/seeded.txt" "$title")"
done
[ "$(section "$work/seeded.txt" "Image and process hooks" | grep -c -F -e "$sethc_line")" = 1 ] \
  || fail "the command shell as sethc.exe is not listed once"

# 3. Switched off: the classic banners, none of the artefacts.
scan classic --no-extra-sections
# The classic banners end with "Kernel Mode Info"; every banner after it belongs to the new sections.
grep '^\[+\] ' "$work/classic.txt" | diff -u <(sed '/^\[+\] Kernel Mode Info$/q' "$here/expected/default_banners.txt") - || fail "--no-extra-sections: banners differ"
for needle in user-shell.exe bsfixture-mon.dll perf.dll ConsentPromptBehaviorAdmin "$sethc_line"; do
  grep -q -F -e "$needle" "$work/classic.txt" && fail "--no-extra-sections still shows $needle"
done
echo "extra registry sections end-to-end: ok"
