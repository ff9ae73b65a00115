// Reads a fuzzer's bytes as a stream of small decisions and slices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The entry point each harness defines, declared for -Wmissing-declarations; the replay driver renames it
// dvkFuzz_<harness> per file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint64_t u64() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = value << 8 | byte();
        return value;
    }
    // Up to `max` bytes, the length taken from the stream.
    std::string slice(size_t max = 255) {
        const size_t want = byte() % (max + 1);
        const size_t n = want < size_ - std::min(pos_, size_) ? want : size_ - std::min(pos_, size_);
        std::string out(reinterpret_cast<const char*>(data_ + std::min(pos_, size_)), n);
        pos_ += n;
        return out;
    }
    std::string rest() {
        std::string out(reinterpret_cast<const char*>(data_ + std::min(pos_, size_)),
                        size_ - std::min(pos_, size_));
        pos_ = size_;
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Stops the fuzzer with a message when a property fails.
void fuzzCheck(bool condition, const char* what);
