#!/bin/sh
# Every test: style check, a normal build and an AddressSanitizer/UBSan build, the whole suite in both.
. "$(dirname "$0")/common.sh"
install_packages $BASE_PACKAGES $ORACLE_PACKAGES

# A comma-decimal locale, so that the locale test runs for real.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    as_root localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
export DVK_REQUIRE_LOCALE=1

cd "$ROOT"
echo "== clang-format"
git ls-files '*.c' '*.h' '*.cpp' | xargs clang-format-14 --dry-run -Werror

echo "== normal build"
configure_and_build "$ROOT/build-test"
(cd "$ROOT/build-test" && ctest --output-on-failure -j "$JOBS")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
configure_and_build "$ROOT/build-asan" -DDVK_SANITIZE=ON -DDVK_BUILD_BENCH=OFF
(cd "$ROOT/build-asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$JOBS")

echo "== Windows DLL under Wine"
"$ROOT/scripts/windows.sh"

echo "== all tests passed"
