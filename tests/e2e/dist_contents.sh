#!/usr/bin/env bash
# The release zip (tools/dist): the executables of both builds and the driver, the language files,
# the Safe Mode files and the three documents, with the readme in CR LF lines for Notepad. The
# other build is shipped too when its tree stands beside this one.
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$src/tools/host.sh"
suffix=$(bs_tree_suffix "$bin")
exes=("BurrowSentry$suffix.exe" "bsscan$suffix.exe")
other=$bin/../win64
[ -n "$suffix" ] && other=$bin/../win32
trees=("$bin")
other_suffix=$(bs_tree_suffix "$other")
if [ -f "$other/bsscan$other_suffix.exe" ]; then
  trees+=("$other")
  exes+=("BurrowSentry$other_suffix.exe" "bsscan$other_suffix.exe")
fi
"$src/tools/dist" "${trees[0]}" "$work" "${trees[@]:1}" >/dev/null
listing=$(unzip -Z1 "$work/BurrowSentry.zip")
missing=0
for f in "${exes[@]}" kvdrv.sys report.schema.json Readme.txt Help.rtf Eula.rtf Langs/English.ini Langs/Deutsch.ini \
         Data/SM/WXPSP3.dat; do
  if ! grep -qx "BurrowSentry/$f" <<<"$listing"; then
    echo "FAIL: the zip lacks $f" >&2
    missing=1
  fi
done
[ "$missing" = 0 ] || exit 1
unzip -q "$work/BurrowSentry.zip" -d "$work/out"
if grep -q $'[^\r]$' "$work/out/BurrowSentry/Readme.txt"; then
  echo "FAIL: Readme.txt has lines without CR LF" >&2
  exit 1
fi
echo "dist: $(wc -l <<<"$listing") files, all expected ones present"
