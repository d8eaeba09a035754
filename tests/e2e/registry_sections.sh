#!/usr/bin/env bash
# The registry sections of bsscan's report on a real registry: a fresh disposable prefix is
# scanned clean, then seeded with tests/fixtures/registry_hijacks.reg (regedit /S) and a hosts
# redirection, and scanned again.
set -euo pipefail
source "$(dirname "$0")/lib.sh" "$1" "$2" --disposable-prefix

user=$(ls "$BS_WINEPREFIX/drive_c/users" | grep -v -x Public | head -n 1)
appdata="C:\\users\\$user\\AppData\\Roaming"
temp="C:\\users\\$user\\Temp"
mkdir -p "$BS_WINEPREFIX/drive_c/users/$user/AppData/Roaming" "$BS_WINEPREFIX/drive_c/users/$user/Temp"
touch "$BS_WINEPREFIX/drive_c/users/$user/AppData/Roaming/bsfixture.exe" \
  "$BS_WINEPREFIX/drive_c/users/$user/Temp/bsfixture-temp.exe"
hosts="$BS_WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts"

# scan NAME: runs bsscan and leaves the report, without CRs, in $work/NAME.txt
scan() {
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$1.txt" || fail "bsscan exited $?"
  tr -d '\r' <"$INSTALL_DIR/$1.txt" >"$work/$1.txt"
}
# section REPORT TITLE: the lines between the section's banner and the next banner
section() {
  awk -v b="[+] $2" '$0 == b {on = 1; next} /^\[\+\] / {on = 0} on' "$1"
}
# entries REPORT TITLE NAME DATA KEY: how many value entries of the section read so
# (texts go through the environment: awk -v would read their backslashes as escapes)
entries() {
  section "$1" "$2" | V="Value: $3" D="Data: $4" K="Key: $5" awk '{l[NR] = $0}
    END {n = 0; for (i = 1; i + 2 <= NR; i++) if (l[i] == ENVIRON["V"] && l[i+1] == ENVIRON["D"] && l[i+2] == ENVIRON["K"]) n++; print n}'
}
# has REPORT TITLE GREP-ARGUMENTS...: whether grep finds them in the section
has() {
  section "$1" "$2" >"$work/section.txt"
  grep -q "${@:3}" "$work/section.txt"
}
# lines REPORT TITLE LINE: how many lines of the section equal LINE
lines() {
  section "$1" "$2" | grep -c -x -F -e "$3" || true
}

hklm=HKEY_LOCAL_MACHINE
hkcu=HKEY_CURRENT_USER
run='\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
winlogon='\Software\Microsoft\Windows NT\CurrentVersion\Winlogon'
policies='\Software\Microsoft\Windows\CurrentVersion\Policies'
clsid='{0B5F1E2A-3C4D-4E5F-8A9B-0C1D2E3F4A5B}'
firewall='\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\StandardProfile\AuthorizedApplications\List'
zones='\Software\Microsoft\Windows\CurrentVersion\Internet Settings\ZoneMap\Domains'

# Every value entry the fixture must bring: section|name|data|key
expected_entries=(
  "Registry startups|BsFixtureMachineRun|C:\\bs-fixture\\machine-run.exe /start|$hklm$run"
  "Registry startups|Shell|explorer.exe C:\\bs-fixture\\shell.exe|$hklm$winlogon"
  "Other Startups Methods|TaskMan|C:\\bs-fixture\\taskman.exe|$hklm$winlogon"
  "Other Startups Methods|Debugger|C:\\bs-fixture\\debugger.exe|$hklm\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\taskmgr.exe"
  "Internet Explorer settings|Start Page|http://search.bs-fixture.example/|$hkcu\\Software\\Microsoft\\Internet Explorer\\Main"
  "Internet Explorer settings|ProxyServer|127.0.0.1:8080|$hkcu\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
  "Windows Firewall allowed programs|C:\\bs-fixture\\bot.exe|C:\\bs-fixture\\bot.exe:*:Enabled:bsfixture|$hklm$firewall"
  "System Hijack|DisableTaskMgr|1|$hkcu$policies\\System"
  "System Hijack|DisableRegistryTools|1|$hklm$policies\\System"
  "System Hijack|Hidden|2|$hkcu\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced"
  "System Hijack|1|regedit.exe|$hkcu$policies\\Explorer\\DisallowRun"
)
# Lines, with the number of times each must appear: section|count|line
expected_lines=(
  "Suspicious Registry Keys|1|$hklm\\SOFTWARE\\BsFixtureRat -> Bifrost RAT"
  "Suspicious Registry Keys|2|$hkcu$run\\$clsid -> $appdata\\bsfixture.exe"
  "Suspicious Registry Keys|1|$hklm$run\\BsFixtureNumber -> 54321"
  "Suspicious Registry Keys|1|$hkcu$run\\BsFixtureTemp -> $temp\\bsfixture-temp.exe"
  "Internet Explorer Trusted Sites|1|$hkcu$zones\\bs-fixture.example"
  "Hosts file|1|127.0.0.1 www.bs-fixture.example"
)

# 1. The clean prefix shows none of them.
scan clean
for e in "${expected_entries[@]}"; do
  IFS='|' read -r title name data key <<<"$e"
  [ "$(entries "$work/clean.txt" "$title" "$name" "$data" "$key")" = 0 ] || fail "clean prefix: $title has $name"
done
for e in "${expected_lines[@]}"; do
  IFS='|' read -r title count line <<<"$e"
  [ "$(lines "$work/clean.txt" "$title" "$line")" = 0 ] || fail "clean prefix: $title has '$line'"
done
[ -z "$(section "$work/clean.txt" "Suspicious Registry Keys" | tr -d '\n')" ] || fail "clean prefix: suspicious keys"

# 2. Seeded: each appears, as often as it should.
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
APPDATA_REG=$(reg_escape "$appdata") TEMP_REG=$(reg_escape "$temp") awk '
  function replace(s, from, to,   i, out) {
    out = ""
    while ((i = index(s, from)) > 0) { out = out substr(s, 1, i - 1) to; s = substr(s, i + length(from)) }
    return out s
  }
  { print replace(replace($0, "@APPDATA@", ENVIRON["APPDATA_REG"]), "@TEMP@", ENVIRON["TEMP_REG"]) }' \
  "$SRC_DIR/tests/fixtures/registry_hijacks.reg" >"$work/hijacks.reg"
"$WINE" regedit /S "$("$WINE" winepath -w "$work/hijacks.reg")" \
  </dev/null >/dev/null 2>&1 || fail "regedit import"
printf '127.0.0.1 www.bs-fixture.example\r\n127.0.0.1    localhost\r\n# 127.0.0.1 commented.bs-fixture.example\r\n' >>"$hosts"
scan seeded
for e in "${expected_entries[@]}"; do
  IFS='|' read -r title name data key <<<"$e"
  [ "$(entries "$work/seeded.txt" "$title" "$name" "$data" "$key")" = 1 ] \
    || fail "$title: no single entry $name = $data in $key; section was:"$'\n'"$(section "$work/seeded.txt" "$title")"
done
for e in "${expected_lines[@]}"; do
  IFS='|' read -r title count line <<<"$e"
  [ "$(lines "$work/seeded.txt" "$title" "$line")" = "$count" ] \
    || fail "$title: '$line' not $count time(s); section was:"$'\n'"$(section "$work/seeded.txt" "$title")"
done

# What the sections must leave out even when seeded.
has "$work/seeded.txt" "Suspicious Registry Keys" -e BsFixtureSmallNumber && fail "Run value 4 reported"
has "$work/seeded.txt" "Internet Explorer settings" -x -e 'Value: Search Page' && fail "whitelisted page reported"
has "$work/seeded.txt" "Internet Explorer Trusted Sites" -e intranet.example && fail "zone 1 reported"
has "$work/seeded.txt" "Windows Firewall allowed programs" -i -e sessmgr && fail "sessmgr.exe listed"
has "$work/seeded.txt" "System Hijack" -x -e 'Value: DisableCMD' && fail "DisableCMD 0 reported"
[ "$(section "$work/seeded.txt" "Hosts file" | grep -c .)" = 1 ] || fail "hosts: only the redirection is listed"
echo "registry sections end-to-end: ok"
