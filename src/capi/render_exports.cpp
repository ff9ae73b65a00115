// Barcode pictures; the encoders are not built yet, so every payload counts as unencodable.
#include "dorvik_c.h"

extern "C" {

DVK_API char* dvk_barcode_svg(const char* /*kind*/, const char* /*data*/, int32_t /*dataLen*/,
                              int32_t /*gs1*/, int32_t /*scale*/, int32_t /*quiet*/) {
    return nullptr;
}

} // extern "C"
