#!/usr/bin/env bash
# Builds tests/install/subproject, which embeds the source tree with
# add_subdirectory, and checks that it gets the library alone: no targets,
# tests, install rules or packaging of tolvik's own, the parent's build type
# left alone, only the public header's folder on its include path, and
# position-independent code. Then runs its program on a real page.
#
# Use: subproject.sh CMAKE SOURCE_DIR PAGE
set -euo pipefail

cmake=$1
source=$2
page=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-subproject.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$cmake" -S "$here/subproject" -B "$work/build" -DTOLVIK_SOURCE_DIR="$source" >"$work/configure.log" 2>&1 ||
  fail "configuring: $(cat "$work/configure.log")"
[[ ! -e $work/build/CPackConfig.cmake ]] || fail "the embedded tree set up CPack"
grep -q '^TOLVIK_TESTS:' "$work/build/CMakeCache.txt" && fail "the embedded tree declared its test option"
"$cmake" --build "$work/build" -j2 >"$work/build.log" 2>&1 || fail "building: $(cat "$work/build.log")"

tests=$(cd "$work/build" && ctest -N | sed -n 's/^Total Tests: //p')
[[ $tests == 0 ]] || fail "the embedded tree registered $tests tests"
"$cmake" --install "$work/build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  fail "installing: $(cat "$work/install.log")"
[[ -z $(find "$work/prefix" -type f 2>/dev/null) ]] || fail "the embedded tree installed files of its own"

out=$("$work/build/embedder" "$page") || fail "the embedding program failed on $page"
[[ $out =~ ^v[0-9]+\.[0-9]+[^\ ]*\ layout=1\ crc_ok=1\ complete=1\ length\>0=1$ ]] ||
  fail "the embedding program printed: $out"
echo "embedded with add_subdirectory: ok"
