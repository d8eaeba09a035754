#!/usr/bin/env bash
# "Kernel Mode Info" under Wine with the real kvdrv.sys: the driver is registered, started through
# the service manager, asked and removed again. Wine's kernel has no service table, so the section
# ends there without a line. Whatever it printed, no kvdrv service key and no LEGACY_KVDRV key is
# left behind; a driver with one changed byte is refused before anything is registered. Under
# WoW64 (the win64 prefix) and in the x86_64 build the section is the one line
# "x64 OS not supported!" and nothing is registered either.
source "$(dirname "$0")/lib.sh" "$1" "$2"

section() {  # the lines of the section, between its banner's empty line and its closing one
  tr -d '\r' <"$1" | awk '/^\[\+\] Kernel Mode Info$/{on=1; getline; next} on && /^$/{exit} on{print}'
}
no_keys_left() {
  if "$WINE_RUN" reg query 'HKLM\System\CurrentControlSet\Services\kvdrv' >/dev/null 2>&1; then
    fail "$1: the kvdrv service key is still there"
  fi
  for set in CurrentControlSet ControlSet001 ControlSet002; do
    if "$WINE_RUN" reg query "HKLM\\System\\$set\\Enum\\Root\\LEGACY_KVDRV" >/dev/null 2>&1; then
      fail "$1: LEGACY_KVDRV is still there under $set"
    fi
  done
}
# Keys as Windows leaves them after a driver ran; the run removes them afterwards.
seed_legacy_key() {
  "$WINE_RUN" reg add 'HKLM\System\CurrentControlSet\Enum\Root\LEGACY_KVDRV\0000' /v Service /d kvdrv /f >/dev/null \
    || fail "cannot seed LEGACY_KVDRV"
}

# The x86_64 build on its 64-bit system: the refusal, with the genuine driver beside it.
if [ "$WINE_ARCH" = win64 ]; then
  cp "$BIN_DIR/kvdrv.sys" "$INSTALL_DIR/"
  seed_legacy_key
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\report.txt" || fail "bsscan exited $?"
  lines=$(section "$INSTALL_DIR/report.txt")
  [ "$lines" = "x64 OS not supported!" ] || fail "x86_64 build: expected 'x64 OS not supported!', got: $lines"
  no_keys_left "x86_64 build"
  echo "kernel_mode_info: ok"
  exit 0
fi

# 1. The genuine driver, with a kvdrv service left in the service manager by an earlier run that
#    ended early: it is stopped and deleted before the load, and the load still succeeds.
cp "$BIN_DIR/kvdrv.sys" "$INSTALL_DIR/"
seed_legacy_key
"$WINE_RUN" sc create kvdrv type= kernel binPath= 'C:\gone\kvdrv.sys' >/dev/null || fail "cannot seed a stale service"
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\report.txt" || fail "bsscan exited $?"
grep -q '^\[+\] Kernel Mode Info' "$INSTALL_DIR/report.txt" || fail "no Kernel Mode Info section"
lines=$(section "$INSTALL_DIR/report.txt")
echo "Kernel Mode Info under Wine: [${lines}]"
[ -z "$lines" ] || fail "expected an empty section under Wine, got: $lines"
grep -q 'POSSIBLE ROOTKIT DETECTED' "$INSTALL_DIR/report.txt" && fail "verdict without hooks"
no_keys_left "genuine driver"

# 2. One changed byte in a copy of the driver.
byte=$(od -An -tu1 -j512 -N1 "$INSTALL_DIR/kvdrv.sys" | tr -d ' ')
printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$INSTALL_DIR/kvdrv.sys" bs=1 seek=512 conv=notrunc status=none
cmp -s "$BIN_DIR/kvdrv.sys" "$INSTALL_DIR/kvdrv.sys" && fail "the copy was not changed"
seed_legacy_key
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\report2.txt" || fail "bsscan exited $?"
lines=$(section "$INSTALL_DIR/report2.txt")
[ "$lines" = "Driver has wrong hash!" ] || fail "expected 'Driver has wrong hash!', got: $lines"
no_keys_left "changed driver"

# 3. The win64 prefix of the build tree: our 32-bit program under WoW64, with the genuine driver.
export BS_WINEARCH=win64 BS_WINEPREFIX="$BIN_DIR/wineprefix64"
export WINEPREFIX=$BS_WINEPREFIX
"$SRC_DIR/tools/wine-prefix" "$BS_WINEPREFIX" win64
win64_dir="$BS_WINEPREFIX/drive_c/$INSTALL_NAME"
trap 'rm -rf "$win64_dir"; cleanup_install' EXIT
mkdir -p "$win64_dir"
cp "$BIN_DIR/$BSSCAN" "$BIN_DIR/kvdrv.sys" "$win64_dir/"
"$WINE_RUN" "$win64_dir/$BSSCAN" --quiet --output "$INSTALL_WIN\\report64.txt" || fail "bsscan on win64 exited $?"
lines=$(section "$win64_dir/report64.txt")
[ "$lines" = "x64 OS not supported!" ] || fail "win64: expected 'x64 OS not supported!', got: $lines"
no_keys_left "win64"
echo "kernel_mode_info: ok"
