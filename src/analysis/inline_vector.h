// A vector whose first N elements live inside it: the handful a real code has costs no heap block, and
// only an unusual input spills to the heap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace dorvik {

template <typename T, size_t N> class InlineVector {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    InlineVector() = default;
    InlineVector(const InlineVector& other) : size_(other.size_), spilled_(other.spilled_) {
        copyInline(other);
    }
    // The moved-from vector is left empty: with its spilled elements gone, its old size would reach past
    // its inline room.
    InlineVector(InlineVector&& other) noexcept : size_(other.size_), spilled_(std::move(other.spilled_)) {
        copyInline(other);
        other.size_ = 0;
        other.spilled_.clear();
    }
    InlineVector& operator=(InlineVector other) noexcept {
        copyInline(other);
        size_ = other.size_;
        spilled_ = std::move(other.spilled_);
        return *this;
    }

    // The common case small enough for every compiler to inline; the spill is out of line.
    void push_back(const T& value) {
        if (size_ < N) {
            new (inline_ + size_ * sizeof(T)) T(value);
            ++size_;
            return;
        }
        pushSpilled(value);
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const T* data() const { return spilled_.empty() ? inlineData() : spilled_.data(); }
    const T& operator[](size_t i) const { return data()[i]; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    std::span<const T> view() const { return {data(), size_}; }

  private:
    void pushSpilled(const T& value) {
        if (spilled_.empty()) {
            spilled_.reserve(2 * N);
            spilled_.assign(inlineData(), inlineData() + N);
        }
        spilled_.push_back(value);
        ++size_;
    }
    void copyInline(const InlineVector& other) {
        std::memcpy(inline_, other.inline_, std::min(other.size_, N) * sizeof(T));
    }
    const T* inlineData() const { return std::launder(reinterpret_cast<const T*>(inline_)); }

    // Raw room, so that an empty vector costs no construction of N elements.
    alignas(T) unsigned char inline_[N * sizeof(T)];
    size_t size_ = 0;
    std::vector<T> spilled_;
};

} // namespace dorvik
