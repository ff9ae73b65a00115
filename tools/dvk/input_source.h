// Where a scanner's input comes from, for dvk listen and dvk tune: a serial port, a Linux input-event device
// (or a FIFO or file of its records), a HID-POS scanner on hidraw, or the terminal. A source reads what is
// ready and hands it to the host kit's link (dorvik_host.h) with its time stamps; the link holds the rules
// (key codes, modifiers, HID-POS reports, set-up framing, cut codes). The pump around it is the host loop
// (feed, tick while idle, poll, tell the link's notices).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dorvik_c.h"
#include "dorvik_host.h"

// Serial line settings and the capture flag, as a profile holds them.
struct PortSettings {
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N';
    int stopBits = 1;
    bool rtsCts = false;
    bool exclusiveCapture = false;
};

// The settings of a profile as dvk_decoder_profile writes it (every key present).
PortSettings portSettingsOf(const std::string& profileJson);

// "9600 8N1", "115200 7E2 RTS/CTS".
std::string describePort(const PortSettings& port);

// Why no serial port can be opened with these settings, one line; "" when one can.
std::string portSettingsProblem(const PortSettings& port);
// The line settings as profile members ("\"baud\": 9600, ...").
std::string portMembers(const PortSettings& port);

class InputSource {
  public:
    virtual ~InputSource() = default;
    InputSource() = default;
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;

    // The descriptor the pump waits on; -1 for a source that waits in feedWithin (Windows).
    virtual int fd() const { return -1; }
    // Gives the link what this source knows of its device before the first read (a HID-POS descriptor, the
    // Caps Lock LED).
    virtual void attach(dvkh_link* /*link*/) {}
    // Reads what is ready and hands it to the link (the terminal types into `decoder` itself). False at the
    // end of input (end of file, the port hung up, a read error).
    virtual bool feed(dvkh_link* link, dvk_decoder* decoder) = 0;
    // Waits at most `timeoutMs` for input, then feeds; a source with a descriptor is waited on by the pump.
    virtual bool feedWithin(dvkh_link* link, dvk_decoder* decoder, int /*timeoutMs*/) {
        return feed(link, decoder);
    }
    // A key the person pressed that the source kept from the decoder (see openTerminal); 0 for none.
    virtual char takeKey() { return 0; }
    // Now, on the clock of the time stamps this source feeds.
    virtual uint64_t nowMs() const = 0;
    // The device id its inputs carry, and the profile's transport and device name for it.
    virtual const std::string& deviceId() const = 0;
    virtual const char* transport() const = 0;
    virtual std::string deviceName() const { return ""; }
    // One line for the person: what is read, how.
    virtual std::string description() const = 0;
    // The learned or used profile with what this source knows written in: transport, name, its settings.
    std::string recordIn(const std::string& profileJson) const;

  protected:
    // Profile members of the settings this source was opened with ("\"baud\": 9600, ..."); "" for none.
    virtual std::string settings() const { return ""; }
};

// The option that names a serial port: --serial, and on Windows --com too.
bool namesSerialPort(const std::string& option);
// Each returns null with `error` set (one line) when the device cannot be used as asked.
std::unique_ptr<InputSource> openSerial(const std::string& path, const PortSettings& port,
                                        std::string& error);
// `recordBytes` 0 for this platform's struct input_event; 16 or 24 for a recording made on a till with
// 32-bit or 64-bit time fields.
std::unique_ptr<InputSource> openEvdev(const std::string& path, bool grab, size_t recordBytes,
                                       std::string& error);
// A scanner in HID-POS mode; its report descriptor from the device, or from `descriptorPath` when given.
// The link puts the AIM identifier before a code as the profile says, and its terminator after it.
std::unique_ptr<InputSource> openHidPos(const std::string& path, const std::string& descriptorPath,
                                        std::string& error);
// HID-POS scanners (usage page 0x8C) by device path, with the product's name, through Windows' HID API; none
// on Linux, where --hidraw names one. On Windows openHidPos takes such a path alone (the layout from the HID
// parser), or a recording of reads with its descriptor.
struct HidPosScanner {
    std::string path;
    std::string name;
};
std::vector<HidPosScanner> hidPosScanners();
// Keyboards told apart by device path (Windows' Raw Input): false on Linux, where --evdev names one.
bool keyboardsByPath();
std::vector<std::string> keyboardPaths();
// The keyboard at `path` alone; its keys from a recording of Raw Input records when `recording` is given.
std::unique_ptr<InputSource> openKeyboardDevice(const std::string& path, const std::string& recording,
                                                std::string& error);
// Standard input: raw mode on a terminal (Ctrl+C stops, Ctrl+Z suspends and resumes raw), bytes typed as key
// strokes under `deviceId`. With `setUpKeys`, where keyboard and scanner share the terminal, Esc or Ctrl+D
// typed on its own, longer than the set-up burst gap after any other byte, is the person's key: not fed, but
// taken by takeKey.
std::unique_ptr<InputSource> openTerminal(const std::string& deviceId, bool setUpKeys);

// Ctrl+C, Ctrl+\ (SIGQUIT), SIGTERM and SIGHUP ask the pump to stop (instead of killing the process).
void installStopHandlers();
bool stopRequested();

uint64_t monotonicMs();

// A profile JSON with some members given new values ("\"baud\": 19200, \"parity\": \"E\""), written again by
// the library; the text unchanged when the result is not a profile.
std::string withProfileValues(const std::string& profileJson, const std::string& members);

// The device options that dvk listen and dvk tune share: --serial PATH, --evdev PATH, --hidraw PATH, --baud
// N, --event-size N, --hid-descriptor FILE, --profile FILE.
struct DeviceOptions {
    std::string serial;
    std::string evdev;
    std::string hidraw; // --hidraw, and on Windows --hid-device too
    std::string hidDescriptor;
    std::string profilePath;
    std::string keyboardDevice; // --keyboard-device PATH and --raw-input-log FILE, where keyboardsByPath()
    std::string rawInputLog;
    std::optional<int32_t> baud;
    size_t eventBytes = 0;

    // Takes args[i] (and its value, moving i on) when it is one of them: 1 taken, 0 not one of them, -1 bad
    // (with `error` set).
    int take(const std::vector<std::string>& args, size_t& i, std::string& error);
    bool chosen() const {
        return !serial.empty() || !evdev.empty() || !hidraw.empty() || !keyboardDevice.empty();
    }
    // The profile's text (a checked profile) from --profile, or else from `fallbackPath` when that file
    // exists ("" and no fallback: none), and, when a device was chosen, that device opened with the
    // profile's settings (--baud overriding). `usedPath` names the file read. False with `error` set (one
    // line), also for a profile file that is there but unreadable or no profile.
    bool open(std::string& profileText, std::unique_ptr<InputSource>& source, std::string& error,
              const std::string& fallbackPath = "", std::string* usedPath = nullptr) const;
};

// The host loop around a source, through one link of the host kit into `decoder` (which has its profile
// already; with `setUp` the link gives it the set-up profile and frames as a set-up does): every round waits
// at most one tick (25 ms, less when the link wakes sooner) for input, feeds it, ticks and polls. At the end
// of input (or a stop) the link ends the input (a code cut short is dropped, a set-up frame closes) and the
// pump polls; the round after that says `ended`. Every notice of the link goes to stderr as one line. A key
// the source took is reported as `key`, and so, with `keyFd` (a raw terminal), is a key typed there on its
// own (one byte: Esc, Ctrl+D); other bytes typed there are dropped.
class InputPump {
  public:
    InputPump(InputSource& source, dvk_decoder* decoder, bool setUp = false, int keyFd = -1);
    ~InputPump();
    InputPump(const InputPump&) = delete;
    InputPump& operator=(const InputPump&) = delete;
    struct Round {
        std::string poll; // what dvk_decoder_poll returned this round
        char key = 0;
        bool ended = false;
    };
    Round next();
    // Closes the frame in progress now and polls: a person's key ends what was typed before it.
    std::string closeFrame();
    // Ends the input at the next round, as a stop request does; another thread may ask.
    void stop() { stopAsked_ = true; }
    bool stopped() const { return stopAsked_; }
    // The link's notices (its JSON text) go to `sink` instead of stderr.
    void sendNoticesTo(std::function<void(const std::string&)> sink) { noticeSink_ = std::move(sink); }

  private:
    // Waits at most `timeoutMs` for the source or a key and feeds what came (pump_*.cpp); true at the end of
    // input.
    bool waitAndFeed(int timeoutMs, Round& round);
    std::string poll();

    InputSource& source_;
    dvk_decoder* decoder_;
    dvkh_link* link_;
    int keyFd_;
    bool finished_ = false;
    std::atomic<bool> stopAsked_ = false;
    std::function<void(const std::string&)> noticeSink_;
};
