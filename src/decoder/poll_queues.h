// What a decoder has produced since the host last asked: scans and frames, drained by one poll.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/scan_event.h"
#include "decoder/decoder.h"

namespace dorvik {

struct Frame {
    std::string text; // as received, terminator included
    std::string deviceId;
    uint64_t tMs = 0;
    std::vector<uint64_t> gapsMs;
};

class PollQueues {
  public:
    // Connects the decoder's callbacks to these queues; the queues must outlive the decoder's use.
    void attach(Decoder& decoder);

    // {"scans":[...],"frames":[...]}, oldest first. Does not empty the queues, so that a caller who fails
    // to hand the text over loses nothing.
    std::string toJson() const;
    void clear();

    const std::vector<ScanEvent>& scans() const { return scans_; }
    const std::vector<Frame>& frames() const { return frames_; }

  private:
    std::vector<ScanEvent> scans_;
    std::vector<Frame> frames_;
};

} // namespace dorvik
