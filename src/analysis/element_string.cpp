#include "analysis/element_string.h"

#include "analysis/check_digit.h"

namespace dorvik {

namespace {

constexpr PlainText kNoCryptoPart =
    "В коде нет проверочной части (91/92/93) — возможно, сканер обрезал хвост";
constexpr PlainText kGtinCheckFails = "Контрольная цифра GTIN не сходится — код прочитан с ошибкой";

} // namespace

// False at the first thing that is no AI or too short a fixed value.
static bool parseInto(std::string_view text, ElementPairs& pairs) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == kGs) {
            ++pos;
            continue;
        }
        const AiMatch match = findAi(text, pos);
        if (match.entry == nullptr) return false;
        const size_t valueStart = pos + match.length;
        size_t valueEnd = 0;
        if (match.entry->fixedLength > 0) {
            valueEnd = valueStart + static_cast<size_t>(match.entry->fixedLength);
            if (valueEnd > text.size()) return false;
        } else {
            valueEnd = text.find(kGs, valueStart);
            if (valueEnd == std::string_view::npos) valueEnd = text.size();
        }
        pairs.push_back({text.substr(pos, match.length), text.substr(valueStart, valueEnd - valueStart)});
        pos = valueEnd;
    }
    return true;
}

ElementPairs parseElementString(std::string_view text) {
    // One named result on every path, so that it is built in place rather than copied out.
    ElementPairs pairs;
    if (!parseInto(text, pairs)) pairs = ElementPairs();
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
        if (event.cryptoTail.empty()) event.warn(kNoCryptoPart);
    } else {
        if (event.kind == CodeKind::Unknown) event.kind = CodeKind::Gs1_128;
        if (!sawGtin) return;
    }
    if (!gtinCheckOk(event.gtin)) event.warn(kGtinCheckFails);
}

} // namespace dorvik
