// What the host and the decoder know about one scanner. Ranges are not validated here; the decoder
// copes with any value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

enum class Transport : int32_t { None = 0, Hid = 1, Serial = 2, Sim = 3 };

Transport transportFromName(std::string_view name);
std::string_view transportName(Transport transport);

struct ScannerProfile {
    Transport transport = Transport::Hid;
    std::string deviceId;
    std::string deviceName;
    int32_t burstGapMs = 60;
    int32_t frameTimeoutMs = 140;
    int32_t minLength = 4;
    std::string prefix;
    std::string suffix;
    std::string terminator;
    bool aimId = false;
    std::string gsSubstitute;
    bool gsMissing = false;
    int32_t baud = 9600;
    int32_t dataBits = 8;
    char parity = 'N';
    int32_t stopBits = 1;
    bool rtsCts = false;
    bool exclusiveCapture = false;
    bool configured = false;

    bool operator==(const ScannerProfile&) const = default;
};

} // namespace dorvik
