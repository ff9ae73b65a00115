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
    return jsonText([this](auto& out) {
        out.text("{\"scans\":[");
        for (size_t i = 0; i < scans_.size(); ++i) {
            if (i > 0) out.text(",");
            writeScanEventJson(out, scans_[i], scans_[i].raw, scans_[i].deviceId);
        }
        out.text("],\"frames\":[");
        for (size_t i = 0; i < frames_.size(); ++i) {
            const Frame& frame = frames_[i];
            out.text(i > 0 ? ",{\"frame\":" : "{\"frame\":");
            out.string(frame.text);
            out.text(",\"deviceId\":");
            out.string(frame.deviceId);
            out.text(",\"tMs\":");
            out.number(frame.tMs);
            out.text(",\"gapsMs\":[");
            for (size_t g = 0; g < frame.gapsMs.size(); ++g) {
                if (g > 0) out.text(",");
                out.number(frame.gapsMs[g]);
            }
            out.text("]}");
        }
        out.text("]}");
    });
}

void PollQueues::clear() {
    scans_.clear();
    frames_.clear();
}

} // namespace dorvik
