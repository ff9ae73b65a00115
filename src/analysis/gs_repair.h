// Restores the GS separators of a marking code whose scanner dropped them: every cut of the text into
// known AIs is enumerated, scored by how much it looks like a marking code, and the best one is applied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "analysis/element_string.h"

namespace dorvik {

inline constexpr size_t kMaxCutFields = 12;
inline constexpr size_t kMaxCuts = 64;

// A row of the AI table and a value length: no value a cut may place is longer than 90 bytes.
struct ParseField {
    uint8_t row;
    uint8_t length;

    size_t aiLength() const { return kGs1AiTable[row].first.size(); }
    bool operator==(const ParseField&) const = default;
};

// One complete cut, small enough that recording it is a few stores. Separators are byte positions of the
// input before which a GS belongs; no cut reaches beyond 12 fields of at most 94 bytes, so they fit 16
// bits. The search places a thirteenth field before its depth check turns it away, hence one spare slot.
// The slots are left as they are when the candidate is made: value-initialise one built by hand.
struct ParseCandidate {
    std::array<ParseField, kMaxCutFields + 1> fieldSlots;
    std::array<uint16_t, kMaxCutFields + 1> separatorSlots;
    uint8_t fieldCount;
    uint8_t separatorCount;
    int32_t score; // scoreCut of the cut, summed while it was placed

    std::span<const ParseField> fields() const { return {fieldSlots.data(), fieldCount}; }
    std::span<const uint16_t> separators() const { return {separatorSlots.data(), separatorCount}; }
};

// Whether cuts may place this AI: only those of marking codes and the labels beside them.
bool repairKnowsAi(const AiDefinition& entry);

// Sets bit p of `bits` (which has room for `count` bits) for every position p, from `from` (a multiple of
// 16) to `count`, where an AI that the cut search knows starts; the bits below `from` are left as they are.
void markAiStarts(std::string_view text, size_t from, size_t count, uint64_t* bits);

struct GsRepairResult {
    bool repaired = false;
    bool guess = false;
    int32_t ties = 0;
    int32_t margin = 0;
    bool sameAiSequence = false;
    bool limitHit = false;
    // The fields of the cut applied, for a caller that would otherwise parse the repaired text again.
    std::array<ParseField, kMaxCutFields> cutSlots{};
    uint8_t cutFieldCount = 0;

    std::span<const ParseField> cut() const { return {cutSlots.data(), cutFieldCount}; }
};

// For a text without GS: the text, repaired or as it was, is written into `out`, whose block is reused;
// `text` must not lie in `out`.
GsRepairResult repairGs(std::string_view text, std::string& out);

} // namespace dorvik
