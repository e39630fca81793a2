#!/usr/bin/env bash
# What one whole run of tolvik costs next to the least a process can cost: a
# C program (floor.c), linked as the tool is, that prints a text of the same
# length. Six runs of the tool are measured, each against the floor:
#   page   level 2 on a full ONFI page (every byte 0xFF)
#   dump   -a on a whole read of a real device's parameter page area
#   hex    -x on an xxd listing of a real page
#   json   -j on the full ONFI page
#   timings  -T on the full ONFI page
#   map    -m on the full ONFI page
#   diff   -d on two real pages of different parts (46 fields differ)
#   check  -c at level 2 on the full ONFI page
# and the floor linked static-pie against the floor linked plain -static.
#  - wall time: RUNS alternating runs of each (default 3000), median to median;
#  - instructions: one run of each under callgrind, start-up included.
#
# Use: bench/run-cost.sh [BUILD_DIR]   (default build-bench; configured with
# the benchmarks on and built here if needed). Needs valgrind and xxd.
# RUNS=N changes the run count, DUMP=FILE the dump, MODES="json timings" the
# modes measured.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
runs=${RUNS:-3000}

for tool in valgrind xxd; do
  command -v "$tool" >/dev/null || {
    echo "run-cost.sh: $tool is needed (apt-get install $tool)" >&2
    exit 1
  }
done
cmake -S "$root" -B "$build" -DTOLVIK_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target tolvik tolvik_floor run_timer write_full_page >/dev/null
floor_static=
if cmake --build "$build" -j2 --target tolvik_floor_static >/dev/null 2>&1; then
  floor_static=$build/bench/tolvik_floor_static
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-run-cost.XXXXXX")
trap 'rm -rf "$work"' EXIT

page=$work/full.onfi.bin
"$build/bench/write_full_page" onfi "$page"
# A real device's whole parameter page area (DUMP= names another).
dump=${DUMP:-$root/samples/mt29f32g08abcdbj4.onfi-dump.bin}
listing=$work/page.xxd
xxd "$root/samples/mt29f32g08abcdbj4.onfi.bin" >"$listing"
file "$build/tolvik" | grep -o 'static-pie linked\|statically linked\|dynamically linked' |
  sed 's/^/tolvik is /'
echo

instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$@" >/dev/null 2>"$work/valgrind.log"
  awk '$1 == "summary:" || $1 == "totals:" { print $2; exit }' "$work/callgrind.out"
}

# Compares command A with command B, both given as arrays' names.
compare() {
  local label=$1 timing wall a_ir b_ir
  local -n a=$2 b=$3
  timing=$(RUN_TIMER_STATUS=${ok_status:-0} "$build/bench/run_timer" "$runs" -- "${a[@]}" -- "${b[@]}")
  wall=$(awk '$1 == "ratio" { print $2 }' <<<"$timing")
  a_ir=$(instructions "${a[@]}")
  b_ir=$(instructions "${b[@]}")
  grep -v '^ratio' <<<"$timing" | sed 's/^/  /'
  printf '%-6s wall %s  instructions %s vs %s = %s\n' "$label" "$wall" "$a_ir" "$b_ir" \
    "$(awk -v a="$a_ir" -v b="$b_ir" 'BEGIN { printf "%.2f", a / b }')"
}

echo "wall time: $runs alternating runs each, median to median (target <= 1.10);"
echo "instructions: one run each under callgrind (target <= 2.0)"
for mode in ${MODES:-page dump hex json check timings map diff}; do
  case $mode in
    page) tool=("$build/tolvik" "$page" 2) ;;
    dump)
      [[ -f $dump ]] || {
        echo
        echo "dump: skipped, no $dump"
        continue
      }
      tool=("$build/tolvik" -a "$dump")
      ;;
    hex) tool=("$build/tolvik" -x "$listing") ;;
    json) tool=("$build/tolvik" -j "$page") ;;
    timings) tool=("$build/tolvik" -T "$page") ;;
    map) tool=("$build/tolvik" -m "$page") ;;
    diff) tool=("$build/tolvik" -d "$root/samples/mt29f32g08abcdbj4.onfi.bin" "$root/samples/mt29f1g08abbda3w.onfi.bin") ;;
    check) tool=("$build/tolvik" -c "$page" 2) ;;
  esac
  status=0
  "${tool[@]}" >"$work/out" || status=$?
  # --diff exits 1 for pages that differ, as cmp does; a check that finds a
  # failure (4) still wrote its report.
  ok_status=0
  [[ $mode == diff ]] && ok_status=1
  [[ $mode == check ]] && ok_status=4
  if ((status != 0 && status != ok_status)); then
    echo
    echo "$mode: skipped, tolvik ${tool[*]:1} exits $status"
    continue
  fi
  length=$(wc -c <"$work/out")
  floor=("$build/bench/tolvik_floor" "$length")
  [[ $("${floor[@]}" | wc -c) -eq $length ]] || {
    echo "run-cost.sh: the floor program does not print $length characters" >&2
    exit 1
  }
  echo
  echo "$mode: tolvik ${tool[*]:1} prints $length characters (A = tolvik, B = floor)"
  compare "$mode" tool floor
done

if [[ -n $floor_static ]]; then
  linked=("$build/bench/tolvik_floor" 2500)
  plain=("$floor_static" 2500)
  echo
  echo "floor as the tool is linked (A) against plain -static (B), 2500 characters"
  compare floor linked plain
fi
