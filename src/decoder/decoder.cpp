#include "decoder/decoder.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "decoder/analyse_frame.h"
#include "decoder/key_table.h"

namespace dorvik {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr uint32_t kAltCodeOverflow = 256;

bool isLowerAscii(char c) { return c >= 'a' && c <= 'z'; }

int32_t lengthAsInt32(size_t size) {
    return size > static_cast<size_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(size);
}

} // namespace

std::optional<char> keyToChar(const KeyEvent& event) {
    if (event.scanCode == kScanEnter) return kCr;
    if (event.scanCode == kScanTab) return '\t';
    const KeyEntry* key = findKey(event.scanCode);
    if (key == nullptr) return std::nullopt;
    if (event.ctrl && !event.alt) {
        const auto upper = static_cast<unsigned char>(upperAscii(key->plain));
        if (upper < 0x40 || upper > 0x5F) return std::nullopt;
        return static_cast<char>(upper & 0x1F);
    }
    bool useShifted = event.shift;
    if (event.capsLock && isLowerAscii(key->plain)) useShifted = !useShifted;
    return useShifted ? key->shifted : key->plain;
}

void Decoder::setProfile(const ScannerProfile& profile) {
    ScannerProfile copy = profile; // a copy that fails half-way must not replace the old profile
    if (copy.terminator != profile_.terminator) uncheckedFrom_ = 0;
    profile_ = std::move(copy);
}

std::optional<char> Decoder::takeAltCodeByte() {
    if (!altCodeHasDigits_) return std::nullopt;
    const uint32_t value = altCodeValue_;
    altCodeValue_ = 0;
    altCodeHasDigits_ = false;
    if (value < 1 || value > 255) return std::nullopt;
    return static_cast<char>(value);
}

void Decoder::flushAltCode() noexcept {
    const std::optional<char> byte = takeAltCodeByte();
    if (!byte) return;
    uncheckedFrom_ = std::min(uncheckedFrom_, frameText_.size());
    try {
        frameText_ += *byte;
    } catch (...) {
        frameSpoiled_ = true;
    }
}

void Decoder::feedKey(const KeyEvent& event) {
    try {
        feedKeyToFrame(event);
    } catch (...) {
        frameSpoiled_ = true; // the stroke is missing from the frame
        throw;
    }
}

void Decoder::feedKeyToFrame(const KeyEvent& event) {
    if (event.alt) {
        if (const auto digit = altCodeDigit(event.scanCode)) {
            altCodeActive_ = true;
            altCodeHasDigits_ = true;
            altCodeValue_ =
                std::min(altCodeValue_ * 10 + static_cast<uint32_t>(*digit - '0'), kAltCodeOverflow);
            lastInputMs_ = event.tMs;
            if (frameDeviceId_.empty()) frameDeviceId_ = event.deviceId;
            return;
        }
    }
    if (altCodeActive_ && !event.alt) {
        flushAltCode();
        altCodeActive_ = false;
    }
    const std::optional<char> ch = keyToChar(event);
    if (!ch) return;

    if (!frameText_.empty() && lastInputMs_ != 0) {
        const uint64_t gap = event.tMs > lastInputMs_ ? event.tMs - lastInputMs_ : 0;
        // A negative setting widens to a huge unsigned limit: such a profile never splits by pause.
        const auto burstGap = static_cast<uint64_t>(static_cast<int64_t>(profile_.burstGapMs));
        if (gap <= burstGap) {
            frameGaps_.push_back(gap);
        } else {
            closeFrame(lastInputMs_);
        }
    }
    if (frameDeviceId_.empty() || frameText_.empty()) frameDeviceId_ = event.deviceId;
    lastInputMs_ = event.tMs;
    frameText_ += *ch;

    const std::string& terminator = profile_.terminator;
    // A one-byte terminator (the usual CR, Tab or LF) is the stroke itself: no compare of the frame's end.
    const bool terminated = terminator.empty()       ? (*ch == kCr || *ch == kLf)
                            : terminator.size() == 1 ? *ch == terminator[0]
                                                     : frameText_.ends_with(terminator);
    if (terminated) {
        closeFrame(event.tMs);
    }
}

void Decoder::feedBytes(std::string_view bytes, std::string_view deviceId, uint64_t tMs) {
    try {
        feedBytesToFrame(bytes, deviceId, tMs);
    } catch (...) {
        frameSpoiled_ = true; // the chunk, or the remainder's device, is missing from the frame
        throw;
    }
}

void Decoder::feedBytesToFrame(std::string_view bytes, std::string_view deviceId, uint64_t tMs) {
    if (bytes.empty()) return;
    if (frameDeviceId_.empty() || frameText_.empty()) frameDeviceId_ = deviceId;
    lastInputMs_ = tMs;

    const std::string_view splitter =
        profile_.terminator.empty() ? std::string_view("\r", 1) : std::string_view(profile_.terminator);
    // A match that ends in checked bytes was closed when it was completed, so one can start no earlier
    // than a terminator's length before the first unchecked byte.
    const size_t firstUnchecked = std::min(uncheckedFrom_, frameText_.size());
    size_t searchFrom = firstUnchecked >= splitter.size() - 1 ? firstUnchecked - (splitter.size() - 1) : 0;
    uncheckedFrom_ = std::string::npos;
    frameText_.append(bytes);

    size_t frameStart = 0;
    for (;;) {
        const size_t at = std::string_view(frameText_).find(splitter, searchFrom);
        if (at == std::string_view::npos) break;
        const size_t frameEnd = at + splitter.size();
        const std::string_view head(frameText_.data() + frameStart, frameEnd - frameStart);
        if (frameStart == 0) {
            // Closing the first frame flushes an Alt code still being typed into it.
            const std::optional<char> altByte = takeAltCodeByte();
            if (std::exchange(frameSpoiled_, false)) {
                // A spoiled frame is dropped whole; the rest of the chunk goes on.
            } else if (altByte) {
                try {
                    std::string withAltByte(head);
                    withAltByte += *altByte;
                    emitFrame(withAltByte, frameDeviceId_, tMs, frameGaps_);
                } catch (...) {
                    // Out of memory: this frame is dropped whole too.
                }
            } else {
                emitFrame(head, frameDeviceId_, tMs, frameGaps_);
            }
            frameGaps_.clear();
        } else {
            emitFrame(head, deviceId, tMs, {});
        }
        frameStart = searchFrom = frameEnd;
    }
    if (frameStart == 0) return;
    frameText_.erase(0, frameStart);
    if (frameText_.empty()) {
        frameDeviceId_.clear();
    } else {
        frameDeviceId_ = deviceId;
    }
}

void Decoder::tick(uint64_t nowMs) {
    // Measured as elapsed time so that stamps near 2^64 cannot wrap the deadline into the past.
    const uint64_t timeout = profile_.frameTimeoutMs < 0 ? 0 : static_cast<uint64_t>(profile_.frameTimeoutMs);
    const bool timedOut = nowMs > lastInputMs_ && nowMs - lastInputMs_ > timeout;
    if (!timedOut) return;
    if (altCodeActive_) {
        flushAltCode();
        altCodeActive_ = false;
    }
    if (!frameText_.empty()) closeFrame(lastInputMs_);
}

void Decoder::reset() {
    frameText_.clear();
    uncheckedFrom_ = std::string::npos;
    frameGaps_.clear();
    frameDeviceId_.clear();
    lastInputMs_ = 0;
    altCodeValue_ = 0;
    altCodeHasDigits_ = false;
    altCodeActive_ = false;
    frameSpoiled_ = false;
}

void Decoder::closeFrame(uint64_t tMs) noexcept {
    flushAltCode();
    if (!frameText_.empty() && !frameSpoiled_) emitFrame(frameText_, frameDeviceId_, tMs, frameGaps_);
    frameSpoiled_ = false;
    // Cleared, not released: the buffers keep their capacity for the next frame.
    frameText_.clear();
    uncheckedFrom_ = std::string::npos;
    frameDeviceId_.clear();
    frameGaps_.clear();
}

void Decoder::emitFrame(std::string_view text, std::string_view deviceId, uint64_t tMs,
                        std::span<const uint64_t> gaps) noexcept {
    try {
        // The scan is made before the frame is handed on, so that running out of memory on the way drops
        // both or neither (a scan callback that fails takes its frame back).
        std::optional<ScanEvent> scan;
        if (onScan_ && (boundDeviceId_.empty() || deviceId == boundDeviceId_)) {
            analyseFrame(profile_, text, scan.emplace());
            scan->raw = text;
            scan->deviceId = deviceId;
            scan->tMs = tMs;
            scan->fromBoundDevice = true;
            if (lengthAsInt32(scan->data.size()) < profile_.minLength) scan.reset();
        }
        if (onFrame_) onFrame_(text, deviceId, tMs, gaps);
        if (scan) onScan_(*scan);
    } catch (...) {
        // Out of memory: the frame is dropped whole and the decoder goes on.
    }
}

} // namespace dorvik
