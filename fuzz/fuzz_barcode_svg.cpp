// dvk_barcode_svg with any kind, payload, flags, scale and quiet zone. Every DataMatrix it draws must read
// back with ZXing-C++ to its payload: an oracle, not only crash detection.
#include <cstring>
#include <string>
#include <vector>

#ifndef DVK_FUZZ_NO_ORACLE
#include "../tests/render/oracles.h"
#endif
#include "dorvik_c.h"
#include "fuzz_input.h"
#include "render/datamatrix.h"

namespace {

const char* const kKinds[] = {"ean13", "code128", "datamatrix", "", "EAN13"};
#ifndef DVK_FUZZ_NO_ORACLE
constexpr char kGs = '\x1d';

// What ZXing reports as content: an FNC1 in the first or second codeword is a flag (GS1, AIM), not a GS.
std::string expectedContent(const std::string& payload, bool gs1) {
    std::string expected;
    size_t codeword = gs1 ? 1 : 0;
    for (size_t i = 0; i < payload.size(); ++i) {
        const auto byte = static_cast<unsigned char>(payload[i]);
        if (payload[i] == kGs) {
            if (codeword > 1) expected += kGs;
            ++codeword;
            continue;
        }
        const bool pair = byte >= '0' && byte <= '9' && i + 1 < payload.size() && payload[i + 1] >= '0' &&
                          payload[i + 1] <= '9';
        expected += payload[i];
        if (pair) expected += payload[++i];
        codeword += byte >= 128 ? 2 : 1;
    }
    return expected;
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t flags = in.byte();
    const char* kind = kKinds[flags % 5];
    const bool gs1 = flags & 8;
    const bool huge = flags & 16;
    const int32_t scale = huge ? static_cast<int32_t>(in.u64()) : in.byte() % 8 - 1;
    const int32_t quiet = huge ? static_cast<int32_t>(in.u64()) : in.byte() % 8 - 2;
    const std::string payload = in.rest();
    char* svg =
        dvk_barcode_svg(kind, payload.data(), static_cast<int32_t>(payload.size()), gs1, scale, quiet);
    if (svg == nullptr) return 0;
    fuzzCheck(std::strncmp(svg, "<svg xmlns=", 11) == 0, "SVG text");
    dvk_free(svg);
    if (std::strcmp(kind, "ean13") == 0 || std::strcmp(kind, "code128") == 0) return 0;
#ifndef DVK_FUZZ_NO_ORACLE
    const oracle::Decoded decoded = oracle::decode(dorvik::encodeDataMatrix(payload, gs1));
    fuzzCheck(decoded.ok, "the DataMatrix is read by ZXing");
    fuzzCheck(decoded.bytes == expectedContent(payload, gs1), "ZXing reads the payload back");
#endif
    return 0;
}
