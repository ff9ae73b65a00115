#include "reader.h"

#include <stdexcept>
#include <utility>

#include "answers.h"
#include "json_reader.h"
#include "texts.h"

namespace dvka {

SetUp::SetUp(const std::string& transport, const std::string& device)
    : tuner_(dvk_tuner_new(transport.c_str(), device.c_str()), &dvk_tuner_free) {
    if (!tuner_) throw std::bad_alloc();
}

std::string SetUp::state() const {
    const Hold hold(lock_);
    return dvkhost::takeText(dvk_tuner_state(tuner_.get()));
}

std::string SetUp::skip() {
    const Hold hold(lock_);
    dvk_tuner_skip(tuner_.get());
    return dvkhost::takeText(dvk_tuner_state(tuner_.get()));
}

bool SetUp::feed(const std::string& text, const std::string& device, uint64_t tMs,
                 const std::string& gapsJson) {
    const Hold hold(lock_);
    return dvk_tuner_feed(tuner_.get(), text.data(), static_cast<int32_t>(text.size()), device.c_str(), tMs,
                          gapsJson.empty() ? nullptr : gapsJson.c_str()) == 1;
}

std::string SetUp::profile() const {
    const std::string profile = dvkhost::jsonCompoundField(state(), "profile");
    return dvkhost::jsonScalarField(profile, "configured") == "true" ? profile : "";
}

namespace {

std::unique_ptr<InputSource> openDevice(const std::string& transport, const std::string& device,
                                        const std::string& profileJson, std::string& error) {
    if (device.empty()) {
        error = dvkhost::text("addin.noDevice");
        return nullptr;
    }
    if (transport == "serial") {
        const PortSettings port = portSettingsOf(profileJson);
        if (const std::string problem = portSettingsProblem(port); !problem.empty()) {
            error = problem;
            return nullptr;
        }
        return openSerial(device, port, error);
    }
    if (transport == "hidpos") return openHidPos(device, "", error);
    error = dvkhost::text("addin.transport", {transport});
    return nullptr;
}

// The profile JSON a decoder takes: the library's defaults for "", else the text as given, when it is one.
bool checkedProfile(const std::string& profileJson, std::string& error) {
    if (profileJson.empty()) return true;
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> scratch(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    if (dvk_decoder_set_profile(scratch.get(), profileJson.c_str()) == 1) return true;
    error = dvkhost::text("addin.profile");
    return false;
}

} // namespace

std::unique_ptr<Reader> Reader::open(const std::string& transport, const std::string& device,
                                     const std::string& profileJson, Sink sink, std::string& error) {
    if (!checkedProfile(profileJson, error)) return nullptr;
    std::unique_ptr<InputSource> source = openDevice(transport, device, profileJson, error);
    if (!source) return nullptr;
    return std::unique_ptr<Reader>(new Reader(std::move(source), profileJson, std::move(sink)));
}

std::string Reader::test(const std::string& transport, const std::string& device,
                         const std::string& profileJson, std::string& error) {
    if (!checkedProfile(profileJson, error)) return "";
    const std::unique_ptr<InputSource> source = openDevice(transport, device, profileJson, error);
    return source ? source->description() : "";
}

Reader::Reader(std::unique_ptr<InputSource> source, std::string profile, Sink sink)
    : source_(std::move(source)), profile_(std::move(profile)), sink_(std::move(sink)),
      thread_(std::make_unique<Thread>([this] { run(); })) {}

Reader::~Reader() {
    stop_ = true;
    {
        const Hold hold(lock_);
        if (pump_ != nullptr) pump_->stop();
    }
    thread_->join();
}

void Reader::useSetUp(std::shared_ptr<SetUp> setUp) {
    {
        const Hold hold(lock_);
        wanted_ = std::move(setUp);
        if (pump_ != nullptr) pump_->stop(); // the next pump frames the input for the new mode
    }
    // A code scanned right after the set-up starts is the first step's, not a scan: wait for the new pump
    // (a round at most, some 25 ms).
    for (int waited = 0; waited < 2000 && !ended_; ++waited) {
        {
            const Hold hold(lock_);
            if (pump_ != nullptr && framing_ == wanted_) return;
        }
        pause(1);
    }
}

void Reader::run() {
    try {
        while (!stop_) {
            std::shared_ptr<SetUp> setUp;
            {
                const Hold hold(lock_);
                setUp = wanted_;
            }
            const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                                    &dvk_decoder_free);
            if (!decoder ||
                (!profile_.empty() && dvk_decoder_set_profile(decoder.get(), profile_.c_str()) != 1))
                throw std::bad_alloc();
            InputPump pump(*source_, decoder.get(), setUp != nullptr);
            pump.sendNoticesTo([this](const std::string& notices) { sink_("Notice", notices); });
            {
                const Hold hold(lock_);
                pump_ = &pump;
                framing_ = setUp;
                if (stop_ || wanted_ != setUp) pump.stop();
            }
            bool deviceEnded = false;
            for (InputPump::Round round; !round.ended;) {
                round = pump.next();
                deliver(round.poll, setUp.get());
                deviceEnded = deviceEnded || (round.ended && !pump.stopped());
            }
            {
                const Hold hold(lock_);
                pump_ = nullptr;
            }
            if (deviceEnded) {
                ended_ = true;
                sink_("Disconnected", dvkhost::text("addin.deviceEnded", {source_->deviceId()}));
                return;
            }
        }
    } catch (...) {
        ended_ = true;
        sink_("Disconnected", dvkhost::text("addin.readerFailed", {source_->deviceId()}));
    }
}

void Reader::deliver(const std::string& poll, SetUp* setUp) {
    const dvkhost::PollResult polled = dvkhost::parsePoll(poll);
    if (setUp == nullptr) {
        for (const std::string& scan : polled.scans)
            sink_("Scan", scan);
        return;
    }
    for (const dvkhost::PolledFrame& frame : polled.frames) {
        setUp->feed(frame.text, frame.deviceId, frame.tMs, frame.gapsJson);
        sink_("Setup", setUp->state());
    }
}

} // namespace dvka
