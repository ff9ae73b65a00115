#!/bin/sh
# The 32-bit Windows leg: dorvik_c.dll and dorvik_host.dll for x86 cross-built with MinGW-w64 and their win32
# ZIP; the DLLs' exports (cdecl, undecorated), imports and version resource; the MSVC import library linked
# by lld-link, with /SAFESEH, into a host compiled with stdcall as its default (MSVC's /Gz); under 32-bit
# Wine the C host suite, every fuzz corpus, and the texts of the real codes and of dvk_output_diff's random
# rounds (DVK_WIN32_ROUNDS, 100000 unless set), which must be the x86-64 build's; dvk.exe's outputs, which
# must be the Linux dvk's.
. "$(dirname "$0")/common.sh"
started=$(date +%s)
add_i386
install_packages cmake g++ $WIN32_PACKAGES

build="$ROOT/build-win32"
version=$(sed -n 's/^project(dorvik_c VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DDVK_BUILD_TESTS=ON -DDVK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$JOBS"
(cd "$build" && cpack -G ZIP >/dev/null)

# The reference: the x86-64 build, as users build it (DVK_REF_BUILD names one already built, Release).
ref="${DVK_REF_BUILD:-$ROOT/build-x64-ref}"
if [ -z "${DVK_REF_BUILD:-}" ]; then
    cmake -S "$ROOT" -B "$ref" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ref" -j "$JOBS" --target dorvik_c dvk_decode_codes dvk_output_diff dvk
fi

objdump=i686-w64-mingw32-objdump
status=0
sh "$ROOT/tests/capi/check_exports.sh" "$build/dorvik_c.def" "$build/dorvik_c.dll" || status=1
# cdecl names carry no @N, in the DLLs and in the module-definition files the import libraries come from.
for dll in "$build/dorvik_c.dll" "$build/host/dorvik_host.dll"; do
    $objdump -p "$dll" | grep -q 'Magic.*10b' || { echo "$dll is not a 32-bit DLL"; status=1; }
    for import in $($objdump -p "$dll" | awk '/DLL Name:/ {print $3}'); do
        printf '%s\n' "$import" | tr 'A-Z' 'a-z' |
            grep -qE '^(kernel32|msvcrt|ntdll|user32|advapi32|dorvik_c)\.dll$' ||
            { echo "$dll imports $import"; status=1; }
    done
done
if grep -qE '[a-z0-9_]@[0-9]' "$build/dorvik_c.def" "$build/dorvik_host.def"; then
    echo "decorated names in the .def files"
    status=1
fi
# MSVC names a 32-bit cdecl function with a leading underscore: that is what its import library must offer.
for lib in dorvik_c dorvik_host; do
    want=$(sed -n "s/^ *\(dvkh\{0,1\}_[a-z0-9_]*\).*/_\1/p" "$build/$lib.def" | sort)
    got=$(llvm-nm-14 "$build/$lib.lib" | awk '$2 == "T" && $3 ~ /^_dvk/ {print $3}' | sort -u)
    [ -n "$want" ] && [ "$want" = "$got" ] || { printf '%s.lib offers:\n%s\n' "$lib" "$got"; status=1; }
done
x86_64-w64-mingw32-objcopy -O binary -j .rsrc "$build/dorvik_c.dll" /dev/stdout | iconv -c -f UTF-16LE -t UTF-8 |
    tr -c '[:print:]' '\n' | grep -qxF "dorvik_c barcode scanner library (x86)" ||
    { echo "the version resource does not say x86"; status=1; }
listing() { cmake -E tar tf "$1" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort; }
win64="$ROOT/build-win/dorvik_c-$version-win64.zip"
if [ -f "$win64" ] && [ "$(listing "$build/dorvik_c-$version-win32.zip")" != "$(listing "$win64")" ]; then
    echo "the win32 ZIP holds other files than the win64 one"
    status=1
fi
[ $status -eq 0 ] || exit 1
echo "dorvik_c.dll and dorvik_host.dll (x86) $version: cdecl exports, imports, import libraries, package"

export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
wine="timeout 600 /usr/lib/wine/wine"
cp "$build/dorvik_c.dll" "$build/tests/capi/"
(cd "$build/tests/capi" && $wine dvk_host_suite.exe)

for harness in decode_frame profile decoder tuner barcode_svg key_for_char hid_pos; do
    log="$build/fuzz/replay_$harness.log"
    (cd "$ROOT/fuzz/corpus" && $wine "$build/fuzz/dvk_fuzz_replay.exe" "$harness" "$harness" >"$log") ||
        { tail -n 20 "$log"; exit 1; }
    tail -n 1 "$log"
done

"$ref/tests/capi/dvk_decode_codes" "$ROOT/tests/analysis/real_marking_codes.tsv" >"$build/real_codes.x86-64.out"
cp "$ROOT/tests/analysis/real_marking_codes.tsv" "$build/tests/capi/"
(cd "$build/tests/capi" && $wine dvk_decode_codes.exe real_marking_codes.tsv >real_codes.out)
if ! cmp "$build/real_codes.x86-64.out" "$build/tests/capi/real_codes.out"; then
    diff "$build/real_codes.x86-64.out" "$build/tests/capi/real_codes.out" | head -n 20
    exit 1
fi
echo "real codes: $(wc -l <"$build/real_codes.x86-64.out") texts as the x86-64 build gives them"

# stdcall as the host's default: only DVK_CALL keeps the calls cdecl and the names those of the library.
clang-14 --target=i686-pc-windows-msvc -mrtd -ffreestanding -I"$ROOT/include" -I"$build/include" \
    -c "$ROOT/tests/windows/msvc_host.c" -o "$build/msvc_host.obj"
lld-link-14 /nologo /safeseh /entry:mainCRTStartup /subsystem:console /nodefaultlib "$build/msvc_host.obj" \
    "$build/dorvik_c.lib" /out:"$build/tests/capi/msvc_host.exe"
(cd "$build/tests/capi" && $wine msvc_host.exe) && echo "dorvik_c.lib (x86): linked by lld-link, the program runs"

# dvk.exe (x86): its outputs those of the x86-64 Linux dvk.
cp "$build/dorvik_c.dll" "$build/host/dorvik_host.dll" "$build/tools/dvk/"
DVK_WINE=/usr/lib/wine/wine sh "$ROOT/tests/windows/dvk_outputs.sh" "$ref/tools/dvk/dvk" "$build/tools/dvk/dvk.exe"

# Every text dvk_output_diff compares, as digests, from this DLL and from the x86-64 build.
rounds=${DVK_WIN32_ROUNDS:-100000}
cp "$build/dorvik_c.dll" "$build/bench/"
"$ref/bench/dvk_output_diff" --record "$ref/libdorvik_c.so" "$rounds" >"$build/output_record.x86-64.txt"
(cd "$build/bench" && $wine dvk_output_diff.exe --record dorvik_c.dll "$rounds" >"$build/output_record.txt")
total=$(wc -l <"$build/output_record.x86-64.txt")
differ=$(diff "$build/output_record.x86-64.txt" "$build/output_record.txt" | grep -c '^>' || true)
echo "dvk_output_diff, x86 DLL against x86-64, $rounds rounds: $total texts, $differ differ"
sh "$ROOT/tests/addin/run_host.sh" "$build" win32 # the 1C add-in, as the 32-bit platform calls it
echo "32-bit Windows leg: $(($(date +%s) - started)) s"
[ "$(wc -l <"$build/output_record.txt")" -eq "$total" ] && [ "$differ" -eq 0 ]
