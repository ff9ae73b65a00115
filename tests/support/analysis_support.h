// What the suites want of the analysis in one call: the library's paths, with the results as values.
#pragma once

#include <string>
#include <string_view>

#include "analysis/analysis_internal.h"
#include "analysis/gs_repair.h"
#include "analysis/scan_event.h"
#include "decoder/analyse_frame.h"
#include "json/json_writer.h"

namespace dorvik::test {

inline ScanEvent analysed(const ScannerProfile& profile, std::string_view text,
                          std::string_view deviceId = "", uint64_t tMs = 0) {
    ScanEvent event;
    analyseFrame(profile, text, event);
    event.raw = text;
    event.deviceId = deviceId;
    event.tMs = tMs;
    return event;
}

inline std::string toJson(const ScanEvent& event) {
    return jsonText([&event](auto& out) { writeScanEventJson(out, event, event.raw, event.deviceId); });
}

// A plain transcription of the escaping rules, byte by byte: the yardstick of the writer.
inline std::string referenceJsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const char* const named = byte == '"'    ? "\\\""
                                  : byte == '\\' ? "\\\\"
                                  : byte == '\b' ? "\\b"
                                  : byte == '\f' ? "\\f"
                                  : byte == '\n' ? "\\n"
                                  : byte == '\r' ? "\\r"
                                  : byte == '\t' ? "\\t"
                                                 : nullptr;
        if (named != nullptr) {
            out += named;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[byte >> 4];
            out += "0123456789abcdef"[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

struct Repair : GsRepairResult {
    std::string text;
};

inline Repair repaired(std::string_view text) {
    Repair r;
    r.text = "a block a repair reuses, never appends to"; // as the event's data arrives from the last frame
    static_cast<GsRepairResult&>(r) = repairGs(text, r.text);
    return r;
}

} // namespace dorvik::test
