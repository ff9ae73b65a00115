// What one accepted frame teaches the tuner: findings for the cashier and profile settings.
#pragma once

#include "tuner/step_compare.h"
#include "tuner/tuner.h"

namespace dorvik {

void diagnoseStep(Tuner& tuner, const TunerStep& step, const StepResult& result, const TunerFrame& frame);

// First step only: the decoder's pause thresholds from the inter-character gaps.
void analyseTyping(Tuner& tuner, const TunerFrame& frame);

} // namespace dorvik
