#!/bin/sh
# Builds the native library and its host kit (Release, as users build them) and the differential test's
# driver over them; prints the driver's path. NATIVE_BUILD_DIR overrides where (default: build-native at the
# repository's root), NATIVE_SOURCE_DIR the sources (default: this repository).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../../../.." && pwd)
SOURCE=${NATIVE_SOURCE_DIR:-$ROOT}
BUILD=${NATIVE_BUILD_DIR:-$ROOT/build-native}
mkdir -p "$BUILD"
# The differential test and the benchmark's test may build at once when node --test runs files in parallel.
exec 9>"$BUILD/.build-driver.lock"
flock 9
cmake -S "$SOURCE" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DDVK_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target dorvik_c dorvik_host >/dev/null
cc -std=c99 -O2 -Wall -Wextra -Werror -I "$SOURCE/include" -I "$BUILD/include" "$HERE/driver.c" \
    -L "$BUILD" -L "$BUILD/host" -ldorvik_host -ldorvik_c -Wl,-rpath,"$BUILD" -Wl,-rpath,"$BUILD/host" \
    -o "$BUILD/dvk_js_driver"
echo "$BUILD/dvk_js_driver"
