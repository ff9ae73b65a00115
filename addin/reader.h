// A connected scanner, read on a thread of the add-in's own through the tools' device readers and the host
// kit. What it reads goes out through one sink: every scan, or in a set-up every frame after the wizard took
// it, and the end of the device. The sink is called on the reader thread only.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "dorvik_c.h"
#include "input_source.h"
#include "threads.h"

namespace dvka {

// The set-up wizard, shared by the platform's thread (state, skip, a typed frame) and the reader's (frames).
class SetUp {
  public:
    SetUp(const std::string& transport, const std::string& device);
    std::string state() const;
    std::string skip();
    // True when the wizard took the frame as the current step's scan.
    bool feed(const std::string& text, const std::string& device, uint64_t tMs, const std::string& gapsJson);
    // The learned profile; "" until the wizard has one.
    std::string profile() const;

  private:
    mutable Lock lock_;
    std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner_;
};

class Reader {
  public:
    using Sink = std::function<void(std::string_view message, const std::string& data)>;

    // Opens the device ("serial" or "hidpos") with the profile's settings and starts reading; null with
    // `error` set when it cannot be used.
    static std::unique_ptr<Reader> open(const std::string& transport, const std::string& device,
                                        const std::string& profileJson, Sink sink, std::string& error);
    // Opens and closes the device: a description of what was opened, or "" with `error` set.
    static std::string test(const std::string& transport, const std::string& device,
                            const std::string& profileJson, std::string& error);
    ~Reader(); // stops and joins the thread

    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Frames go to `setUp` (with the set-up framing) once this returns; null: scans again.
    void useSetUp(std::shared_ptr<SetUp> setUp);
    bool running() const { return !ended_; }
    const InputSource& source() const { return *source_; }

  private:
    Reader(std::unique_ptr<InputSource> source, std::string profile, Sink sink);
    void run();
    void deliver(const std::string& poll, SetUp* setUp);

    std::unique_ptr<InputSource> source_;
    const std::string profile_;
    const Sink sink_;
    Lock lock_; // guards wanted_ and pump_ (for stop)
    std::shared_ptr<SetUp> wanted_;
    std::shared_ptr<SetUp> framing_; // the set-up the running pump frames for
    InputPump* pump_ = nullptr;
    std::atomic<bool> stop_ = false;
    std::atomic<bool> ended_ = false;
    std::unique_ptr<Thread> thread_; // last: started when the rest is ready
};

} // namespace dvka
