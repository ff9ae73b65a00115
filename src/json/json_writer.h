// The one writer of the library's JSON texts. Texts are bytes; nothing is validated or converted.
//
// Every text has a fixed shape, written once as a walk over its members: a function template that calls
// text/string/number/boolean on an `out` it is given. The walk runs twice, first into a JsonBound for the
// room that surely holds the text (no estimate by hand), then into a JsonPut that writes it into that
// room; jsonText and putJson run both. A text inside another (the profile inside the tuner's state, the
// scans inside a poll) is its walk called from the outer one.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace dorvik {

// Room that any text of `length` bytes fits in as a JSON string: six bytes a byte at worst, and the quotes.
inline constexpr size_t jsonStringBound(size_t length) { return 6 * length + 2; }
// The escaped bytes of a text, without quotes, written sixteen at a time: the block written into must hold
// this much room beyond the bound of everything written into it. Returns the end.
inline constexpr size_t kJsonSlack = 16;
char* putJsonChars(char* at, std::string_view text);
// True when every byte stands for itself in a JSON string: no control byte, quote or backslash.
constexpr bool needsNoJsonEscape(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') return false;
    }
    return true;
}

// "%.10g" with a full stop whatever the locale, into kDoubleRoom bytes; returns the end.
inline constexpr size_t kDoubleRoom = 40;
char* putDouble(char* at, double value);

// A JSON string appended to a string grown once to its exact size (the hosts' texts, the benchmarks' floor).
void appendJsonString(std::string& out, std::string_view text);
// Decimal digits of a number.
void appendUint(std::string& out, uint64_t value);

// The first walk: room for the text whatever its bytes are.
class JsonBound {
  public:
    void text(std::string_view literal) { size_ += literal.size(); }
    void string(std::string_view value) { size_ += jsonStringBound(std::min(value.size(), kLargest)); }
    // A value known to need no escape (a text of the library's own).
    void plainString(std::string_view value) { size_ += std::min(value.size(), kLargest) + 2; }
    // Two strings, the second most often a run of the first near its start (a frame and its data).
    void stringAndPart(std::string_view whole, std::string_view between, std::string_view part) {
        string(whole);
        text(between);
        string(part);
    }
    template <typename Integer> void number(Integer) { size_ += 20; } // a sign and 19 digits, or 20 digits
    void number(double) { size_ += kDoubleRoom; }
    void boolean(bool) { size_ += 5; }
    // Past any room a caller has once a text is longer than this, and far from overflowing the sum. A 32-bit
    // target takes an eighth of its address space, which keeps the sum in range while its heap stays below
    // 512 MB, as the WebAssembly build's does.
    static constexpr size_t kLargest =
        static_cast<size_t>(std::min<uint64_t>(uint64_t{1} << 32, std::numeric_limits<size_t>::max() / 8));
    size_t size() const { return size_; }

  private:
    size_t size_ = 0;
};

// The second walk: into a block with kJsonSlack bytes of room beyond the bound.
class JsonPut {
  public:
    explicit JsonPut(char* at) : at_(at) {}
    void text(std::string_view literal) {
        std::memcpy(at_, literal.data(), literal.size());
        at_ += literal.size();
    }
    // Most of the fields of a scan are empty.
    void string(std::string_view value) {
        if (value.empty()) {
            text("\"\"");
        } else {
            *at_++ = '"';
            at_ = putJsonChars(at_, value);
            *at_++ = '"';
        }
    }
    void plainString(std::string_view value) {
        *at_++ = '"';
        text(value);
        *at_++ = '"';
    }
    // When `part` is a run of `whole`, its escaped bytes are copied rather than scanned again.
    void stringAndPart(std::string_view whole, std::string_view between, std::string_view part);
    template <typename Integer> void number(Integer value) { at_ = std::to_chars(at_, at_ + 20, value).ptr; }
    void number(double value) { at_ = putDouble(at_, value); }
    // Five bytes either way, a copy of known size: the bound counts five, and the space behind "true" is
    // written over by whatever follows or left beyond the end.
    void boolean(bool value) {
        std::memcpy(at_, value ? "true " : "false", 5);
        at_ += value ? 4 : 5;
    }
    char* end() const { return at_; }

  private:
    char* at_;
};

inline void JsonPut::stringAndPart(std::string_view whole, std::string_view between, std::string_view part) {
    // Where the part could start: within an AIM identifier and a short prefix of the whole.
    constexpr size_t kFurthest = 32;
    size_t offset = std::string_view::npos;
    if (!part.empty() && part.size() <= whole.size()) {
        const size_t last = std::min(whole.size() - part.size(), kFurthest);
        for (size_t at = 0; at <= last; ++at) {
            if (std::memcmp(whole.data() + at, part.data(), part.size()) == 0) {
                offset = at;
                break;
            }
        }
    }
    if (offset == std::string_view::npos) {
        string(whole);
        text(between);
        string(part);
        return;
    }
    *at_++ = '"';
    if (offset > 0) at_ = putJsonChars(at_, whole.substr(0, offset));
    char* const run = at_;
    at_ = putJsonChars(at_, whole.substr(offset, part.size()));
    const size_t runSize = static_cast<size_t>(at_ - run);
    if (offset + part.size() < whole.size()) at_ = putJsonChars(at_, whole.substr(offset + part.size()));
    *at_++ = '"';
    text(between);
    *at_++ = '"';
    std::memcpy(at_, run, runSize);
    at_ += runSize;
    *at_++ = '"';
}

// A room that most texts fit in, for a writer that puts them on the stack first.
inline constexpr size_t kJsonStackRoom = 8192;

// The room that surely holds the text of `walk`.
template <typename Walk> size_t jsonRoom(const Walk& walk) {
    JsonBound bound;
    walk(bound);
    return bound.size() + kJsonSlack;
}

// The text written into `room` when it surely fits in `roomSize` bytes; its size, or 0 with nothing written.
template <typename Walk> size_t putJson(const Walk& walk, char* room, size_t roomSize) {
    if (jsonRoom(walk) > roomSize) return 0;
    JsonPut put(room);
    walk(put);
    return static_cast<size_t>(put.end() - room);
}

// The text as a string of its own: written on the stack when it fits there, so the string is allocated once
// at its size.
template <typename Walk> std::string jsonText(const Walk& walk) {
    char buffer[kJsonStackRoom];
    const size_t size = putJson(walk, buffer, sizeof buffer);
    if (size > 0) return std::string(buffer, size);
    std::string out(jsonRoom(walk), '\0');
    JsonPut put(out.data());
    walk(put);
    out.resize(static_cast<size_t>(put.end() - out.data()));
    return out;
}

} // namespace dorvik
