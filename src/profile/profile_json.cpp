#include "profile/profile_json.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "json/json_reader.h"
#include "json/json_writer.h"

namespace dorvik {

int32_t clampToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

namespace {

void applyMember(const JsonMember& member, ScannerProfile& out) {
    const std::string_view key = member.key;
    if (member.kind == JsonKind::String) {
        const std::string& value = member.string;
        if (key == "transport")
            out.transport = transportFromName(value);
        else if (key == "deviceId")
            out.deviceId = value;
        else if (key == "deviceName")
            out.deviceName = value;
        else if (key == "prefix")
            out.prefix = value;
        else if (key == "suffix")
            out.suffix = value;
        else if (key == "terminator")
            out.terminator = value;
        else if (key == "gsSubstitute")
            out.gsSubstitute = value;
        else if (key == "parity" && (value == "N" || value == "E" || value == "O"))
            out.parity = value[0];
    } else if (member.kind == JsonKind::Bool) {
        const bool value = member.boolean;
        if (key == "gsMissing")
            out.gsMissing = value;
        else if (key == "aimId")
            out.aimId = value;
        else if (key == "configured")
            out.configured = value;
        else if (key == "exclusiveCapture")
            out.exclusiveCapture = value;
        else if (key == "rtsCts")
            out.rtsCts = value;
    } else if (member.kind == JsonKind::Number) {
        const int32_t value = clampToInt32(member.number);
        if (key == "burstGapMs")
            out.burstGapMs = value;
        else if (key == "frameTimeoutMs")
            out.frameTimeoutMs = value;
        else if (key == "minLength")
            out.minLength = value;
        else if (key == "baud")
            out.baud = value;
        else if (key == "dataBits")
            out.dataBits = value;
        else if (key == "stopBits")
            out.stopBits = value;
    }
}

} // namespace

bool parseProfile(std::string_view text, ScannerProfile& out) {
    return walkJsonObject(text, [&out](const JsonMember& member) { applyMember(member, out); });
}

namespace {

// One entry of the indented style: four spaces, "key": value, then ",\n" or "\n" after the last.
template <typename Out, typename Value>
void entry(Out& out, std::string_view key, Value value, bool last = false) {
    out.text("    \"");
    out.text(key);
    out.text("\": ");
    if constexpr (std::is_same_v<Value, bool>)
        out.boolean(value);
    else if constexpr (std::is_same_v<Value, int32_t>)
        out.number(value);
    else
        out.string(value);
    out.text(last ? "\n" : ",\n");
}

template <typename Out> void walk(Out& out, const ScannerProfile& p) {
    out.text("{\n");
    entry(out, "transport", transportName(p.transport));
    entry(out, "deviceId", std::string_view(p.deviceId));
    entry(out, "deviceName", std::string_view(p.deviceName));
    entry(out, "prefix", std::string_view(p.prefix));
    entry(out, "suffix", std::string_view(p.suffix));
    entry(out, "terminator", std::string_view(p.terminator));
    entry(out, "gsSubstitute", std::string_view(p.gsSubstitute));
    entry(out, "gsMissing", p.gsMissing);
    entry(out, "aimId", p.aimId);
    entry(out, "burstGapMs", p.burstGapMs);
    entry(out, "frameTimeoutMs", p.frameTimeoutMs);
    entry(out, "minLength", p.minLength);
    entry(out, "baud", p.baud);
    entry(out, "dataBits", p.dataBits);
    entry(out, "parity", std::string_view(&p.parity, 1));
    entry(out, "stopBits", p.stopBits);
    entry(out, "rtsCts", p.rtsCts);
    entry(out, "configured", p.configured);
    entry(out, "exclusiveCapture", p.exclusiveCapture, true);
    out.text("}");
}

} // namespace

void writeProfileJson(JsonBound& out, const ScannerProfile& profile) { walk(out, profile); }
void writeProfileJson(JsonPut& out, const ScannerProfile& profile) { walk(out, profile); }

std::string profileToJson(const ScannerProfile& profile) {
    return jsonText([&profile](auto& out) { walk(out, profile); });
}

} // namespace dorvik
