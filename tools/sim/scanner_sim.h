// A simulated keyboard scanner and the host loop around it, built on the public C interface only: the
// scanner types a code (key_strokes.h, russian_layout.h) as its model says (scanner_model.h); the host feeds
// the strokes to a decoder, polls, and hands every frame to a tuner exactly as the poll reports it.
#pragma once

#include <cstdint>
#include <string>

#include "answers.h"
#include "dorvik_c.h"
#include "json_reader.h"
#include "key_strokes.h"
#include "russian_layout.h"
#include "scanner_model.h"

namespace dvksim {

// Its users read the library's answers through it.
using namespace dvkhost;

// One scan of a code: the scanner types it (twice for a double-sending model) into the decoder, the host
// ticks and polls. Returns what the poll held. `now` advances past the scan.
PollResult scanOnce(dvk_decoder* decoder, const ScannerModel& model, const std::string& payload,
                    const std::string& symbology, const std::string& deviceId, uint64_t& now);

struct TunerRun {
    std::string finalState; // the state JSON when done
    std::string profile;    // its finished "profile" object
    int framesTaken = 0;    // frames the tuner accepted
};

// Runs a whole set-up: every step's reference scanned by the model (or skipped when `skipAll`), every
// polled frame handed to the tuner.
TunerRun runTuner(const ScannerModel& model, const std::string& deviceId, bool skipAll = false);

} // namespace dvksim
