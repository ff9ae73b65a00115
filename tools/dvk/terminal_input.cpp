// The terminal as a keyboard scanner's input: raw mode, every byte with its arrival time. Each byte becomes
// the key stroke that types it (dvk_key_for_char), so the decoder frames it as it frames a keyboard scanner;
// a byte no key types (UTF-8 of another layout) goes in as a byte.
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "answers.h"
#include "cli.h"
#include "input_source.h"
#include "json_reader.h"
#include "raw_terminal.h"
#include "texts.h"

namespace {

constexpr char kEscape = '\x1b';
constexpr char kEndOfInput = '\x04'; // Ctrl+D, which raw mode delivers as a byte

class TerminalInput final : public InputSource {
  public:
    TerminalInput(std::string deviceId, bool setUpKeys)
        : tty_(isatty(STDIN_FILENO) != 0), id_(std::move(deviceId)), setUpKeys_(setUpKeys),
          setUpGapMs_(parseUint(dvkhost::jsonScalarField(dvkh_set_up_profile(), "burstGapMs")).value_or(0)) {}
    int fd() const override { return STDIN_FILENO; }
    // Typed straight into the decoder: a character is a key stroke as a whole, and a byte no key types is
    // no part of a code the link could cut.
    bool feed(dvkh_link* /*link*/, dvk_decoder* decoder) override {
        char typed[256];
        const ssize_t n = read(STDIN_FILENO, typed, sizeof typed);
        if (n < 0) return errno == EAGAIN || errno == EINTR;
        if (n == 0) return false;
        const uint64_t t = monotonicMs();
        // A scanner's bytes come in bursts: Esc or Ctrl+D read alone after a pause was pressed by a person.
        if (setUpKeys_ && n == 1 && (typed[0] == kEscape || typed[0] == kEndOfInput) &&
            t - lastByteMs_ > setUpGapMs_) {
            key_ = typed[0];
            return true;
        }
        lastByteMs_ = t;
        dvk_decoder_tick(decoder, t);
        for (ssize_t i = 0; i < n; ++i) {
            if (const auto key = dvkhost::keyFor(typed[i]))
                dvk_decoder_feed_key(decoder, key->scanCode, 0, 0, key->shift, key->ctrl, 0, 0, 0, t,
                                     id_.c_str());
            else
                dvk_decoder_feed_bytes(decoder, typed + i, 1, id_.c_str(), t);
        }
        return true;
    }
    char takeKey() override { return std::exchange(key_, 0); }
    uint64_t nowMs() const override { return monotonicMs(); }
    const std::string& deviceId() const override { return id_; }
    const char* transport() const override { return "hid"; }
    std::string description() const override {
        return dvkhost::text(tty_ ? "terminal.raw" : "terminal.stdin");
    }

  private:
    bool tty_;
    RawTerminal raw_;
    std::string id_;
    bool setUpKeys_;
    uint64_t setUpGapMs_; // the set-up profile's burst gap
    uint64_t lastByteMs_ = 0;
    char key_ = 0;
};

} // namespace

std::unique_ptr<InputSource> openTerminal(const std::string& deviceId, bool setUpKeys) {
    return std::make_unique<TerminalInput>(deviceId, setUpKeys);
}
