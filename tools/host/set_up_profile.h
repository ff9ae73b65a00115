// How a host frames input while a scanner is being set up.
#pragma once

#include <cstdint>

namespace dvkhost {

// Nothing is known about the scanner yet, and its terminator is what the tuner is to learn: frames close by
// time alone (a NUL terminator never comes from keys), and the pause that splits them is long enough for a
// slow scanner.
inline constexpr uint64_t kSetUpBurstGapMs = 250;
inline constexpr const char* kSetUpProfile =
    "{\"burstGapMs\": 250, \"frameTimeoutMs\": 500, \"terminator\": \"\\u0000\"}";

} // namespace dvkhost
