#!/usr/bin/env bash
# The update check over real WinInet against local servers: newer, equal, longer and older
# version texts, no version, 404, a redirect (not followed), a server slower than the 8-second
# limit followed at once by a check whose result its late answer must not change, and a port
# nothing listens on. The servers are chosen through UpdateServer in Data\Options.ini.
source "$(dirname "$0")/lib.sh" "$1" "$2"
cp "$BIN_DIR/tests/update_probe.exe" "$INSTALL_DIR/"
# The check uses the system's proxy settings: none for this test.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

ports=$(mktemp)
log=$(mktemp)
python3 "$SRC_DIR/tests/e2e/update_server.py" "$ports" >"$log" 2>&1 &
server=$!
stop_server() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -f "$ports" "$log"
  cleanup_install
}
trap stop_server EXIT
for _ in $(seq 100); do [ -s "$ports" ] && break; sleep 0.1; done
[ -s "$ports" ] || fail "the test servers did not start: $(cat "$log")"
port() { awk -v n="$1" '$1 == n { print $2 }' "$ports"; }

order=(newer equal longer older noversion notfound redirect closed slow slowequal)
args=()
for name in "${order[@]}"; do args+=("127.0.0.1:$(port "$name")"); done
out=$("$WINE_RUN" "$INSTALL_DIR/update_probe.exe" "${args[@]}" | tr -d '\r')
echo "$out"

news='Info: A new version of Burrow Sentry is available for download.\nDo you want to visit the homepage to download the new version ?'
none='Info: No new version available.'
# name, result, what the user is told
expect=(
  "newer|y|$news"
  "equal||$none"
  "longer||$none"
  "older|y|$news"
  "noversion||$none"
  "notfound|error2|Error: Error downloading data... Please retry later."
  "redirect|error2|Error: Error downloading data... Please retry later."
  "closed|error|Error: Error downloading data... Please check you are connected to Internet."
  "slow||$none"
  "slowequal||$none"
)
failures=0
for row in "${expect[@]}"; do
  IFS='|' read -r name result told <<<"$row"
  line=$(grep -F "check 127.0.0.1:$(port "$name") " <<<"$out" || true)
  want="result=\"$result\" "
  if [[ "$line" != *"$want"* ]] || [[ "$line" != *" told=$told" ]]; then
    echo "FAIL: $name: want $want told=$told; got: ${line:-nothing}" >&2
    failures=$((failures + 1))
  fi
done

# The slow server is given up on after 8 seconds, not waited for.
ms=$(grep -F "check 127.0.0.1:$(port slow) " <<<"$out" | sed -n 's/.* ms=\([0-9]*\) .*/\1/p')
if [ -z "$ms" ] || [ "$ms" -lt 8000 ] || [ "$ms" -ge 10000 ]; then
  echo "FAIL: the slow check took ${ms:-?} ms, not 8 to 10 seconds" >&2
  failures=$((failures + 1))
fi
# Every request asked for the version file with our user agent (the servers answer 500 otherwise),
# and the redirect was not followed.
cat "$log"
grep -q '^redirect: ' "$log" || fail "the redirect server got no request"
[ "$(grep -c '^newer: ' "$log")" = 1 ] || fail "the redirect was followed to the newer server"
[ "$failures" = 0 ] || fail "$failures update check(s) went wrong"
echo "update check: all cases as expected"
