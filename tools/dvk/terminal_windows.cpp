// The console (or a pipe) on standard input as a keyboard scanner's input, as on Linux: every character
// becomes the key stroke that types it, a byte no key types goes in as a byte. Linux input devices are not
// on Windows.
#include <windows.h>

#include <utility>

#include "answers.h"
#include "cli.h"
#include "input_source.h"
#include "json_reader.h"
#include "platform.h"
#include "raw_terminal.h"
#include "terminal_codes.h"
#include "texts.h"

namespace {

constexpr char kEscape = '\x1b';
constexpr char kEndOfInput = '\x04';
constexpr DWORD kLineModes = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;

DWORD savedMode = 0;
bool consoleRaw = false;

std::string utf8Of(wchar_t c) {
    char bytes[4];
    const int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, static_cast<size_t>(n > 0 ? n : 0));
}

// A pipe or file has no wait with a time-out that works for both: a thread of its own reads it, and the pump
// waits for what that thread got. It lives as long as the process, blocked in its last read.
class PipeReader {
  public:
    PipeReader() : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        InitializeCriticalSection(&lock_);
        CloseHandle(CreateThread(nullptr, 0, &PipeReader::run, this, 0, nullptr));
    }
    // What came within the time-out; false once the input ended and everything was taken.
    bool take(std::string& typed, int timeoutMs) {
        WaitForSingleObject(ready_, static_cast<DWORD>(timeoutMs));
        EnterCriticalSection(&lock_);
        typed.swap(pending_);
        pending_.clear();
        const bool more = !ended_ || !typed.empty();
        if (!ended_) ResetEvent(ready_);
        LeaveCriticalSection(&lock_);
        return more;
    }

  private:
    static DWORD WINAPI run(void* self) {
        PipeReader& reader = *static_cast<PipeReader*>(self);
        for (bool ended = false; !ended;) {
            char chunk[256];
            DWORD n = 0;
            ended = !ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &n, nullptr) || n == 0;
            EnterCriticalSection(&reader.lock_);
            reader.pending_.append(chunk, ended ? 0 : n);
            reader.ended_ = ended;
            SetEvent(reader.ready_);
            LeaveCriticalSection(&reader.lock_);
        }
        return 0;
    }

    HANDLE ready_;
    CRITICAL_SECTION lock_;
    std::string pending_;
    bool ended_ = false;
};

PipeReader& piped() {
    static PipeReader& reader = *new PipeReader(); // never freed: its thread may still be reading at exit
    return reader;
}

class ConsoleInput final : public InputSource {
  public:
    ConsoleInput(std::string deviceId, bool setUpKeys)
        : input_(GetStdHandle(STD_INPUT_HANDLE)), console_(platform::inputIsTerminal()),
          id_(std::move(deviceId)), setUpKeys_(setUpKeys),
          setUpGapMs_(parseUint(dvkhost::jsonScalarField(dvkh_set_up_profile(), "burstGapMs")).value_or(0)) {}
    bool feed(dvkh_link* link, dvk_decoder* decoder) override { return feedWithin(link, decoder, 0); }
    bool feedWithin(dvkh_link* /*link*/, dvk_decoder* decoder, int timeoutMs) override {
        std::string typed;
        if (!read(typed, timeoutMs)) return false;
        if (typed.empty()) return true;
        const uint64_t t = monotonicMs();
        if (setUpKeys_ && typed.size() == 1 && (typed[0] == kEscape || typed[0] == kEndOfInput) &&
            t - lastByteMs_ > setUpGapMs_) {
            key_ = typed[0];
            return true;
        }
        lastByteMs_ = t;
        dvk_decoder_tick(decoder, t);
        for (size_t i = 0; i < typed.size(); ++i) {
            if (const auto key = dvkhost::keyFor(typed[i]))
                dvk_decoder_feed_key(decoder, key->scanCode, 0, 0, key->shift, key->ctrl, 0, 0, 0, t,
                                     id_.c_str());
            else
                dvk_decoder_feed_bytes(decoder, typed.data() + i, 1, id_.c_str(), t);
        }
        return true;
    }
    char takeKey() override { return std::exchange(key_, 0); }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return id_; }
    const char* transport() const override { return "hid"; }
    std::string description() const override {
        return dvkhost::text(console_ ? "terminal.raw" : "terminal.stdin");
    }

  private:
    // What came within the time-out: the characters of the console's key presses, or a pipe's bytes. False
    // at the end of input.
    bool read(std::string& typed, int timeoutMs) {
        if (console_) {
            if (WaitForSingleObject(input_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return true;
            INPUT_RECORD records[64];
            DWORD n = 0;
            if (!ReadConsoleInputW(input_, records, 64, &n)) return false;
            for (DWORD i = 0; i < n; ++i) {
                const KEY_EVENT_RECORD& k = records[i].Event.KeyEvent;
                if (records[i].EventType == KEY_EVENT && k.bKeyDown && k.uChar.UnicodeChar != 0)
                    for (WORD r = 0; r < (k.wRepeatCount ? k.wRepeatCount : 1); ++r)
                        typed += utf8Of(k.uChar.UnicodeChar);
            }
            return true;
        }
        return piped().take(typed, timeoutMs);
    }

    HANDLE input_;
    bool console_;
    RawTerminal raw_;
    std::string id_;
    bool setUpKeys_;
    uint64_t setUpGapMs_;
    uint64_t lastByteMs_ = 0;
    char key_ = 0;
};

} // namespace

std::unique_ptr<InputSource> openTerminal(const std::string& deviceId, bool setUpKeys) {
    return std::make_unique<ConsoleInput>(deviceId, setUpKeys);
}

std::unique_ptr<InputSource> openEvdev(const std::string& path, bool, size_t, std::string& error) {
    error = dvkhost::text("device.cannotOpen", {path, platform::systemError(ERROR_NOT_SUPPORTED)});
    return nullptr;
}

// Keys come as characters, Ctrl+C still to the stop handler; the console's modes come back at the end.
RawTerminal::RawTerminal() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (consoleRaw || !GetConsoleMode(input, &savedMode)) return;
    consoleRaw = SetConsoleMode(input, savedMode & ~kLineModes) != 0;
}

RawTerminal::~RawTerminal() {
    if (consoleRaw) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), savedMode);
    consoleRaw = false;
}

bool RawTerminal::takeResumed() { return false; }

bool RawTerminal::takeResized() {
    static int columns = terminalColumns();
    const int now = terminalColumns();
    return std::exchange(columns, now) != now;
}
