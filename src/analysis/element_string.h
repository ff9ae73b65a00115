// GS1 element strings: the AI table this library knows, the parse into (AI, value) pairs and what the
// pairs mean for a scan (marking code fields, DataMatrix vs GS1-128).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/inline_vector.h"
#include "analysis/scan_event.h"
#include "bytes/ascii.h"

namespace dorvik {

struct AiDefinition {
    std::string_view ai;
    int32_t fixedLength; // 0 for a variable-length value
    int32_t maxLength;
};

// The AIs of marking codes and of the labels a till meets beside them.
inline constexpr std::array<AiDefinition, 13> kAiTable{{
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

struct AiMatch {
    const AiDefinition* entry = nullptr; // none when no known AI starts at the position
    size_t length = 0;                   // bytes the AI itself occupies: 4 or 2
};

// Every known AI is made of digits: the two-digit ones are indexed by their number.
inline constexpr std::array<int8_t, 100> kTwoDigitRow = [] {
    std::array<int8_t, 100> rows{};
    rows.fill(-1);
    for (size_t i = 0; i < kAiTable.size(); ++i) {
        const std::string_view ai = kAiTable[i].ai;
        if (ai.size() == 2)
            rows[static_cast<size_t>((ai[0] - '0') * 10 + (ai[1] - '0'))] = static_cast<int8_t>(i);
    }
    return rows;
}();
inline constexpr std::array<bool, 100> kBeginsFourDigit = [] {
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

// The AI at a position, inline since the cut search asks at every position it visits.
inline AiMatch findAi(std::string_view text, size_t pos) {
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

inline uint8_t aiRow(const AiDefinition& entry) { return static_cast<uint8_t>(&entry - kAiTable.data()); }
// Sets bit p of `bits` (which has room for `count` bits) for every position p < count where a known AI
// starts: one pass for a search that asks at every position.
void markAiStarts(std::string_view text, size_t count, uint64_t* bits);
// The same for the positions from `from` (a multiple of 16) on; the bits below it are left as they are.
void markAiStarts(std::string_view text, size_t from, size_t count, uint64_t* bits);

struct ElementPair {
    std::string_view ai;
    std::string_view value; // a view into the parsed text
};

// A marking code has three to five fields.
using ElementPairs = InlineVector<ElementPair, 8>;

// Empty when the text is not a valid element string of known AIs.
ElementPairs parseElementString(std::string_view text);

// Fills gtin, serial, mrc, cryptoTail, marked and the kind; raises the marking-code warnings.
void applyElementString(ScanEvent& event, std::span<const ElementPair> pairs);

} // namespace dorvik
