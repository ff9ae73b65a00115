#include "input_source.h"

#include <memory>
#include <new>

#include "answers.h"
#include "cli.h"
#include "json_reader.h"
#include "platform.h"
#include "remembered_profile.h"
#include "texts.h"

namespace {

int intField(const std::string& json, const std::string& key, int fallback) {
    const auto value = parseInt(dvkhost::jsonScalarField(json, key));
    return value ? *value : fallback;
}

} // namespace

PortSettings portSettingsOf(const std::string& profileJson) {
    PortSettings port;
    port.baud = intField(profileJson, "baud", port.baud);
    port.dataBits = intField(profileJson, "dataBits", port.dataBits);
    port.stopBits = intField(profileJson, "stopBits", port.stopBits);
    const std::string parity = dvkhost::jsonStringField(profileJson, "parity");
    if (parity.size() == 1) port.parity = parity[0];
    port.rtsCts = dvkhost::jsonScalarField(profileJson, "rtsCts") == "true";
    port.exclusiveCapture = dvkhost::jsonScalarField(profileJson, "exclusiveCapture") == "true";
    return port;
}

std::string describePort(const PortSettings& port) {
    return std::to_string(port.baud) + " " + std::to_string(port.dataBits) + port.parity +
           std::to_string(port.stopBits) + (port.rtsCts ? " RTS/CTS" : "");
}

std::string portSettingsProblem(const PortSettings& port) {
    if (port.dataBits < 5 || port.dataBits > 8)
        return dvkhost::text("serial.dataBits", {std::to_string(port.dataBits)});
    if (port.stopBits != 1 && port.stopBits != 2)
        return dvkhost::text("serial.stopBits", {std::to_string(port.stopBits)});
    return "";
}

std::string portMembers(const PortSettings& port) {
    return "\"baud\": " + std::to_string(port.baud) + ", \"dataBits\": " + std::to_string(port.dataBits) +
           ", \"parity\": " + jsonQuote(std::string(1, port.parity)) +
           ", \"stopBits\": " + std::to_string(port.stopBits) +
           ", \"rtsCts\": " + (port.rtsCts ? "true" : "false");
}

std::string withProfileValues(const std::string& profileJson, const std::string& members) {
    // The reader takes the later of two values of a key; the writer puts every key in its place once.
    const size_t close = profileJson.rfind('}');
    if (close == std::string::npos || members.empty()) return profileJson;
    const std::string merged = profileJson.substr(0, close) + ", " + members + "}";
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> scratch(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (dvk_decoder_set_profile(scratch.get(), merged.c_str()) != 1) return profileJson;
    return dvkhost::takeText(dvk_decoder_profile(scratch.get()));
}

std::string InputSource::recordIn(const std::string& profileJson) const {
    std::string members = "\"transport\": " + jsonQuote(transport());
    if (!deviceName().empty()) members += ", \"deviceName\": " + jsonQuote(deviceName());
    const std::string more = settings();
    return withProfileValues(profileJson, more.empty() ? members : members + ", " + more);
}

int DeviceOptions::take(const std::vector<std::string>& args, size_t& i, std::string& error) {
    const std::string& arg = args[i];
    std::string* const text = namesSerialPort(arg)                                                ? &serial
                              : arg == "--evdev"                                                  ? &evdev
                              : arg == "--hidraw" || (keyboardsByPath() && arg == "--hid-device") ? &hidraw
                              : arg == "--hid-descriptor"  ? &hidDescriptor
                              : arg == "--profile"         ? &profilePath
                              : !keyboardsByPath()         ? nullptr
                              : arg == "--keyboard-device" ? &keyboardDevice
                              : arg == "--raw-input-log"   ? &rawInputLog
                                                           : nullptr;
    if (text == nullptr && arg != "--baud" && arg != "--event-size") return 0;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = dvkhost::text("arg.noValue", {arg});
        return -1;
    }
    const std::string& value = args[++i];
    if (text != nullptr) {
        *text = value;
    } else if (arg == "--baud") {
        baud = parseInt(value);
        if (!baud || *baud <= 0) {
            error = dvkhost::text("device.badBaud", {value});
            return -1;
        }
    } else {
        eventBytes = value == "16" ? 16 : value == "24" ? 24 : 0;
        if (eventBytes == 0) {
            error = dvkhost::text("device.badEventSize", {value});
            return -1;
        }
    }
    return 1;
}

bool DeviceOptions::open(std::string& profileText, std::unique_ptr<InputSource>& source, std::string& error,
                         const std::string& fallbackPath, std::string* usedPath) const {
    if (!serial.empty() + !evdev.empty() + !hidraw.empty() + !keyboardDevice.empty() > 1) {
        error = dvkhost::text("device.two");
        return false;
    }
    if (baud && serial.empty()) {
        error = dvkhost::text("device.baudSerial");
        return false;
    }
    if (eventBytes && evdev.empty()) {
        error = dvkhost::text("device.eventSizeEvdev");
        return false;
    }
    if (!hidDescriptor.empty() && hidraw.empty()) {
        error = dvkhost::text("device.descriptorHidraw");
        return false;
    }
    // A remembered profile that is there must be good, as a named one.
    const std::string path = !profilePath.empty()                                        ? profilePath
                             : !fallbackPath.empty() && platform::mayExist(fallbackPath) ? fallbackPath
                                                                                         : "";
    if (!path.empty()) {
        const auto content = readProfileFile(path, error);
        if (!content) return false;
        profileText = *content;
        if (usedPath) *usedPath = path;
    }
    if (!chosen()) return true;
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> scratch(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (!profileText.empty()) dvk_decoder_set_profile(scratch.get(), profileText.c_str());
    const std::string profile = dvkhost::takeText(dvk_decoder_profile(scratch.get()));
    PortSettings port = portSettingsOf(profile);
    if (baud) port.baud = *baud;
    if (!rawInputLog.empty() && keyboardDevice.empty()) {
        error = dvkhost::text("device.logKeyboard");
        return false;
    }
    if (!serial.empty())
        source = openSerial(serial, port, error);
    else if (!keyboardDevice.empty())
        source = openKeyboardDevice(keyboardDevice, rawInputLog, error);
    else if (!evdev.empty())
        source = openEvdev(evdev, port.exclusiveCapture, eventBytes, error);
    else
        source = openHidPos(hidraw, hidDescriptor, error);
    return source != nullptr;
}

InputPump::InputPump(InputSource& source, dvk_decoder* decoder, bool setUp, int keyFd)
    : source_(source), decoder_(decoder),
      link_(dvkh_link_new(decoder, source.deviceId().c_str(), setUp ? 1 : 0)), keyFd_(keyFd) {
    if (link_ == nullptr) throw std::bad_alloc();
    source_.attach(link_);
}

InputPump::~InputPump() { dvkh_link_free(link_); }

InputPump::Round InputPump::next() {
    Round round;
    if (finished_) {
        round.ended = true;
        return round;
    }
    // One tick at most, less when the link has a time-out due sooner.
    const int64_t wakeAt = dvkh_link_wake_at(link_);
    const uint64_t now = source_.nowMs();
    const int timeout = wakeAt < 0 || static_cast<uint64_t>(wakeAt) >= now + 25
                            ? 25
                            : static_cast<int>(static_cast<uint64_t>(wakeAt) > now ? wakeAt - now : 0);
    const bool end = waitAndFeed(timeout, round);
    if (end || stopRequested() || stopAsked_) {
        finished_ = true;
        round.poll = closeFrame();
        return round;
    }
    dvkh_link_tick(link_, source_.nowMs());
    round.poll = poll();
    return round;
}

std::string InputPump::closeFrame() {
    // Nothing more comes before the person's key or the end: a code still waiting for its terminator or
    // its last report is dropped, the frame of a set-up or of key strokes (and a pending Alt code) closes.
    dvkh_link_end(link_, source_.nowMs());
    return poll();
}

std::string InputPump::poll() {
    std::string polled = dvkhost::takeText(dvkh_link_poll(link_));
    const std::string notices = dvkhost::takeText(dvkh_link_notices(link_));
    if (noticeSink_) {
        if (notices.find("\"notice\":") != std::string::npos) noticeSink_(notices);
        return polled;
    }
    dvkhost::JsonCursor at(notices);
    while (at.find("\"notice\":")) {
        const std::string kind = at.string();
        const std::string device = at.past("\"deviceId\":").string();
        const uint64_t bytes = at.past("\"bytes\":").number();
        platform::writeError(
            "dvk: " +
            dvkhost::text(kind == "cut" ? "input.cut" : "input.skipped", {device, std::to_string(bytes)}) +
            "\n");
    }
    return polled;
}
