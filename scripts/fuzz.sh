#!/bin/sh
# Runs every libFuzzer harness for SECONDS each (default 60); a long run: ./scripts/fuzz.sh 600.
# Crashes are written to build-fuzz/artifacts/; the grown corpora stay in build-fuzz/corpus/
# (DVK_FUZZ_BUILD names another build folder).
. "$(dirname "$0")/common.sh"
seconds=${1:-60}
install_packages clang-14 libclang-rt-14-dev $ORACLE_PACKAGES

build="${DVK_FUZZ_BUILD:-$ROOT/build-fuzz}"
CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$build" -DDVK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$JOBS"
mkdir -p "$build/artifacts"
status=0
for harness in decode_frame profile decoder tuner barcode_svg key_for_char hid_pos; do
    corpus="$build/corpus/$harness"
    mkdir -p "$corpus"
    cp -n "$ROOT/fuzz/corpus/$harness/"* "$corpus/" 2>/dev/null || true
    dict="$ROOT/fuzz/$harness.dict"
    [ -f "$dict" ] || dict="$ROOT/fuzz/dvk.dict"
    echo "== fuzz_$harness for ${seconds}s"
    if ! "$build/fuzz/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -dict="$dict" -artifact_prefix="$build/artifacts/${harness}-" "$corpus" 2>"$build/fuzz_$harness.log"; then
        tail -n 40 "$build/fuzz_$harness.log"
        status=1
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|cov: ' "$build/fuzz_$harness.log" | tail -n 3
done
exit $status
