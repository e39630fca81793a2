#!/usr/bin/env bash
# Installs the built project into a fresh prefix, moves the prefix elsewhere
# (nothing may point back at the build or the first location), checks the
# installed files and the man page, then builds a consumer program against the
# installed package twice, with find_package and with pkg-config, and checks
# that its report of a real page matches the installed tool's, byte for byte;
# the same for a C consumer, whose lines must be the tool's.
#
# Use: run.sh CMAKE BUILD_DIR PAGE
set -euo pipefail

cmake=$1
build=$2
page=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for tool in groff pkg-config; do
  command -v "$tool" >/dev/null || fail "$tool is needed (apt-get install groff-base pkg-config)"
done

"$cmake" --install "$build" --prefix "$work/staged" >"$work/install.log"
mv "$work/staged" "$work/prefix"
prefix=$work/prefix

for file in bin/tolvik share/man/man1/tolvik.1.gz include/tolvik.h include/tolvik_model.h include/tolvik_c.h \
  include/tolvik_version.h \
  share/bash-completion/completions/tolvik share/tolvik/tolvik.schema.json; do
  [[ -f $prefix/$file ]] || fail "not installed: $file"
done
# Debian's own files (copyright, changelog, lintian override) go into the packages only.
[[ ! -e $prefix/share/doc && ! -e $prefix/share/lintian ]] || fail "Debian package files in a plain install"
libdir=$(dirname "$(find "$prefix" -name libtolvik.a -print -quit)")
[[ $libdir != . ]] || fail "not installed: libtolvik.a"
for file in cmake/tolvik/tolvikConfig.cmake cmake/tolvik/tolvikConfigVersion.cmake pkgconfig/tolvik.pc; do
  [[ -f $libdir/$file ]] || fail "not installed: ${libdir#"$prefix"/}/$file"
done

# The man page must format without a single warning.
warnings=$(gzip -dc "$prefix/share/man/man1/tolvik.1.gz" | groff -man -ww -z 2>&1)
[[ -z $warnings ]] || fail "groff warns about tolvik.1: $warnings"
if command -v mandoc >/dev/null; then
  warnings=$(mandoc -T lint -W warning "$prefix/share/man/man1/tolvik.1.gz" 2>&1) ||
    fail "mandoc warns about tolvik.1: $warnings"
fi

# The installed tool's report: everything after its banner and status lines,
# so compare the consumer's output with the tail of the tool's.
"$prefix/bin/tolvik" "$page" 2 >"$work/tool.out" || fail "installed tolvik failed on $page"

check_consumer() {
  local name=$1 program=$2
  "$program" "$page" 2 >"$work/$name.out" || fail "$name consumer failed on $page"
  local size
  size=$(wc -c <"$work/$name.out")
  ((size > 20)) || fail "$name consumer printed almost nothing"
  tail -c "$size" "$work/tool.out" | cmp -s - "$work/$name.out" ||
    fail "$name consumer's report differs from the installed tool's"
}

# The C consumer prints values in the tool's own lines: each must be one of
# the tool's.
check_c_consumer() {
  local name=$1 program=$2 line
  "$program" "$page" >"$work/$name.out" || fail "$name C consumer failed on $page"
  (($(wc -l <"$work/$name.out") >= 9)) || fail "$name C consumer printed too little"
  while IFS= read -r line; do
    grep -qxF -- "$line" "$work/tool.out" || fail "$name C consumer's line is not the tool's: $line"
  done <"$work/$name.out"
}

# find_package(tolvik), seeing nothing but the moved prefix.
"$cmake" -S "$here/consumer" -B "$work/cmake-consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_BUILD_TYPE=Release >"$work/configure.log" ||
  fail "configuring the consumer: $(cat "$work/configure.log")"
grep -q "^tolvik_DIR:PATH=$prefix/" "$work/cmake-consumer/CMakeCache.txt" ||
  fail "find_package(tolvik) did not take the installed package"
"$cmake" --build "$work/cmake-consumer" >"$work/build.log" 2>&1 ||
  fail "building the consumer: $(cat "$work/build.log")"
check_consumer cmake "$work/cmake-consumer/consumer"
check_c_consumer cmake "$work/cmake-consumer/c_consumer"

# pkg-config tolvik, from the moved prefix's .pc file only.
export PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_LIBDIR=''
flags=$(pkg-config --cflags --libs tolvik) || fail "pkg-config does not find tolvik"
[[ $(realpath "$(pkg-config --variable=libdir tolvik)") == "$(realpath "$libdir")" ]] ||
  fail "tolvik.pc does not point into the prefix it lies in: $flags"
# shellcheck disable=SC2086  # the flags are meant to split
"${CXX:-c++}" -std=c++20 -O2 -o "$work/pc-consumer" "$here/consumer/main.cpp" $flags ||
  fail "building the consumer with pkg-config flags: $flags"
check_consumer pkg-config "$work/pc-consumer"
# A C compiler alone links it: the library needs no C++ runtime.
# shellcheck disable=SC2086
"${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic -O2 -o "$work/pc-c-consumer" "$here/consumer/main.c" $flags ||
  fail "building the C consumer with pkg-config flags: $flags"
check_c_consumer pkg-config "$work/pc-c-consumer"

echo "install and consumers: ok"
