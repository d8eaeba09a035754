# Shared by the end-to-end scripts: the prefix of the build tree and a scratch install folder.
# Usage: source lib.sh <dir of bsscan.exe> <source dir> [--disposable-prefix]
# With --disposable-prefix a script that changes the machine gets a fresh prefix of its own in a
# scratch folder $work, both removed on exit.
set -euo pipefail
BIN_DIR=$(cd "$1" && pwd)
SRC_DIR=$(cd "$2" && pwd)
DISPOSABLE_DIR=
if [ "${3:-}" = --disposable-prefix ]; then
  DISPOSABLE_DIR=$(mktemp -d /tmp/bs-e2e.XXXXXX)
  export BS_WINEPREFIX=$DISPOSABLE_DIR/prefix
  work=$DISPOSABLE_DIR
fi
export BS_WINEPREFIX=${BS_WINEPREFIX:-$BIN_DIR/wineprefix}
"$SRC_DIR/tools/wine-prefix" "$BS_WINEPREFIX" win32
export WINEPREFIX=$BS_WINEPREFIX WINEDEBUG=-all
WINE_RUN="$SRC_DIR/tools/wine-run"

# A fresh install folder inside the prefix (C:\bs-e2e-<pid>), removed on exit.
INSTALL_NAME="bs-e2e-$$"
INSTALL_DIR="$BS_WINEPREFIX/drive_c/$INSTALL_NAME"
INSTALL_WIN="C:\\$INSTALL_NAME"
mkdir -p "$INSTALL_DIR"
cp "$BIN_DIR/bsscan.exe" "$INSTALL_DIR/"
cleanup_install() {
  rm -rf "$INSTALL_DIR"
  if [ -n "$DISPOSABLE_DIR" ]; then
    WINEPREFIX=$BS_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    rm -rf "$DISPOSABLE_DIR"
  fi
}
trap cleanup_install EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
