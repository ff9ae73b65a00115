#include <cstdlib>
#include <optional>

#include "analysis/scan_event.h"
#include "capi/boundary.h"
#include "decoder/analyse_frame.h"
#include "decoder/key_for_char.h"
#include "dorvik_c.h"
#include "profile/profile_json.h"
#include "json/json_writer.h"

using namespace dorvik;

namespace {

constexpr size_t kKeptBlockBytes = 4096;

// What dvk_decode_frame keeps per thread between calls: the event, whose strings keep their blocks, so a
// steady stream of frames allocates little beyond the result, and the last profile text with its parse,
// since a till passes the same profile with every frame.
struct FrameScratch {
    ScanEvent event;
    std::string profileText;
    ScannerProfile profile;
    bool profileOk = false;

    const ScannerProfile& profileFor(std::string_view text, std::optional<ScannerProfile>& uncached) {
        static const ScannerProfile kDefaults; // without a profile none is built per call
        if (text.empty()) return kDefaults;
        if (text.size() > kKeptBlockBytes) {
            if (!parseProfile(text, uncached.emplace())) return kDefaults;
            return *uncached;
        }
        if (text != profileText) {
            profileText.clear(); // a parse cut short by an exception is not taken for a cached one
            profile = ScannerProfile{};
            profileOk = parseProfile(text, profile);
            profileText = text;
        }
        return profileOk ? profile : kDefaults;
    }

    // A long frame's blocks are let go once its result is written.
    void releaseIfLong() {
        if (event.raw.capacity() + event.data.capacity() + event.cryptoTail.capacity() > kKeptBlockBytes)
            event = ScanEvent{};
    }
};

FrameScratch& threadScratch() {
    thread_local FrameScratch scratch;
    return scratch;
}

struct ReleaseAfterCall {
    FrameScratch& scratch;
    ~ReleaseAfterCall() { scratch.releaseIfLong(); }
};

} // namespace

extern "C" {

DVK_API char* DVK_CALL dvk_decode_frame(const char* profileJson, const char* text, int32_t len,
                                        const char* deviceId) {
    return guard<char*>(nullptr, [&] {
        FrameScratch& scratch = threadScratch();
        std::optional<ScannerProfile> uncached;
        const ScannerProfile& profile = scratch.profileFor(textArg(profileJson), uncached);
        const std::string_view frame = textArg(text, len);
        const ReleaseAfterCall release{scratch}; // also when an exception leaves the call
        ScanEvent& event = scratch.event;
        analyseFrame(profile, frame, event);
        // Written on the stack, raw and deviceId straight from the caller's bytes, then copied into a block
        // of its exact size; a long frame is written into a heap block of its room instead.
        const auto walk = [&](auto& out) { writeScanEventJson(out, event, frame, textArg(deviceId)); };
        char buffer[kJsonStackRoom];
        const size_t size = putJson(walk, buffer, sizeof buffer);
        if (size > 0) return toCText({buffer, size});
        std::string json(jsonRoom(walk), '\0');
        json.resize(putJson(walk, json.data(), json.size()));
        return toCText(json);
    });
}

DVK_API char* DVK_CALL dvk_key_for_char(char c) {
    return guard<char*>(nullptr,
                        [&] { return toCText(keyForCharToJson(keyForChar(static_cast<unsigned char>(c)))); });
}

DVK_API const char* DVK_CALL dvk_version(void) { return DVK_VERSION_STRING; }

DVK_API void DVK_CALL dvk_free(void* p) { std::free(p); }

} // extern "C"
