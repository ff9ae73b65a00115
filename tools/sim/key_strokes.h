// What a scanner sends for one code: the characters, and the key strokes that type them on a US layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scanner_model.h"

namespace dvksim {

struct KeyStroke {
    uint16_t scanCode = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool capsLock = false;
};

// The AIM identifier a scanner puts in front of a code of this dvk_barcode_svg kind.
std::string aimFor(const std::string& symbology);

// The characters, before any keyboard layout.
std::string transmittedText(const ScannerModel& model, const std::string& payload,
                            const std::string& symbology);

std::vector<KeyStroke> keyStrokesFor(const ScannerModel& model, const std::string& payload,
                                     const std::string& symbology);

} // namespace dvksim
