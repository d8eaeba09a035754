#!/usr/bin/env bash
# The window by keyboard: a mnemonic selects a page, Tab walks the controls in the order of the
# table of controls, a label's mnemonic focuses its field and Enter presses the default button.
# Usage: bash tests/gui/keyboard.sh <folder of BurrowSentry.exe> <source folder>
exec bash "$(dirname "${BASH_SOURCE[0]}")/lib/run_driver.sh" "$1" "$2" keys
