// Turns key strokes and byte chunks into frames (the characters of one scan) and scan events. No clock
// and no thread: time moves only through the inputs' time stamps and tick().
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/scan_event.h"
#include "profile/scanner_profile.h"

namespace dorvik {

struct KeyEvent {
    uint16_t scanCode = 0;
    uint16_t auxCode = 0; // carried, not interpreted
    bool auxFlag1 = false;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool capsLock = false;
    bool auxFlag2 = false;
    uint64_t tMs = 0;
    std::string_view deviceId;
};

// The character one key stroke types, if any.
std::optional<char> keyToChar(const KeyEvent& event);

class Decoder {
  public:
    using ScanCallback = std::function<void(const ScanEvent&)>;
    using FrameCallback = std::function<void(std::string_view text, std::string_view deviceId, uint64_t tMs,
                                             std::span<const uint64_t> gapsMs)>;

    // The frame being assembled stays and finishes under the new profile.
    void setProfile(const ScannerProfile& profile);
    const ScannerProfile& profile() const { return profile_; }

    // Callbacks run synchronously inside feedKey, feedBytes and tick; they must not call back into the
    // decoder. A scan comes right after its frame. Out of memory anywhere on the way drops that frame whole;
    // a scan callback that throws must take its frame back itself.
    void setOnScan(ScanCallback callback) { onScan_ = std::move(callback); }
    void setOnFrame(FrameCallback callback) { onFrame_ = std::move(callback); }

    void bind(std::string_view deviceId) { boundDeviceId_ = deviceId; }

    void feedKey(const KeyEvent& event);
    void feedBytes(std::string_view bytes, std::string_view deviceId, uint64_t tMs);
    void tick(uint64_t nowMs);
    // Discards the frame being assembled and the Alt-code state; profile, binding and callbacks stay.
    void reset();

  private:
    void feedKeyToFrame(const KeyEvent& event);
    void feedBytesToFrame(std::string_view bytes, std::string_view deviceId, uint64_t tMs);
    void flushAltCode() noexcept;
    std::optional<char> takeAltCodeByte();
    void closeFrame(uint64_t tMs) noexcept;
    void emitFrame(std::string_view text, std::string_view deviceId, uint64_t tMs,
                   std::span<const uint64_t> gaps) noexcept;

    ScannerProfile profile_;
    ScanCallback onScan_;
    FrameCallback onFrame_;
    std::string boundDeviceId_;

    std::string frameText_;
    std::vector<uint64_t> frameGaps_;
    std::string frameDeviceId_;
    uint64_t lastInputMs_ = 0;
    // Byte input searches only the bytes no check has seen for the splitter: key strokes close on the
    // terminator as they complete it, but an Alt-code byte runs no check and a profile with another
    // terminator voids every earlier one. Offset of the first unchecked byte; npos when there is none.
    size_t uncheckedFrom_ = std::string::npos;

    // The Alt code's value saturates above 255, so any number of digits is harmless.
    uint32_t altCodeValue_ = 0;
    bool altCodeHasDigits_ = false;
    bool altCodeActive_ = false;
    // An allocation failed while the frame was assembled: it lacks input, so it is dropped whole when it
    // closes rather than queued half-written.
    bool frameSpoiled_ = false;
};

} // namespace dorvik
