#!/bin/sh
# Every test: style check; normal, scalar (no intrinsics) and ASan/UBSan builds with the whole suite in each;
# the unit suite built with clang and libc++; valgrind on the C-interface suites; ThreadSanitizer; the
# Windows DLLs (x86-64 and x86) under Wine; ARM Linux (aarch64, armhf) under qemu-user; the WebAssembly build
# and the npm package; a short run of every fuzzer.
. "$(dirname "$0")/common.sh"
add_i386
install_packages $ARM_PACKAGES $WIN32_PACKAGES $BASE_PACKAGES $LIBCXX_PACKAGES $ORACLE_PACKAGES $TOOL_TEST_PACKAGES $BINDING_TEST_PACKAGES $WEB_PACKAGES $WEB_TEST_PACKAGES valgrind

# A comma-decimal locale, so that the locale test runs for real.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    as_root localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
export DVK_REQUIRE_LOCALE=1

cd "$ROOT"
echo "== clang-format"
git ls-files '*.c' '*.h' '*.cpp' | xargs clang-format-14 --dry-run -Werror
# A layer reaches another only through its root, where the build enforces the one-way dependencies.
if git grep -n '#include "\.\./' -- src; then
    echo "an include above its layer's root: name the layer instead" >&2
    exit 1
fi

echo "== normal build (Release, as users build it)"
configure_and_build "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Release
(cd "$ROOT/build-test" && ctest --output-on-failure -j "$JOBS")

# The ARM leg beside the rest: its tests under qemu, like valgrind, Wine and the fuzzers, keep one core
# each, so the two legs share the machine's cores. Its texts are compared with this Release build's.
echo "== ARM Linux under qemu-user, in the background (build-arm.log)"
DVK_REF_BUILD="$ROOT/build-test" "$ROOT/scripts/arm.sh" >"$ROOT/build-arm.log" 2>&1 &
arm=$!

echo "== the unit suites without vector intrinsics (the scalar twins WebAssembly and ARM run)"
configure_and_build "$ROOT/build-scalar" -DDVK_NO_INTRINSICS=ON -DDVK_BUILD_BENCH=OFF -DDVK_BUILD_ADDIN=OFF
(cd "$ROOT/build-scalar" && ctest --output-on-failure -j "$JOBS")

echo "== the unit suite with clang and libc++"
CC=clang-14 CXX=clang++-14 CXXFLAGS=-stdlib=libc++ LDFLAGS=-stdlib=libc++ \
    cmake -S "$ROOT" -B "$ROOT/build-libcxx" -DCMAKE_BUILD_TYPE=Release -DDVK_BUILD_BENCH=OFF \
    -DDVK_GTEST_SOURCE=/usr/src/googletest >/dev/null
cmake --build "$ROOT/build-libcxx" -j "$JOBS" --target dvk_unit_tests
"$ROOT/build-libcxx/tests/dvk_unit_tests" --gtest_brief=1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
configure_and_build "$ROOT/build-asan" -DDVK_SANITIZE=ON -DDVK_BUILD_BENCH=OFF
(cd "$ROOT/build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$JOBS")

echo "== valgrind memcheck of the C-interface suites"
for suite in capi/dvk_host_suite dvk_tuner_e2e_tests; do
    # The host suite loads the library with dlopen: only the loader's own bookkeeping may stay reachable.
    kinds=all
    [ "$suite" = capi/dvk_host_suite ] && kinds=definite,indirect,possible
    valgrind -q --leak-check=full --show-leak-kinds=$kinds --errors-for-leak-kinds=$kinds --error-exitcode=1 \
        "$ROOT/build-test/tests/$suite" >/dev/null
    echo "$suite: no leaks, no errors"
done

echo "== ThreadSanitizer: eight threads from a cold start"
configure_and_build "$ROOT/build-tsan" -DDVK_TSAN=ON -DDVK_BUILD_BENCH=OFF
(cd "$ROOT/build-tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure)

echo "== Windows DLL and dvk.exe under Wine"
DVK_REF_BUILD="$ROOT/build-test" "$ROOT/scripts/windows.sh"

echo "== the 32-bit Windows DLL under 32-bit Wine"
DVK_REF_BUILD="$ROOT/build-test" "$ROOT/scripts/windows32.sh"

echo "== the 1C add-in's ZIP from the three builds, and the BSL modules' structure"
sh "$ROOT/scripts/addin_zip.sh" "$ROOT/build-test" "$ROOT/build-win" "$ROOT/build-win32"
node "$ROOT/bindings/1c/check.js" && node --test "$ROOT/bindings/1c/test/"

echo "== the WebAssembly build and the npm package"
"$ROOT/scripts/web.sh"

echo "== fuzzing every entry point briefly"
"$ROOT/scripts/fuzz.sh" 30

echo "== ARM Linux under qemu-user (started in the background after the normal build)"
arm_status=0
wait $arm || arm_status=$?
cat "$ROOT/build-arm.log"
[ $arm_status -eq 0 ]

echo "== all tests passed"
