// What the opaque handles of the public header are: a decoder together with the queues its poll drains, and
// a tuner. Global-namespace structs, so that a host's `struct dvk_decoder;` names the same type.
#pragma once

#include <string_view>

#include "decoder/decoder.h"
#include "decoder/poll_queues.h"
#include "tuner/tuner.h"

struct dvk_decoder {
    dvk_decoder() { queues.attach(decoder); }
    dvk_decoder(const dvk_decoder&) = delete; // the queues hold callbacks into this decoder
    dvk_decoder& operator=(const dvk_decoder&) = delete;

    dorvik::Decoder decoder;
    dorvik::PollQueues queues;
};

struct dvk_tuner {
    dvk_tuner(std::string_view transport, std::string_view deviceId) : tuner(transport, deviceId) {}

    dorvik::Tuner tuner;
};
