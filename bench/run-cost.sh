#!/usr/bin/env bash
# What one whole run of tolvik costs next to the least a process can cost:
# tolvik at level 2 on a full ONFI page, and tolvik -a on the sample dump,
# each against a static C program (floor.c) that prints a text of the same
# length.
#  - wall time: RUNS alternating runs of each (default 3000), median to median;
#  - instructions: one run of each under callgrind, start-up included.
#
# Use: bench/run-cost.sh [BUILD_DIR]   (default build-bench; configured with
# the benchmarks on and built here if needed). Needs valgrind.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
runs=${RUNS:-3000}

command -v valgrind >/dev/null || {
  echo "run-cost.sh: valgrind is needed (apt-get install valgrind)" >&2
  exit 1
}
cmake -S "$root" -B "$build" -DTOLVIK_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target tolvik tolvik_floor run_timer write_full_page >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-run-cost.XXXXXX")
trap 'rm -rf "$work"' EXIT

page=$work/full.onfi.bin
"$build/bench/write_full_page" onfi "$page"
tool=("$build/tolvik" "$page" 2)
length=$("${tool[@]}" | wc -c)
floor=("$build/bench/tolvik_floor" "$length")
[[ $("${floor[@]}" | wc -c) -eq $length ]] || {
  echo "run-cost.sh: the floor program does not print $length characters" >&2
  exit 1
}
echo "tolvik ${tool[*]:1} prints $length characters; the floor prints as many"
file "$build/tolvik" | grep -q 'statically linked' || echo "note: $build/tolvik is not statically linked"

echo
echo "wall time, $runs alternating runs each (A = tolvik, B = floor):"
timing=$("$build/bench/run_timer" "$runs" -- "${tool[@]}" -- "${floor[@]}")
echo "$timing"
wall_ratio=$(awk '$1 == "ratio" { print $2 }' <<<"$timing")

instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" >/dev/null 2>"$work/valgrind.log"
  awk '$1 == "summary:" || $1 == "totals:" { print $2; exit }' "$work/callgrind.out"
}
tool_ir=$(instructions "${tool[@]}")
floor_ir=$(instructions "${floor[@]}")
ir_ratio=$(awk -v a="$tool_ir" -v b="$floor_ir" 'BEGIN { printf "%.2f", a / b }')

echo
echo "instructions of one run (callgrind): tolvik $tool_ir, floor $floor_ir"
echo
echo "wall-time ratio    $wall_ratio  (target <= 1.10)"
echo "instruction ratio  $ir_ratio  (target <= 2.5)"

# The whole-dump mode (-a) on the sample dump, against a floor printing as much.
dump_tool=("$build/tolvik" -a "$root/samples/mt29f32g08abcdbj4.onfi-dump.bin")
dump_length=$("${dump_tool[@]}" | wc -c)
dump_timing=$("$build/bench/run_timer" "$runs" -- "${dump_tool[@]}" -- "$build/bench/tolvik_floor" "$dump_length")
echo
echo "tolvik -a on the sample dump ($dump_length characters), $runs alternating runs each:"
echo "$dump_timing"
echo "-a wall-time ratio $(awk '$1 == "ratio" { print $2 }' <<<"$dump_timing")  (target <= 1.10)"
