#!/usr/bin/env bash
# The whole window: page buttons and a screenshot of every page, the settings round trip, the
# switch to the shipped German file, Delete Logs, File, Exit during a scan.
# Usage: bash tests/gui/window.sh <folder of BurrowSentry.exe> <source folder>
exec bash "$(dirname "${BASH_SOURCE[0]}")/lib/run_driver.sh" "$1" "$2" pages settings logs language exit-scan
