#include "analysis/scan_event.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "json/json_writer.h"

namespace dorvik {

namespace {

constexpr std::string_view title(CodeKind kind) {
    switch (kind) {
    case CodeKind::Ean8: return "EAN-8";
    case CodeKind::Ean13: return "EAN-13";
    case CodeKind::UpcA: return "UPC-A";
    case CodeKind::Itf14: return "ITF-14";
    case CodeKind::Code39: return "Code 39";
    case CodeKind::Code128: return "Code 128";
    case CodeKind::Gs1_128: return "GS1-128";
    case CodeKind::DataMatrix: return "DataMatrix (маркировка)";
    case CodeKind::Qr: return "QR";
    case CodeKind::Weight: return "весовой ШК";
    case CodeKind::Loyalty: return "карта лояльности";
    case CodeKind::Excise: return "акцизная марка (ЕГАИС)";
    default: return "неизвестный";
    }
}

// The titles are written between quotes as they are, unescaped.
static_assert([] {
    for (int32_t kind = 0; kind <= static_cast<int32_t>(CodeKind::Excise); ++kind) {
        for (const char c : title(static_cast<CodeKind>(kind)))
            if (c == '"' || c == '\\' || (static_cast<unsigned char>(c) < 0x20)) return false;
    }
    return true;
}());

} // namespace

void Warnings::clear() {
    plain_ = 0;
    // Kept only where add() made room for them, so that clearing cannot fail.
    if (spare_.strings.capacity() - spare_.strings.size() >= texts_.size()) {
        for (std::string& text : texts_) {
            text.clear();
            spare_.strings.push_back(std::move(text));
        }
    }
    texts_.clear();
}

void Warnings::add(std::string_view text, bool plain) {
    const size_t at = texts_.size();
    if (spare_.strings.empty()) {
        texts_.emplace_back(text);
        spare_.strings.reserve(texts_.capacity());
    } else {
        // Taken back only once the new warning is in place, so that a failed allocation loses no block.
        std::string& kept = spare_.strings.back();
        kept.assign(text);
        texts_.push_back(std::move(kept));
        spare_.strings.pop_back();
    }
    if (plain && at < 64) plain_ |= uint64_t{1} << at;
}

void ScanEvent::reset() {
    for (std::string* text : {&raw, &data, &aimId, &deviceId, &gtin, &serial, &mrc, &cryptoTail, &itemCode})
        text->clear();
    kind = CodeKind::Unknown;
    tMs = 0;
    fromBoundDevice = marked = gsRepaired = gsGuess = suspect = false;
    weightKg = 0.0;
    warnings.clear();
}

namespace {

// Room for the object whatever its bytes are: sized by the same walk that writes it, so that its key order
// is written once.
class Bound {
  public:
    void text(std::string_view literal) { size_ += literal.size(); }
    void string(std::string_view value) { size_ += jsonStringBound(std::min(value.size(), kLargest)); }
    void plainString(std::string_view value) { size_ += std::min(value.size(), kLargest) + 2; }
    void rawThenData(std::string_view raw, std::string_view between, std::string_view data) {
        string(raw);
        text(between);
        string(data);
    }
    void number(std::string_view digits) { size_ += digits.size(); }
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

// Into a block with kJsonSlack bytes of room beyond the bound.
class Put {
  public:
    explicit Put(char* at) : at_(at) {}
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
    // The data is most often the raw frame without its framing: its escaped bytes are then a run of the
    // raw's and are copied rather than scanned again.
    void rawThenData(std::string_view raw, std::string_view between, std::string_view data) {
        const size_t offset = offsetIn(raw, data);
        if (offset == std::string_view::npos) {
            string(raw);
            text(between);
            string(data);
            return;
        }
        *at_++ = '"';
        if (offset > 0) at_ = putJsonChars(at_, raw.substr(0, offset));
        char* const run = at_;
        at_ = putJsonChars(at_, raw.substr(offset, data.size()));
        const size_t runSize = static_cast<size_t>(at_ - run);
        if (offset + data.size() < raw.size()) at_ = putJsonChars(at_, raw.substr(offset + data.size()));
        *at_++ = '"';
        text(between);
        *at_++ = '"';
        std::memcpy(at_, run, runSize);
        at_ += runSize;
        *at_++ = '"';
    }
    void number(std::string_view digits) { text(digits); }
    // Five bytes either way, a copy of known size: the space behind "true" is written over by what
    // follows, and something always follows a boolean in the object.
    void boolean(bool value) {
        std::memcpy(at_, value ? "true " : "false", 5);
        at_ += value ? 4 : 5;
    }
    char* end() const { return at_; }

  private:
    // Where the framing stripped from the raw frame could end: an AIM identifier and a short prefix.
    static size_t offsetIn(std::string_view raw, std::string_view data) {
        constexpr size_t kFurthest = 32;
        if (data.empty() || data.size() > raw.size()) return std::string_view::npos;
        const size_t last = std::min(raw.size() - data.size(), kFurthest);
        for (size_t offset = 0; offset <= last; ++offset) {
            if (std::memcmp(raw.data() + offset, data.data(), data.size()) == 0) return offset;
        }
        return std::string_view::npos;
    }

    char* at_;
};

// The numbers, formatted once for both walks.
struct Numbers {
    explicit Numbers(const ScanEvent& e) {
        kindEnd = std::to_chars(kind, kind + sizeof kind, static_cast<int32_t>(e.kind)).ptr;
        tMsEnd = std::to_chars(tMs, tMs + sizeof tMs, e.tMs).ptr;
        weightEnd = putDouble(weight, e.weightKg);
    }
    char kind[12];
    char tMs[21];
    char weight[kDoubleRoom];
    char* kindEnd;
    char* tMsEnd;
    char* weightEnd;
};

template <typename Out>
void walk(Out& out, const ScanEvent& e, std::string_view raw, std::string_view deviceId, const Numbers& n) {
    out.text("{\"raw\":");
    out.rawThenData(raw, ",\"data\":", e.data);
    out.text(",\"kind\":");
    out.number({n.kind, static_cast<size_t>(n.kindEnd - n.kind)});
    out.text(",\"kindTitle\":\"");
    out.text(title(e.kind));
    out.text("\",\"aimId\":");
    out.string(e.aimId);
    out.text(",\"deviceId\":");
    out.string(deviceId);
    out.text(",\"tMs\":");
    out.number({n.tMs, static_cast<size_t>(n.tMsEnd - n.tMs)});
    out.text(",\"fromBoundDevice\":");
    out.boolean(e.fromBoundDevice);
    out.text(",\"marked\":");
    out.boolean(e.marked);
    out.text(",\"gtin\":");
    out.string(e.gtin);
    out.text(",\"serial\":");
    out.string(e.serial);
    out.text(",\"mrc\":");
    out.string(e.mrc);
    out.text(",\"cryptoTail\":");
    out.string(e.cryptoTail);
    out.text(",\"weightKg\":");
    out.number({n.weight, static_cast<size_t>(n.weightEnd - n.weight)});
    out.text(",\"itemCode\":");
    out.string(e.itemCode);
    out.text(",\"gsRepaired\":");
    out.boolean(e.gsRepaired);
    out.text(",\"gsGuess\":");
    out.boolean(e.gsGuess);
    out.text(",\"suspect\":");
    out.boolean(e.suspect);
    out.text(",\"warnings\":[");
    for (size_t i = 0; i < e.warnings.size(); ++i) {
        if (i > 0) out.text(",");
        if (e.warnings.plain(i))
            out.plainString(e.warnings[i]);
        else
            out.string(e.warnings[i]);
    }
    out.text("]}");
}

size_t boundOf(const ScanEvent& event, std::string_view raw, std::string_view deviceId, const Numbers& n) {
    Bound bound;
    walk(bound, event, raw, deviceId, n);
    return bound.size() + kJsonSlack;
}

} // namespace

size_t scanEventJsonRoom(const ScanEvent& event, std::string_view raw, std::string_view deviceId) {
    return boundOf(event, raw, deviceId, Numbers(event));
}

size_t putScanEventJson(const ScanEvent& event, std::string_view raw, std::string_view deviceId, char* room,
                        size_t roomSize) {
    const Numbers numbers(event);
    if (boundOf(event, raw, deviceId, numbers) > roomSize) return 0;
    Put put(room);
    walk(put, event, raw, deviceId, numbers);
    return static_cast<size_t>(put.end() - room);
}

void appendScanEventJson(std::string& out, const ScanEvent& event) {
    char buffer[kScanEventStackRoom];
    const size_t size = putScanEventJson(event, event.raw, event.deviceId, buffer, sizeof buffer);
    if (size > 0) {
        out.append(buffer, size);
        return;
    }
    const size_t start = out.size();
    out.resize(start + scanEventJsonRoom(event, event.raw, event.deviceId));
    out.resize(start +
               putScanEventJson(event, event.raw, event.deviceId, out.data() + start, out.size() - start));
}

} // namespace dorvik
