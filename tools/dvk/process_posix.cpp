#include <signal.h>

#include <ctime>

#include "input_source.h"

namespace {

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

} // namespace

void installStopHandlers() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking open or poll returns at once
    for (const int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    // A reader that went away shows as a failed write, ending the loop, not the process.
    signal(SIGPIPE, SIG_IGN);
}

bool stopRequested() { return stopSignal != 0; }

uint64_t monotonicMs() {
    struct timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1'000'000;
}
