#include "profile/profile_json.h"

#include <cmath>
#include <limits>

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

std::string profileToJson(const ScannerProfile& p) {
    std::string out;
    out.reserve(512);
    out += "{\n";
    appendPrettyString(out, "transport", transportName(p.transport), false);
    appendPrettyString(out, "deviceId", p.deviceId, false);
    appendPrettyString(out, "deviceName", p.deviceName, false);
    appendPrettyString(out, "prefix", p.prefix, false);
    appendPrettyString(out, "suffix", p.suffix, false);
    appendPrettyString(out, "terminator", p.terminator, false);
    appendPrettyString(out, "gsSubstitute", p.gsSubstitute, false);
    appendPrettyBool(out, "gsMissing", p.gsMissing, false);
    appendPrettyBool(out, "aimId", p.aimId, false);
    appendPrettyInt(out, "burstGapMs", p.burstGapMs, false);
    appendPrettyInt(out, "frameTimeoutMs", p.frameTimeoutMs, false);
    appendPrettyInt(out, "minLength", p.minLength, false);
    appendPrettyInt(out, "baud", p.baud, false);
    appendPrettyInt(out, "dataBits", p.dataBits, false);
    appendPrettyString(out, "parity", std::string_view(&p.parity, 1), false);
    appendPrettyInt(out, "stopBits", p.stopBits, false);
    appendPrettyBool(out, "rtsCts", p.rtsCts, false);
    appendPrettyBool(out, "configured", p.configured, false);
    appendPrettyBool(out, "exclusiveCapture", p.exclusiveCapture, true);
    out += '}';
    return out;
}

} // namespace dorvik
