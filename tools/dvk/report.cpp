#include "report.h"

#include <cstdio>

#include "json_reader.h"

std::string visible(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20) {
            out += c;
        } else if (byte == 0x1D) {
            out += "⟨GS⟩";
        } else if (byte == 0x0D) {
            out += "⟨CR⟩";
        } else if (byte == 0x0A) {
            out += "⟨LF⟩";
        } else if (byte == 0x09) {
            out += "⟨TAB⟩";
        } else {
            out += "⟨" + std::to_string(byte) + "⟩";
        }
    }
    return out;
}

void printFinding(const dvkhost::FindingView& f) {
    const char* mark = f.level == "fail" ? "[FAIL]" : f.level == "warn" ? "[warn]" : "[ ok ]";
    std::printf("  %s %s\n", mark, f.title.c_str());
    if (!f.detail.empty()) std::printf("         %s\n", f.detail.c_str());
    if (!f.advice.empty()) std::printf("         → %s\n", f.advice.c_str());
}

namespace {

// A profile value as shown: strings with their control bytes made visible, numbers and words as written.
std::string field(const std::string& json, const std::string& key) {
    const std::string bare = dvkhost::jsonScalarField(json, key);
    return bare.empty() ? visible(dvkhost::jsonStringField(json, key)) : bare;
}

} // namespace

void printProfileLine(const std::string& p) {
    std::printf(
        "  terminator «%s», prefix «%s», suffix «%s», AIM identifiers: %s, GS %s, burst gap %s ms, time-out %s ms\n",
        field(p, "terminator").c_str(), field(p, "prefix").c_str(), field(p, "suffix").c_str(),
        field(p, "aimId") == "true" ? "yes" : "no",
        field(p, "gsMissing") == "true"     ? "dropped (repaired by the till)"
        : !field(p, "gsSubstitute").empty() ? ("sent as «" + field(p, "gsSubstitute") + "»").c_str()
                                            : "sent",
        field(p, "burstGapMs").c_str(), field(p, "frameTimeoutMs").c_str());
}

void printScan(const std::string& scan) {
    const std::string data = dvkhost::jsonStringField(scan, "data");
    std::printf("  %-24s %s\n", dvkhost::jsonStringField(scan, "kindTitle").c_str(), visible(data).c_str());
    const std::string gtin = dvkhost::jsonStringField(scan, "gtin");
    if (!gtin.empty()) {
        std::printf("    gtin %s, serial %s, crypto %s%s\n", gtin.c_str(),
                    visible(dvkhost::jsonStringField(scan, "serial")).c_str(),
                    visible(dvkhost::jsonStringField(scan, "cryptoTail")).c_str(),
                    dvkhost::jsonScalarField(scan, "gsRepaired") == "true" ? ", GS restored" : "");
    }
    const std::string item = dvkhost::jsonStringField(scan, "itemCode");
    if (!item.empty()) {
        std::printf("    item %s, weight %s kg\n", item.c_str(),
                    dvkhost::jsonScalarField(scan, "weightKg").c_str());
    }
    for (const std::string& warning : dvkhost::jsonStringArrayField(scan, "warnings"))
        std::printf("    ! %s\n", warning.c_str());
}
