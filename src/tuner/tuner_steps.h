// The five reference codes of the set-up wizard, shared by every tuner.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace dorvik {

struct TunerStep {
    std::string_view key;
    std::string_view title;
    std::string_view hint;
    std::string_view symbology; // a kind of dvk_barcode_svg
    std::string payload;        // may hold GS
    std::string_view expectedAim;
    bool gs1 = false;
    bool optional = false;
};

// Built once, thread-safely, and never changed.
std::span<const TunerStep> tunerSteps();

// Control bytes spelled out: ⟨GS⟩, ⟨CR⟩, ⟨4⟩ and so on; everything from 0x20 up unchanged.
std::string visualizeControls(std::string_view bytes);

} // namespace dorvik
