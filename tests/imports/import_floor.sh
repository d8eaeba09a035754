#!/usr/bin/env bash
# The post-link import check of both Windows builds on small programs: one that imports only what
# its floor has passes, one that imports a function of a newer Windows fails the build naming it.
# Usage: import_floor.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work"
cat >"$work/plain.c" <<'C'
#include <windows.h>
int main(void) { return (int)(GetTickCount() & 1); }
C
# GetTickCount64 is a Windows Vista function; neither floor has it.
cat >"$work/newer.c" <<'C'
#include <windows.h>
int main(void) { return (int)(GetTickCount64() & 1); }
C
fail() { echo "FAIL: $*" >&2; exit 1; }
# triplet | import lists | floor | _WIN32_WINNT | NTDDI_VERSION
for row in "i686-w64-mingw32|win2k_imports.txt|Windows 2000 SP4|0x0500|0x05000400" \
           "x86_64-w64-mingw32|win2k_imports.txt:xp64_imports.txt|Windows XP x64|0x0502|0x05020100"; do
  IFS='|' read -r triplet lists floor winnt ntddi <<<"$row"
  lists=$src/cmake/${lists//:/:$src/cmake/}
  cc=$triplet-gcc-win32
  check() { bash "$src/cmake/check_imports.sh" "$triplet-objdump" "$cc" "$lists" "$1" "$floor" "$winnt" "$ntddi"; }
  "$cc" -O2 -static -o "$work/plain-$triplet.exe" "$work/plain.c"
  check "$work/plain-$triplet.exe" >"$work/plain-$triplet.out" 2>&1 \
    || fail "$triplet: a program of the floor's own calls was refused: $(cat "$work/plain-$triplet.out")"
  "$cc" -O2 -static -D_WIN32_WINNT=0x0600 -o "$work/newer-$triplet.exe" "$work/newer.c"
  if check "$work/newer-$triplet.exe" >"$work/newer-$triplet.out" 2>&1; then
    fail "$triplet: GetTickCount64 passed the $floor check"
  fi
  grep -q 'KERNEL32.DLL:GetTickCount64' "$work/newer-$triplet.out" \
    || fail "$triplet: the refusal does not name GetTickCount64: $(cat "$work/newer-$triplet.out")"
  echo "$triplet: $floor floor holds"
done
