#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what it holds: the
# tool runs from the unpacked tree and the library's package files are there.
#
# Use: deb.sh CPACK BUILD_DIR
set -euo pipefail

cpack=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
debs=("$work"/out/tolvik_*.deb)
[[ -f ${debs[0]} ]] || fail "no tolvik_*.deb in the cpack output"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == tolvik ]] || fail "package name"
[[ -n $(dpkg-deb -f "$deb" Version) ]] || fail "package without a version"

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/tolvik usr/share/man/man1/tolvik.1 usr/include/tolvik.h; do
  [[ -f $work/root/$file ]] || fail "not in the package: /$file"
done
for name in libtolvik.a tolvikConfig.cmake tolvik.pc; do
  [[ -n $(find "$work/root/usr" -name "$name" -print -quit) ]] || fail "not in the package: $name"
done

# Without a file argument the tool prints its banner and usage and exits 2.
set +e
"$work/root/usr/bin/tolvik" >"$work/usage.out"
status=$?
set -e
((status == 2)) || fail "packaged tolvik without arguments exited $status"
head -n 1 "$work/usage.out" | grep -q '^JEDEC/ONFI NAND parameter page decoder v' ||
  fail "packaged tolvik printed no banner"

echo "debian package: ok ($(basename "$deb"))"
