// Every text the tuner shows: the findings, fixed or composed with numbers and bytes, and the summary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tuner/finding.h"
#include "tuner/step_compare.h"

namespace dorvik::findings {

Finding duplicateFrame();
Finding scannerFound();
Finding stepSkipped(std::string_view stepTitle);
Finding slowTyping(uint64_t maxGapMs);

// The first step: how the scanner frames a code.
Finding terminator(std::string_view terminator);
Finding noTerminator();
Finding cleanFrame();
Finding extraAroundCode(std::string_view prefix, std::string_view suffix);
Finding aimReported(std::string_view aim);

// Later steps against what the first step learned.
Finding terminatorDiffers(std::string_view stepTitle, std::string_view got, std::string_view learned);
Finding prefixDiffers(std::string_view learned, std::string_view got);

Finding aimMismatch(std::string_view stepTitle, std::string_view expectedAim, std::string_view aim);
Finding gsMissing(std::string_view stepTitle);
Finding gsSubstitute(std::string_view substitute);
Finding gsOk();

// The verdict on one step.
Finding readCorrectly(std::string_view stepTitle, uint64_t length);
Finding readWithoutSeparator(std::string_view stepTitle, uint64_t othersMatched);
Finding truncated(std::string_view stepTitle, uint64_t missing, uint64_t length);
Finding cyrillic(std::string_view stepTitle);
Finding misread(std::string_view stepTitle, const StepResult& result);
Finding punctuationDamaged(std::string_view stepTitle, const StepResult& result);

std::string summary(uint64_t passed, uint64_t total, uint64_t fails, uint64_t warnings);
std::string_view donePrompt();
// Appended to the first hint while no scanner is bound.
std::string_view bindingHint();

} // namespace dorvik::findings
