#!/usr/bin/env bash
# The web page in a real browser: builds web/tolvik.html with emscripten and
# holds it to the tool given (tests/web/web_test.mjs), in headless Chromium.
# Exits 77, skipped, where emscripten, Chromium, Node or the test's npm
# packages (npm ci in tests/web) are missing.
#
# Usage: tests/web/run.sh TOOL [WEB_BUILD_DIR [SCREENSHOTS_DIR]]
#   defaults: build-web and build-web/screenshots in the source tree
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
tool=$(realpath "$1")
build=$(realpath -m "${2:-$source_dir/build-web}")
shots=$(realpath -m "${3:-$build/screenshots}")
chromium=${CHROMIUM:-$(command -v chromium || true)}

missing=()
command -v emcmake >/dev/null || missing+=(emscripten)
[[ -n $chromium ]] || missing+=(chromium)
command -v node >/dev/null || missing+=(node)
command -v xxd >/dev/null || missing+=(xxd)
[[ -d $here/node_modules/puppeteer-core ]] || missing+=("puppeteer-core (npm ci in tests/web)")
if ((${#missing[@]})); then
  echo "web page test skipped, missing: ${missing[*]}"
  exit 77
fi

emcmake cmake -S "$source_dir" -B "$build" -DTOLVIK_WEB=ON >/dev/null
cmake --build "$build" -j2
# Bounded: a browser that hangs must not hold CI.
CHROMIUM=$chromium timeout 600 node "$here/web_test.mjs" "$build/web/tolvik.html" "$tool" "$source_dir/samples" "$shots"
