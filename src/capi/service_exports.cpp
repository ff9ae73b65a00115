#include <cstdlib>
#include <optional>

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
        // Without a profile the defaults apply, and none is built per call.
        static const ScannerProfile kDefaults;
        std::optional<ScannerProfile> parsed;
        const std::string_view profileText = textArg(profileJson);
        if (!profileText.empty() && !parseProfile(profileText, parsed.emplace())) parsed.reset();
        const ScannerProfile& profile = parsed ? *parsed : kDefaults;
        const std::string_view frame = textArg(text, len);
        ScanEvent event = analyseFrameText(profile, frame);
        // Written once on the stack, raw and deviceId straight from the caller's bytes, then copied into a
        // block of its exact size; only long frames pay for copies and the measuring walk instead.
        char room[8192];
        const size_t size = putScanEventJson(event, frame, textArg(deviceId), room, sizeof room);
        if (size > 0) return toCText({room, size});
        event.raw = frame;
        event.deviceId = textArg(deviceId);
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
