#!/usr/bin/env bash
# The native bsscan --offline on a volume laid out from the scenario fixture: the report names its
# source and goes to --output; JSON parses; without --offline, or with a bad argument, it refuses
# with a usage line; a folder that holds no Windows is scanned with one line for each thing missing.
set -euo pipefail
bsscan=$1
root=$2
work=$(mktemp -d /tmp/bs-offline-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$root/tools/offline-volume" "$work/volume" "$root/tests/fixtures/offline/scenario.reg"
"$bsscan" --offline "$work/volume" --quiet --output "$work/report.log"
[ ! -e "$work/report.log.partial" ] || fail "partial report left"
sed -n 4p "$work/report.log" | tr -d '\r' | grep -qx "Offline scan of $work/volume (C:\\\\WINDOWS, user C:\\\\Documents and Settings\\\\User)" \
  || fail "no source line: $(sed -n 4p "$work/report.log")"
[ "$(grep -c '^Not available offline' "$work/report.log")" = 8 ] || fail "not-available lines"
grep -q 'upd.exe' "$work/report.log" || fail "no registry startup"

"$bsscan" --offline "$work/volume" --quiet --format json >"$work/report.json"
/usr/bin/python3 -c 'import json, sys; r = json.load(open(sys.argv[1])); assert any("Offline scan of" in l for l in r["header"]), r["header"]' \
  "$work/report.json" || fail "json report"

set +e
"$bsscan" --quiet >/dev/null 2>"$work/err"; rc=$?
set -e
[ "$rc" = 2 ] && grep -q 'usage: bsscan --offline DIR' "$work/err" || fail "no usage error without --offline ($rc)"

mkdir -p "$work/empty"
"$bsscan" --offline "$work/empty" --quiet >"$work/empty.log"
grep -q '^Offline: no Windows folder' "$work/empty.log" || fail "no note for a folder without Windows"
echo "bsscan --offline: 4 passed, 0 failed"
