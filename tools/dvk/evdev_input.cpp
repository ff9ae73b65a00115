// A keyboard scanner read below the keyboard layout: Linux input events (struct input_event) from
// /dev/input/eventN, or from a FIFO or file of such records. Every key event goes to the host kit's link as
// the key's set-1 scan code with the event's own time; the link keeps the modifiers and Caps Lock (from the
// device's LED at the start) and decides what the decoder hears. The device's name is its id.
//
// A record is two time words (seconds, microseconds), u16 type, u16 code, s32 value. The words are 64 bits
// on 64-bit platforms (24-byte records) and 32 bits on 32-bit ARM tills (16 bytes, also with a 64-bit
// time_t: the kernel keeps the record's layout); the device gives this platform's, a recording may come
// from either.
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <utility>

#include "input_source.h"
#include "texts.h"

namespace {

constexpr size_t kPlatformRecordBytes = sizeof(struct input_event);
static_assert(kPlatformRecordBytes == 16 || kPlatformRecordBytes == 24, "an input_event of two time words");

struct KeyEvent {
    uint64_t tMs;
    uint16_t type;
    uint16_t code;
    int32_t value;
};

template <typename T> T fieldAt(const char* record, size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

// One record of `recordBytes` (16 or 24) in this machine's byte order.
KeyEvent eventOf(const char* record, size_t recordBytes) {
    const size_t word = (recordBytes - 8) / 2;
    const uint64_t sec = word == 8 ? fieldAt<uint64_t>(record, 0) : fieldAt<uint32_t>(record, 0);
    const uint64_t usec = word == 8 ? fieldAt<uint64_t>(record, 8) : fieldAt<uint32_t>(record, 4);
    return {sec * 1000 + usec / 1000, fieldAt<uint16_t>(record, 2 * word),
            fieldAt<uint16_t>(record, 2 * word + 2), fieldAt<int32_t>(record, 2 * word + 4)};
}

class EvdevInput final : public InputSource {
  public:
    EvdevInput(int fd, std::string path, std::string name, int clock, bool grab, bool grabbed, bool capsLock,
               size_t recordBytes)
        : fd_(fd), path_(std::move(path)), name_(std::move(name)), id_(name_.empty() ? path_ : name_),
          clock_(clock), grab_(grab), grabbed_(grabbed), capsLock_(capsLock), recordBytes_(recordBytes) {}
    ~EvdevInput() override {
        if (grabbed_) ioctl(fd_, EVIOCGRAB, 0);
        close(fd_);
    }
    int fd() const override { return fd_; }
    void attach(dvkh_link* link) override { dvkh_link_set_caps_lock(link, capsLock_ ? 1 : 0); }
    bool feed(dvkh_link* link, dvk_decoder* /*decoder*/) override {
        char buffer[64 * 24];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0) return errno == EAGAIN || errno == EINTR; // ENODEV: unplugged
        if (n == 0) return false;
        pending_.append(buffer, static_cast<size_t>(n));
        size_t at = 0;
        for (; pending_.size() - at >= recordBytes_; at += recordBytes_) {
            const KeyEvent event = eventOf(pending_.data() + at, recordBytes_);
            if (event.type == EV_KEY) key(link, event);
        }
        pending_.erase(0, at); // a FIFO may deliver part of a record
        return true;
    }
    uint64_t nowMs() const override {
        if (clock_ >= 0) {
            struct timespec now = {};
            clock_gettime(clock_, &now);
            return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
        }
        // A recording's clock: idle time runs on from its last event.
        return seen_ ? lastEventMs_ + (monotonicMs() - lastArrivalMs_) : monotonicMs();
    }
    const std::string& deviceId() const override { return id_; }
    const char* transport() const override { return "hid"; }
    std::string deviceName() const override { return name_; }
    std::string description() const override {
        return path_ + (name_.empty() ? "" : " «" + name_ + "»") +
               (grabbed_ ? dvkhost::text("evdev.captured") : "");
    }

  protected:
    std::string settings() const override {
        return std::string("\"exclusiveCapture\": ") + (grab_ ? "true" : "false");
    }

  private:
    void key(dvkh_link* link, const KeyEvent& event) {
        lastEventMs_ = event.tMs;
        lastArrivalMs_ = monotonicMs();
        seen_ = true;
        // The event's value is the link's action: 0 release, 1 press, 2 auto-repeat.
        dvkh_link_key(link, dvkh_scan_code_of_linux_key(event.code), event.value, event.tMs);
    }

    int fd_;
    std::string path_;
    std::string name_;
    std::string id_;
    int clock_;     // the clock of a device's time stamps; -1 for a FIFO or a file
    bool grab_;     // asked for by the profile
    bool grabbed_;  // and done (a FIFO or a file cannot be grabbed)
    bool capsLock_; // the LED when opened
    size_t recordBytes_;
    std::string pending_;
    bool seen_ = false;
    uint64_t lastEventMs_ = 0;
    uint64_t lastArrivalMs_ = 0;
};

} // namespace

bool keyboardsByPath() { return false; }
std::vector<std::string> keyboardPaths() { return {}; }
std::unique_ptr<InputSource> openKeyboardDevice(const std::string&, const std::string&, std::string&) {
    return nullptr; // --keyboard-device is no option here
}

std::unique_ptr<InputSource> openEvdev(const std::string& path, bool grab, size_t recordBytes,
                                       std::string& error) {
    struct stat info = {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = dvkhost::text("evdev.directory", {path});
        return nullptr;
    }
    // Blocking open: a FIFO waits here for its writer (Ctrl+C interrupts).
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = dvkhost::text(errno == EACCES ? "evdev.cannotOpenGroup" : "device.cannotOpen",
                              {path, std::strerror(errno)});
        return nullptr;
    }
    // On a FIFO or a file these ioctls fail (ENOTTY): no name, no grab, Caps Lock off, the recording's clock.
    int clock = CLOCK_MONOTONIC;
    if (ioctl(fd, EVIOCSCLOCKID, &clock) != 0)
        clock = fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) ? CLOCK_REALTIME : -1;
    char name[256] = {};
    const bool named = ioctl(fd, EVIOCGNAME(sizeof name - 1), name) > 0;
    unsigned char leds[(LED_MAX + 8) / 8] = {};
    const bool capsLock =
        ioctl(fd, EVIOCGLED(sizeof leds), leds) >= 0 && (leds[LED_CAPSL / 8] >> (LED_CAPSL % 8)) & 1;
    bool grabbed = false;
    if (grab) {
        grabbed = ioctl(fd, EVIOCGRAB, 1) == 0;
        if (!grabbed && errno != ENOTTY && errno != EINVAL) {
            error = dvkhost::text(errno == EBUSY ? "evdev.cannotCaptureBusy" : "evdev.cannotCapture",
                                  {path, std::strerror(errno)});
            close(fd);
            return nullptr;
        }
    }
    // A device delivers this platform's records whatever was asked.
    const bool device = fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
    return std::make_unique<EvdevInput>(fd, path, named ? std::string(name) : std::string(), clock, grab,
                                        grabbed, capsLock,
                                        device || recordBytes == 0 ? kPlatformRecordBytes : recordBytes);
}
