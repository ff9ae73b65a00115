#!/bin/sh
# Prints the performance tables of the README. The goal table comes from dvk_ratios: each row against its
# peer (libzint's encode alone, libdmtx) or the copy + escape floor, interleaved in one process, run three
# times; a cell is the median of the three runs' medians, with their range. The table of every export comes
# from dvk_bench (medians of five repetitions). A compiler is chosen the usual way:
#   CC=clang-14 CXX=clang++-14 ./scripts/bench_report.sh
. "$(dirname "$0")/common.sh"
install_packages $BASE_PACKAGES $ORACLE_PACKAGES python3
compiler=$(basename "${CXX:-g++}")
build="$ROOT/build-bench-$compiler"
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DDVK_BUILD_TESTS=OFF -DDVK_BUILD_TOOLS=OFF >/dev/null
runs="$build/ratios"
for run in 1 2 3; do "$build/bench/dvk_ratios" 21 >"$runs.$run"; done
out="$build/bench.json"
"$build/bench/dvk_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out" --benchmark_out_format=json >/dev/null
python3 - "$out" "$compiler" "$runs".1 "$runs".2 "$runs".3 <<'PY'
import json, statistics, sys
out, compiler, runs = sys.argv[1], sys.argv[2], sys.argv[3:]
def fmt(t): return "%.0f ns" % t if t < 10000 else "%.1f µs" % (t / 1000)
goals = {
    "DataMatrix SVG, the 82-byte marking code|zint encode alone": "≥ 5× faster",
    "DataMatrix SVG, 348 digits|zint encode alone": "≥ 10× faster",
    "GS1 Code 128 SVG (the step-1 payload)|zint encode alone": "≥ 1.5× faster",
    "EAN-13 SVG|zint encode alone": "≥ 1.5× faster",
    "dvk_decode_frame, marking code with GS|copy + escape floor": "≤ 3× the floor",
    "dvk_decode_frame, the same without GS (repair)|copy + escape floor": "≤ 8× the floor",
    "feed_key in a frame|": "≤ 15 ns, no allocation",
}
rows = {}
order = []
for path in runs:
    for line in open(path):
        f = line.rstrip("\n").split("\t")
        key = f[0] + "|" + (f[3] if len(f) > 3 else "")
        if key not in rows:
            rows[key] = []
            order.append(key)
        rows[key].append(f)
print("| operation | median | blocks per call | peer or floor | its median | its blocks | ratio (range of 3 runs) | goal |")
print("|---|---:|---:|---|---:|---:|---:|---|")
for key in order:
    r = rows[key]
    label, ours, blocks = r[0][0], statistics.median(float(x[1]) for x in r), r[0][2]
    if len(r[0]) > 3:
        peer = statistics.median(float(x[4]) for x in r)
        ratios = sorted(float(x[6]) for x in r)
        floor = r[0][3].endswith("floor")
        mark = "× the floor" if floor else "× faster"
        ratio = "%.2f%s (%.2f–%.2f)" % (statistics.median(ratios), mark, ratios[0], ratios[-1])
        print("| %s | %s | %s | %s | %s | %s | %s | %s |" % (label, fmt(ours), blocks, r[0][3], fmt(peer), r[0][5],
                                                          ratio, goals.get(key, "")))
    else:
        print("| %s | %s | %s | | | | | %s |" % (label, fmt(ours), blocks, goals.get(key, "")))

data = json.load(open(out))
median = {b["run_name"]: b["cpu_time"] for b in data["benchmarks"] if b.get("aggregate_name") == "median"}
rows = [
    ("feed_key extending a frame", "BM_FeedKeyExtendsFrame"),
    ("82-char marking code typed key by key, Enter, poll", "BM_TypeMarkingCodeAndPoll"),
]
for step in (1, 2, 3, 4):
    rows.append(("decode_frame, step %d payload with GS" % step, "decodeStep/step%d_with_gs" % step))
    rows.append(("decode_frame, step %d without GS, gsMissing" % step, "decodeStep/step%d_without_gs" % step))
    rows.append(("copy + escape floor, step %d payload" % step, "floorCopyAndEscape/step%d" % step))
rows += [
    ("repair of 512 bytes of \"91\" + space", "BM_RepairAdversarial/r91/512"),
    ("SVG, EAN-13 (step 0)", "svg/step0_ean13"),
    ("SVG, GS1 Code 128 (step 1)", "svg/step1_code128"),
    ("SVG, DataMatrix (step 2)", "svg/step2_datamatrix"),
    ("SVG, DataMatrix (step 3)", "svg/step3_datamatrix"),
    ("SVG, DataMatrix (step 4)", "svg/step4_datamatrix"),
    ("SVG, DataMatrix of 174 codewords", "svg/codewords_174"),
    ("decoder new + free", "BM_DecoderNewFree"),
    ("set_profile + profile", "BM_DecoderSetProfileAndRead"),
    ("feed_bytes + tick + poll + reset", "BM_FeedBytesTickPollReset"),
    ("key_for_char", "BM_KeyForChar"),
    ("whole set-up: tuner_new, 5 feeds, state, free", "BM_TunerWholeSetUp"),
]
print("\n| every export | median |")
print("|---|---:|")
for label, name in rows:
    if name in median:
        print("| %s | %s |" % (label, fmt(median[name])))
ctx = data["context"]
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown CPU")
load = open("/proc/loadavg").read().split()[:3]
print("\nMeasured on %s (%d cores, %.0f MHz), %s Release build, %s; load average %s while measuring."
      % (cpu, ctx["num_cpus"], ctx["mhz_per_cpu"], compiler, ctx["date"][:10], " ".join(load)))
PY
