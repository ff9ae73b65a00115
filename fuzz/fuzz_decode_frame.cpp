// dvk_decode_frame with the profile and the text both from the input.
#include <cstring>
#include <string>

#include "dorvik_c.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t mode = in.byte();
    std::string profile;
    if (mode & 1) {
        profile = in.slice(200); // any JSON-ish text
    } else {
        // A valid profile whose settings come from the input, so that repair and normalisation run.
        profile = std::string("{\"gsMissing\":") + ((mode & 2) ? "true" : "false") +
                  ",\"terminator\":" + ((mode & 4) ? "\"\\r\\n\"" : "\"\"") +
                  ",\"prefix\":" + ((mode & 8) ? "\"]\"" : "\"\"") +
                  ",\"suffix\":" + ((mode & 16) ? "\"9\"" : "\"\"") +
                  ",\"gsSubstitute\":" + ((mode & 32) ? "\"~\"" : "\"\"") + "}";
    }
    const std::string text = in.rest();
    char* json = dvk_decode_frame(profile.c_str(), text.data(), static_cast<int32_t>(text.size()), "dev");
    fuzzCheck(json != nullptr, "decode_frame returned null");
    const size_t n = std::strlen(json);
    fuzzCheck(std::strncmp(json, "{\"raw\":\"", 8) == 0 && n >= 2 && std::strcmp(json + n - 2, "]}") == 0,
              "scan event JSON shape");
    dvk_free(json);
    return 0;
}
