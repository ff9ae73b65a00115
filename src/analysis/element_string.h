// GS1 element strings: the look-up of an AI, the parse into (AI, value) pairs and what the
// pairs mean for a scan (marking code fields, DataMatrix vs GS1-128).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/gs1_ai_table.h"
#include "analysis/inline_vector.h"
#include "analysis/scan_event.h"
#include "bytes/ascii.h"

namespace dorvik {

// Where the AIs of the table start: the first two digits of an AI decide how many digits it has, and
// those digits its row. Built at compile time from the table.
namespace ai_index {

struct Prefix {
    uint8_t digits = 0; // 0 when no AI begins with these two digits
    uint16_t base = 0;  // where the rows of the AIs with these two digits begin in kRows
};

constexpr size_t number(std::string_view digits) {
    size_t n = 0;
    for (const char c : digits)
        n = n * 10 + static_cast<size_t>(c - '0');
    return n;
}
constexpr size_t slotsFor(size_t digits) { return digits == 2 ? 1 : digits == 3 ? 10 : 100; }

inline constexpr std::array<Prefix, 100> kPrefixes = [] {
    std::array<Prefix, 100> prefixes{};
    for (const AiDefinition& row : kGs1AiTable)
        prefixes[number(row.first.substr(0, 2))].digits = static_cast<uint8_t>(row.first.size());
    size_t base = 0;
    for (Prefix& prefix : prefixes) {
        prefix.base = static_cast<uint16_t>(base);
        if (prefix.digits != 0) base += slotsFor(prefix.digits);
    }
    return prefixes;
}();
inline constexpr size_t kSlots = kPrefixes[99].base + slotsFor(kPrefixes[99].digits);

// The table's row for every AI, by prefix and the digits after it; -1 where GS1 defines no AI.
inline constexpr std::array<int16_t, kSlots> kRows = [] {
    std::array<int16_t, kSlots> rows{};
    rows.fill(-1);
    for (size_t r = 0; r < kGs1AiTable.size(); ++r) {
        const AiDefinition& row = kGs1AiTable[r];
        const Prefix prefix = kPrefixes[number(row.first.substr(0, 2))];
        for (size_t ai = number(row.first.substr(2)); ai <= number(row.last.substr(2)); ++ai)
            rows[prefix.base + (prefix.digits == 2 ? 0 : ai)] = static_cast<int16_t>(r);
    }
    return rows;
}();

// Every row is well formed and prefix-free: a run stays within its first digits, AIs sharing two first
// digits have as many digits, and no AI lies in two rows.
inline constexpr bool kTableSound = [] {
    size_t slotsTaken = 0;
    for (const AiDefinition& row : kGs1AiTable) {
        const size_t digits = row.first.size();
        if (digits < 2 || digits > 4 || row.last.size() != digits) return false;
        for (const char c : row.first)
            if (!isDigit(c)) return false;
        for (const char c : row.last)
            if (!isDigit(c)) return false;
        if (row.first.substr(0, 2) != row.last.substr(0, 2) || row.first > row.last) return false;
        if (kPrefixes[number(row.first.substr(0, 2))].digits != digits) return false;
        if (row.fixedLength < 0 || row.maxLength <= 0 || row.maxLength > 90) return false;
        if (row.fixedLength != 0 && row.fixedLength != row.maxLength) return false;
        slotsTaken += number(row.last) - number(row.first) + 1;
    }
    size_t slotsFilled = 0;
    for (const int16_t r : kRows)
        slotsFilled += r >= 0;
    return slotsFilled == slotsTaken;
}();
static_assert(kTableSound);

} // namespace ai_index

struct AiMatch {
    const AiDefinition* entry = nullptr; // none when no AI starts at the position
    size_t length = 0;                   // bytes the AI itself occupies: 2, 3 or 4
};

// The AI at a position. Inline, since the cut search asks at every position it visits.
constexpr AiMatch findAi(std::string_view text, size_t pos) {
    if (pos > text.size()) return {};
    const std::string_view rest = text.substr(pos);
    if (rest.size() < 2 || !isDigit(rest[0]) || !isDigit(rest[1])) return {};
    const ai_index::Prefix prefix =
        ai_index::kPrefixes[static_cast<size_t>((rest[0] - '0') * 10 + (rest[1] - '0'))];
    if (prefix.digits == 0 || rest.size() < prefix.digits) return {};
    size_t slot = prefix.base;
    for (size_t i = 2; i < prefix.digits; ++i) {
        if (!isDigit(rest[i])) return {};
        slot += static_cast<size_t>(rest[i] - '0') * (prefix.digits - i == 2 ? 10 : 1);
    }
    const int16_t row = ai_index::kRows[slot];
    if (row < 0) return {};
    return {&kGs1AiTable[static_cast<size_t>(row)], prefix.digits};
}

constexpr uint8_t aiRow(const AiDefinition& entry) {
    return static_cast<uint8_t>(&entry - kGs1AiTable.data());
}
static_assert(kGs1AiTable.size() <= 256, "a row must fit the cut search's byte");

struct ElementPair {
    std::string_view ai; // views into the parsed text
    std::string_view value;
};

// A marking code has three to five fields.
using ElementPairs = InlineVector<ElementPair, 8>;

// Empty when the text is not a valid element string of GS1 AIs.
ElementPairs parseElementString(std::string_view text);

// Fills gtin, serial, mrc, cryptoTail, marked and the kind; raises the marking-code warnings.
void applyElementString(ScanEvent& event, std::span<const ElementPair> pairs);

} // namespace dorvik
