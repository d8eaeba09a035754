#!/usr/bin/env bash
# The Restorer page and the Windows Tools menu through the real window, in a disposable prefix
# (it starts without Safe Mode keys, and the batch and the tools check write into it): three
# repairs and a Safe Mode import, checked in the registry and by bsscan.exe, then undone; the
# tool entries enabled by the files of the prefix; the power questions answered No.
# Usage: bash tests/gui/restorer.sh <folder of BurrowSentry.exe> <source folder>
set -euo pipefail
work=$(mktemp -d /tmp/bs-gui-restorer.XXXXXX)
export BS_GUI_PREFIX=$work/prefix
cleanup() {
  WINEPREFIX=$BS_GUI_PREFIX wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
# Windows XP: the Safe Mode check of bsscan then looks under CurrentControlSet, which Wine has.
source "$2/tools/host.sh"
arch=$(bs_tree_arch "$1")
"$2/tools/wine-prefix" "$BS_GUI_PREFIX" "$arch"
BS_WINEARCH=$arch BS_WINEPREFIX=$BS_GUI_PREFIX "$2/tools/wine-run" reg add 'HKCU\Software\Wine' /v Version /d winxp /f \
  </dev/null >/dev/null 2>&1
bash "$(dirname "${BASH_SOURCE[0]}")/lib/run_driver.sh" "$1" "$2" restorer tools
