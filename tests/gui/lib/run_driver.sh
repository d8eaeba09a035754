#!/usr/bin/env bash
# The real window under Wine on a display: runs tests/gui_driver.exe with the named scenarios
# against a copy of BurrowSentry.exe (with the shipped Langs\) in a scratch folder of the prefix,
# and saves the screenshots the driver asks for as <build>/gui_<name>.png.
# Usage: bash tests/gui/lib/run_driver.sh <folder of BurrowSentry.exe> <source folder> [scenario...]
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
shift 2

# Without a display, run again inside one (tools/display starts a private Xvfb).
if [ -z "${BS_GUI_ON_DISPLAY:-}" ]; then
  export BS_GUI_ON_DISPLAY=1
  exec "$src/tools/display" bash "${BASH_SOURCE[0]}" "$bin" "$src" "$@"
fi

# The build's kind: its prefix and its program names (the x86_64 build's end in 64).
source "$src/tools/host.sh"
arch=$(bs_tree_arch "$bin")
export BS_WINEARCH=$arch
suffix=$(bs_tree_suffix "$bin")
program=BurrowSentry$suffix.exe
driver=$bin/tests/gui_driver.exe
for f in "$bin/$program" "$driver"; do
  [ -f "$f" ] || { echo "gui: missing $f" >&2; exit 1; }
done

# The copy lives outside the build tree, so name the build tree's prefix explicitly (or the
# disposable one a script names in BS_GUI_PREFIX).
export BS_WINEPREFIX=${BS_GUI_PREFIX:-$bin/wineprefix}
"$src/tools/wine-prefix" "$BS_WINEPREFIX" "$arch"

name=bs-gui-$$
scratch=$BS_WINEPREFIX/drive_c/$name
out=$(mktemp)
reg() { "$src/tools/wine-run" reg "$@" </dev/null >/dev/null 2>&1; }

# Xvfb has no window manager: let Wine draw the frame and caption of our window itself, for the
# screenshot. The key only concerns BurrowSentry.exe and is removed again at the end.
appKey="HKCU\\Software\\Wine\\AppDefaults\\$program"
reg add "$appKey\X11 Driver" /v Managed /d N /f || true
cleanup() {
  reg delete "$appKey" /f || true
  rm -rf "$scratch" "$out"
}
trap cleanup EXIT
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$bin/$program" "$scratch/"
cp -r "$src/dist/Langs" "$scratch/"
# The Restorer's Safe Mode files, and bsscan.exe to look at the machine afterwards.
if [[ " $* " == *" restorer "* ]]; then
  cp -r "$src/dist/Data" "$scratch/"
  cp "$bin/bsscan$suffix.exe" "$scratch/"
fi
shots=0

# The driver asks for the screenshot once the report shows and waits until it is taken.
BS_SCREENSHOT_HANDSHAKE=1 "$src/tools/wine-run" "$driver" "C:\\$name\\$program" "$@" >"$out" 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  if [ -f "$scratch/screenshot.request" ] && [ ! -f "$scratch/screenshot.done" ]; then
    shot=$bin/gui_$(tr -cd 'A-Za-z0-9_' <"$scratch/screenshot.request").png
    sleep 0.5  # let the window finish painting
    if import -window root "$shot"; then
      shots=$((shots + 1))
      echo "screenshot: $shot"
    else
      echo "gui: import failed" >&2
    fi
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
  echo "gui: gui_driver failed (exit code $rc)" >&2
  exit 1
fi
if { [[ " $* " == *" scan "* ]] || [[ " $* " == *" pages "* ]] || [[ " $* " == *" startups "* ]]; } && [ "$shots" -eq 0 ]; then
  echo "gui: no screenshot was taken" >&2
  exit 1
fi
exit 0
