# Shared by the end-to-end scripts: the prefix of the build tree and a scratch install folder.
# Usage: source lib.sh <dir of bsscan.exe> <source dir> [--disposable-prefix]
# With --disposable-prefix a script that changes the machine gets a fresh prefix of its own in a
# scratch folder $work, both removed on exit. The build's kind (WINE_ARCH: win32, or win64 for the
# x86_64 build) names the prefix and the programs ($BSSCAN, $GUI_EXE); where its prefix cannot
# start on this host, the script ends with 77 (skipped) and the reason.
set -euo pipefail
BIN_DIR=$(cd "$1" && pwd)
SRC_DIR=$(cd "$2" && pwd)
source "$SRC_DIR/tools/host.sh"
WINE_ARCH=$(bs_tree_arch "$BIN_DIR")
export BS_WINEARCH=$WINE_ARCH WINEARCH=$WINE_ARCH
EXE_SUFFIX=$(bs_tree_suffix "$BIN_DIR")
BSSCAN=bsscan$EXE_SUFFIX.exe
GUI_EXE=BurrowSentry$EXE_SUFFIX.exe
DISPOSABLE_DIR=
if [ "${3:-}" = --disposable-prefix ]; then
  DISPOSABLE_DIR=$(mktemp -d /tmp/bs-e2e.XXXXXX)
  export BS_WINEPREFIX=$DISPOSABLE_DIR/prefix
  work=$DISPOSABLE_DIR
fi
export BS_WINEPREFIX=${BS_WINEPREFIX:-$BIN_DIR/wineprefix}
"$SRC_DIR/tools/wine-prefix" "$BS_WINEPREFIX" "$WINE_ARCH"
export WINEPREFIX=$BS_WINEPREFIX WINEDEBUG=-all
WINE_RUN="$SRC_DIR/tools/wine-run"
# Wine's own programs (regedit, winepath, attrib) with the loader this host can start.
WINE="$SRC_DIR/tools/wine"

# A fresh install folder inside the prefix (C:\bs-e2e-<pid>), removed on exit.
INSTALL_NAME="bs-e2e-$$"
INSTALL_DIR="$BS_WINEPREFIX/drive_c/$INSTALL_NAME"
INSTALL_WIN="C:\\$INSTALL_NAME"
mkdir -p "$INSTALL_DIR"
cp "$BIN_DIR/$BSSCAN" "$INSTALL_DIR/"
cleanup_install() {
  rm -rf "$INSTALL_DIR"
  if [ -n "$DISPOSABLE_DIR" ]; then
    WINEPREFIX=$BS_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    rm -rf "$DISPOSABLE_DIR"
  fi
}
trap cleanup_install EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
