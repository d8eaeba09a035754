#!/usr/bin/env bash
# The cross-view: one seeded prefix scanned online by bsscan under Wine, then offline by the native
# bsscan --offline over its drive_c with hives built from its whole registry (regedit /E). Every
# registry and file section gives the same lines both ways. Not compared: the recent files, which
# the hives just written join, and the unknown .sys files, where Wine gives its builtin drivers a
# company that their files' bytes do not carry (they have no version resource).
set -euo pipefail
source "$(dirname "$0")/lib.sh" "$1" "$2" --disposable-prefix
native=$SRC_DIR/build/native/bsscan
if [ ! -x "$native" ]; then
  echo "offline_cross_view: skipped: no native bsscan at $native (make build-native)"
  exit 77
fi
drive=$BS_WINEPREFIX/drive_c
user=$(ls "$drive/users" | grep -v -x Public | head -n 1)
appdata="C:\\users\\$user\\AppData\\Roaming"
temp="C:\\users\\$user\\Temp"
mkdir -p "$drive/users/$user/AppData/Roaming/12345" "$drive/users/$user/Temp/cache"

# The infection: registry hijacks, programs where they hide (one of them hidden), a hosts redirection.
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
APPDATA_REG=$(reg_escape "$appdata") TEMP_REG=$(reg_escape "$temp") awk '
  function replace(s, from, to,   i, out) {
    out = ""
    while ((i = index(s, from)) > 0) { out = out substr(s, 1, i - 1) to; s = substr(s, i + length(from)) }
    return out s
  }
  { print replace(replace($0, "@APPDATA@", ENVIRON["APPDATA_REG"]), "@TEMP@", ENVIRON["TEMP_REG"]) }' \
  "$SRC_DIR/tests/fixtures/registry_hijacks.reg" >"$work/hijacks.reg"
"$WINE" regedit /S "$("$WINE" winepath -w "$work/hijacks.reg")" </dev/null >/dev/null 2>&1 || fail "regedit import"
cp "$BIN_DIR/$BSSCAN" "$drive/users/$user/AppData/Roaming/bsfixture.exe"
cp "$BIN_DIR/$BSSCAN" "$drive/users/$user/Temp/bsfixture-temp.exe"
cp "$BIN_DIR/$BSSCAN" "$drive/users/$user/Temp/cache/hidden.dat"
"$WINE" attrib +h "$temp\\cache\\hidden.dat" </dev/null >/dev/null 2>&1 || fail "attrib +h"
printf '127.0.0.1 www.bs-fixture.example\r\n' >>"$drive/windows/system32/drivers/etc/hosts"

"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\online.txt" || fail "bsscan exited $?"
tr -d '\r' <"$INSTALL_DIR/online.txt" >"$work/online.txt"
"$WINE" regedit /E "$INSTALL_WIN\\registry.reg" </dev/null >/dev/null 2>&1 || fail "regedit export"
sid=$(iconv -f UTF-16 -t UTF-8 "$INSTALL_DIR/registry.reg" | sed -n 's/^\[HKEY_USERS\\\(S-1-5-21-[0-9-]*\)\]\r*$/\1/p' | head -n 1)
[ -n "$sid" ] || fail "no user in the exported registry"
mv "$INSTALL_DIR/registry.reg" "$work/registry.reg"
rm -f "$INSTALL_DIR/online.txt"
WINEPREFIX=$BS_WINEPREFIX wineserver -w >/dev/null 2>&1 || true

# The volume: drive_c as it is, with the hives where Windows keeps them.
"$SRC_DIR/tools/offline-volume" "$drive" --hives-only --windows windows --profile "users/$user" \
  --user-sid "$sid" "$work/registry.reg" 2>/dev/null || fail "hives from the exported registry"
"$native" --offline "$drive" --quiet --output "$work/offline.txt" || fail "bsscan --offline exited $?"
tr -d '\r' <"$work/offline.txt" >"$work/offline.lines"

section() { awk -v b="[+] $2" '$0 == b {on = 1; next} /^\[\+\] / {on = 0} on' "$1"; }
grep -qx "Offline scan of $drive (C:\\\\windows, user C:\\\\users\\\\$user)" "$work/offline.lines" \
  || fail "offline source line: $(sed -n 4p "$work/offline.lines")"
compared=0
while IFS= read -r title; do
  [ -n "$title" ] || continue
  section "$work/online.txt" "$title" >"$work/a"
  section "$work/offline.lines" "$title" >"$work/b"
  diff -u --label "online: $title" --label "offline: $title" "$work/a" "$work/b" >&2 || fail "$title differs"
  compared=$((compared + 1))
done <<'TITLES'
Generic system info
Registry startups
Other Startups Methods
Startup folders
TCPIP nameservers
Internet Explorer settings
Internet Explorer Trusted Sites
Windows Firewall allowed programs
Windows Firewall allowed ports
System Hijack
Executables in Temp folders
Executables in suspicious folders
Autorun.ini
Non accessible files
Executables in Internet Explorer Folder
Hidden files in suspicious folders
Suspicious Registry Keys
Suspicious folders
Drivers -> FSFilter Anti-Virus
ServiceDll
Unknown files in Winsock LSP
Unknown files in CLSID
Hosts file
TITLES
# The seeded lines are there, so the sections compared are not empty alike.
grep -q 'bsfixture-temp.exe' <(section "$work/offline.lines" "Executables in Temp folders") || fail "no Temp program offline"
grep -q 'hidden.dat' <(section "$work/offline.lines" "Hidden files in suspicious folders") || fail "no hidden file offline"
grep -q 'BsFixtureMachineRun' <(section "$work/offline.lines" "Registry startups") || fail "no Run value offline"
echo "offline cross-view: $compared sections the same online and offline; 1 passed, 0 failed"
