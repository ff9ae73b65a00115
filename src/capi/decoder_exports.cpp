#include "capi/boundary.h"
#include "capi/handles.h"
#include "dorvik_c.h"
#include "profile/profile_json.h"

using namespace dorvik;

extern "C" {

DVK_API dvk_decoder* DVK_CALL dvk_decoder_new(void) {
    return guard<dvk_decoder*>(nullptr, [] { return new dvk_decoder(); });
}

DVK_API void DVK_CALL dvk_decoder_free(dvk_decoder* h) { delete h; }

DVK_API int32_t DVK_CALL dvk_decoder_set_profile(dvk_decoder* h, const char* json) {
    if (h == nullptr) return 0;
    return guard<int32_t>(0, [&] {
        ScannerProfile scratch;
        if (!parseProfile(textArg(json), scratch)) return 0;
        h->decoder.setProfile(scratch);
        return 1;
    });
}

DVK_API char* DVK_CALL dvk_decoder_profile(dvk_decoder* h) {
    if (h == nullptr) return nullptr;
    return guard<char*>(nullptr, [&] { return toCText(profileToJson(h->decoder.profile())); });
}

DVK_API void DVK_CALL dvk_decoder_bind(dvk_decoder* h, const char* deviceId) {
    if (h == nullptr) return;
    guardVoid([&] { h->decoder.bind(textArg(deviceId)); });
}

DVK_API void DVK_CALL dvk_decoder_feed_key(dvk_decoder* h, uint16_t scanCode, uint16_t auxCode,
                                           int32_t auxFlag1, int32_t shift, int32_t ctrl, int32_t alt,
                                           int32_t capsLock, int32_t auxFlag2, uint64_t tMs,
                                           const char* deviceId) {
    if (h == nullptr) return;
    guardVoid([&] {
        const KeyEvent event{scanCode, auxCode,       auxFlag1 != 0, shift != 0, ctrl != 0,
                             alt != 0, capsLock != 0, auxFlag2 != 0, tMs,        textArg(deviceId)};
        h->decoder.feedKey(event);
    });
}

DVK_API void DVK_CALL dvk_decoder_feed_bytes(dvk_decoder* h, const char* bytes, int32_t len,
                                             const char* deviceId, uint64_t tMs) {
    if (h == nullptr) return;
    guardVoid([&] { h->decoder.feedBytes(textArg(bytes, len), textArg(deviceId), tMs); });
}

DVK_API void DVK_CALL dvk_decoder_tick(dvk_decoder* h, uint64_t nowMs) {
    if (h == nullptr) return;
    guardVoid([&] { h->decoder.tick(nowMs); });
}

DVK_API char* DVK_CALL dvk_decoder_poll(dvk_decoder* h) {
    if (h == nullptr) return nullptr;
    return guard<char*>(nullptr, [&] {
        char* text = toCText(h->queues.toJson());
        // Emptied only once the text exists: a failed poll loses nothing.
        if (text != nullptr) h->queues.clear();
        return text;
    });
}

DVK_API void DVK_CALL dvk_decoder_reset(dvk_decoder* h) {
    if (h == nullptr) return;
    guardVoid([&] {
        h->decoder.reset();
        h->queues.clear();
    });
}

} // extern "C"
