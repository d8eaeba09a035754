#!/usr/bin/env bash
# "Scan PC" through the real window under Wine on a display: runs tests/gui_driver.exe against a
# copy of BurrowSentry.exe in a scratch folder of the prefix and keeps a screenshot of the window
# with the finished report as <build>/gui_scan_pc.png.
# Usage: bash tests/gui/scan_pc.sh <folder of BurrowSentry.exe> <source folder> [scenario...]
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
shift 2

# Without a display, run again inside one (tools/display starts a private Xvfb).
if [ -z "${BS_GUI_ON_DISPLAY:-}" ]; then
  export BS_GUI_ON_DISPLAY=1
  exec "$src/tools/display" bash "${BASH_SOURCE[0]}" "$bin" "$src" "$@"
fi

driver=$bin/tests/gui_driver.exe
for f in "$bin/BurrowSentry.exe" "$driver"; do
  [ -f "$f" ] || { echo "scan_pc: missing $f" >&2; exit 1; }
done

# The copy lives outside the build tree, so name the build tree's prefix explicitly.
export BS_WINEPREFIX=$bin/wineprefix
"$src/tools/wine-prefix" "$BS_WINEPREFIX" win32

name=bs-gui-$$
scratch=$BS_WINEPREFIX/drive_c/$name
shot=$bin/gui_scan_pc.png
out=$(mktemp)
reg() { "$src/tools/wine-run" reg "$@" </dev/null >/dev/null 2>&1; }

# Xvfb has no window manager: let Wine draw the frame and caption of our window itself, for the
# screenshot. The key only concerns BurrowSentry.exe and is removed again at the end.
appKey='HKCU\Software\Wine\AppDefaults\BurrowSentry.exe'
reg add "$appKey\X11 Driver" /v Managed /d N /f || true
cleanup() {
  reg delete "$appKey" /f || true
  rm -rf "$scratch" "$out"
}
trap cleanup EXIT
rm -rf "$scratch" "$shot"
mkdir -p "$scratch"
cp "$bin/BurrowSentry.exe" "$scratch/"

# The driver asks for the screenshot once the report shows and waits until it is taken.
BS_SCREENSHOT_HANDSHAKE=1 "$src/tools/wine-run" "$driver" "C:\\$name\\BurrowSentry.exe" "$@" >"$out" 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  if [ -f "$scratch/screenshot.request" ] && [ ! -f "$scratch/screenshot.done" ]; then
    sleep 0.5  # let the window finish painting the report
    import -window root "$shot" || echo "scan_pc: import failed" >&2
    touch "$scratch/screenshot.done"
  fi
  sleep 0.2
done
set +e
wait "$pid"
rc=$?
set -e
tr -d '\r' <"$out"

if [ "$rc" -ne 0 ]; then
  echo "scan_pc: gui_driver failed (exit code $rc)" >&2
  exit 1
fi
if { [ $# -eq 0 ] || [[ " $* " == *" scan "* ]]; } && [ ! -s "$shot" ]; then
  echo "scan_pc: no screenshot was taken" >&2
  exit 1
fi
[ -s "$shot" ] && echo "screenshot: $shot"
exit 0
