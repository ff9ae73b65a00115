#!/bin/sh
# The Windows leg: cross-build dorvik_c.dll and the host kit's dorvik_host.dll with MinGW-w64 and their ZIP
# package; check the DLLs, the package listing and the MSVC import library (linked by lld-link); run the C host
# suite, every fuzz corpus and the reference host's serial path (a pseudo-terminal as COM5, through the kit)
# under Wine; dvk.exe's outputs against the Linux dvk's (DVK_REF_BUILD names a Linux build with dvk, else
# build-x64-ref is built); dvk.exe on a pseudo-terminal as a COM port against dvk on the same line, and on
# one keyboard of two from recorded Raw Input records against dvk on the same keys' input events, and on a
# HID-POS recording with its descriptor against dvk --hidraw; Ctrl+C.
. "$(dirname "$0")/common.sh"
install_packages g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 clang-14 lld-14 python3

build="$ROOT/build-win"
version=$(sed -n 's/^project(dorvik_c VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DDVK_BUILD_TESTS=ON -DDVK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$JOBS"
(cd "$build" && cpack -G ZIP >/dev/null)
sh "$ROOT/tests/windows/check_dll.sh" "$build" "$version"

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
wine="timeout 600 /usr/lib/wine/wine64"

# Beside the hosts, as they are shipped: dorvik_c.dll, and the host kit's DLL for the reference host.
cp "$build/dorvik_c.dll" "$build/tests/capi/"
cp "$build/dorvik_c.dll" "$build/host/dorvik_host.dll" "$build/examples/windows-host/"
(cd "$build/tests/capi" && $wine dvk_host_suite.exe)

# Every committed fuzzer input, replayed by the Windows build (names relative: Wine maps no Unix paths).
for harness in decode_frame profile decoder tuner barcode_svg key_for_char hid_pos; do
    log="$build/fuzz/replay_$harness.log"
    (cd "$ROOT/fuzz/corpus" && $wine "$build/fuzz/dvk_fuzz_replay.exe" "$harness" "$harness" >"$log") ||
        { tail -n 20 "$log"; exit 1; }
    tail -n 1 "$log"
done

clang-14 --target=x86_64-pc-windows-msvc -ffreestanding -I"$ROOT/include" -I"$build/include" \
    -c "$ROOT/tests/windows/msvc_host.c" -o "$build/msvc_host.obj"
lld-link-14 /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib "$build/msvc_host.obj" \
    "$build/dorvik_c.lib" /out:"$build/tests/capi/msvc_host.exe"
(cd "$build/tests/capi" && $wine msvc_host.exe) && echo "dorvik_c.lib: linked by lld-link, the program runs"

python3 "$ROOT/tests/windows/serial_test.py" "$WINEPREFIX" "$build/examples/windows-host/windows-host.exe"

ref="${DVK_REF_BUILD:-$ROOT/build-x64-ref}"
if [ -z "${DVK_REF_BUILD:-}" ]; then
    cmake -S "$ROOT" -B "$ref" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ref" -j "$JOBS" --target dvk
fi
cp "$build/dorvik_c.dll" "$build/host/dorvik_host.dll" "$build/tools/dvk/"
sh "$ROOT/tests/windows/dvk_outputs.sh" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe"
python3 "$ROOT/tests/windows/dvk_serial_test.py" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe" "$WINEPREFIX"
python3 "$ROOT/tests/windows/dvk_raw_input_test.py" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe" "$WINEPREFIX"
python3 "$ROOT/tests/windows/dvk_hid_pos_test.py" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe" "$WINEPREFIX"
python3 "$ROOT/tests/windows/dvk_stop_test.py" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe" "$WINEPREFIX"

# The 1C add-in in a test host built for Microsoft's C++ layout, as the platform is: a component laid out as
# g++ lays out classes would fail here.
sh "$ROOT/tests/addin/run_host.sh" "$build" win64
