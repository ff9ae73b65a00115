#include "analysis/classify.h"

#include <algorithm>

#include "analysis/check_digit.h"
#include "analysis/element_string.h"
#include "json/json_writer.h"

namespace dorvik {

namespace {

constexpr PlainText kCheckDigitMismatch =
    "Длина как у товарного штрихкода, но контрольная цифра не сходится — проверьте префикс и суффикс сканера";

bool isStampByte(char c) { return isDigit(c) || (c >= 'A' && c <= 'Z'); }

CodeKind aimHint(const ScanEvent& event) {
    if (event.aimId.size() != 3) return CodeKind::Unknown;
    switch (event.aimId[1]) {
    case 'd': return CodeKind::DataMatrix;
    case 'Q': return CodeKind::Qr;
    case 'C': return CodeKind::Code128;
    case 'E': return event.data.size() == 8 ? CodeKind::Ean8 : CodeKind::Ean13;
    case 'A': return CodeKind::Code39;
    case 'I': return CodeKind::Itf14;
    default: return CodeKind::Unknown;
    }
}

void warnTruncatedStamp(ScanEvent& event, const ExciseStampInfo& stamp) {
    std::string text = "Акцизная марка пришла обрезанной (";
    appendUint(text, event.data.size());
    text += " симв. вместо ";
    text += stamp.format == 1 ? "68" : "150";
    text += ") — увеличьте максимальную длину кода в настройках сканера";
    event.warn(text);
}

// True when a retail kind was decided and classification stops.
bool classifyRetail(ScanEvent& event) {
    const std::string_view data = event.data;
    const size_t n = data.size();
    if (!gtinCheckOk(data)) {
        if (n == 13 || n == 14) event.warn(kCheckDigitMismatch);
        return false;
    }
    switch (n) {
    case 13:
        if (data[0] == '2') {
            event.kind = CodeKind::Weight;
            event.itemCode = data.substr(2, 5);
            int grams = 0;
            for (const char c : data.substr(7, 5))
                grams = grams * 10 + (c - '0');
            event.weightKg = grams / 1000.0;
        } else {
            event.kind = CodeKind::Ean13;
        }
        return true;
    case 8: event.kind = CodeKind::Ean8; return true;
    case 12: event.kind = CodeKind::UpcA; return true;
    default: event.kind = CodeKind::Itf14; return true;
    }
}

// The code on a tobacco pack: GTIN (14 digits), serial (7), price code (4) and check code (4), without AIs
// or separators. Twenty-nine digits stay a loyalty card number, as they were before this code was known.
bool isTobaccoPackCode(std::string_view data) {
    return data.size() == 29 && gtinCheckOk(data.substr(0, 14)) &&
           std::all_of(data.begin() + 14, data.end(), [](char c) { return c >= '!' && c <= '~'; }) &&
           !isAllDigits(data.substr(14));
}

void applyTobaccoPackCode(ScanEvent& event) {
    const std::string_view data = event.data;
    event.kind = CodeKind::DataMatrix;
    event.marked = true;
    event.gtin = data.substr(0, 14);
    event.serial = data.substr(14, 7);
    // The price code is no AI 8005 value: it stays in the data only.
    event.cryptoTail = data.substr(25, 4);
}

} // namespace

ExciseStampInfo exciseStampInfo(std::string_view text) {
    // The length first: most codes are ruled out without reading them.
    const size_t n = text.size();
    ExciseStampInfo info;
    if (n == 68) info = {1, false};
    if (n == 150) info = {2, false};
    if (n >= 60 && n <= 67) info = {1, true};
    if (n >= 120 && n <= 149) info = {2, true};
    if (info.format == 0 || !std::all_of(text.begin(), text.end(), isStampByte)) return {};
    return info;
}

void classifyCode(ScanEvent& event) {
    event.kind = CodeKind::Unknown;
    const std::string_view data = event.data;
    if (data.empty()) return;
    event.kind = aimHint(event);

    const ExciseStampInfo stamp = exciseStampInfo(data);
    if (stamp.format != 0) {
        event.kind = CodeKind::Excise;
        if (stamp.truncated) warnTruncatedStamp(event, stamp);
        return;
    }

    if (data.find(kGs) != std::string_view::npos || (data.size() >= 16 && data.starts_with("01"))) {
        const ElementPairs pairs = parseElementString(data);
        if (!pairs.empty()) {
            applyElementString(event, pairs.view());
            return;
        }
    }

    // After the element strings, so that a 29-byte one that parses stays what it was.
    if (isTobaccoPackCode(data)) {
        applyTobaccoPackCode(event);
        return;
    }

    const bool allDigits = isAllDigits(data);
    if (allDigits && classifyRetail(event)) return;
    if (event.kind == CodeKind::Unknown) event.kind = CodeKind::Code128;
    if (allDigits && data.size() >= 16) event.kind = CodeKind::Loyalty;
}

void classifyRepairedCode(ScanEvent& event, std::span<const ParseField> cut) {
    // The route classifyCode takes: a repaired text holds GS, which no excise stamp does, and it parses
    // into exactly its cut, as GS stands only where a variable value ends.
    const std::string_view data = event.data;
    ElementPairs pairs;
    size_t pos = 0;
    for (const ParseField& field : cut) {
        if (data[pos] == kGs) ++pos;
        const size_t aiLength = field.aiLength();
        pairs.push_back({data.substr(pos, aiLength), data.substr(pos + aiLength, field.length)});
        pos += aiLength + field.length;
    }
    event.kind = aimHint(event);
    applyElementString(event, pairs.view());
}

} // namespace dorvik
