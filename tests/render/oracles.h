// Independent readers and encoders the symbols are checked against: ZXing-C++ decodes pictures, libdmtx and
// libzint encode the same payloads. Test-only; the library never links them.
#pragma once

#include <string>
#include <vector>

#include "render/module_matrix.h"

namespace oracle {

struct Decoded {
    bool ok = false;
    std::string text;                // as ZXing interprets it (UTF-8)
    std::string bytes;               // the raw content bytes
    std::string symbologyIdentifier; // "]d2" for a GS1 DataMatrix, ...
};

// Rasterises the matrix (quiet zone included) and reads it with ZXing-C++.
Decoded decode(const dorvik::ModuleMatrix& matrix);

// libdmtx, ASCII encodation, smallest square size, GS as FNC1: all codewords and the modules (row 0 on top).
struct DmtxSymbol {
    std::vector<unsigned char> codewords;
    dorvik::ModuleMatrix matrix;
};
DmtxSymbol dmtxEncode(const std::string& payload);

// libzint's modules for a symbology (BARCODE_EANX, BARCODE_CODE128, ...), first row.
std::vector<uint8_t> zintModules(int symbology, const std::string& payload);

} // namespace oracle
