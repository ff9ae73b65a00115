#include "decoder/poll_queues.h"

#include "json/json_writer.h"

namespace dorvik {

void PollQueues::attach(Decoder& decoder) {
    decoder.setOnScan([this](const ScanEvent& event) {
        // The decoder hands on a scan right after its frame: one that cannot be queued takes the frame back,
        // so that a frame is never queued without its scan.
        try {
            scans_.push_back(event);
        } catch (...) {
            if (!frames_.empty()) frames_.pop_back();
            throw;
        }
    });
    decoder.setOnFrame([this](std::string_view text, std::string_view deviceId, uint64_t tMs,
                              std::span<const uint64_t> gaps) {
        frames_.push_back(Frame{std::string(text), std::string(deviceId), tMs, {gaps.begin(), gaps.end()}});
    });
}

std::string PollQueues::toJson() const {
    std::string out;
    size_t estimate = 32;
    for (const ScanEvent& scan : scans_)
        estimate += 420 + 2 * (scan.raw.size() + scan.data.size());
    for (const Frame& frame : frames_)
        estimate += 64 + 2 * frame.text.size() + 8 * frame.gapsMs.size();
    out.reserve(estimate);

    out += "{\"scans\":[";
    for (size_t i = 0; i < scans_.size(); ++i) {
        if (i > 0) out += ',';
        appendScanEventJson(out, scans_[i]);
    }
    out += "],\"frames\":[";
    for (size_t i = 0; i < frames_.size(); ++i) {
        const Frame& frame = frames_[i];
        if (i > 0) out += ',';
        out += "{\"frame\":";
        appendJsonString(out, frame.text);
        out += ",\"deviceId\":";
        appendJsonString(out, frame.deviceId);
        out += ",\"tMs\":";
        appendUint(out, frame.tMs);
        out += ",\"gapsMs\":[";
        for (size_t g = 0; g < frame.gapsMs.size(); ++g) {
            if (g > 0) out += ',';
            appendUint(out, frame.gapsMs[g]);
        }
        out += "]}";
    }
    out += "]}";
    return out;
}

void PollQueues::clear() {
    scans_.clear();
    frames_.clear();
}

} // namespace dorvik
