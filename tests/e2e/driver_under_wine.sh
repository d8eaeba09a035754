#!/usr/bin/env bash
# kvdrv.sys in Wine's kernel emulation: it loads as a kernel-driver service, its device opens
# by name, and each request is answered or refused without harm. Wine's service table is empty,
# so the table requests are refused (ERROR_GEN_FAILURE); an address outside the kernel is never
# read (ERROR_NOACCESS). The service is gone again afterwards.
source "$(dirname "$0")/lib.sh" "$1" "$2"
if [ "$WINE_ARCH" = win64 ]; then
  echo "driver_under_wine: skipped: kvdrv.sys is a 32-bit driver, which a 64-bit Wine does not load"
  exit 77
fi

cp "$BIN_DIR/kvdrv.sys" "$BIN_DIR/tests/driver_probe.exe" "$INSTALL_DIR/"
out=$("$WINE_RUN" "$INSTALL_DIR/driver_probe.exe" "$INSTALL_WIN\\kvdrv.sys" table entry user-bytes | tr -d '\r') ||
  fail "driver_probe failed: $out"
echo "$out"
expect() { grep -qx "$1" <<<"$out" || fail "expected the line '$1'"; }
expect "table refused 31"
expect "entry refused 31"
expect "user-bytes refused 998"
if "$WINE_RUN" reg query 'HKLM\System\CurrentControlSet\Services\kvdrv' >/dev/null 2>&1; then
  fail "the kvdrv service key is still there"
fi
echo "driver_under_wine: ok"
