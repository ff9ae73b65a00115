// Payloads the render benchmarks share with the other encoders' benchmarks.
#pragma once

#include <string>

#include "tuner/tuner_steps.h"

namespace bench {

inline const std::string& payload(size_t step) { return dorvik::tunerSteps()[step].payload; }

// 348 digits: the 174 data codewords of the largest symbol.
inline const std::string kLargestDataMatrix(348, '7');

} // namespace bench
