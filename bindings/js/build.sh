#!/bin/sh
# npm run build: the WebAssembly module from the library's sources, with Debian's emscripten, placed next
# to index.js. BUILD_DIR overrides where CMake builds (default: build-wasm at the repository's root).
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-wasm}
# Debian's emcc runs its JS tools with whatever `node` is first on the PATH; they need Debian's modules.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
emcmake cmake -S "$HERE" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)" --target dorvik_c_wasm dorvik_c_wasm_fixed_heap
cp "$BUILD_DIR/dorvik_c.wasm" "$HERE/dorvik_c.wasm"
# The same module with a heap that cannot grow, for the out-of-memory test.
cp "$BUILD_DIR/dorvik_c_fixed_heap.wasm" "$HERE/test/dorvik_c_fixed_heap.wasm"
