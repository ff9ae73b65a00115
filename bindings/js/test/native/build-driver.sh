#!/bin/sh
# Builds the native library (Release, as users build it) and the differential test's driver over it; prints
# the driver's path. NATIVE_BUILD_DIR overrides where (default: build-native at the repository's root).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../../../.." && pwd)
BUILD=${NATIVE_BUILD_DIR:-$ROOT/build-native}
mkdir -p "$BUILD"
# The differential test and the benchmark's test may build at once when node --test runs files in parallel.
exec 9>"$BUILD/.build-driver.lock"
flock 9
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target dorvik_c >/dev/null
cc -std=c99 -O2 -Wall -Wextra -Werror -I "$ROOT/include" -I "$BUILD/include" "$HERE/driver.c" \
    -L "$BUILD" -ldorvik_c -Wl,-rpath,"$BUILD" -o "$BUILD/dvk_js_driver"
echo "$BUILD/dvk_js_driver"
