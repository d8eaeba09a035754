#!/usr/bin/env bash
# The system and process sections of bsscan.exe on real Wine prefixes: two copies of our sample
# program started from a folder outside the Windows folder, each holding our sample DLL, give one
# line in "Running processes"; the DLL is in "Loaded Modules" only when "Show only Loaded Modules
# from suspicious folders" is off; the first line of "Generic system info" ends in the prefix's
# bitness (win32 here, then the win64 prefix of the build tree; win64 for the x86_64 build).
source "$(dirname "$0")/lib.sh" "$1" "$2"

payload_dir="$INSTALL_DIR/payload"
payload_win="$INSTALL_WIN\\payload"
mkdir -p "$payload_dir"
cp "$BIN_DIR/sample_payload.exe" "$BIN_DIR/sample_hook.dll" "$payload_dir/"

pids=()
win64_dir=
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -z "$win64_dir" ] || rm -rf "$win64_dir"
  cleanup_install
}
trap cleanup EXIT

# Two copies, each loading the DLL; each says "ready" once the DLL is in.
for copy in 1 2; do
  "$WINE_RUN" "$payload_dir/sample_payload.exe" 300 "$payload_win\\sample_hook.dll" \
    >"$INSTALL_DIR/payload$copy.out" 2>&1 &
  pids+=($!)
done
for copy in 1 2; do
  for _ in $(seq 100); do
    grep -q ready "$INSTALL_DIR/payload$copy.out" 2>/dev/null && break
    kill -0 "${pids[copy - 1]}" 2>/dev/null || fail "payload $copy ended: $(cat "$INSTALL_DIR/payload$copy.out")"
    sleep 0.2
  done
  grep -q ready "$INSTALL_DIR/payload$copy.out" || fail "payload $copy never became ready"
done

# Options.ini in reading order; a file stops at its first invalid key, so every key is written.
# The slow optional sections are off; $1 is "Show only Loaded Modules from suspicious folders".
write_options() {
  printf '[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=0\r\n18=%s\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=0\r\n33=0\r\n34=-1\r\n35=0\r\n' \
    "$1" >"$2/Options.ini"
}

# Prints the items of one section: the lines between its banner and the next one.
section() {
  awk -v title="[+] $1" '$0 == title {on = 1; next} /^\[\+\] / {on = 0} on && $0 != ""' "$2"
}

scan() {  # scan NAME SUSPICIOUS_ONLY
  mkdir -p "$INSTALL_DIR/Data"
  write_options "$2" "$INSTALL_DIR/Data"
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$1.txt" || fail "bsscan exited $?"
  tr -d '\r' <"$INSTALL_DIR/$1.txt" >"$INSTALL_DIR/$1.lf"
}

exe_win="$payload_win\\sample_payload.exe"
dll_win="$payload_win\\sample_hook.dll"
size=$(stat -c %s "$payload_dir/sample_payload.exe")
md5=$(md5sum <"$payload_dir/sample_payload.exe" | cut -d' ' -f1)

scan off 0
report="$INSTALL_DIR/off.lf"
bits=32; [ "$WINE_ARCH" = win64 ] && bits=64
section "Generic system info" "$report" | head -n 1 | grep -Eq "^Operating System: .* $bits-bit\$" \
  || fail "first line on $WINE_ARCH: $(section "Generic system info" "$report" | head -n 1)"
section "Generic system info" "$report" | grep -qx 'System Folder: C:\\windows\\system32' \
  || fail "no System Folder line"
section "Running processes" "$report" >"$INSTALL_DIR/processes.txt"
[ "$(grep -ciF "$exe_win (" "$INSTALL_DIR/processes.txt")" = 1 ] \
  || fail "the payload must be listed once: $(grep -iF sample_payload "$INSTALL_DIR/processes.txt")"
# Its line describes the real file: size, attributes and digest.
grep -iF "$exe_win (" "$INSTALL_DIR/processes.txt" \
  | grep -Eq "^.* \($size bytes\) \(Unknown\) \([^)]+\) \(--[-A]-\) \($md5\)$" \
  || fail "payload line: $(grep -iF "$exe_win (" "$INSTALL_DIR/processes.txt")"
section "Loaded Modules" "$report" >"$INSTALL_DIR/modules-off.txt"
[ "$(grep -ciF "$dll_win (" "$INSTALL_DIR/modules-off.txt")" = 1 ] \
  || fail "the DLL must be listed once with the option off: $(grep -icF sample_hook "$INSTALL_DIR/modules-off.txt")"
grep -qiF "$exe_win" "$INSTALL_DIR/modules-off.txt" && fail "a main executable listed as a module"

scan on -1
section "Running processes" "$INSTALL_DIR/on.lf" | grep -qiF "$exe_win (" || fail "payload missing with the option on"
section "Loaded Modules" "$INSTALL_DIR/on.lf" >"$INSTALL_DIR/modules-on.txt"
grep -qiF sample_hook "$INSTALL_DIR/modules-on.txt" && fail "the DLL listed with the option on"
grep -qF 'C:\windows\' "$INSTALL_DIR/modules-on.txt" || fail "no module of the Windows folder with the option on"
grep -vqF 'C:\windows' "$INSTALL_DIR/modules-on.txt" && fail "a module outside the Windows folder with the option on"

# The win64 prefix of the build tree: our 32-bit program under WoW64.
if [ "$WINE_ARCH" = win64 ]; then
  echo "process sections end-to-end: ok"
  exit 0
fi
export BS_WINEARCH=win64 BS_WINEPREFIX="$BIN_DIR/wineprefix64"
"$SRC_DIR/tools/wine-prefix" "$BS_WINEPREFIX" win64
win64_dir="$BS_WINEPREFIX/drive_c/$INSTALL_NAME"
mkdir -p "$win64_dir/Data"
cp "$BIN_DIR/$BSSCAN" "$win64_dir/"
write_options -1 "$win64_dir/Data"
"$WINE_RUN" "$win64_dir/$BSSCAN" --quiet --output "$INSTALL_WIN\\r64.txt" \
  || fail "bsscan on win64 exited $?"
tr -d '\r' <"$win64_dir/r64.txt" >"$win64_dir/r64.lf"
section "Generic system info" "$win64_dir/r64.lf" | head -n 1 | grep -Eq '^Operating System: .* 64-bit$' \
  || fail "first line on win64: $(section "Generic system info" "$win64_dir/r64.lf" | head -n 1)"
section "Running processes" "$win64_dir/r64.lf" | grep -qiF "$INSTALL_WIN\\bsscan.exe (" \
  || fail "bsscan itself missing from the win64 process list"
echo "process sections end-to-end: ok"
