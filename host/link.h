// One scanner's input into one decoder: what a host reads from its device, turned into the decoder's key
// strokes and byte chunks, with the set-up framing and the policy for a code whose input stopped early.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dorvik_c.h"
#include "hid_pos_layout.h"

namespace dorvik::host {

inline constexpr std::string_view kSetUpProfile =
    "{\"burstGapMs\": 250, \"frameTimeoutMs\": 500, \"terminator\": \"\\u0000\"}";

enum class KeyAction { Release = 0, Press = 1, Repeat = 2 };

struct Modifiers {
    bool shift = false, ctrl = false, alt = false, capsLock = false;
};

class Link {
  public:
    Link(dvk_decoder* decoder, std::string deviceId, bool setUp);

    bool useProfile(const char* profileJson);

    void key(uint16_t scanCode, KeyAction action, uint64_t tMs);
    void keyWith(uint16_t scanCode, KeyAction action, Modifiers given, uint64_t tMs);
    void setCapsLock(bool on) { capsLock_ = on; }

    void bytes(std::string_view chunk, uint64_t tMs);

    LayoutStatus useDescriptor(std::string_view descriptor);
    bool report(uint8_t reportId, std::string_view data, uint64_t tMs);
    int reportId() const { return layout_ ? layout_->reportId : -1; }
    void stream(std::string_view bytes, uint64_t tMs);

    void tick(uint64_t nowMs);
    void end(uint64_t nowMs);
    int64_t wakeAt() const;
    // The decoder's poll with what the link held back; empty when it cannot be had.
    std::string poll();
    std::string takeNotices();

  private:
    void readProfile();
    void stroke(uint16_t makeCode, Modifiers mods, uint64_t tMs);
    void feed(std::string_view chunk, uint64_t tMs);
    void drop(uint64_t tMs);
    void notice(std::string_view kind, uint64_t tMs, size_t bytes);
    std::string hidTerminator() const;

    dvk_decoder* decoder_;
    std::string deviceId_;
    bool setUp_;
    // What the link needs of the decoder's profile.
    std::string terminator_;
    bool aimId_ = false;
    uint64_t frameTimeoutMs_ = 140;

    bool shift_[2] = {false, false};
    bool ctrl_[2] = {false, false};
    bool alt_[2] = {false, false};
    bool capsLock_ = false;

    std::string tail_;       // the last bytes fed, to tell whether a code's terminator came
    size_t openBytes_ = 0;   // bytes fed since the last terminator
    bool bytesOpen_ = false; // a byte code waits for its terminator

    std::optional<ScannedDataLayout> layout_;
    bool inCode_ = false; // an HID-POS code waits for its last report
    std::string streamHeld_;

    std::optional<uint64_t> waitingSince_; // the latest input a time-out may still close
    std::string held_;                     // a poll taken before the decoder was reset
    std::vector<std::string> notices_;
};

} // namespace dorvik::host
