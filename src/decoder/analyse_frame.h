// Frame normalisation followed by code analysis: the one road from a frame text to a ScanEvent.
#pragma once

#include <cstdint>
#include <string_view>

#include "analysis/scan_event.h"
#include "profile/scanner_profile.h"

namespace dorvik {

ScanEvent analyseFrame(const ScannerProfile& profile, std::string_view text, std::string_view deviceId,
                       uint64_t tMs);

// The same with raw and deviceId left empty, for a caller that writes them from bytes it still holds.
ScanEvent analyseFrameText(const ScannerProfile& profile, std::string_view text);
// The same into an event that is reset first, for a caller that reuses one event's blocks.
void analyseFrameTextInto(const ScannerProfile& profile, std::string_view text, ScanEvent& event);

} // namespace dorvik
