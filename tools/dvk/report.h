// How dvk shows a set-up and its outcome to a person.
#pragma once

#include <string>

#include "answers.h"

// Control bytes spelled out (⟨GS⟩, ⟨CR⟩, ...), for showing texts on a terminal.
std::string visible(const std::string& bytes);

void printFinding(const dvkhost::FindingView& finding);
// The learned settings that matter to a decoder, one line.
void printProfileLine(const std::string& profileJson);
// One scan event, one line after `indent`: kind, code, the fields a cashier checks (GTIN and serial, item
// and weight), what the decoder had to repair or doubts.
void printScan(const std::string& scanJson, const std::string& indent = "");
