#include "analysis/element_string.h"

#include <algorithm>
#include <array>

#include "analysis/check_digit.h"

namespace dorvik {

namespace {

constexpr std::array<AiDefinition, 13> kAiTable{{
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

// Every known AI is made of digits: the two-digit ones are indexed by their number.
constexpr std::array<int8_t, 100> kTwoDigitRow = [] {
    std::array<int8_t, 100> rows{};
    rows.fill(-1);
    for (size_t i = 0; i < kAiTable.size(); ++i) {
        const std::string_view ai = kAiTable[i].ai;
        if (ai.size() == 2)
            rows[static_cast<size_t>((ai[0] - '0') * 10 + (ai[1] - '0'))] = static_cast<int8_t>(i);
    }
    return rows;
}();
constexpr std::array<bool, 100> kBeginsFourDigit = [] {
    std::array<bool, 100> begins{};
    for (const AiDefinition& entry : kAiTable) {
        if (entry.ai.size() == 4)
            begins[static_cast<size_t>((entry.ai[0] - '0') * 10 + (entry.ai[1] - '0'))] = true;
    }
    return begins;
}();
// The index first, since the cut search asks at every position: this finds the same AI as matching the
// four-digit ones first only because none of them begins with a two-digit AI.
static_assert([] {
    for (const AiDefinition& four : kAiTable) {
        if (four.ai.size() != 4) continue;
        for (const AiDefinition& two : kAiTable) {
            if (two.ai.size() == 2 && four.ai.starts_with(two.ai)) return false;
        }
    }
    return true;
}());

inline AiMatch matchAi(std::string_view text, size_t pos) {
    if (pos > text.size()) return {};
    const std::string_view rest = text.substr(pos);
    if (rest.size() < 2 || !isDigit(rest[0]) || !isDigit(rest[1])) return {};
    const auto firstTwo = static_cast<size_t>((rest[0] - '0') * 10 + (rest[1] - '0'));
    const int8_t row = kTwoDigitRow[firstTwo];
    if (row >= 0) return {&kAiTable[static_cast<size_t>(row)], 2};
    if (rest.size() >= 4 && kBeginsFourDigit[firstTwo]) {
        const std::string_view four = rest.substr(0, 4);
        for (const AiDefinition& entry : kAiTable)
            if (entry.ai == four) return {&entry, 4};
    }
    return {};
}

} // namespace

AiMatch findAi(std::string_view text, size_t pos) { return matchAi(text, pos); }

void markAiStarts(std::string_view text, std::span<bool> starts) {
    // Two look-ups and no branch per position (in a crypto tail digits and letters alternate at random):
    // each byte's digit, 10 for any other byte, then what the pair of them begins.
    static constexpr std::array<uint8_t, 256> kDigitOf = [] {
        std::array<uint8_t, 256> digits{};
        digits.fill(10);
        for (uint8_t d = 0; d < 10; ++d)
            digits['0' + d] = d;
        return digits;
    }();
    enum : uint8_t { kNone, kTwoDigitAi, kMaybeFourDigitAi };
    static constexpr std::array<uint8_t, 11 * 11> kPairBegins = [] {
        std::array<uint8_t, 11 * 11> begins{};
        for (size_t first = 0; first < 10; ++first) {
            for (size_t second = 0; second < 10; ++second) {
                const size_t two = first * 10 + second;
                begins[first * 11 + second] = kTwoDigitRow[two] >= 0  ? kTwoDigitAi
                                              : kBeginsFourDigit[two] ? kMaybeFourDigitAi
                                                                      : kNone;
            }
        }
        return begins;
    }();
    const size_t pairs = text.size() < 2 ? 0 : std::min(starts.size(), text.size() - 1);
    size_t pos = 0;
    for (; pos < pairs; ++pos) {
        const uint8_t begins = kPairBegins[kDigitOf[static_cast<unsigned char>(text[pos])] * 11u +
                                           kDigitOf[static_cast<unsigned char>(text[pos + 1])]];
        starts[pos] = begins == kTwoDigitAi;
        if (begins == kMaybeFourDigitAi) starts[pos] = matchAi(text, pos).entry != nullptr;
    }
    for (; pos < starts.size(); ++pos)
        starts[pos] = false;
}

ElementPairs parseElementString(std::string_view text) {
    ElementPairs pairs;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == kGs) {
            ++pos;
            continue;
        }
        const AiMatch match = findAi(text, pos);
        if (match.entry == nullptr) return {};
        const size_t valueStart = pos + match.length;
        size_t valueEnd = 0;
        if (match.entry->fixedLength > 0) {
            valueEnd = valueStart + static_cast<size_t>(match.entry->fixedLength);
            if (valueEnd > text.size()) return {};
        } else {
            valueEnd = text.find(kGs, valueStart);
            if (valueEnd == std::string_view::npos) valueEnd = text.size();
        }
        pairs.push_back({match.entry->ai, text.substr(valueStart, valueEnd - valueStart)});
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
