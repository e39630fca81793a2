#!/usr/bin/env bash
# Bounded fuzz run: builds the libFuzzer targets (ASan + UBSan) and fuzzes
# decode_parameter_page with its JSON document (half of the time),
# decode_dump and read_hex_listing (a quarter each) from their seed corpora
# with a fixed seed. Fails when a target finds a fault; the input that shows
# it is left in <build-dir>/artifacts/.
#
# Usage: fuzz/run.sh [seconds] [build-dir]   (defaults: 90, build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
build=${2:-build-fuzz}

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVIK_FUZZ=ON -DTOLVIK_TESTS=OFF -DTOLVIK_STATIC=OFF >/dev/null
cmake --build "$build" -j2 --target tolvik_fuzz tolvik_dump_fuzz tolvik_hex_fuzz

# New inputs go to a scratch corpus; the seeds in the repo stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# fuzz TARGET SECONDS MAX_LEN CORPUS
fuzz() {
  local log="$build/$1.log" status=0
  ((${2} > 0)) || return 0
  mkdir -p "$work/$1"
  "$build/fuzz/$1" -seed=20302 -max_total_time="$2" -max_len="$3" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$work/$1" "$4" 2>"$log" || status=$?
  if ((status != 0)); then
    # The whole log: the fault, its stack and the input that shows it.
    cat "$log"
    echo "fuzz run of $1 FAILED (status $status); inputs in $build/artifacts/" >&2
    exit "$status"
  fi
  echo "$1:"
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^longest (report|JSON)' "$log"
}
quarter=$((seconds / 4))
fuzz tolvik_fuzz $((seconds - 2 * quarter)) 512 fuzz/corpus
# Whole dumps up to a few KiB: three copies of either layout and an extended
# page behind them.
fuzz tolvik_dump_fuzz "$quarter" 4096 fuzz/corpus-dump
fuzz tolvik_hex_fuzz "$quarter" 4096 fuzz/hex-corpus
