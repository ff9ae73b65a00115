// What the analysis suites reach beyond the layer's headers, declared once (as SQLite declares its test
// hooks): the library's own code defines these and includes this header too, so the two cannot drift.
// Nothing outside src/analysis and its tests includes it.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "analysis/gs_repair.h"

namespace dorvik {

struct CutSearch {
    std::array<ParseCandidate, kMaxCuts> slots; // the first `count`, in enumeration order
    size_t count = 0;
    bool limitHit = false;

    std::span<const ParseCandidate> candidates() const { return {slots.data(), count}; }
};

// The cut search on its own: depth first, shortest values first, at most 64 cuts of at most 12 fields.
CutSearch enumerateCuts(std::string_view text);

} // namespace dorvik
