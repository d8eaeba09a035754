#!/usr/bin/env bash
# bsscan --format json and --diff in the build tree's prefix: the JSON report validates against
# cli/report.schema.json and carries the text report's sections; a Run value added between two
# scans is what --diff shows, from JSON and from text alike; the value is removed again.
source "$(dirname "$0")/lib.sh" "$1" "$2"
schema="$SRC_DIR/cli/report.schema.json"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
value="BsJsonE2E$$"
cleanup() {
  "$WINE" reg delete "$run_key" /v "$value" /f >/dev/null 2>&1 || true
  cleanup_install
}
trap cleanup EXIT

scan() {  # scan FILE [bsscan options]
  local file=$1
  shift
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet "$@" --output "$INSTALL_WIN\\$file" || fail "bsscan $* exited $?"
  [ -s "$INSTALL_DIR/$file" ] || fail "no $file written"
}
bsdiff() {  # bsdiff OUT [bsscan options]: standard output, CRs removed, to OUT
  local out=$1
  shift
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" "$@" >"$INSTALL_DIR/$out.raw" 2>"$INSTALL_DIR/$out.err" \
    || fail "bsscan $* exited $?: $(cat "$INSTALL_DIR/$out.err")"
  tr -d '\r' <"$INSTALL_DIR/$out.raw" >"$INSTALL_DIR/$out"
}

# 1. The JSON report is valid, and its sections are the text report's banners.
scan before.json --format json
scan before.txt
/usr/bin/python3 "$SRC_DIR/tests/schema/validate_reports.py" "$schema" "$INSTALL_DIR/before.json" >/dev/null \
  || fail "before.json does not validate"
/usr/bin/python3 - "$INSTALL_DIR/before.json" "$INSTALL_DIR/before.txt" <<'PY' || fail "JSON and text reports differ in shape"
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
text = open(sys.argv[2], "rb").read().decode("latin-1").split("\r\n")
banners = [line[4:] for line in text if line.startswith("[+] ")]
titles = [s["title"] for s in report["sections"]]
assert titles == banners, (titles, banners)
assert report["header"][0] == text[0] == "Burrow Sentry 1.8.4.0", report["header"]
assert report["footer"][0] == "---" and report["footer"][1].startswith("Finish [ "), report["footer"]
kinds = {e["kind"] for s in report["sections"] for e in s["entries"]}
assert "file" in kinds, kinds
PY

# 2. A Run value appears between two scans: --diff names it, and leaves out the times.
"$WINE" reg add "$run_key" /v "$value" /d 'C:\bs-json-e2e.exe /q' /f >/dev/null 2>&1 || fail "reg add"
scan after.json --format json
/usr/bin/python3 "$SRC_DIR/tests/schema/validate_reports.py" "$schema" "$INSTALL_DIR/after.json" >/dev/null \
  || fail "after.json does not validate"
expected="+ Value: $value
+ Data: C:\\bs-json-e2e.exe /q
+ Key: HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
for old in before.json before.txt; do
  bsdiff diff.txt --diff "$INSTALL_WIN\\$old" "$INSTALL_WIN\\after.json"
  grep -qxF '[+] Registry startups' "$INSTALL_DIR/diff.txt" || fail "$old: no Registry startups in"$'\n'"$(cat "$INSTALL_DIR/diff.txt")"
  grep -qF "$expected" "$INSTALL_DIR/diff.txt" || fail "$old: the new value missing from"$'\n'"$(cat "$INSTALL_DIR/diff.txt")"
  grep -Eq '^[-+] (Log created on|Finish \[)' "$INSTALL_DIR/diff.txt" && fail "$old: times compared"
  tail -n 1 "$INSTALL_DIR/diff.txt" | grep -Eq '^[0-9]+ appeared, [0-9]+ disappeared$' || fail "$old: no count line"
done
bsdiff same.txt --diff "$INSTALL_WIN\\after.json" "$INSTALL_WIN\\after.json" --exact
[ "$(cat "$INSTALL_DIR/same.txt")" = "0 appeared, 0 disappeared" ] || fail "a report differs from itself"

# 3. Errors: a missing report (1, one line), usage errors (2).
if "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --diff "$INSTALL_WIN\\absent.json" "$INSTALL_WIN\\after.json" \
  >/dev/null 2>"$INSTALL_DIR/err.txt"; then
  fail "a missing report exited 0"
else
  [ $? = 1 ] || fail "a missing report must exit 1"
fi
grep -q 'cannot read' "$INSTALL_DIR/err.txt" && [ "$(grep -c . "$INSTALL_DIR/err.txt")" = 1 ] \
  || fail "missing report message: $(cat "$INSTALL_DIR/err.txt")"
for args in "--diff only-one" "--exact" "--format xml" "--format json --diff a b"; do
  # shellcheck disable=SC2086
  if "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" $args >/dev/null 2>"$INSTALL_DIR/usage.txt"; then fail "'$args' exited 0"; else
    [ $? = 2 ] || fail "'$args' must exit 2"
  fi
  grep -q usage "$INSTALL_DIR/usage.txt" || fail "'$args': no usage message"
done
echo "json report end-to-end: ok"
