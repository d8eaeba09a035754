#!/usr/bin/env bash
# Runs each PE fuzz target for a while from its seeds with pe.dict, in a scratch corpus, and prints
# the coverage it reached. With --bare: from an empty corpus and without the dictionary.
# Usage: run_pe_fuzz.sh FUZZ_BUILD_DIR [SECONDS] [--bare]
set -euo pipefail
build=$1 seconds=${2:-60} bare=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
for target in pe_exports_fuzz kernel_files_fuzz ring3_walkers_fuzz; do
  corpus=$(mktemp -d)
  args=(-max_total_time="$seconds" -print_final_stats=1)
  inputs=("$corpus")
  if [ "$bare" != --bare ]; then
    args+=(-dict="$here/pe.dict")
    inputs+=("$build/tests/fuzz/seeds/$target")
  fi
  log=$("$build/tests/fuzz/$target" "${args[@]}" "${inputs[@]}" 2>&1) || { echo "$log" | tail -30; exit 1; }
  last=$(grep -E '^#[0-9]+' <<<"$log" | tail -1)
  echo "$target: $(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' <<<"$last")"
  rm -rf "$corpus"
done
