// The goal rows of the performance table: each operation against its peer (libzint's encode alone, libdmtx)
// or against the copy + escape floor, measured in the same process in interleaved rounds, so that a shared
// machine's drift falls on both sides of a ratio alike. Prints one line per row (median time, peer's
// median, median of the per-round ratios, heap allocations per call); scripts/bench_report.sh turns them
// into the README's table.  dvk_ratios [ROUNDS]
#include <dmtx.h>
#include <time.h>
#include <zint.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "copy_escape_floor.h"
#include "dorvik_c.h"
#include "reference_payloads.h"

// Every heap block of the process, the library's included, is counted here.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}

namespace {
unsigned long long allocations = 0;
}

extern "C" {
void* malloc(size_t size) {
    ++allocations;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    ++allocations;
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}

namespace {

template <typename T> void keep(T&& value) { asm volatile("" : : "g"(&value) : "memory"); }

double threadNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

struct Op {
    Op(std::string name_, std::function<void()> run_) : name(std::move(name_)), run(std::move(run_)) {}
    std::string name;
    std::function<void()> run;
    long batch = 1;
    std::vector<double> ns; // per call, one entry per round
    double allocationsPerCall = 0;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// ---- the operations -----------------------------------------------------------------------------------

void svg(const char* kind, const std::string& payload, bool gs1) {
    char* text = dvk_barcode_svg(kind, payload.data(), static_cast<int32_t>(payload.size()), gs1, 4, 4);
    keep(text);
    dvk_free(text);
}

void zint(int symbology, int mode, const std::string& text, int option3 = 0) {
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = symbology;
    symbol->input_mode = mode;
    symbol->option_3 = option3;
    int rc = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(text.data()),
                             static_cast<int>(text.size()));
    keep(rc);
    ZBarcode_Delete(symbol);
}

void dmtx(const std::string& payload) {
    DmtxEncode* enc = dmtxEncodeCreate();
    dmtxEncodeSetProp(enc, DmtxPropScheme, DmtxSchemeAscii);
    dmtxEncodeSetProp(enc, DmtxPropFnc1, 29);
    dmtxEncodeSetProp(enc, DmtxPropModuleSize, 1);
    dmtxEncodeSetProp(enc, DmtxPropMarginSize, 0);
    std::vector<unsigned char> bytes(payload.begin(), payload.end());
    DmtxPassFail rc = dmtxEncodeDataMatrix(enc, static_cast<int>(bytes.size()), bytes.data());
    keep(rc);
    dmtxEncodeDestroy(&enc);
}

void decode(const char* profile, const std::string& text) {
    char* json = dvk_decode_frame(profile, text.data(), static_cast<int32_t>(text.size()), nullptr);
    keep(json);
    dvk_free(json);
}

void floorOf(const std::string& text) {
    std::string json = bench::copyAndEscapeFloor(text);
    keep(json);
}

std::string withoutGs(std::string s) {
    std::erase(s, '\x1d');
    return s;
}

// zint takes GS1 data with its AIs in parentheses.
const std::string kZintStep1 = "(01)04607097291111(3103)000123";
const std::string kZintStep3 =
    "(01)04607097291111(21)AbC1234567(91)EE10(92)Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=";

struct Row {
    const char* label;
    const char* op;
    const char* peer;
    const char* peerLabel;
    bool floor = false; // ratio as ours / floor rather than peer / ours
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    const std::string& ean = bench::payload(0);
    const std::string& gs1128 = bench::payload(1);
    const std::string& marking = bench::payload(3);
    const std::string digits = bench::kLargestDataMatrix;
    const std::string markingNoGs = withoutGs(marking);
    const char* gsMissing = "{\"gsMissing\": true}";

    dvk_decoder* decoder = dvk_decoder_new();
    dvk_decoder_set_profile(decoder, "{\"burstGapMs\": 2000000000, \"terminator\": \"\\u0001\"}");
    uint64_t t = 1;
    int inFrame = 0;

    std::vector<Op> ops;
    ops.emplace_back("svg_dm82", [&] { svg("datamatrix", marking, true); });
    ops.emplace_back("zint_dm82",
                     [&] { zint(BARCODE_DATAMATRIX, GS1_MODE | GS1PARENS_MODE, kZintStep3, DM_SQUARE); });
    ops.emplace_back("dmtx_dm82", [&] { dmtx("\x1d" + marking); });
    ops.emplace_back("svg_dm348", [&] { svg("datamatrix", digits, false); });
    ops.emplace_back("zint_dm348", [&] { zint(BARCODE_DATAMATRIX, DATA_MODE, digits, DM_SQUARE); });
    ops.emplace_back("dmtx_dm348", [&] { dmtx(digits); });
    ops.emplace_back("svg_c128", [&] { svg("code128", gs1128, true); });
    ops.emplace_back("zint_c128", [&] { zint(BARCODE_GS1_128, GS1_MODE | GS1PARENS_MODE, kZintStep1); });
    ops.emplace_back("svg_ean13", [&] { svg("ean13", ean, false); });
    ops.emplace_back("zint_ean13", [&] { zint(BARCODE_EANX, DATA_MODE, ean); });
    ops.emplace_back("decode_gs", [&] { decode(nullptr, marking); });
    ops.emplace_back("floor_gs", [&] { floorOf(marking); });
    ops.emplace_back("decode_repair", [&] { decode(gsMissing, markingNoGs); });
    ops.emplace_back("floor_repair", [&] { floorOf(markingNoGs); });
    ops.emplace_back("feed_key", [&] {
        dvk_decoder_feed_key(decoder, 0x02, 0, 0, 0, 0, 0, 0, 0, ++t, "scanner");
        // A bounded frame keeps this a steady-state append.
        if (++inFrame == 4096) {
            dvk_decoder_reset(decoder);
            inFrame = 0;
        }
    });

    // Blocks per call over many calls once everything is warm (a growing frame allocates only now and
    // then); then batches of about 2 ms each.
    constexpr int kCounted = 1000;
    for (Op& op : ops) {
        op.run();
        const unsigned long long before = allocations;
        for (int i = 0; i < kCounted; ++i)
            op.run();
        op.allocationsPerCall = static_cast<double>(allocations - before) / kCounted;
        const double start = threadNs();
        long n = 0;
        while (threadNs() - start < 2e6) {
            op.run();
            ++n;
        }
        op.batch = std::max(1L, n);
    }
    for (int round = 0; round < rounds; ++round) {
        for (Op& op : ops) {
            const double start = threadNs();
            for (long i = 0; i < op.batch; ++i)
                op.run();
            op.ns.push_back((threadNs() - start) / static_cast<double>(op.batch));
        }
    }
    dvk_decoder_free(decoder);

    auto find = [&](const char* name) -> const Op* {
        for (const Op& op : ops) {
            if (op.name == name) return &op;
        }
        return nullptr;
    };
    const Row rows[] = {
        {"DataMatrix SVG, the 82-byte marking code", "svg_dm82", "zint_dm82", "zint encode alone"},
        {"DataMatrix SVG, the 82-byte marking code", "svg_dm82", "dmtx_dm82", "libdmtx encode"},
        {"DataMatrix SVG, 348 digits", "svg_dm348", "zint_dm348", "zint encode alone"},
        {"DataMatrix SVG, 348 digits", "svg_dm348", "dmtx_dm348", "libdmtx encode"},
        {"GS1 Code 128 SVG (the step-1 payload)", "svg_c128", "zint_c128", "zint encode alone"},
        {"EAN-13 SVG", "svg_ean13", "zint_ean13", "zint encode alone"},
        {"dvk_decode_frame, marking code with GS", "decode_gs", "floor_gs", "copy + escape floor", true},
        {"dvk_decode_frame, the same without GS (repair)", "decode_repair", "floor_repair",
         "copy + escape floor", true},
        {"feed_key in a frame", "feed_key", nullptr, ""},
    };
    // One tab-separated line per row: label, median ns, allocations, peer, peer's median ns, peer's
    // allocations, ratio: peer / ours against a peer (above 1 is faster than it), ours / floor against the
    // floor (how many floors a call costs).
    for (const Row& row : rows) {
        const Op* op = find(row.op);
        const Op* peer = row.peer ? find(row.peer) : nullptr;
        std::printf("%s\t%.1f\t%.3g", row.label, median(op->ns), op->allocationsPerCall);
        if (peer != nullptr) {
            std::vector<double> ratio;
            for (size_t i = 0; i < op->ns.size(); ++i)
                ratio.push_back(row.floor ? op->ns[i] / peer->ns[i] : peer->ns[i] / op->ns[i]);
            std::printf("\t%s\t%.1f\t%.3g\t%.2f", row.peerLabel, median(peer->ns), peer->allocationsPerCall,
                        median(ratio));
        }
        std::printf("\n");
    }
    return 0;
}
