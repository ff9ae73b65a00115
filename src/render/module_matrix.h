// An encoder's grid of dark (1) and light (0) modules, row by row from the top, without quiet zone.
#pragma once

#include <cstdint>
#include <vector>

namespace dorvik {

struct ModuleMatrix {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> modules;

    bool empty() const { return width == 0 || height == 0; }
    uint8_t at(int32_t row, int32_t column) const {
        return modules[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)];
    }
};

} // namespace dorvik
