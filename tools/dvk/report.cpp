#include "report.h"

#include <cstdio>

#include "cli.h"
#include "json_reader.h"
#include "texts.h"

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
    // The library's texts are long sentences: wrapped under the title, never through a word.
    const std::string mark = dvkhost::text(f.level == "fail"   ? "finding.fail"
                                           : f.level == "warn" ? "finding.warn"
                                                               : "finding.ok");
    say("  " + mark + " " + f.title, 9);
    if (!f.detail.empty()) say("         " + f.detail, 9);
    if (!f.advice.empty()) say("         → " + f.advice, 11);
}

namespace {

// A profile value as shown: strings with their control bytes made visible, numbers and words as written.
std::string field(const std::string& json, const std::string& key) {
    const std::string bare = dvkhost::jsonScalarField(json, key);
    return bare.empty() ? visible(dvkhost::jsonStringField(json, key)) : bare;
}

} // namespace

void printProfileLine(const std::string& p) {
    const std::string gs = field(p, "gsMissing") == "true" ? dvkhost::text("profile.gsDropped")
                           : !field(p, "gsSubstitute").empty()
                               ? dvkhost::text("profile.gsAs", {field(p, "gsSubstitute")})
                               : dvkhost::text("profile.gsSent");
    say(dvkhost::text("profile.line", {field(p, "terminator"), field(p, "prefix"), field(p, "suffix"),
                                       dvkhost::text(field(p, "aimId") == "true" ? "yes" : "no"), gs,
                                       field(p, "burstGapMs"), field(p, "frameTimeoutMs")}),
        4);
}

void printScan(const std::string& scan, const std::string& indent) {
    auto field = [&](const std::string& key) { return visible(dvkhost::jsonStringField(scan, key)); };
    std::string line = indent + dvkhost::jsonStringField(scan, "kindTitle") + "  " + field("data");
    if (!dvkhost::jsonStringField(scan, "gtin").empty())
        line += "  " + dvkhost::text("scan.gtin", {field("gtin"), field("serial")});
    if (!dvkhost::jsonStringField(scan, "itemCode").empty())
        line += "  " +
                dvkhost::text("scan.weight", {field("itemCode"), dvkhost::jsonScalarField(scan, "weightKg")});
    if (dvkhost::jsonScalarField(scan, "gsRepaired") == "true")
        line += "  " + dvkhost::text("scan.gsRestored");
    for (const std::string& warning : dvkhost::jsonStringArrayField(scan, "warnings"))
        line += "  ! " + warning;
    printLine(line);
}
