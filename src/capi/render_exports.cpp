#include "capi/boundary.h"
#include "dorvik_c.h"
#include "render/svg.h"

using namespace dorvik;

extern "C" {

DVK_API char* DVK_CALL dvk_barcode_svg(const char* kind, const char* data, int32_t dataLen, int32_t gs1,
                                       int32_t scale, int32_t quiet) {
    return guard<char*>(nullptr, [&] {
        return barcodeSvgBlock(textArg(kind), textArg(data, dataLen), gs1 != 0, scale, quiet);
    });
}

} // extern "C"
