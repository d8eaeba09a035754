#!/usr/bin/env bash
# The update check from the real Update window: "Check for Updates" against a local server
# with a newer version brings the question, answered No.
# Usage: bash tests/gui/update.sh <folder of BurrowSentry.exe> <source folder>
set -euo pipefail
src=$(cd "$2" && pwd)
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
ports=$(mktemp)
python3 "$src/tests/e2e/update_server.py" "$ports" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$ports"' EXIT
for _ in $(seq 100); do [ -s "$ports" ] && break; sleep 0.1; done
[ -s "$ports" ] || { echo "gui: the test server did not start" >&2; exit 1; }
export BS_UPDATE_SERVER=127.0.0.1:$(awk '$1 == "newer" { print $2 }' "$ports")
bash "$src/tests/gui/lib/run_driver.sh" "$1" "$src" update
