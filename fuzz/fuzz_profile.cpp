// A profile that was accepted round-trips: written, read back, written again, the same text.
#include <string>

#include "dorvik_c.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    dvk_decoder* d = dvk_decoder_new();
    if (dvk_decoder_set_profile(d, text.c_str()) == 1) {
        char* first = dvk_decoder_profile(d);
        fuzzCheck(first != nullptr, "profile text");
        fuzzCheck(dvk_decoder_set_profile(d, first) == 1, "written profile is read back");
        char* second = dvk_decoder_profile(d);
        fuzzCheck(second != nullptr && std::string(first) == second, "profile round trip");
        dvk_free(first);
        dvk_free(second);
    } else {
        char* unchanged = dvk_decoder_profile(d);
        fuzzCheck(unchanged != nullptr &&
                      std::string(unchanged).find("\"minLength\": 4,") != std::string::npos,
                  "a rejected profile leaves the defaults");
        dvk_free(unchanged);
    }
    dvk_decoder_free(d);
    return 0;
}
