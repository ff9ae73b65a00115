#include "analysis/element_string.h"

#include <array>

#include "analysis/check_digit.h"

namespace dorvik {

namespace {

constexpr std::array<AiSpec, 13> kAiTable{{
    {"01", 14, 14},
    {"11", 6, 6},
    {"13", 6, 6},
    {"15", 6, 6},
    {"17", 6, 6},
    {"20", 2, 2},
    {"8005", 6, 6},
    {"7003", 10, 10},
    {"10", 0, 20},
    {"21", 0, 20},
    {"91", 0, 90},
    {"92", 0, 90},
    {"93", 0, 90},
}};

constexpr std::string_view kNoCryptoPart =
    "В коде нет проверочной части (91/92/93) — возможно, сканер обрезал хвост";
constexpr std::string_view kGtinCheckFails = "Контрольная цифра GTIN не сходится — код прочитан с ошибкой";

} // namespace

std::span<const AiSpec> aiTable() { return kAiTable; }

AiMatch findAi(std::string_view text, size_t pos) {
    if (pos > text.size()) return {};
    const size_t remaining = text.size() - pos;
    for (const size_t width : {size_t{4}, size_t{2}}) {
        if (remaining < width) continue;
        const std::string_view candidate = text.substr(pos, width);
        for (const AiSpec& spec : kAiTable) {
            if (spec.ai == candidate) return {&spec, width};
        }
    }
    return {};
}

std::vector<ElementPair> parseElementString(std::string_view text) {
    std::vector<ElementPair> pairs;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == kGs) {
            ++pos;
            continue;
        }
        const AiMatch match = findAi(text, pos);
        if (match.spec == nullptr) return {};
        const size_t valueStart = pos + match.length;
        size_t valueEnd = 0;
        if (match.spec->fixedLength > 0) {
            valueEnd = valueStart + static_cast<size_t>(match.spec->fixedLength);
            if (valueEnd > text.size()) return {};
        } else {
            valueEnd = text.find(kGs, valueStart);
            if (valueEnd == std::string_view::npos) valueEnd = text.size();
        }
        pairs.push_back({match.spec->ai, text.substr(valueStart, valueEnd - valueStart)});
        pos = valueEnd;
    }
    return pairs;
}

void applyElementString(ScanEvent& event, std::span<const ElementPair> pairs) {
    bool sawGtin = false;
    bool sawSerial = false;
    for (const ElementPair& pair : pairs) {
        if (pair.ai == "01") {
            event.gtin = pair.value;
            sawGtin = true;
        } else if (pair.ai == "21") {
            event.serial = pair.value;
            sawSerial = true;
        } else if (pair.ai == "8005") {
            event.mrc = pair.value;
        } else if (pair.ai == "91" || pair.ai == "92" || pair.ai == "93") {
            if (!event.cryptoTail.empty()) event.cryptoTail += '|';
            event.cryptoTail += pair.value;
        }
    }
    if (sawGtin && sawSerial) {
        event.kind = CodeKind::DataMatrix;
        event.marked = true;
        if (event.cryptoTail.empty()) event.warn(std::string(kNoCryptoPart));
    } else {
        if (event.kind == CodeKind::Unknown) event.kind = CodeKind::Gs1_128;
        if (!sawGtin) return;
    }
    if (!gtinCheckOk(event.gtin)) event.warn(std::string(kGtinCheckFails));
}

} // namespace dorvik
