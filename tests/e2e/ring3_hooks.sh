#!/usr/bin/env bash
# "Ring3 API Hooks" of bsscan.exe over hooks planted for real: hook_shell.exe runs as
# C:\windows\explorer.exe (the prefix's own file is put back on exit) and plants, in its
# kernel32, an E9 jump, a push/ret pair and an FF 25 jump into hook_lib.dll, an E9 jump that
# stays inside kernel32, an export-table entry moved onto hook_lib.dll and an import-table entry
# of its own moved there. Each reported kind gives exactly its line; the jump inside kernel32,
# Wine's own DLLs and a shell that plants nothing give none. On the win64 prefix the section is
# the one line "x64 OS not supported!", and so it is in the x86_64 build.
source "$(dirname "$0")/lib.sh" "$1" "$2"

shell_unix="$BS_WINEPREFIX/drive_c/windows/explorer.exe"
saved=$(mktemp -d)
shell_pid=
win64_dir=
cleanup() {
  if [ -n "$shell_pid" ]; then
    kill "$shell_pid" 2>/dev/null || true
    wait "$shell_pid" 2>/dev/null || true
  fi
  if [ -f "$saved/explorer.exe" ]; then cp -p "$saved/explorer.exe" "$shell_unix"; fi
  rm -rf "$saved"
  [ -z "$win64_dir" ] || rm -rf "$win64_dir"
  cleanup_install
}
trap cleanup EXIT

dll_win="$INSTALL_WIN\\hooks\\hook_lib.dll"

# Every key in reading order; only the hook section of the optional ones is on.
write_options() {
  mkdir -p "$1/Data"
  printf '[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=0\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=-1\r\n31=0\r\n32=0\r\n33=0\r\n34=0\r\n35=0\r\n' \
    >"$1/Data/Options.ini"
}
section() {
  awk -v title="[+] $1" '$0 == title {on = 1; next} /^\[\+\] / || $0 == "---" {on = 0} on && $0 != ""' "$2"
}
# scan NAME: the report as NAME.lf
scan() {
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$1.txt" || fail "$1: bsscan exited $?"
  tr -d '\r' <"$INSTALL_DIR/$1.txt" >"$INSTALL_DIR/$1.lf"
}
# start_shell MODE: hook_shell.exe as the shell until it says "ready"
start_shell() {
  "$WINE_RUN" 'C:\windows\explorer.exe' 300 "$dll_win" "$1" >"$INSTALL_DIR/shell-$1.out" 2>&1 &
  shell_pid=$!
  for _ in $(seq 100); do
    grep -q ready "$INSTALL_DIR/shell-$1.out" 2>/dev/null && return 0
    kill -0 "$shell_pid" 2>/dev/null || fail "the $1 shell ended: $(cat "$INSTALL_DIR/shell-$1.out")"
    sleep 0.2
  done
  fail "the $1 shell never became ready"
}
stop_shell() {
  kill "$shell_pid" 2>/dev/null || true
  wait "$shell_pid" 2>/dev/null || true
  shell_pid=
}
write_options "$INSTALL_DIR"

# The x86_64 build has no hook shell: its section is the refusal.
if [ "$WINE_ARCH" = win64 ]; then
  scan x64
  hooks=$(section "Ring3 API Hooks" "$INSTALL_DIR/x64.lf")
  [ "$hooks" = "x64 OS not supported!" ] || fail "x86_64 build section: $hooks"
  echo "ring3 hooks end-to-end: ok"
  exit 0
fi

[ -f "$shell_unix" ] && cp -p "$shell_unix" "$saved/explorer.exe"
cp "$BIN_DIR/tests/hook_shell.exe" "$shell_unix"
mkdir -p "$INSTALL_DIR/hooks"
cp "$BIN_DIR/tests/hook_lib.dll" "$INSTALL_DIR/hooks/"

# A clean shell: it is inspected (listed from the Windows folder) and gives no line.
start_shell clean
scan clean
section "Running processes" "$INSTALL_DIR/clean.lf" | grep -qiF 'C:\windows\explorer.exe (' \
  || fail "the shell is not running from the Windows folder"
hooks=$(section "Ring3 API Hooks" "$INSTALL_DIR/clean.lf")
[ -z "$hooks" ] || fail "a clean prefix gives hook lines:"$'\n'"$hooks"
stop_shell

start_shell all
scan all
expected='C:\windows\explorer.exe -> KERNEL32.DLL->GetComputerNameA -> hook_lib.dll -> IAT
C:\windows\explorer.exe -> KERNEL32.DLL->Beep -> hook_lib.dll -> Inline JMP 0xE9
C:\windows\explorer.exe -> KERNEL32.DLL->GetAtomNameA -> hook_lib.dll -> EAT
C:\windows\explorer.exe -> KERNEL32.DLL->MulDiv -> hook_lib.dll -> Inline JMP 0x25FF
C:\windows\explorer.exe -> KERNEL32.DLL->WinExec -> hook_lib.dll -> Inline Push/Ret'
hooks=$(section "Ring3 API Hooks" "$INSTALL_DIR/all.lf")
[ "$hooks" = "$expected" ] || fail "hook lines:"$'\n'"$hooks"$'\n'"expected:"$'\n'"$expected"
stop_shell

# The win64 prefix of the build tree: our 32-bit program under WoW64.
export BS_WINEARCH=win64 BS_WINEPREFIX="$BIN_DIR/wineprefix64"
"$SRC_DIR/tools/wine-prefix" "$BS_WINEPREFIX" win64
win64_dir="$BS_WINEPREFIX/drive_c/$INSTALL_NAME"
mkdir -p "$win64_dir"
cp "$BIN_DIR/$BSSCAN" "$win64_dir/"
write_options "$win64_dir"
"$WINE_RUN" "$win64_dir/$BSSCAN" --quiet --output "$INSTALL_WIN\\r64.txt" || fail "bsscan on win64 exited $?"
tr -d '\r' <"$win64_dir/r64.txt" >"$win64_dir/r64.lf"
hooks=$(section "Ring3 API Hooks" "$win64_dir/r64.lf")
[ "$hooks" = "x64 OS not supported!" ] || fail "win64 section: $hooks"
echo "ring3 hooks end-to-end: ok"
