#!/bin/sh
# The ARM leg: the library, its suites and dvk cross-built for 64-bit (aarch64) and 32-bit (armhf) ARM Linux
# and run under qemu-user: the C++ suites, the C host suite, every fuzz corpus, and dvk reading input events
# in the platform's own record layout. Then the armhf build's texts against the x86-64 build's: the real
# codes, and every text of dvk_output_diff's random rounds (DVK_ARM_ROUNDS, 100000 unless set).
. "$(dirname "$0")/common.sh"
install_packages cmake g++ $ARM_PACKAGES

started=$(date +%s)
rounds=${DVK_ARM_ROUNDS:-100000}
codes="$ROOT/tests/analysis/real_marking_codes.tsv"

# The reference: the x86-64 build, as users build it (DVK_REF_BUILD names one already built, Release).
ref="${DVK_REF_BUILD:-$ROOT/build-x64-ref}"
if [ -z "${DVK_REF_BUILD:-}" ]; then
    cmake -S "$ROOT" -B "$ref" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ref" -j "$JOBS" --target dorvik_c dvk_output_diff dvk_decode_codes
fi
# The reference's texts are kept beside the ARM builds: another leg may read the same reference at once.
mkdir -p "$ROOT/build-armhf"
expected="$ROOT/build-armhf/real_codes.x86-64.out"
"$ref/tests/capi/dvk_decode_codes" "$codes" >"$expected"

# The Russian locale compiled apart for the emulated C libraries, which need not read the system's archive:
# the C host suite's comma-decimal test runs for real.
locales="$ROOT/build-armhf/locale"
mkdir -p "$locales"
[ -d "$locales/ru_RU.UTF-8" ] || localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8"

for arch in arm64 armhf; do
    case $arch in
    arm64) toolchain=linux-aarch64 qemu=qemu-aarch64-static sysroot=/usr/aarch64-linux-gnu layout=qqHHi ;;
    *) toolchain=linux-armhf qemu=qemu-arm-static sysroot=/usr/arm-linux-gnueabihf layout=IIHHi ;;
    esac
    echo "-- $arch"
    build="$ROOT/build-$arch"
    # The oracle libraries are not there for the target: the configure step names the suites it skips.
    mkdir -p "$build"
    cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DDVK_GTEST_SOURCE=/usr/src/googletest -DDVK_BUILD_ADDIN=OFF >"$build/configure.log"
    grep 'dorvik_c:' "$build/configure.log" || true
    cmake --build "$build" -j "$JOBS"
    run="$qemu -L $sysroot"

    for suite in dvk_unit_tests dvk_host_kit_tests dvk_tuner_e2e_tests dvk_thread_tests dvk_texts_tests \
        alloc/dvk_alloc_failure_tests; do
        log="$build/tests/$(basename "$suite").log"
        $run "$build/tests/$suite" --gtest_brief=1 >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
        echo "$suite: $(grep -h 'PASSED\|survived' "$log" | tail -n 1)"
    done
    env LOCPATH="$locales" $run "$build/tests/capi/dvk_host_suite"
    for harness in decode_frame profile decoder tuner barcode_svg key_for_char hid_pos; do
        log="$build/fuzz/replay_$harness.log"
        $run "$build/fuzz/dvk_fuzz_replay" "$harness" "$ROOT/fuzz/corpus/$harness" >"$log" ||
            { tail -n 20 "$log"; exit 1; }
        tail -n 1 "$log"
    done
    python3 "$ROOT/tests/tools/evdev_layout_test.py" $run "$build/tools/dvk/dvk" "$layout"

    # char is unsigned here, and long 32 bits on armhf: the texts must not notice.
    $run "$build/tests/capi/dvk_decode_codes" "$codes" >"$build/real_codes.out"
    if ! cmp "$expected" "$build/real_codes.out"; then
        diff "$expected" "$build/real_codes.out" | head -n 20
        exit 1
    fi
    echo "real codes: $(wc -l <"$build/real_codes.out") texts as the x86-64 build gives them"
done

# Every text dvk_output_diff compares, as digests, from the armhf build and from the x86-64 build.
build="$ROOT/build-armhf"
"$ref/bench/dvk_output_diff" --record "$ref/libdorvik_c.so" "$rounds" >"$build/output_record.x86-64.txt"
qemu-arm-static -L /usr/arm-linux-gnueabihf "$build/bench/dvk_output_diff" --record "$build/libdorvik_c.so" \
    "$rounds" >"$build/output_record.txt"
total=$(wc -l <"$build/output_record.x86-64.txt")
differ=$(diff "$build/output_record.x86-64.txt" "$build/output_record.txt" | grep -c '^>' || true)
echo "dvk_output_diff, armhf against x86-64, $rounds rounds: $total texts, $differ differ"
echo "ARM leg: $(($(date +%s) - started)) s"
[ "$(wc -l <"$build/output_record.txt")" -eq "$total" ] && [ "$differ" -eq 0 ]
