// What a dvk_decoder* points at: a decoder whose callbacks fill the queues that poll drains.
#pragma once

#include "decoder/decoder.h"
#include "decoder/poll_queues.h"

namespace dorvik {

struct DecoderHandle {
    DecoderHandle() { queues.attach(decoder); }
    DecoderHandle(const DecoderHandle&) = delete;
    DecoderHandle& operator=(const DecoderHandle&) = delete;

    Decoder decoder;
    PollQueues queues;
};

} // namespace dorvik
