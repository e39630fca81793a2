#!/usr/bin/env bash
# Builds the tool, its library and the whole test suite with AddressSanitizer
# and UndefinedBehaviorSanitizer, then runs the suite. Any report from either
# sanitizer aborts the process it happens in, so the test fails.
#
# Usage: fuzz/sanitize.sh [build-dir]   (default: build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
# ASan cannot live in a static executable, hence TOLVIK_STATIC=OFF. CXXFLAGS
# from the environment (CI's -Werror) still apply. The C test program is
# built by clang too: another compiler would bring its own sanitizer runtime.
cmake -S . -B "$build" \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="${CXXFLAGS:-} -O1 -fno-omit-frame-pointer $sanitizers" \
  -DCMAKE_C_FLAGS="${CFLAGS:-} -O1 -fno-omit-frame-pointer $sanitizers" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DTOLVIK_STATIC=OFF -DTOLVIK_TESTS=ON -DTOLVIK_BENCH=OFF -DTOLVIK_FUZZ=OFF >/dev/null
cmake --build "$build" -j2

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Left out: the install test, whose consumer programs are built without the
# sanitizer runtime that the installed library then needs, the ctypes
# example, whose Python lacks it too, and the package and embedding tests,
# which build nothing the sanitizers look at.
ctest --test-dir "$build" --output-on-failure --timeout 120 \
  -E '^(install_consumer|ctypes_example|deb_package|subproject_consumer)$'
