#!/bin/sh
# The Windows leg: cross-build dorvik_c.dll with MinGW-w64, check its export, import and version tables, and
# run the C host test that loads it by name under Wine.
. "$(dirname "$0")/common.sh"
install_packages g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64

build="$ROOT/build-win"
cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DDVK_BUILD_TESTS=OFF -DDVK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$JOBS"
"$ROOT/tests/windows/check_dll.sh" "$ROOT/include/dorvik_c.h" "$build/dorvik_c.dll"

# Beside the host, as it will be shipped: one file.
cp "$build/dorvik_c.dll" "$build/tests/windows/"
cd "$build/tests/windows"
WINEPREFIX="$build/wineprefix" WINEDEBUG=-all timeout 600 /usr/lib/wine/wine64 dvk_windows_host.exe
