# Shared by the project's commands: installs what a fresh Debian 12 machine lacks and builds.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null 2>&1; then sudo "$@"; else
        echo "need root to run: $*" >&2
        return 1
    fi
}

install_packages() {
    missing=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    as_root apt-get update -qq
    # shellcheck disable=SC2086
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
}

BASE_PACKAGES="build-essential cmake g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev clang-format-14 locales"
# clang with libc++, the standard library the WebAssembly toolchains ship, and GoogleTest's sources to build
# the unit suite with it.
LIBCXX_PACKAGES="clang-14 libc++-14-dev libc++abi-14-dev googletest"
# Independent barcode readers and encoders the tests check the symbols against.
ORACLE_PACKAGES="libzxing-dev libdmtx-dev libzint-dev libpng-dev"
# What the dvk tests drive: a terminal multiplexer and a browser.
TOOL_TEST_PACKAGES="tmux chromium"
# The WebAssembly build: Debian's emscripten with the clang and lld it runs, and Node for its tests.
WEB_PACKAGES="emscripten clang-14 lld-14 nodejs"
# The package's pages: driven in Chromium, their reference codes read back from a screenshot, and loaded in
# Firefox as a second browser engine.
WEB_TEST_PACKAGES="chromium zxing-cpp-tools firefox-esr"
# The .NET binding's test: Mono's compiler and run-time.
BINDING_TEST_PACKAGES="mono-mcs mono-runtime"
# ARM Linux: the cross compilers, and qemu-user to run what they build.
ARM_PACKAGES="g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user-static googletest python3 locales"
# The 32-bit Windows DLL and 32-bit Wine, which needs Debian's i386 architecture (add_i386 first).
WIN32_PACKAGES="g++-mingw-w64-i686 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine32 clang-14 lld-14 llvm-14"

add_i386() {
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
    dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null # later -D options win
    cmake --build "$dir" -j "$JOBS"
}
