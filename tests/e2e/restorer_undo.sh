#!/usr/bin/env bash
# A Restorer batch on a real registry, undone with the real Registry Editor: a fresh disposable
# prefix is seeded with hijacked values, a batch repairs them and writes its undo file, and
# "regedit /S" of that file gives back every key the batch touched exactly as it was.
set -euo pipefail
source "$(dirname "$0")/lib.sh" "$1" "$2" --disposable-prefix
cp "$BIN_DIR/tests/restorer_batch.exe" "$INSTALL_DIR/"

policies='Software\Microsoft\Windows\CurrentVersion\Policies'
cat >"$INSTALL_DIR/seed.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\$policies\\System]
"DisableTaskMgr"=dword:00000001

[HKEY_LOCAL_MACHINE\\$policies\\System]
"DisableTaskMgr"=hex:01,00,00,00,ff

[HKEY_CURRENT_USER\\$policies\\Explorer\\DisallowRun]
"1"="regedit.exe"
"2"=hex(2):25,74,65,6d,70,25,00

[HKEY_CURRENT_USER\\$policies\\Explorer\\DisallowRun\\Deeper]
@="with \\"quotes\\""

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]
"Shell"="explorer.exe C:\\\\bs-fixture\\\\shell.exe"
REG
"$WINE_RUN" regedit /S "$INSTALL_WIN\\seed.reg" || fail "seeding"

# The keys the batch touches, exported as they stand ("absent" when a key is not there).
keys=(
  "HKEY_CURRENT_USER\\$policies"
  "HKEY_LOCAL_MACHINE\\$policies"
  "HKEY_LOCAL_MACHINE\\Software\\Policies\\Microsoft\\WindowsFirewall"
  "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
)
snapshot() {
  local i=0
  for key in "${keys[@]}"; do
    i=$((i + 1))
    if "$WINE_RUN" reg export "$key" "$INSTALL_WIN\\export$i.reg" /y >/dev/null 2>&1; then
      cp "$INSTALL_DIR/export$i.reg" "$work/$1$i.reg"
    else
      echo absent >"$work/$1$i.reg"
    fi
  done
}
snapshot before
grep -q absent "$work/before3.reg" || fail "a fresh prefix has no firewall policy key"

# Task Manager (1), DisallowRun (3), firewall (5), Folder Options (10), Shell (11).
"$WINE_RUN" "$INSTALL_DIR/restorer_batch.exe" 1 3 5 10 11 | tr -d '\r' >"$work/batch.txt" || fail "batch: $(cat "$work/batch.txt")"
backup=$(sed -n 's/^backup //p' "$work/batch.txt")
[ -n "$backup" ] || fail "no undo file: $(cat "$work/batch.txt")"
grep -q "Undo file: $(sed 's/[\\.]/\\&/g' <<<"$backup")" "$work/batch.txt" || fail "the final message does not name the undo file"
ls "$INSTALL_DIR"/Backups/*.bs-new >/dev/null 2>&1 && fail "a partial undo file was left"

snapshot repaired
cmp -s "$work/before1.reg" "$work/repaired1.reg" && fail "the batch changed nothing under HKCU"
grep -q absent "$work/repaired3.reg" && fail "the batch did not switch the firewall on"

"$WINE_RUN" regedit /S "$backup" || fail "importing $backup"
snapshot undone
for i in 1 2 3 4; do
  cmp -s "$work/before$i.reg" "$work/undone$i.reg" || {
    diff <(iconv -f UTF-16 -t UTF-8 "$work/before$i.reg" 2>/dev/null || cat "$work/before$i.reg") \
         <(iconv -f UTF-16 -t UTF-8 "$work/undone$i.reg" 2>/dev/null || cat "$work/undone$i.reg") >&2 || true
    fail "${keys[$((i - 1))]} differs after the undo"
  }
done
echo "restorer undo: ok"
