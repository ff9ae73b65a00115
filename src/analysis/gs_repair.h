// Restores the GS separators of a marking code whose scanner dropped them: every cut of the text into
// known AIs is enumerated, scored by how much it looks like a marking code, and the best one is applied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/inline_vector.h"

namespace dorvik {

inline constexpr size_t kMaxCutFields = 12;
inline constexpr size_t kMaxCuts = 64;

struct ParseField {
    std::string_view ai;
    uint32_t length = 0; // value bytes

    bool operator==(const ParseField&) const = default;
};

// One complete cut. Separators are byte positions of the input before which a GS belongs. The search
// places a thirteenth field before its depth check turns it away, hence one spare slot.
struct ParseCandidate {
    std::array<ParseField, kMaxCutFields + 1> fieldSlots{};
    std::array<size_t, kMaxCutFields + 1> separatorSlots{};
    uint8_t fieldCount = 0;
    uint8_t separatorCount = 0;

    std::span<const ParseField> fields() const { return {fieldSlots.data(), fieldCount}; }
    std::span<const size_t> separators() const { return {separatorSlots.data(), separatorCount}; }
};

struct CutSearch {
    InlineVector<ParseCandidate, 4> candidates; // in enumeration order
    bool limitHit = false;
};

// Depth first, shortest values first, at most 64 cuts of at most 12 fields.
CutSearch enumerateCuts(std::string_view text);

int32_t scoreCut(const ParseCandidate& candidate);

struct GsRepairResult {
    std::string text;
    bool repaired = false;
    bool guess = false;
    int32_t ties = 0;
    int32_t margin = 0;
    bool sameAiSequence = false;
    bool limitHit = false;
};

// For a text without GS.
GsRepairResult repairGs(std::string_view text);
// The same with the text written into `out`, whose block is reused; `text` must not lie in `out`, and
// the result's own text stays empty.
GsRepairResult repairGs(std::string_view text, std::string& out);

} // namespace dorvik
