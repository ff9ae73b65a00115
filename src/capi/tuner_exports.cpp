// The set-up wizard's exports; the wizard itself is not built yet, so each answers as for a null handle.
#include "dorvik_c.h"

extern "C" {

DVK_API dvk_tuner* dvk_tuner_new(const char* /*transport*/, const char* /*deviceId*/) { return nullptr; }

DVK_API void dvk_tuner_free(dvk_tuner* /*t*/) {}

DVK_API char* dvk_tuner_state(dvk_tuner* /*t*/) { return nullptr; }

DVK_API void dvk_tuner_skip(dvk_tuner* /*t*/) {}

DVK_API int32_t dvk_tuner_feed(dvk_tuner* /*t*/, const char* /*text*/, int32_t /*len*/,
                               const char* /*deviceId*/, uint64_t /*tMs*/, const char* /*gapsMs*/) {
    return 0;
}

} // extern "C"
