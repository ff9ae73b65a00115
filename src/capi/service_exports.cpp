#include <cstdlib>

#include "analysis/scan_event.h"
#include "capi/boundary.h"
#include "decoder/analyse_frame.h"
#include "decoder/key_for_char.h"
#include "dorvik_c.h"
#include "profile/profile_json.h"

using namespace dorvik;

extern "C" {

DVK_API char* dvk_decode_frame(const char* profileJson, const char* text, int32_t len, const char* deviceId) {
    return guard<char*>(nullptr, [&] {
        ScannerProfile profile;
        const std::string_view profileText = textArg(profileJson);
        if (!profileText.empty()) {
            ScannerProfile scratch;
            if (parseProfile(profileText, scratch)) profile = std::move(scratch);
        }
        const ScanEvent event = analyseFrame(profile, textArg(text, len), textArg(deviceId), 0);
        return toCText(scanEventToJson(event));
    });
}

DVK_API char* dvk_key_for_char(char c) {
    return guard<char*>(nullptr,
                        [&] { return toCText(keyForCharToJson(keyForChar(static_cast<unsigned char>(c)))); });
}

DVK_API const char* dvk_version(void) { return DVK_VERSION_STRING; }

DVK_API void dvk_free(void* p) { std::free(p); }

} // extern "C"
