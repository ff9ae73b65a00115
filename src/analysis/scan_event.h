// One analysed scan, as it leaves the library in the scans of a poll and in dvk_decode_frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_writer.h"

namespace dorvik {

// A warning text of the library's own, known when it is compiled to need no JSON escape, so that the
// event's JSON copies it as it is.
class PlainText {
  public:
    template <size_t N> consteval PlainText(const char (&text)[N]) : text_(text, N - 1) {
        if (!needsNoJsonEscape(text_)) throw "a warning text that JSON would have to escape";
    }
    constexpr std::string_view view() const { return text_; }

  private:
    std::string_view text_;
};

enum class CodeKind : int32_t {
    Unknown = 0,
    Ean8 = 1,
    Ean13 = 2,
    UpcA = 3,
    Itf14 = 4,
    Code39 = 5,
    Code128 = 6,
    Gs1_128 = 7,
    DataMatrix = 8,
    Qr = 9,
    Weight = 10,
    Loyalty = 11,
    Excise = 12,
};

// The warnings of a scan in order, each knowing whether it is one of the library's own texts that JSON
// copies as they are. Their blocks are kept when they are cleared, for the next scan's warnings.
class Warnings {
  public:
    void add(std::string_view text) { add(text, false); }
    void add(PlainText text) { add(text.view(), true); }
    void clear();

    size_t size() const { return texts_.size(); }
    bool empty() const { return texts_.empty(); }
    const std::string& operator[](size_t i) const { return texts_[i]; }
    bool plain(size_t i) const { return i < 64 && (plain_ >> i & 1) != 0; }
    const std::vector<std::string>& texts() const { return texts_; }

  private:
    void add(std::string_view text, bool plain);

    // Never copied: a copy starts with no blocks of its own to reuse.
    struct SpareStrings {
        std::vector<std::string> strings;

        SpareStrings() = default;
        SpareStrings(const SpareStrings&) {}
        SpareStrings(SpareStrings&&) noexcept = default;
        SpareStrings& operator=(const SpareStrings&) { return *this; }
        SpareStrings& operator=(SpareStrings&&) noexcept = default;
    };
    std::vector<std::string> texts_;
    uint64_t plain_ = 0; // bit i: texts_[i] came from a PlainText
    SpareStrings spare_;
};

struct ScanEvent {
    std::string raw;
    std::string data;
    CodeKind kind = CodeKind::Unknown;
    std::string aimId;
    std::string deviceId;
    uint64_t tMs = 0;
    bool fromBoundDevice = false;
    bool marked = false;
    std::string gtin;
    std::string serial;
    std::string mrc;
    std::string cryptoTail;
    double weightKg = 0.0;
    std::string itemCode;
    bool gsRepaired = false;
    bool gsGuess = false;
    bool suspect = false;
    Warnings warnings;

    // A warning about a doubtful code; `suspect` is never cleared once set.
    template <typename Text> void warn(Text text) {
        suspect = true;
        warnings.add(text);
    }
    // A remark that leaves the code as trustworthy as it was.
    template <typename Text> void note(Text text) { warnings.add(text); }

    // Back to a fresh event while the strings keep their blocks, so the next frame written into this
    // event allocates only what outgrows them.
    void reset();
};

// The walk of a scan's JSON object (json/json_writer.h), raw and deviceId from the views given: a caller
// may still hold their bytes, and a queued scan passes its own.
void writeScanEventJson(JsonBound& out, const ScanEvent& event, std::string_view raw,
                        std::string_view deviceId);
void writeScanEventJson(JsonPut& out, const ScanEvent& event, std::string_view raw,
                        std::string_view deviceId);

} // namespace dorvik
