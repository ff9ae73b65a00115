// A key stroke that extends a frame allocates nothing once the buffers have grown: the till's hot path.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "decoder/decoder.h"

namespace {
std::atomic<size_t> allocations{0};
}

// The replacement pair: memory from malloc, back to free. GCC cannot see that they belong together.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

TEST(DecoderAllocation, SteadyStateKeyStrokes) {
    dorvik::Decoder decoder;
    dorvik::ScannerProfile profile;
    profile.burstGapMs = 1'000'000;
    decoder.setProfile(profile);
    decoder.setOnFrame([](std::string_view, std::string_view, uint64_t, std::span<const uint64_t>) {});
    uint64_t t = 1;
    auto type = [&](int keys) {
        for (int i = 0; i < keys; ++i)
            decoder.feedKey(dorvik::KeyEvent{.scanCode = 0x02, .tMs = ++t, .deviceId = "usb"});
        decoder.feedKey(
            dorvik::KeyEvent{.scanCode = 0x1C, .tMs = ++t, .deviceId = "usb"}); // Enter closes the frame
    };
    type(200); // grows the frame buffers once
    const size_t before = allocations.load();
    type(200);
    EXPECT_EQ(allocations.load(), before);
}
