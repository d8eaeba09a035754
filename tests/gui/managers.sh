#!/usr/bin/env bash
# The manager pages in the real window: the Startups list and its delete, the hosts and boot-file
# editors, the BHOs list and the file deleter, with a screenshot of each page.
# Usage: bash tests/gui/managers.sh <folder of BurrowSentry.exe> <source folder>
exec bash "$(dirname "${BASH_SOURCE[0]}")/lib/run_driver.sh" "$1" "$2" startups editors delete-file
