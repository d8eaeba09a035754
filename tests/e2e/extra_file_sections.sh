#!/usr/bin/env bash
# The scheduled-task, auto-start service and phantom DLL sections of bsscan.exe in a disposable
# prefix seeded the way persistence tools leave their traces: a service and a svchost ServiceDll
# made with "sc create" and "reg add" (neither started), a ".job" file and task XML dropped into
# the task folders, a task the cache holds without its file, and a DLL dropped into the system
# folder under a name a system loader looks for. Stock entries beside them stay out.
source "$(dirname "$0")/lib.sh" "$1" "$2" --disposable-prefix
trap cleanup_install EXIT

windows="$BS_WINEPREFIX/drive_c/windows"
payload="$BIN_DIR/tests/sample_service.exe"
[ -f "$payload" ] || fail "no $payload"
# One program per artefact: a file is described once in the whole report.
for name in task.exe beacon.exe hidden.exe service.exe manual.exe; do cp "$payload" "$INSTALL_DIR/$name"; done
cp "$payload" "$windows/system32/w64time.dll"
cp "$payload" "$windows/system32/wlbsctrl.dll"
cp "$payload" "$windows/system32/bs-unlisted.dll"

sc() { "$WINE" sc "$@" </dev/null >/dev/null 2>&1; }
reg() { "$WINE" reg "$@" </dev/null >/dev/null 2>&1; }

sc create BsAutoSvc binPath= "$INSTALL_WIN\\service.exe -run" start= auto || fail "sc create BsAutoSvc"
sc create BsManualSvc binPath= "$INSTALL_WIN\\manual.exe" start= demand || fail "sc create BsManualSvc"
sc create W64Time binPath= "%SystemRoot%\\system32\\svchost.exe -k TimeService" type= share start= auto \
  || fail "sc create W64Time"
reg add 'HKLM\SYSTEM\CurrentControlSet\Services\W64Time\Parameters' /v ServiceDll /t REG_EXPAND_SZ \
  /d '%SystemRoot%\system32\w64time.dll' /f || fail "reg add ServiceDll"

# The task files and the cached task's actions, as the scheduler stores them.
cache_actions=$(python3 - "$windows" "$INSTALL_WIN" <<'EOF'
import os, struct, sys
windows, install = sys.argv[1], sys.argv[2]
def counted(text):
    data = (text + "\0").encode("utf-16-le")
    return struct.pack("<H", len(data) // 2) + data
job = bytearray(0x46)
struct.pack_into("<H", job, 0x14, 0x46)
job += counted(install + "\\task.exe") + counted("-quiet") + counted("C:\\")
os.makedirs(os.path.join(windows, "Tasks"), exist_ok=True)
open(os.path.join(windows, "Tasks", "BsUpdater.job"), "wb").write(job)
xml = ('<?xml version="1.0" encoding="UTF-16"?>\r\n<Task><Actions Context="Author"><Exec><Command>'
       + install + '\\beacon.exe</Command><Arguments>/s &amp; /t</Arguments></Exec></Actions></Task>')
os.makedirs(os.path.join(windows, "system32", "Tasks", "BsFolder"), exist_ok=True)
open(os.path.join(windows, "system32", "Tasks", "BsFolder", "BsBeacon"), "wb").write(b"\xff\xfe" + xml.encode("utf-16-le"))
def sized(text):
    data = text.encode("utf-16-le")
    return struct.pack("<I", len(data)) + data
actions = struct.pack("<H", 3) + sized("Author") + b"\x66\x66" + sized("") + sized(install + "\\hidden.exe") \
    + sized("") + sized("") + b"\0\0"
print(actions.hex())
EOF
) || fail "cannot write the task files"
cache='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Schedule\TaskCache\Tasks'
reg add "$cache\\{B5E2E000-0000-0000-0000-000000000001}" /v Path /d '\BsHidden' /f || fail "reg add Path"
reg add "$cache\\{B5E2E000-0000-0000-0000-000000000001}" /v Actions /t REG_BINARY /d "$cache_actions" /f \
  || fail "reg add Actions"

# Slow optional sections off (CLSID, unknown .sys, recent files, hooks, kernel).
mkdir -p "$INSTALL_DIR/Data"
printf '[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=0\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=0\r\n33=0\r\n34=-1\r\n35=0\r\n' \
  >"$INSTALL_DIR/Data/Options.ini"
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\report.txt" || fail "bsscan exited $?"
tr -d '\r' <"$INSTALL_DIR/report.txt" >"$INSTALL_DIR/report.lf"

# Prints the items of one section: the lines between its banner and the next one.
section() {
  awk -v title="[+] $1" '$0 == title {on = 1; next} /^\[\+\] |^---$/ {on = 0} on && $0 != ""' "$INSTALL_DIR/report.lf"
}
section "Scheduled tasks" >"$INSTALL_DIR/tasks.txt"
section "Auto-start services and drivers" >"$INSTALL_DIR/services.txt"
section "Phantom DLLs in the system folder" >"$INSTALL_DIR/phantoms.txt"
md5() { md5sum "$1" | cut -d' ' -f1; }
size=$(stat -c %s "$payload")
expect() {  # expect FILE LINE...
  local file=$1 line
  shift
  for line in "$@"; do
    grep -qxF -- "$line" "$INSTALL_DIR/$file" || fail "missing '$line' in $file: $(cat "$INSTALL_DIR/$file")"
  done
}
absent() {  # absent FILE TEXT
  ! grep -qF -- "$2" "$INSTALL_DIR/$1" || fail "'$2' listed in $1: $(cat "$INSTALL_DIR/$1")"
}

expect tasks.txt "Value: BsUpdater" "Data: $INSTALL_WIN\\task.exe -quiet" "Key: C:\\windows\\Tasks\\BsUpdater.job" \
  "Value: \\BsFolder\\BsBeacon" "Data: $INSTALL_WIN\\beacon.exe /s & /t" \
  "Key: C:\\windows\\system32\\Tasks\\BsFolder\\BsBeacon" \
  "Value: Path" "Data: \\BsHidden" "Value: \\BsHidden" "Data: $INSTALL_WIN\\hidden.exe"
for name in task beacon hidden; do
  grep -qE "^C:\\\\$INSTALL_NAME\\\\$name\\.exe \\($size bytes\\) \\(.*\\) \\($(md5 "$payload")\\)$" \
    "$INSTALL_DIR/tasks.txt" || fail "no file line for $name.exe: $(cat "$INSTALL_DIR/tasks.txt")"
done

lower_install=$(printf '%s' "c:\\$INSTALL_NAME" | tr '[:upper:]' '[:lower:]')
grep -qE "^$(printf '%s' "$lower_install" | sed 's/\\/\\\\/g')\\\\service\\.exe \\(BsAutoSvc\\) \\(BsAutoSvc\\) \\(.*\\) \\($(md5 "$payload")\\)$" \
  "$INSTALL_DIR/services.txt" || fail "no line for BsAutoSvc: $(cat "$INSTALL_DIR/services.txt")"
grep -qE "^C:\\\\windows\\\\system32\\\\w64time\\.dll \\(W64Time\\) \\(W64Time\\) " "$INSTALL_DIR/services.txt" \
  || fail "no line for the W64Time ServiceDll: $(cat "$INSTALL_DIR/services.txt")"
absent services.txt "BsManualSvc"

grep -qE "^C:\\\\windows\\\\system32\\\\wlbsctrl\\.dll \\($size bytes\\) " "$INSTALL_DIR/phantoms.txt" \
  || fail "no line for wlbsctrl.dll: $(cat "$INSTALL_DIR/phantoms.txt")"
absent phantoms.txt "bs-unlisted.dll"
echo "extra file sections end-to-end: ok"
