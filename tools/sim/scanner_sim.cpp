#include "scanner_sim.h"

#include <charconv>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace dvksim {

namespace {

constexpr char kGs = '\x1d';
constexpr uint16_t kKeypadDigit[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
// Longer than any burst gap the tuner can learn (250 ms), shorter than its duplicate window (400 ms).
constexpr uint64_t kDoubleSendPauseMs = 300;
// Past the longest frame time-out a decoder may have during or after set-up.
constexpr uint64_t kIdleTickMs = 1000;
// Beyond these a model file describes no scanner: codes are a few hundred characters, keys come in ms.
constexpr uint64_t kMostBufferLimit = 10000;
constexpr uint64_t kMostGapMs = 10000;
// While set-up runs nothing is known about the scanner yet, and its terminator is what the tuner is to
// learn: frames close by time alone (a NUL terminator never arrives from keys), and the pause that splits
// them is long enough for a slow scanner.
constexpr const char* kSetUpProfile =
    "{\"burstGapMs\": 250, \"frameTimeoutMs\": 500, \"terminator\": \"\\u0000\"}";

struct OwnedText {
    char* p;
    explicit OwnedText(char* text) : p(text) {}
    OwnedText(const OwnedText&) = delete; // a copy would free the text twice
    OwnedText& operator=(const OwnedText&) = delete;
    ~OwnedText() { dvk_free(p); }
    std::string str() const { return p ? std::string(p) : std::string(); }
};

class Reader {
  public:
    explicit Reader(const std::string& text, size_t pos = 0) : text_(text), pos_(pos) {}

    bool find(const std::string& token) {
        const size_t at = text_.find(token, pos_);
        if (at == std::string::npos) return false;
        pos_ = at + token.size();
        return true;
    }
    bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    void expect(char c) {
        if (!peek(c)) throw std::runtime_error(std::string("expected '") + c + "'");
        ++pos_;
    }

    std::string string() {
        expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) throw std::runtime_error("unterminated string");
            c = text_[pos_++];
            switch (c) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (pos_ + 4 > text_.size()) throw std::runtime_error("short \\u escape");
                const unsigned code = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
                pos_ += 4;
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default: out += c;
            }
        }
        if (pos_ >= text_.size()) throw std::runtime_error("unterminated string");
        expect('"');
        return out;
    }

    void skipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool atEnd() const { return pos_ >= text_.size(); }
    bool word(const std::string& w) {
        if (text_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }

    uint64_t number() {
        uint64_t value = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            value = value * 10 + (text_[pos_++] - '0');
        return value;
    }

    // A bare value (number, word) up to the next separator.
    std::string token() {
        const size_t start = pos_;
        while (pos_ < text_.size() && std::strchr(",}] \t\r\n\"", text_[pos_]) == nullptr)
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    // An object or array, returned as its text.
    std::string compound() {
        const size_t start = pos_;
        int depth = 0;
        do {
            if (peek('"')) {
                string();
                continue;
            }
            const char c = text_.at(pos_++);
            if (c == '{' || c == '[') ++depth;
            if (c == '}' || c == ']') --depth;
        } while (depth > 0);
        return text_.substr(start, pos_ - start);
    }

  private:
    const std::string& text_;
    size_t pos_;
};

const std::map<char, std::string>& russianLayout() {
    static const std::map<char, std::string> layout = [] {
        const std::string us = "qwertyuiop[]asdfghjkl;'zxcvbnm,./`QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?~@#$^&|";
        const char* ru[] = {"й", "ц", "у", "к", "е", "н", "г", "ш", "щ",  "з", "х", "ъ", "ф", "ы", "в",
                            "а", "п", "р", "о", "л", "д", "ж", "э", "я",  "ч", "с", "м", "и", "т", "ь",
                            "б", "ю", ".", "ё", "Й", "Ц", "У", "К", "Е",  "Н", "Г", "Ш", "Щ", "З", "Х",
                            "Ъ", "Ф", "Ы", "В", "А", "П", "Р", "О", "Л",  "Д", "Ж", "Э", "Я", "Ч", "С",
                            "М", "И", "Т", "Ь", "Б", "Ю", ",", "Ё", "\"", "№", ";", ":", "?", "/"};
        std::map<char, std::string> map;
        for (size_t i = 0; i < us.size(); ++i)
            map[us[i]] = ru[i];
        return map;
    }();
    return layout;
}

void feedStrokes(dvk_decoder* decoder, const std::vector<KeyStroke>& strokes, const std::string& deviceId,
                 uint64_t gapMs, uint64_t& now) {
    for (const KeyStroke& k : strokes) {
        dvk_decoder_feed_key(decoder, k.scanCode, 0, 0, k.shift, k.ctrl, k.alt, k.capsLock, 0, now,
                             deviceId.c_str());
        now += gapMs;
    }
}

std::string gapsJsonFor(size_t characters, uint64_t gapMs) {
    std::string out = "[";
    for (size_t i = 1; i < characters; ++i) {
        if (i > 1) out += ',';
        out += std::to_string(gapMs);
    }
    return out + "]";
}

size_t utf8Characters(const std::string& text) {
    size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

} // namespace

const std::vector<NamedModel>& builtInModels() {
    static const std::vector<NamedModel> models = [] {
        auto named = [](const char* name, ScannerModel m) {
            m.name = name;
            return m;
        };
        return std::vector<NamedModel>{
            {named("good", {}), "sends GS as Ctrl+], ends codes with Enter"},
            {named("no-gs", {.gsMode = GsMode::Dropped}), "drops the GS separator"},
            {named("pipe-gs", {.gsMode = GsMode::Substitute, .gsSubstitute = '|'}),
             "sends '|' in place of GS"},
            {named("alt-gs", {.gsMode = GsMode::AltCode}), "types GS as Alt + keypad 0 2 9"},
            {named("short-buffer", {.bufferLimit = 64}), "keeps only 64 characters of a code"},
            {named("russian", {.cyrillicLayout = true}), "types into a Russian keyboard layout"},
            {named("russian-short", {.bufferLimit = 64, .cyrillicLayout = true}),
             "Russian layout and a 64-character buffer"},
            {named("slow", {.terminator = "\t", .gapMs = 70}),
             "types slowly (70 ms a key), ends codes with Tab"},
            {named("prefix-aim", {.prefix = "<", .suffix = ">", .terminator = "\r\n", .aimIds = true}),
             "AIM identifiers, prefix '<', suffix '>', CR LF"},
            {named("caps-lock", {.capsLock = true}), "the till's Caps Lock is on"},
            {named("double", {.doubleSend = true}), "sends every code twice"},
        };
    }();
    return models;
}

const ScannerModel* findModel(const std::string& name) {
    for (const NamedModel& named : builtInModels())
        if (named.model.name == name) return &named.model;
    return nullptr;
}

std::optional<ScannerModel> parseModel(const std::string& json, std::string& error) {
    ScannerModel model;
    try {
        Reader reader(json);
        reader.skipSpace();
        reader.expect('{');
        for (;;) {
            reader.skipSpace();
            if (reader.peek('}')) break;
            if (reader.peek(',')) {
                reader.expect(',');
                continue;
            }
            const std::string key = reader.string();
            reader.skipSpace();
            reader.expect(':');
            reader.skipSpace();
            auto text = [&] {
                if (!reader.peek('"')) throw std::runtime_error("\"" + key + "\" must be a text in quotes");
                return reader.string();
            };
            auto flag = [&] {
                if (reader.word("true")) return true;
                if (reader.word("false")) return false;
                throw std::runtime_error("\"" + key + "\" must be true or false");
            };
            // The whole token is read, so 1e3, -5, 2.5 or a huge number are refused rather than cut short.
            auto count = [&](uint64_t most) {
                const std::string token = reader.token();
                uint64_t value = 0;
                const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
                if (token.empty() || ec != std::errc() || end != token.data() + token.size() || value > most)
                    throw std::runtime_error("\"" + key + "\" must be a whole number from 0 to " +
                                             std::to_string(most));
                return value;
            };
            if (key == "name")
                model.name = text();
            else if (key == "prefix")
                model.prefix = text();
            else if (key == "suffix")
                model.suffix = text();
            else if (key == "terminator")
                model.terminator = text();
            else if (key == "aimIds")
                model.aimIds = flag();
            else if (key == "capsLock")
                model.capsLock = flag();
            else if (key == "doubleSend")
                model.doubleSend = flag();
            else if (key == "cyrillicLayout")
                model.cyrillicLayout = flag();
            else if (key == "bufferLimit")
                model.bufferLimit = count(kMostBufferLimit);
            else if (key == "gapMs")
                model.gapMs = count(kMostGapMs);
            else if (key == "gsSubstitute") {
                const std::string c = text();
                if (c.size() != 1) throw std::runtime_error("\"gsSubstitute\" must be one character");
                model.gsSubstitute = c[0];
            } else if (key == "gs") {
                const std::string mode = text();
                if (mode == "real")
                    model.gsMode = GsMode::CtrlBracket;
                else if (mode == "alt")
                    model.gsMode = GsMode::AltCode;
                else if (mode == "substitute")
                    model.gsMode = GsMode::Substitute;
                else if (mode == "dropped")
                    model.gsMode = GsMode::Dropped;
                else
                    throw std::runtime_error("\"gs\" must be real, alt, substitute or dropped");
            } else {
                throw std::runtime_error("unknown key \"" + key + "\"");
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
    return model;
}

std::string aimFor(const std::string& symbology) {
    if (symbology == "ean13") return "]E0";
    if (symbology == "code128") return "]C1";
    if (symbology == "datamatrix") return "]d2";
    return "";
}

std::string transmittedText(const ScannerModel& model, const std::string& payload,
                            const std::string& symbology) {
    std::string code;
    for (const char c : payload) {
        if (c != kGs) {
            code += c;
        } else if (model.gsMode == GsMode::Substitute) {
            code += model.gsSubstitute;
        } else if (model.gsMode != GsMode::Dropped) {
            code += kGs;
        }
    }
    if (model.bufferLimit > 0 && code.size() > model.bufferLimit) code.resize(model.bufferLimit);
    return (model.aimIds ? aimFor(symbology) : "") + model.prefix + code + model.suffix + model.terminator;
}

std::vector<KeyStroke> keyStrokesFor(const ScannerModel& model, const std::string& payload,
                                     const std::string& symbology) {
    std::vector<KeyStroke> strokes;
    for (const char c : transmittedText(model, payload, symbology)) {
        if (c == kGs && model.gsMode == GsMode::AltCode) {
            for (const int digit : {0, 2, 9})
                strokes.push_back({kKeypadDigit[digit], false, false, true, model.capsLock});
            continue;
        }
        const OwnedText answer(dvk_key_for_char(c));
        const std::string json = answer.str();
        const size_t at = json.find("\"scancode\":");
        if (json.find("\"ok\":true") == std::string::npos || at == std::string::npos) continue; // no such key
        Reader reader(json, at + std::strlen("\"scancode\":"));
        const auto scanCode = static_cast<uint16_t>(reader.number());
        strokes.push_back({scanCode, json.find("\"shift\":true") != std::string::npos,
                           json.find("\"ctrl\":true") != std::string::npos, false, model.capsLock});
    }
    return strokes;
}

std::string throughRussianLayout(const std::string& usText) {
    std::string out;
    for (const char c : usText) {
        const auto it = russianLayout().find(c);
        out += it == russianLayout().end() ? std::string(1, c) : it->second;
    }
    return out;
}

PollResult parsePoll(const std::string& json) {
    PollResult result;
    Reader reader(json);
    if (!reader.find("{\"scans\":[")) return result;
    while (reader.peek('{')) {
        result.scans.push_back(reader.compound());
        if (reader.peek(',')) reader.expect(',');
    }
    if (!reader.find("\"frames\":[")) return result;
    while (reader.peek('{')) {
        PolledFrame frame;
        reader.find("\"frame\":");
        frame.text = reader.string();
        reader.find("\"deviceId\":");
        frame.deviceId = reader.string();
        reader.find("\"tMs\":");
        frame.tMs = reader.number();
        reader.find("\"gapsMs\":");
        frame.gapsJson = reader.compound();
        reader.expect('}');
        result.frames.push_back(std::move(frame));
        if (reader.peek(',')) reader.expect(',');
    }
    return result;
}

std::string jsonStringField(const std::string& json, const std::string& key) {
    Reader reader(json);
    if (!reader.find("\"" + key + "\":")) return "";
    reader.skipSpace();
    if (!reader.peek('"')) return "";
    return reader.string();
}

std::vector<std::string> jsonStringArrayField(const std::string& json, const std::string& key) {
    std::vector<std::string> out;
    Reader reader(json);
    if (!reader.find("\"" + key + "\":[")) return out;
    while (reader.peek('"')) {
        out.push_back(reader.string());
        if (reader.peek(',')) reader.expect(',');
    }
    return out;
}

std::string jsonScalarField(const std::string& json, const std::string& key) {
    Reader reader(json);
    if (!reader.find("\"" + key + "\":")) return "";
    reader.skipSpace();
    return reader.peek('"') || reader.peek('{') || reader.peek('[') ? "" : reader.token();
}

std::string jsonCompoundField(const std::string& json, const std::string& key) {
    Reader reader(json);
    if (!reader.find("\"" + key + "\":")) return "";
    reader.skipSpace();
    if (!reader.peek('{') && !reader.peek('[')) return "";
    return reader.compound();
}

std::vector<FindingView> parseFindings(const std::string& state) {
    std::vector<FindingView> findings;
    Reader reader(state);
    if (!reader.find("\"findings\":[")) return findings;
    while (reader.peek('{')) {
        FindingView f;
        reader.find("\"level\":");
        f.level = reader.string();
        reader.find("\"title\":");
        f.title = reader.string();
        reader.find("\"detail\":");
        f.detail = reader.string();
        reader.find("\"advice\":");
        f.advice = reader.string();
        reader.expect('}');
        findings.push_back(std::move(f));
        if (reader.peek(',')) reader.expect(',');
    }
    return findings;
}

PollResult scanOnce(dvk_decoder* decoder, const ScannerModel& model, const std::string& payload,
                    const std::string& symbology, const std::string& deviceId, uint64_t& now) {
    const int sends = model.doubleSend ? 2 : 1;
    if (model.cyrillicLayout) {
        // The host reads characters from its own text input, already translated by the layout, and builds
        // the frames itself; the decoder sees them as text.
        PollResult result;
        const std::string text = throughRussianLayout(transmittedText(model, payload, symbology));
        for (int i = 0; i < sends; ++i) {
            const uint64_t end = now + model.gapMs * (utf8Characters(text) - 1);
            result.frames.push_back({text, deviceId, end, gapsJsonFor(utf8Characters(text), model.gapMs)});
            dvk_decoder_feed_bytes(decoder, text.c_str(), static_cast<int32_t>(text.size()), deviceId.c_str(),
                                   end);
            now = end + kDoubleSendPauseMs;
        }
        dvk_decoder_tick(decoder, now += kIdleTickMs);
        const OwnedText polled(dvk_decoder_poll(decoder));
        result.scans = parsePoll(polled.str()).scans;
        return result;
    }
    const std::vector<KeyStroke> strokes = keyStrokesFor(model, payload, symbology);
    for (int i = 0; i < sends; ++i) {
        feedStrokes(decoder, strokes, deviceId, model.gapMs, now);
        now += kDoubleSendPauseMs;
    }
    dvk_decoder_tick(decoder, now += kIdleTickMs);
    const OwnedText polled(dvk_decoder_poll(decoder));
    return parsePoll(polled.str());
}

TunerRun runTuner(const ScannerModel& model, const std::string& deviceId, bool skipAll) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    const std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner(dvk_tuner_new("hid", nullptr),
                                                                      &dvk_tuner_free);
    dvk_decoder_set_profile(decoder.get(), kSetUpProfile);
    TunerRun run;
    uint64_t now = 1'000'000;
    // A scan that the tuner does not take (a frame of another device, say) would loop for ever: give up on
    // the step after a few tries, as a cashier would.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::string state = OwnedText(dvk_tuner_state(tuner.get())).str();
        if (state.find("\"done\":true") != std::string::npos) break;
        if (skipAll || attempt >= 10) {
            dvk_tuner_skip(tuner.get());
            continue;
        }
        const PollResult polled = scanOnce(decoder.get(), model, jsonStringField(state, "payload"),
                                           jsonStringField(state, "symbology"), deviceId, now);
        for (const PolledFrame& frame : polled.frames) {
            run.framesTaken +=
                dvk_tuner_feed(tuner.get(), frame.text.data(), static_cast<int32_t>(frame.text.size()),
                               frame.deviceId.c_str(), frame.tMs, frame.gapsJson.c_str());
        }
    }
    run.finalState = OwnedText(dvk_tuner_state(tuner.get())).str();
    run.profile = jsonCompoundField(run.finalState, "profile");
    return run;
}

} // namespace dvksim
