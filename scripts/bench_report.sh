#!/bin/sh
# Runs dvk_bench and prints its medians as a table, with the ratios against what a host would otherwise use
# measured in the same run: libzint (Code 128), libdmtx (DataMatrix) and, for dvk_decode_frame, the floor of
# copying the same bytes and writing them as one JSON string.
. "$(dirname "$0")/common.sh"
install_packages $BASE_PACKAGES $ORACLE_PACKAGES python3
build="$ROOT/build-bench"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DDVK_BUILD_TESTS=OFF >/dev/null
out="$build/bench.json"
"$build/bench/dvk_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out" --benchmark_out_format=json >/dev/null
python3 - "$out" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
median = {b["run_name"]: b["real_time"] for b in data["benchmarks"] if b.get("aggregate_name") == "median"}
def ns(name): return median.get(name)
def fmt(t): return "%.0f ns" % t if t < 10000 else "%.1f µs" % (t / 1000)
rows = [
    ("feed_key extending a frame", "BM_FeedKeyExtendsFrame", None, None),
    ("82-char marking code typed key by key, Enter, poll", "BM_TypeMarkingCodeAndPoll", None, None),
]
for step in (1, 2, 3, 4):
    rows.append(("decode_frame, step %d payload with GS" % step, "decodeStep/step%d_with_gs" % step,
                 "floorCopyAndEscape/step%d" % step, "copy + JSON escape"))
    rows.append(("decode_frame, step %d without GS, gsMissing" % step, "decodeStep/step%d_without_gs" % step,
                 "floorCopyAndEscape/step%d" % step, "copy + JSON escape"))
rows += [
    ("repair of 512 bytes of \"91\" + space", "BM_RepairAdversarial/r91/512", None, None),
    ("SVG, EAN-13 (step 0)", "svg/step0_ean13", None, None),
    ("SVG, GS1 Code 128 (step 1)", "svg/step1_code128", "zintCode128/step1_gs1", "libzint encode"),
    ("SVG, DataMatrix (step 2)", "svg/step2_datamatrix", "dmtxDataMatrix/step2", "libdmtx encode"),
    ("SVG, DataMatrix (step 3)", "svg/step3_datamatrix", "dmtxDataMatrix/step3", "libdmtx encode"),
    ("SVG, DataMatrix (step 4)", "svg/step4_datamatrix", "dmtxDataMatrix/step4", "libdmtx encode"),
    ("SVG, DataMatrix of 174 codewords", "svg/codewords_174", "dmtxDataMatrix/codewords_174", "libdmtx encode"),
    ("decoder new + free", "BM_DecoderNewFree", None, None),
    ("set_profile + profile", "BM_DecoderSetProfileAndRead", None, None),
    ("feed_bytes + tick + poll + reset", "BM_FeedBytesTickPollReset", None, None),
    ("key_for_char", "BM_KeyForChar", None, None),
    ("whole set-up: tuner_new, 5 feeds, state, free", "BM_TunerWholeSetUp", None, None),
]
print("| operation | median | compared with | its median | ratio |")
print("|---|---:|---|---:|---:|")
for label, name, other, what in rows:
    t = ns(name)
    if t is None: continue
    o = ns(other) if other else None
    if o:
        print("| %s | %s | %s | %s | %.2f× |" % (label, fmt(t), what, fmt(o), t / o))
    else:
        print("| %s | %s | | | |" % (label, fmt(t)))
ctx = data["context"]
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
print("\nMeasured on %s (%d cores, %.0f MHz), dorvik_c Release build, %s." % (cpu, ctx["num_cpus"], ctx["mhz_per_cpu"], ctx["date"][:10]))
PY
