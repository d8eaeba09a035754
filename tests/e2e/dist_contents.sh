#!/usr/bin/env bash
# The release zip (tools/dist): both executables and the driver, the language files, the Safe
# Mode files and the three documents, with the readme in CR LF lines for Notepad.
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$src/tools/dist" "$bin" "$work" >/dev/null
listing=$(unzip -Z1 "$work/BurrowSentry.zip")
missing=0
for f in BurrowSentry.exe bsscan.exe kvdrv.sys Readme.txt Help.rtf Eula.rtf Langs/English.ini Langs/Deutsch.ini \
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
