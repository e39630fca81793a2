#!/usr/bin/env bash
# Builds the Debian packages from the build tree and checks what each holds:
# tolvik (the tool, its compressed man page, completion, schema) and
# libtolvik-dev (header, static library under the multiarch directory, CMake
# and pkg-config files), each with its copyright file and changelog. The
# packaged tool runs from the unpacked tree, and lintian finds no error and
# no warning in either package.
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

command -v lintian >/dev/null || fail "lintian is needed (apt-get install lintian)"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"

# Unpacks package $1 into $work/$1 and checks the files every package needs.
unpack() {
  local name=$1 debs
  debs=("$work/out/${name}_"*.deb)
  [[ -f ${debs[0]} ]] || fail "no ${name}_*.deb in the cpack output"
  [[ $(dpkg-deb -f "${debs[0]}" Package) == "$name" ]] || fail "$name: package name"
  [[ -n $(dpkg-deb -f "${debs[0]}" Version) ]] || fail "$name: no version"
  dpkg-deb -x "${debs[0]}" "$work/$name"
  for file in copyright changelog.gz; do
    [[ -f $work/$name/usr/share/doc/$name/$file ]] || fail "$name: no /usr/share/doc/$name/$file"
  done
  gzip -t "$work/$name/usr/share/doc/$name/changelog.gz" || fail "$name: changelog.gz is no gzip file"
  echo "${debs[0]}"
}

tool_deb=$(unpack tolvik)
dev_deb=$(unpack libtolvik-dev)

tool=$work/tolvik
for file in usr/bin/tolvik usr/share/man/man1/tolvik.1.gz usr/share/bash-completion/completions/tolvik \
  usr/share/tolvik/tolvik.schema.json; do
  [[ -f $tool/$file ]] || fail "tolvik: not in the package: /$file"
done
[[ -z $(find "$tool" -name '*.a' -o -name '*.h' -o -name '*.pc') ]] || fail "tolvik: holds development files"

dev=$work/libtolvik-dev
for file in usr/include/tolvik.h usr/include/tolvik_model.h usr/include/tolvik_c.h usr/include/tolvik_version.h; do
  [[ -f $dev/$file ]] || fail "libtolvik-dev: not in the package: /$file"
done
library=$(cd "$dev" && find usr -name libtolvik.a)
# Debian wants libraries under /usr/lib/<multiarch triplet>/.
[[ $library =~ ^usr/lib/[a-z0-9_]+-[a-z0-9_-]+/libtolvik\.a$ ]] ||
  fail "libtolvik-dev: libtolvik.a not under the multiarch directory: /$library"
libdir=$(dirname "$library")
for file in cmake/tolvik/tolvikConfig.cmake pkgconfig/tolvik.pc; do
  [[ -f $dev/$libdir/$file ]] || fail "libtolvik-dev: not in the package: /$libdir/$file"
done

# Without a file argument the tool prints its banner and usage and exits 2.
set +e
"$tool/usr/bin/tolvik" >"$work/usage.out"
status=$?
set -e
((status == 2)) || fail "packaged tolvik without arguments exited $status"
head -n 1 "$work/usage.out" | grep -q '^JEDEC/ONFI NAND parameter page decoder v' ||
  fail "packaged tolvik printed no banner"

# Errors and warnings fail; every deliberate exception is an override in
# the package, with its reason.
if ! lintian --fail-on error,warning "$tool_deb" "$dev_deb" >"$work/lintian.log" 2>&1; then
  fail "lintian: $(cat "$work/lintian.log")"
fi

echo "debian packages: ok ($(basename "$tool_deb"), $(basename "$dev_deb"))"
