// Frame normalisation followed by code analysis: the one road from a frame text to a ScanEvent.
#pragma once

#include <cstdint>
#include <string_view>

#include "analysis/scan_event.h"
#include "profile/scanner_profile.h"

namespace dorvik {

// Into an event that is reset first, so that a caller reusing one event reuses its blocks; raw, deviceId
// and tMs are left for the caller, who may write them from bytes it still holds.
void analyseFrame(const ScannerProfile& profile, std::string_view text, ScanEvent& event);

} // namespace dorvik
