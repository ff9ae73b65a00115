// What a host would otherwise pay: libzint for Code 128 and libdmtx for DataMatrix, on the same payloads.
#include <benchmark/benchmark.h>
#include <dmtx.h>
#include <zint.h>

#include "reference_payloads.h"

namespace {

void zintCode128(benchmark::State& state, const std::string& payload, bool gs1) {
    for (auto _ : state) {
        zint_symbol* symbol = ZBarcode_Create();
        symbol->symbology = gs1 ? BARCODE_GS1_128 : BARCODE_CODE128;
        symbol->input_mode = gs1 ? GS1_MODE | GS1PARENS_MODE : DATA_MODE;
        const std::string text = gs1 ? "(01)04607097291111(3103)000123" : payload;
        benchmark::DoNotOptimize(ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(text.data()),
                                                 static_cast<int>(text.size())));
        ZBarcode_Delete(symbol);
    }
}
BENCHMARK_CAPTURE(zintCode128, step1_gs1, bench::payload(1), true);

void dmtxDataMatrix(benchmark::State& state, const std::string& payload) {
    std::vector<unsigned char> bytes(payload.begin(), payload.end());
    for (auto _ : state) {
        DmtxEncode* enc = dmtxEncodeCreate();
        dmtxEncodeSetProp(enc, DmtxPropScheme, DmtxSchemeAscii);
        dmtxEncodeSetProp(enc, DmtxPropFnc1, 29);
        dmtxEncodeSetProp(enc, DmtxPropModuleSize, 1);
        dmtxEncodeSetProp(enc, DmtxPropMarginSize, 0);
        benchmark::DoNotOptimize(dmtxEncodeDataMatrix(enc, static_cast<int>(bytes.size()), bytes.data()));
        dmtxEncodeDestroy(&enc);
    }
}
BENCHMARK_CAPTURE(dmtxDataMatrix, step2, "\x1d" + bench::payload(2));
BENCHMARK_CAPTURE(dmtxDataMatrix, step3, "\x1d" + bench::payload(3));
BENCHMARK_CAPTURE(dmtxDataMatrix, step4, "\x1d" + bench::payload(4));
BENCHMARK_CAPTURE(dmtxDataMatrix, codewords_174, bench::kLargestDataMatrix);

} // namespace
