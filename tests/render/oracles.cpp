#define ZX_USE_UTF8
#include "oracles.h"

#include <ZXing/ReadBarcode.h>
#include <dmtx.h>
#include <zint.h>

#include <cstring>

namespace oracle {

Decoded decode(const dorvik::ModuleMatrix& m) {
    const bool linear = m.height == 1;
    const int scale = linear ? 2 : 4;
    const int quiet = 10;
    const int width = (m.width + 2 * quiet) * scale;
    const int height = linear ? 60 : (m.height + 2 * quiet) * scale;
    std::vector<uint8_t> pixels(static_cast<size_t>(width * height), 255);
    for (int y = 0; y < height; ++y) {
        const int row = linear ? 0 : y / scale - quiet;
        if (row < 0 || row >= m.height) continue;
        for (int x = quiet * scale; x < (m.width + quiet) * scale; ++x)
            if (m.at(row, x / scale - quiet)) pixels[static_cast<size_t>(y * width + x)] = 0;
    }
    ZXing::DecodeHints hints;
    hints.setTryHarder(true);
    const ZXing::Result result =
        ZXing::ReadBarcode(ZXing::ImageView(pixels.data(), width, height, ZXing::ImageFormat::Lum), hints);
    const ZXing::ByteArray& bytes = result.bytes();
    return {result.isValid(), result.text(), std::string(bytes.begin(), bytes.end()),
            result.symbologyIdentifier()};
}

DmtxSymbol dmtxEncode(const std::string& payload) {
    DmtxEncode* enc = dmtxEncodeCreate();
    dmtxEncodeSetProp(enc, DmtxPropScheme, DmtxSchemeAscii);
    dmtxEncodeSetProp(enc, DmtxPropSizeRequest, DmtxSymbolSquareAuto);
    dmtxEncodeSetProp(enc, DmtxPropFnc1, 29);
    std::vector<unsigned char> bytes(payload.begin(), payload.end());
    DmtxSymbol symbol;
    if (dmtxEncodeDataMatrix(enc, static_cast<int>(bytes.size()), bytes.data()) == DmtxPass) {
        symbol.codewords.assign(enc->message->code, enc->message->code + enc->message->codeSize);
        const int sizeIdx = enc->region.sizeIdx;
        const int rows = dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, sizeIdx);
        const int cols = dmtxGetSymbolAttribute(DmtxSymAttribSymbolCols, sizeIdx);
        symbol.matrix = {cols, rows, std::vector<uint8_t>(static_cast<size_t>(rows * cols))};
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                symbol.matrix.modules[static_cast<size_t>((rows - 1 - r) * cols + c)] =
                    (dmtxSymbolModuleStatus(enc->message, sizeIdx, r, c) & DmtxModuleOnRGB) != 0;
    }
    dmtxEncodeDestroy(&enc);
    return symbol;
}

std::vector<uint8_t> zintModules(int symbology, const std::string& payload) {
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = symbology;
    std::vector<uint8_t> modules;
    if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(payload.data()),
                        static_cast<int>(payload.size())) < ZINT_ERROR) {
        for (int c = 0; c < symbol->width; ++c)
            modules.push_back((symbol->encoded_data[0][c / 8] >> (c % 8)) & 1);
    }
    ZBarcode_Delete(symbol);
    return modules;
}

} // namespace oracle
