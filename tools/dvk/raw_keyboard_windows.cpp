// Keyboard scanners through Raw Input, each keyboard by its own device path (\\?\HID#VID_...), which stays
// the same across reboots: only the bound keyboard's keys reach the link, so a person typing on another
// keyboard never makes a scan. A key goes in as its set-1 scan code (the make code, 0xE000 for an E0 key)
// with press, release or repeat told from the keys held; the link keeps the modifiers.
//
// A recording (--raw-input-log) gives the records GetRawInputData would: one a line, "<tMs> <make code>
// <flags> <device path>" (flags as RAWKEYBOARD's: 1 break, 2 E0, 4 E1; codes decimal or 0x..), read
// through the same path as live input, on the recording's clock.
#include <windows.h>

#include <bitset>
#include <fstream>
#include <map>
#include <sstream>

#include "cli.h"
#include "input_source.h"
#include "platform.h"
#include "texts.h"

namespace {

struct RawKey {
    uint64_t tMs;
    unsigned makeCode;
    unsigned flags;
    std::string device;
};

std::string utf8Of(const std::wstring& wide) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), bytes,
                            nullptr, nullptr);
    return out;
}

std::string pathOfDevice(HANDLE device) {
    UINT length = 0;
    if (GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, nullptr, &length) != 0 || length == 0) return "";
    std::wstring name(length, L'\0');
    if (GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, name.data(), &length) == static_cast<UINT>(-1))
        return "";
    name.resize(wcsnlen(name.c_str(), name.size()));
    return utf8Of(name);
}

std::optional<unsigned> number(const std::string& text) {
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        unsigned value = 0;
        std::istringstream in(text.substr(2));
        if (in >> std::hex >> value && in.eof()) return value;
        return std::nullopt;
    }
    const auto value = parseUint(text);
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<unsigned>(*value);
}

class RawKeyboard final : public InputSource {
  public:
    RawKeyboard(std::string path, HWND window, std::vector<RawKey> recorded)
        : path_(std::move(path)), window_(window), recorded_(std::move(recorded)) {}
    ~RawKeyboard() override {
        if (window_ != nullptr) DestroyWindow(window_);
    }
    void attach(dvkh_link* link) override {
        // Caps Lock is the system's; a recording starts with it off.
        dvkh_link_set_caps_lock(link, window_ != nullptr && (GetKeyState(VK_CAPITAL) & 1) != 0);
    }
    bool feed(dvkh_link* link, dvk_decoder* decoder) override { return feedWithin(link, decoder, 0); }
    bool feedWithin(dvkh_link* link, dvk_decoder* /*decoder*/, int timeoutMs) override {
        if (window_ == nullptr) {
            for (const RawKey& key : recorded_)
                take(link, key);
            return false; // the recording is over
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeoutMs), QS_RAWINPUT);
        MSG message;
        while (PeekMessageW(&message, window_, WM_INPUT, WM_INPUT, PM_REMOVE)) {
            RAWINPUT raw{};
            UINT size = sizeof raw;
            if (GetRawInputData(reinterpret_cast<HRAWINPUT>(message.lParam), RID_INPUT, &raw, &size,
                                sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
                raw.header.dwType != RIM_TYPEKEYBOARD || raw.header.hDevice == nullptr)
                continue; // a null device: keys made up by software
            auto known = names_.find(raw.header.hDevice);
            if (known == names_.end())
                known = names_.emplace(raw.header.hDevice, pathOfDevice(raw.header.hDevice)).first;
            take(link, {monotonicMs(), raw.data.keyboard.MakeCode, raw.data.keyboard.Flags, known->second});
        }
        return true;
    }
    uint64_t nowMs() const override {
        return window_ != nullptr || !seen_ ? monotonicMs() : lastEventMs_ + (monotonicMs() - lastArrivalMs_);
    }
    const std::string& deviceId() const override { return path_; }
    const char* transport() const override { return "hid"; }
    std::string description() const override { return path_ + dvkhost::text("rawInput.mode"); }

  private:
    void take(dvkh_link* link, const RawKey& key) {
        if (key.device != path_ || key.makeCode == 0 || key.makeCode == KEYBOARD_OVERRUN_MAKE_CODE ||
            (key.flags & RI_KEY_E1) != 0) // Pause
            return;
        const unsigned scanCode = (key.makeCode & 0xFF) | ((key.flags & RI_KEY_E0) ? 0xE000 : 0);
        const size_t bit = (scanCode > 0xFF ? 256 : 0) + (scanCode & 0xFF);
        const bool down = (key.flags & RI_KEY_BREAK) == 0;
        // Raw Input repeats a held key as presses.
        const int action = !down ? 0 : held_[bit] ? 2 : 1;
        held_[bit] = down;
        lastEventMs_ = key.tMs;
        lastArrivalMs_ = monotonicMs();
        seen_ = true;
        dvkh_link_key(link, static_cast<int32_t>(scanCode), action, key.tMs);
    }

    std::string path_;
    HWND window_; // null for a recording
    std::vector<RawKey> recorded_;
    std::map<HANDLE, std::string> names_;
    std::bitset<512> held_;
    bool seen_ = false;
    uint64_t lastEventMs_ = 0;
    uint64_t lastArrivalMs_ = 0;
};

} // namespace

bool keyboardsByPath() { return true; }

std::vector<std::string> keyboardPaths() {
    std::vector<std::string> paths;
    UINT count = 0;
    if (GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) != 0 || count == 0) return paths;
    std::vector<RAWINPUTDEVICELIST> devices(count);
    const UINT got = GetRawInputDeviceList(devices.data(), &count, sizeof(RAWINPUTDEVICELIST));
    for (UINT i = 0; i < got && got != static_cast<UINT>(-1); ++i)
        if (devices[i].dwType == RIM_TYPEKEYBOARD)
            if (const std::string name = pathOfDevice(devices[i].hDevice); !name.empty())
                paths.push_back(name);
    return paths;
}

std::unique_ptr<InputSource> openKeyboardDevice(const std::string& path, const std::string& recording,
                                                std::string& error) {
    if (!recording.empty()) {
        std::string why;
        const auto text = readFile(recording, &why);
        if (!text) {
            error = dvkhost::text("device.cannotOpen", {recording, why});
            return nullptr;
        }
        std::vector<RawKey> keys;
        std::istringstream lines(*text);
        size_t lineNumber = 0;
        for (std::string line; std::getline(lines, line);) {
            ++lineNumber;
            std::istringstream in(line);
            std::string t, code, flags, device;
            if (!(in >> t) || t[0] == '#') continue;
            in >> code >> flags >> std::ws;
            std::getline(in, device);
            if (!device.empty() && device.back() == '\r') device.pop_back();
            const auto tMs = parseUint(t);
            const auto make = number(code);
            const auto bits = number(flags);
            if (!tMs || !make || !bits || device.empty()) {
                error = dvkhost::text("rawInput.badLine", {recording + ":" + std::to_string(lineNumber)});
                return nullptr;
            }
            keys.push_back({*tMs, *make, *bits, device});
        }
        return std::make_unique<RawKeyboard>(path, nullptr, std::move(keys));
    }
    // A message-only window: Raw Input reaches it whichever window has the focus.
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"dvk", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    RAWINPUTDEVICE keyboards = {0x01, 0x06, RIDEV_INPUTSINK, window}; // generic desktop, keyboard
    if (window == nullptr || !RegisterRawInputDevices(&keyboards, 1, sizeof keyboards)) {
        error = dvkhost::text("device.cannotOpen", {path, platform::systemError(GetLastError())});
        if (window != nullptr) DestroyWindow(window);
        return nullptr;
    }
    return std::make_unique<RawKeyboard>(path, window, std::vector<RawKey>());
}
