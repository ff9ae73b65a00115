// What a scanned payload is: retail barcode, weight barcode, loyalty card, excise stamp, GS1 element
// string or marking code. Works on the text and the AIM identifier only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "analysis/gs_repair.h"
#include "analysis/scan_event.h"

namespace dorvik {

struct ExciseStampInfo {
    int32_t format = 0; // 0 none, 1 short stamp (68), 2 long stamp (150)
    bool truncated = false;
};

ExciseStampInfo exciseStampInfo(std::string_view text);

// Reads `data` and `aimId`; fills the kind, the weight and GS1 fields and the warnings.
void classifyCode(ScanEvent& event);
// The same for a `data` that the GS repair has just cut into these fields, without parsing it again.
void classifyRepairedCode(ScanEvent& event, std::span<const ParseField> cut);

} // namespace dorvik
