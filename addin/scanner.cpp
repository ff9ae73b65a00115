#include "scanner.h"

#include <cmath>
#include <exception>
#include <utility>

#include "answers.h"
#include "png.h"
#include "texts.h"

namespace dvka {

namespace {

struct Failure {
    std::string text;
};

// The platform's default is a single undelivered event; a burst of scans must all reach the form.
constexpr long kEventBufferDepth = 1000;

constexpr long kEFail = static_cast<long>(0x80004005u);

std::string libraryText(char* text, const std::string& whenNull) {
    if (text == nullptr) throw Failure{whenNull};
    return dvkhost::takeText(text);
}

// The profile a decoder takes; the library's defaults for "". A text that is not one fails the call: a
// configuration that stored a broken profile hears of it instead of scanning with the defaults.
std::string checkedProfile(const std::string& profileJson) {
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (!decoder) throw std::bad_alloc();
    if (!profileJson.empty() && dvk_decoder_set_profile(decoder.get(), profileJson.c_str()) != 1)
        throw Failure{dvkhost::text("addin.profile")};
    return dvkhost::takeText(dvk_decoder_profile(decoder.get()));
}

std::string englishName(long method) {
    const auto all = methods();
    return method >= 0 && static_cast<size_t>(method) < all.size()
               ? utf8Of(all[static_cast<size_t>(method)].english)
               : "";
}

} // namespace

Scanner::~Scanner() { done(); }

bool Scanner::init(void* connection) {
    connection_ = static_cast<Interface<ConnectionTable>*>(connection);
    if (connection_ != nullptr && connection_->table->GetEventBufferDepth(connection_) < kEventBufferDepth)
        connection_->table->SetEventBufferDepth(connection_, kEventBufferDepth);
    return true;
}

void Scanner::done() {
    disconnect();
    setUp_.reset();
}

void Scanner::disconnect() {
    // Joined before it goes: the reader's thread raises events through this object.
    reader_.reset();
}

void Scanner::setLocale(std::u16string_view locale) {
    const std::string name = utf8Of(locale.substr(0, 2));
    dvkhost::useLanguage(name == "ru" || name == "RU" ? dvkhost::Language::Russian
                                                      : dvkhost::Language::English);
}

bool Scanner::property(long index, tVariant& value) {
    switch (index) {
    case kVersion: return setText(value, dvk_version(), memory_);
    case kConnected: setFlag(value, reader_ != nullptr && reader_->running()); return true;
    case kInSetup: setFlag(value, setUp_ != nullptr); return true;
    default: return false;
    }
}

bool Scanner::defaultOf(long method, long param, tVariant& value) const {
    clear(value);
    const auto all = methods();
    if (method < 0 || static_cast<size_t>(method) >= all.size()) return false;
    const auto params = all[static_cast<size_t>(method)].params;
    if (param < 0 || static_cast<size_t>(param) >= params.size()) return false;
    const ParamInfo& info = params[static_cast<size_t>(param)];
    if (info.text) return setText(value, *info.text, memory_);
    if (info.number) return setNumber(value, static_cast<int32_t>(*info.number)), true;
    if (info.flag) return setFlag(value, *info.flag), true;
    return false;
}

bool Scanner::call(long method, tVariant* result, tVariant* params, long count) {
    if (method < 0 || static_cast<size_t>(method) >= methods().size()) return false;
    method_ = method;
    try {
        if (result != nullptr) clear(*result);
        run(method, result, params, count);
        if (method != kGetLastError) lastError_.clear();
        return true;
    } catch (const Failure& failure) {
        fail(failure.text);
    } catch (const std::bad_alloc&) {
        fail(dvkhost::text("addin.noMemory"));
    } catch (const std::exception& e) {
        fail(dvkhost::text("addin.failed", {englishName(method), e.what()}));
    } catch (...) {
        fail(dvkhost::text("addin.failed", {englishName(method), "?"}));
    }
    if (result != nullptr) clear(*result);
    return false;
}

void Scanner::fail(const std::string& message) {
    lastError_ = message;
    if (connection_ == nullptr) return;
    std::u16string text = utf16Of(message);
    connection_->table->AddError(connection_, ADDIN_E_FAIL, kEventSource.data(), text.c_str(), kEFail);
}

template <typename Value> Value Scanner::param(const tVariant* params, long count, long index,
                                               std::optional<Value> (*read)(const tVariant&),
                                               const char* typeKey) const {
    const std::optional<Value> value = index < count ? read(params[index]) : std::nullopt;
    if (!value) {
        const ParamInfo& info = methods()[static_cast<size_t>(method_)].params[static_cast<size_t>(index)];
        throw Failure{
            dvkhost::text("addin.param", {englishName(method_), info.name, dvkhost::text(typeKey)})};
    }
    return *value;
}

std::string Scanner::text(const tVariant* params, long count, long index) const {
    return param<std::string>(params, count, index, textOf, "addin.text");
}

bool Scanner::flag(const tVariant* params, long count, long index) const {
    return param<bool>(params, count, index, flagOf, "addin.flag");
}

double Scanner::number(const tVariant* params, long count, long index) const {
    const double value = param<double>(params, count, index, numberOf, "addin.number");
    if (std::fabs(value) > 1e6) {
        tVariant none;
        clear(none);
        return param<double>(&none, 1, index, numberOf, "addin.number"); // the same failure as a wrong type
    }
    return value;
}

void Scanner::give(tVariant* result, const std::string& value) const {
    if (result != nullptr && !setText(*result, value, memory_))
        throw Failure{dvkhost::text("addin.noMemory")};
}

void Scanner::raise(std::u16string_view message, const std::string& data) {
    if (connection_ == nullptr) return;
    std::u16string source(kEventSource), name(message), text = utf16Of(data);
    const Hold hold(events_);
    connection_->table->ExternalEvent(connection_, source.data(), name.data(), text.data());
}

void Scanner::run(long method, tVariant* result, tVariant* params, long count) {
    const auto need = [&](bool ok, const char* key) {
        if (!ok) throw Failure{dvkhost::text(key)};
    };
    switch (method) {
    case kGetVersion: return give(result, dvk_version());
    case kGetLastError: return give(result, lastError_);
    case kDecode:
    case kDecodeTyped: {
        const std::string code = text(params, count, 0);
        std::string profile = checkedProfile(text(params, count, 1));
        // Typed into a field, a marking code has lost its group separators: the repair puts them back.
        if (method == kDecodeTyped) profile = withProfileValues(profile, "\"gsMissing\": true");
        return give(result, libraryText(dvk_decode_frame(profile.c_str(), code.data(),
                                                         static_cast<int32_t>(code.size()), nullptr),
                                        dvkhost::text("addin.noMemory")));
    }
    case kKeyForChar: {
        const std::string typed = text(params, count, 0);
        if (typed.empty())
            throw Failure{
                dvkhost::text("addin.param", {englishName(method), "Char", dvkhost::text("addin.text")})};
        return give(result, libraryText(dvk_key_for_char(typed[0]), dvkhost::text("addin.noMemory")));
    }
    case kBarcodeSvg:
    case kBarcodePng: {
        const std::string kind = text(params, count, 0), data = text(params, count, 1);
        const bool gs1 = flag(params, count, 2);
        const auto scale = static_cast<int32_t>(number(params, count, 3));
        const auto quiet = static_cast<int32_t>(number(params, count, 4));
        const std::string svg =
            libraryText(dvk_barcode_svg(kind.c_str(), data.data(), static_cast<int32_t>(data.size()),
                                        gs1 ? 1 : 0, scale, quiet),
                        dvkhost::text("addin.noCode", {englishName(method), kind}));
        if (method == kBarcodeSvg) return give(result, svg);
        const std::optional<std::string> png = pngOfSvg(svg);
        if (!png) throw Failure{dvkhost::text("addin.noCode", {englishName(method), kind})};
        if (result != nullptr && !setBinary(*result, *png, memory_))
            throw Failure{dvkhost::text("addin.noMemory")};
        return;
    }
    case kConnect: {
        const std::string transport = text(params, count, 0), device = text(params, count, 1),
                          profile = text(params, count, 2);
        disconnect();
        std::string error;
        reader_ = Reader::open(
            transport, device, profile,
            [this](std::string_view message, const std::string& data) { raise(utf16Of(message), data); },
            error);
        if (!reader_) throw Failure{error};
        if (setUp_) reader_->useSetUp(setUp_);
        if (result != nullptr) setFlag(*result, true);
        return;
    }
    case kDisconnect: return disconnect();
    case kDeviceTest: {
        std::string error;
        const std::string description =
            Reader::test(text(params, count, 0), text(params, count, 1), text(params, count, 2), error);
        if (description.empty()) throw Failure{error};
        return give(result, description);
    }
    case kStartSetup: {
        std::string transport = text(params, count, 0), device = text(params, count, 1);
        if (reader_ && reader_->running()) {
            if (transport.empty()) transport = reader_->source().transport();
            if (device.empty()) device = reader_->source().deviceId();
        }
        setUp_ = std::make_shared<SetUp>(transport, device);
        setUpDevice_ = device;
        if (reader_) reader_->useSetUp(setUp_);
        return give(result, setUp_->state());
    }
    case kSetupState: need(setUp_ != nullptr, "addin.noSetUp"); return give(result, setUp_->state());
    case kSkipStep: need(setUp_ != nullptr, "addin.noSetUp"); return give(result, setUp_->skip());
    case kFeedSetup: {
        const std::string typed = text(params, count, 0);
        need(setUp_ != nullptr, "addin.noSetUp");
        // The wizard binds the device of the first code it recognises, and a frame needs a device to bind: a
        // field of the form is the device here.
        const bool taken =
            setUp_->feed(typed, setUpDevice_.empty() ? "form" : setUpDevice_, monotonicMs(), "");
        if (result != nullptr) setFlag(*result, taken);
        return;
    }
    case kLearnedProfile: {
        need(setUp_ != nullptr, "addin.noSetUp");
        const std::string profile = setUp_->profile();
        need(!profile.empty(), "addin.unlearned");
        return give(result, reader_ ? reader_->source().recordIn(profile) : profile);
    }
    case kStopSetup:
        setUp_.reset();
        if (reader_) reader_->useSetUp(nullptr);
        return;
    default: return;
    }
}

} // namespace dvka
