#include "link.h"

#include <limits>

#include "key_tables.h"
#include "json/json_reader.h"
#include "json/json_writer.h"

namespace dorvik::host {

namespace {

constexpr std::string_view kFramesAt = "],\"frames\":[";
constexpr std::string_view kScansAt = "{\"scans\":[";
constexpr uint16_t kAltMake = 0x38;

std::string takeText(char* text) {
    std::string out = text == nullptr ? std::string() : std::string(text);
    dvk_free(text);
    return out;
}

// Two poll texts as one, oldest first. A quote inside a JSON string is escaped, so the first "],"frames":["
// is where the scans end.
std::string joinPolls(const std::string& older, const std::string& newer) {
    const size_t a = older.find(kFramesAt), b = newer.find(kFramesAt);
    if (older.empty() || a == std::string::npos) return newer;
    if (b == std::string::npos) return older;
    auto join = [](std::string_view x, std::string_view y) {
        return std::string(x) + (x.empty() || y.empty() ? "" : ",") + std::string(y);
    };
    const std::string_view o(older), n(newer);
    const std::string_view oScans = o.substr(kScansAt.size(), a - kScansAt.size());
    const std::string_view nScans = n.substr(kScansAt.size(), b - kScansAt.size());
    const std::string_view oFrames = o.substr(a + kFramesAt.size(), o.size() - a - kFramesAt.size() - 2);
    const std::string_view nFrames = n.substr(b + kFramesAt.size(), n.size() - b - kFramesAt.size() - 2);
    return std::string(kScansAt) + join(oScans, nScans) + std::string(kFramesAt) + join(oFrames, nFrames) +
           "]}";
}

} // namespace

Link::Link(dvk_decoder* decoder, std::string deviceId, bool setUp)
    : decoder_(decoder), deviceId_(std::move(deviceId)), setUp_(setUp) {
    if (setUp_) dvk_decoder_set_profile(decoder_, std::string(kSetUpProfile).c_str());
    readProfile();
}

bool Link::useProfile(const char* profileJson) {
    if (dvk_decoder_set_profile(decoder_, profileJson) != 1) return false;
    setUp_ = false;
    readProfile();
    return true;
}

void Link::readProfile() {
    const std::string profile = takeText(dvk_decoder_profile(decoder_));
    walkJsonObject(profile, [this](const JsonMember& m) {
        if (m.key == "terminator" && m.kind == JsonKind::String) terminator_ = m.string;
        if (m.key == "aimId" && m.kind == JsonKind::Bool) aimId_ = m.boolean;
        if (m.key == "frameTimeoutMs" && m.kind == JsonKind::Number)
            frameTimeoutMs_ = m.number > 0 ? static_cast<uint64_t>(m.number) : 0;
    });
}

void Link::key(uint16_t scanCode, KeyAction action, uint64_t tMs) {
    if (action == KeyAction::Repeat) return;
    const bool down = action == KeyAction::Press;
    const bool right = scanCode > 0xFF;
    switch (scanCode & 0xFF) {
    case 0x2A:
        if (!right) shift_[0] = down; // E0 2A is the fake Shift around Print Screen
        return;
    case 0x36: shift_[1] = down; return;
    case 0x1D: ctrl_[right] = down; return;
    case 0x3A:
        if (down && !right) capsLock_ = !capsLock_;
        return;
    case kAltMake: {
        const bool wasAlt = alt_[0] || alt_[1];
        alt_[right] = down;
        if (wasAlt && !alt_[0] && !alt_[1])
            stroke(kAltMake, {shift_[0] || shift_[1], ctrl_[0] || ctrl_[1], false, capsLock_}, tMs);
        return;
    }
    default: break;
    }
    if (const uint8_t make = typingMakeCode(scanCode); down && make != 0)
        stroke(make, {shift_[0] || shift_[1], ctrl_[0] || ctrl_[1], alt_[0] || alt_[1], capsLock_}, tMs);
}

void Link::keyWith(uint16_t scanCode, KeyAction action, Modifiers given, uint64_t tMs) {
    if (action == KeyAction::Repeat) return;
    const bool down = action == KeyAction::Press;
    if ((scanCode & 0xFF) == kAltMake) {
        // The platform reports Alt with each event: the last Alt is up when a release comes without it.
        if (!down && !given.alt) stroke(kAltMake, {given.shift, given.ctrl, false, given.capsLock}, tMs);
        return;
    }
    if (const uint8_t make = typingMakeCode(scanCode); down && make != 0) stroke(make, given, tMs);
}

void Link::stroke(uint16_t makeCode, Modifiers mods, uint64_t tMs) {
    dvk_decoder_tick(decoder_, tMs); // the ticks an idle host would have made up to this moment
    dvk_decoder_feed_key(decoder_, makeCode, 0, 0, mods.shift, mods.ctrl, mods.alt, mods.capsLock, 0, tMs,
                         deviceId_.c_str());
    waitingSince_ = tMs;
}

void Link::bytes(std::string_view chunk, uint64_t tMs) {
    if (!chunk.empty()) feed(chunk, tMs);
}

void Link::feed(std::string_view chunk, uint64_t tMs) {
    dvk_decoder_tick(decoder_, tMs);
    dvk_decoder_feed_bytes(decoder_, chunk.data(), static_cast<int32_t>(chunk.size()), deviceId_.c_str(),
                           tMs);
    waitingSince_ = tMs;
    const std::string_view splitter = terminator_.empty() ? std::string_view("\r") : terminator_;
    const size_t n = splitter.size();
    // The last bytes fed, as many as the terminator has: a terminator may come split over two chunks.
    if (chunk.size() >= n) {
        tail_.assign(chunk.substr(chunk.size() - n));
    } else {
        tail_ += chunk;
        if (tail_.size() > n) tail_.erase(0, tail_.size() - n);
    }
    bytesOpen_ = tail_ != splitter;
    const size_t last = chunk.rfind(splitter);
    openBytes_ = !bytesOpen_                      ? 0
                 : last == std::string_view::npos ? openBytes_ + chunk.size()
                                                  : chunk.size() - last - n;
}

LayoutStatus Link::useDescriptor(std::string_view descriptor) {
    LayoutResult found = scannedDataLayoutOf(descriptor);
    if (found.status == LayoutStatus::Found) {
        layout_ = std::move(found.layout);
        inCode_ = false;
        streamHeld_.clear();
    }
    return found.status;
}

std::string Link::hidTerminator() const {
    // While setting up, a code ends as a serial scanner's default does; the set-up framing keeps it.
    return setUp_ || terminator_.empty() ? std::string("\r") : terminator_;
}

bool Link::report(uint8_t reportId, std::string_view data, uint64_t tMs) {
    if (!layout_) return false;
    const std::optional<ScannedData> scanned = scannedDataOf(*layout_, reportId, data);
    if (!scanned) return false;
    std::string chunk = !inCode_ && (setUp_ || aimId_) ? scanned->aim : std::string();
    chunk += scanned->data;
    inCode_ = scanned->continued;
    if (!inCode_) chunk += hidTerminator();
    if (!chunk.empty())
        feed(chunk, tMs);
    else
        waitingSince_ = tMs; // an empty report that says more follow still keeps the code waiting
    return true;
}

void Link::stream(std::string_view bytes, uint64_t tMs) {
    if (!layout_) {
        if (!bytes.empty()) notice("skipped", tMs, bytes.size());
        return;
    }
    streamHeld_ += bytes;
    const std::string_view held(streamHeld_);
    const bool numbered = layout_->reportId != 0;
    size_t at = 0, skipped = 0;
    while (at < held.size()) {
        const size_t size = reportSizeAt(*layout_, held.substr(at));
        if (size == 0) { // no declared report starts here: look for the next that does
            ++skipped, ++at;
            continue;
        }
        if (held.size() - at < size) break; // the rest of it comes with the next read
        if (skipped != 0) notice("skipped", tMs, skipped), skipped = 0;
        const uint8_t id = numbered ? static_cast<uint8_t>(held[at]) : 0;
        report(id, held.substr(at + numbered, size - numbered), tMs);
        at += size;
    }
    if (skipped != 0) notice("skipped", tMs, skipped);
    streamHeld_.erase(0, at);
}

void Link::drop(uint64_t tMs) {
    // Reset empties the decoder's queues too: what it closed before is kept for the next poll.
    held_ = joinPolls(held_, takeText(dvk_decoder_poll(decoder_)));
    dvk_decoder_reset(decoder_);
    notice("cut", tMs, openBytes_);
    inCode_ = bytesOpen_ = false;
    openBytes_ = 0;
    tail_.clear();
    waitingSince_.reset();
}

void Link::tick(uint64_t nowMs) {
    const bool timedOut = waitingSince_ && nowMs > *waitingSince_ && nowMs - *waitingSince_ > frameTimeoutMs_;
    // A code whose last report did not come must not close at its time-out as a shorter code.
    if (timedOut && inCode_ && !setUp_) drop(nowMs);
    dvk_decoder_tick(decoder_, nowMs);
    if (timedOut) {
        waitingSince_.reset();
        inCode_ = bytesOpen_ = false; // the decoder closed what was open
        openBytes_ = 0;
        tail_.clear();
    }
}

void Link::end(uint64_t nowMs) {
    if (!streamHeld_.empty()) notice("skipped", nowMs, streamHeld_.size()), streamHeld_.clear();
    if (!setUp_ && (inCode_ || bytesOpen_)) {
        drop(nowMs);
    } else {
        // Nothing more will come: the frame in progress (and a pending Alt code) is complete now, and what
        // comes after (a set-up goes on after a person's key) starts a code of its own.
        dvk_decoder_tick(decoder_, std::numeric_limits<uint64_t>::max() / 2);
        inCode_ = bytesOpen_ = false;
        openBytes_ = 0;
        tail_.clear();
    }
    waitingSince_.reset();
}

int64_t Link::wakeAt() const {
    if (!waitingSince_) return -1;
    const uint64_t at = *waitingSince_ + frameTimeoutMs_ + 1;
    return at > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
               ? std::numeric_limits<int64_t>::max()
               : static_cast<int64_t>(at);
}

std::string Link::poll() {
    char* polled = dvk_decoder_poll(decoder_);
    if (polled == nullptr) return {};
    std::string result = joinPolls(held_, takeText(polled));
    held_.clear();
    return result;
}

void Link::notice(std::string_view kind, uint64_t tMs, size_t bytes) {
    std::string out = "{\"notice\":";
    appendJsonString(out, kind);
    out += ",\"deviceId\":";
    appendJsonString(out, deviceId_);
    out += ",\"tMs\":";
    appendUint(out, tMs);
    out += ",\"bytes\":";
    appendUint(out, bytes);
    out += '}';
    notices_.push_back(std::move(out));
}

std::string Link::takeNotices() {
    std::string out = "[";
    for (size_t i = 0; i < notices_.size(); ++i)
        out += (i ? "," : "") + notices_[i];
    notices_.clear();
    return out + "]";
}

} // namespace dorvik::host
