// The floor every dvk_decode_frame timing is held against, one definition for every benchmark: the least a
// decode could do is copy the payload into a fresh heap block and write it as one JSON string into another.
#pragma once

#include <string>
#include <string_view>

#include "json/json_writer.h"

namespace bench {

inline std::string copyAndEscapeFloor(std::string_view payload) {
    const std::string copy(payload);
    std::string json;
    json.reserve(2 + 6 * copy.size()); // room for the worst case: exactly two blocks
    dorvik::appendJsonString(json, copy);
    return json;
}

} // namespace bench
