// GS1 element strings: the AI table this library knows, the parse into (AI, value) pairs and what the
// pairs mean for a scan (marking code fields, DataMatrix vs GS1-128).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/scan_event.h"
#include "bytes/ascii.h"

namespace dorvik {

struct AiDefinition {
    std::string_view ai;
    int32_t fixedLength; // 0 for a variable-length value
    int32_t maxLength;
};

struct AiMatch {
    const AiDefinition* entry = nullptr; // none when no known AI starts at the position
    size_t length = 0;                   // bytes the AI itself occupies: 4 or 2
};

AiMatch findAi(std::string_view text, size_t pos);
// Whether a known AI starts at each of the first starts.size() positions: one call for a search that asks
// at every position.
void markAiStarts(std::string_view text, std::span<bool> starts);

struct ElementPair {
    std::string_view ai;
    std::string_view value; // a view into the parsed text
};

// The pairs of one element string: a marking code's few are kept inline, only a longer string takes the heap.
class ElementPairs {
  public:
    void push_back(const ElementPair& pair) {
        if (spilled_.empty() && count_ < inline_.size()) {
            inline_[count_++] = pair;
            return;
        }
        if (spilled_.empty()) spilled_.assign(inline_.begin(), inline_.end());
        spilled_.push_back(pair);
    }
    std::span<const ElementPair> view() const {
        return spilled_.empty() ? std::span<const ElementPair>(inline_.data(), count_) : spilled_;
    }
    bool empty() const { return count_ == 0; }
    auto begin() const { return view().begin(); }
    auto end() const { return view().end(); }

  private:
    std::array<ElementPair, 8> inline_{};
    size_t count_ = 0; // inline ones
    std::vector<ElementPair> spilled_;
};

// Empty when the text is not a valid element string of known AIs.
ElementPairs parseElementString(std::string_view text);

// Fills gtin, serial, mrc, cryptoTail, marked and the kind; raises the marking-code warnings.
void applyElementString(ScanEvent& event, std::span<const ElementPair> pairs);

} // namespace dorvik
