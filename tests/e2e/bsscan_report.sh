#!/usr/bin/env bash
# bsscan.exe in the build tree's prefix: the report's header, banners and footer, its line ends,
# the settings files it reads, and its exit codes.
source "$(dirname "$0")/lib.sh" "$1" "$2"
here=$(cd "$(dirname "$0")" && pwd)
out="$INSTALL_DIR/report.txt"

# 1. Default settings (no Data folder): report to a file, banners on standard error.
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --output "$INSTALL_WIN\\report.txt" 2>"$INSTALL_DIR/stderr.txt" \
  || fail "bsscan exited $?"
[ -s "$out" ] || fail "no report written"
[ ! -e "$out.bs-new" ] || fail "partial file left behind"
grep -q $'\r$' "$out" || fail "report lines must end with CR LF"
[ "$(grep -c -v $'\r$' "$out")" = 0 ] || fail "a line without CR LF"
tr -d '\r' <"$out" >"$INSTALL_DIR/report.lf"
report="$INSTALL_DIR/report.lf"

[ "$(sed -n 1p "$report")" = "Burrow Sentry 1.8.4.0" ] || fail "header line 1: $(sed -n 1p "$report")"
sed -n 2p "$report" | grep -Eq '^https?://' || fail "header line 2 is no address"
sed -n 3p "$report" | grep -Eq '^Log created on .+ at .+$' || fail "header line 3: $(sed -n 3p "$report")"
[ -z "$(sed -n 4p "$report")" ] || fail "header line 4 must be empty"
[ "$(tail -n 2 "$report" | head -n 1)" = "---" ] || fail "footer separator"
tail -n 1 "$report" | grep -Eq '^Finish \[ [0-9]+:[0-9]+:[0-9]+ \]$' || fail "footer: $(tail -n 1 "$report")"
tail -n 1 "$report" | grep -Eq '\[ 0[0-9]|:0[0-9]' && fail "footer has leading zeros"
grep '^\[+\] ' "$report" | diff -u "$here/expected/default_banners.txt" - || fail "banners differ"
tr -d '\r' <"$INSTALL_DIR/stderr.txt" >"$INSTALL_DIR/stderr.lf"
grep -q '^\[+\] Generic system info \.\.\.$' "$INSTALL_DIR/stderr.lf" || fail "display banners missing on stderr"
grep -q 'Non accessible files \.\.\. This option can take some minutes' "$INSTALL_DIR/stderr.lf" \
  || fail "patient banner missing"
# Every banner is followed by an empty line.
awk '/^\[\+\] /{b=NR} NR==b+1 && b && $0!=""{print "line " NR " after banner is not empty"; exit 1}' "$report" \
  || fail "banner not followed by an empty line"

# 2. Settings from Data\: custom dump and custom files gates on, 30-day period, quiet, stdout.
mkdir -p "$INSTALL_DIR/Data"
printf '[Options]\r\n4=-1\r\n5=-1\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=-1\r\n13=0\r\n14=0\r\n15=0\r\n16=-1\r\n17=0\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=-1\r\n33=0\r\n34=0\r\n35=-1\r\nExtraSections=0\r\n' \
  >"$INSTALL_DIR/Data/Options.ini"
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet >"$INSTALL_DIR/stdout.txt" 2>"$INSTALL_DIR/stderr2.txt" \
  || fail "bsscan to stdout exited $?"
[ ! -s "$INSTALL_DIR/stderr2.txt" ] || fail "--quiet still wrote: $(head -n 3 "$INSTALL_DIR/stderr2.txt")"
tr -d '\r' <"$INSTALL_DIR/stdout.txt" | grep '^\[+\] ' >"$INSTALL_DIR/banners2.txt"
for title in "Custom Registry Keys Dump" "Custom Files List" "Files created/modified 30 days ago"; do
  grep -qxF "[+] $title" "$INSTALL_DIR/banners2.txt" || fail "gated section '$title' missing"
done
for title in "Unknown .SYS files" "ServiceDll" "Unknown files in CLSID" "Ring3 API Hooks" "Kernel Mode Info" \
  "Winlogon and logon" "Tampering"; do
  grep -qxF "[+] $title" "$INSTALL_DIR/banners2.txt" && fail "section '$title' should be gated off"
done
[ "$(grep -c . "$INSTALL_DIR/banners2.txt")" = 30 ] || fail "expected 30 sections, got $(grep -c . "$INSTALL_DIR/banners2.txt")"

# --timings: one line per section that ran, in the report's order, then the total, with the
# registry and file calls counted; the report keeps its sections.
"$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --timings >"$INSTALL_DIR/stdout3.txt" 2>"$INSTALL_DIR/timings.txt" \
  || fail "bsscan --timings exited $?"
tr -d '\r' <"$INSTALL_DIR/stdout3.txt" | grep '^\[+\] ' | diff -u "$INSTALL_DIR/banners2.txt" - \
  || fail "--timings changed the report's sections"
tr -d '\r' <"$INSTALL_DIR/timings.txt" >"$INSTALL_DIR/timings.lf"
count_re='[0-9.]+ ms, keys opened [0-9]+, keys enumerated [0-9]+, values read [0-9]+, files opened [0-9]+, files found [0-9]+, attributes read [0-9]+, attributes missing [0-9]+, bytes hashed [0-9]+, pauses [0-9]+, services opened [0-9]+, bytes read [0-9]+, finds started [0-9]+, path lookups [0-9]+, process calls [0-9]+, tcp tables [0-9]+, udp tables [0-9]+, version reads [0-9]+$'
grep -Ev "^\[t\] .+: $count_re" "$INSTALL_DIR/timings.lf" && fail "a timings line out of form"
sed -n 's/^\[t\] \(.*\): [0-9.]* ms, .*/[+] \1/p' "$INSTALL_DIR/timings.lf" | sed '$d' |
  diff -u "$INSTALL_DIR/banners2.txt" - || fail "timings lines differ from the sections"
total=$(tail -n 1 "$INSTALL_DIR/timings.lf")
echo "$total" | grep -Eq '^\[t\] total: .*keys opened [1-9][0-9]*, keys enumerated [1-9][0-9]*, values read [1-9][0-9]*, files opened [1-9].*bytes hashed [1-9].*path lookups [1-9][0-9]*, process calls [1-9].*version reads [1-9]' \
  || fail "total without counts: $total"

# 3. Errors: a usage error and a report file that cannot be written.
if "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --bogus >/dev/null 2>"$INSTALL_DIR/usage.txt"; then
  fail "usage error exited 0"
fi
grep -q 'usage' "$INSTALL_DIR/usage.txt" || fail "no usage message"
[ "$(grep -c . "$INSTALL_DIR/usage.txt")" = 1 ] || fail "usage message must be one line"
if "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "C:\\no-such-folder-$$\\r.txt" 2>"$INSTALL_DIR/err.txt"; then
  fail "unwritable report exited 0"
fi
grep -q 'cannot' "$INSTALL_DIR/err.txt" || fail "no message for an unwritable report"
[ "$(grep -c . "$INSTALL_DIR/err.txt")" = 1 ] || fail "error message must be one line"
[ ! -e "$BS_WINEPREFIX/drive_c/no-such-folder-$$" ] || fail "folder created"
echo "bsscan end-to-end: ok"
