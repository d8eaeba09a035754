#!/usr/bin/env bash
# "Scan PC" through the real window: a full scan, a close during a scan, a background scan.
# Usage: bash tests/gui/scan_pc.sh <folder of BurrowSentry.exe> <source folder>
exec bash "$(dirname "${BASH_SOURCE[0]}")/lib/run_driver.sh" "$1" "$2" scan close-scan background
