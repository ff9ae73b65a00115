#include "render/svg.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "render/datamatrix.h"
#include "render/linear_codes.h"

namespace dorvik {

namespace {

constexpr int64_t kLinearHeightModules = 60;

// Where the runs of dark modules start and end in every row, as bits: runs are then taken with a count of
// trailing zeros instead of a branch per module, which on a DataMatrix would be mispredicted at almost
// every edge.
class RowRuns {
  public:
    explicit RowRuns(const ModuleMatrix& matrix)
        : width_(static_cast<size_t>(matrix.width)), wordsPerRow_((width_ + 63) / 64),
          rows_(static_cast<size_t>(matrix.height)) {
        const size_t total = wordsPerRow_ * rows_; // no more words than modules
        if (3 * total > inline_.size()) heap_.resize(3 * total);
        uint64_t* words = 3 * total > inline_.size() ? heap_.data() : inline_.data();
        starts_ = words;
        ends_ = words + total;
        uint64_t* dark = words + 2 * total;
        std::fill_n(dark, total, 0);
        for (size_t row = 0; row < rows_; ++row) {
            uint64_t* bits = dark + row * wordsPerRow_;
            pack(matrix.modules.data() + row * width_, bits);
            for (size_t i = 0; i < wordsPerRow_; ++i) {
                const uint64_t before = i > 0 ? bits[i - 1] >> 63 : 0;
                const uint64_t after = i + 1 < wordsPerRow_ ? bits[i + 1] << 63 : 0;
                starts_[row * wordsPerRow_ + i] = bits[i] & ~((bits[i] << 1) | before);
                ends_[row * wordsPerRow_ + i] = bits[i] & ~((bits[i] >> 1) | after);
                runs_ += static_cast<size_t>(std::popcount(starts_[row * wordsPerRow_ + i]));
            }
        }
    }

    size_t runs() const { return runs_; }

    // Calls visit(first column, length) for each run of dark modules in the row, left to right.
    template <typename Visit> void forEachRun(size_t row, Visit&& visit) const {
        const uint64_t* starts = starts_ + row * wordsPerRow_;
        const uint64_t* ends = ends_ + row * wordsPerRow_;
        size_t startWord = 0;
        size_t endWord = 0;
        uint64_t startBits = starts[0];
        uint64_t endBits = ends[0];
        for (;;) {
            while (startBits == 0) {
                if (++startWord == wordsPerRow_) return;
                startBits = starts[startWord];
            }
            while (endBits == 0) // a run that starts in the row ends in it
                endBits = ends[++endWord];
            const size_t first = startWord * 64 + static_cast<size_t>(std::countr_zero(startBits));
            const size_t last = endWord * 64 + static_cast<size_t>(std::countr_zero(endBits));
            startBits &= startBits - 1;
            endBits &= endBits - 1;
            visit(first, last - first + 1);
        }
    }

  private:
    void pack(const uint8_t* modules, uint64_t* words) const {
        size_t c = 0;
        for (; c + 8 <= width_; c += 8) {
            uint64_t eight;
            std::memcpy(&eight, modules + c, 8);
            // Any non-zero byte counts as dark: fold each byte onto its low bit, then gather the eight.
            eight |= eight >> 4;
            eight |= eight >> 2;
            eight |= eight >> 1;
            eight &= 0x0101010101010101;
            words[c / 64] |= ((eight * 0x0102040810204080) >> 56) << (c % 64);
        }
        for (; c < width_; ++c)
            words[c / 64] |= uint64_t{modules[c] != 0} << (c % 64);
    }

    size_t width_;
    size_t wordsPerRow_;
    size_t rows_;
    std::array<uint64_t, 256> inline_; // every DataMatrix and most linear codes
    std::vector<uint64_t> heap_;
    uint64_t* starts_;
    uint64_t* ends_;
    size_t runs_ = 0;
};

// A coordinate or length of the picture, 0 to 2^31 - 1 (the sizes are bounded before anything is drawn),
// in decimal. Those below 1000, nearly all of them at the usual scales, are copied from a table; the
// four bytes copied may run one past the digits, into space written next.
struct SmallNumber {
    std::array<char, 3> digits;
    uint8_t size;
};

constexpr std::array<SmallNumber, 1000> kSmallNumbers = [] {
    std::array<SmallNumber, 1000> numbers{};
    for (size_t v = 0; v < numbers.size(); ++v) {
        const size_t size = v < 10 ? 1 : v < 100 ? 2 : 3;
        for (size_t i = 0, rest = v; i < size; ++i, rest /= 10)
            numbers[v].digits[size - 1 - i] = static_cast<char>('0' + rest % 10);
        numbers[v].size = static_cast<uint8_t>(size);
    }
    return numbers;
}();

char* putCoordinate(char* at, int64_t value) {
    if (value < 1000) {
        const SmallNumber& small = kSmallNumbers[static_cast<size_t>(value)];
        std::memcpy(at, &small, sizeof small);
        return at + small.size;
    }
    return std::to_chars(at, at + 10, value).ptr;
}

size_t digitCount(int64_t value) {
    size_t digits = 1;
    for (int64_t bound = 10; value >= bound; bound *= 10)
        ++digits;
    return digits;
}

// Path text formatted once per call and copied wherever it recurs: "M" and the X of a column, " " and
// the Y of a row, and the "h…v…h-…z" that closes a run of a given length. Copies move whole slots, so
// the output keeps kSlack spare bytes behind its end while it is written.
template <size_t N> struct Slot {
    std::array<char, N> text;
    uint8_t size;
};

constexpr size_t kSlack = 48;
constexpr size_t kMeasureAbove = 64 * 1024;
constexpr size_t kCachedColumns = 256;
constexpr size_t kCachedRuns = 64;

class PathPieces {
  public:
    PathPieces(int64_t quiet, int64_t scale, int64_t runHeight)
        : quiet_(quiet), scale_(scale), runHeight_(runHeight) {}

    const Slot<16>& column(size_t c) {
        if (c >= kCachedColumns) {
            format(spareColumn_, c);
            return spareColumn_;
        }
        if (!columnReady_[c]) {
            format(columns_[c], c);
            columnReady_[c] = true;
        }
        return columns_[c];
    }

    const Slot<40>& run(size_t n) {
        if (n >= kCachedRuns) {
            formatRun(spareRun_, n);
            return spareRun_;
        }
        if (!runReady_[n]) {
            formatRun(runs_[n], n);
            runReady_[n] = true;
        }
        return runs_[n];
    }

  private:
    void format(Slot<16>& slot, size_t c) const {
        char* at = slot.text.data();
        *at++ = 'M';
        at = putCoordinate(at, (quiet_ + static_cast<int64_t>(c)) * scale_);
        slot.size = static_cast<uint8_t>(at - slot.text.data());
    }

    void formatRun(Slot<40>& slot, size_t n) const {
        const int64_t w = static_cast<int64_t>(n) * scale_;
        char* at = slot.text.data();
        *at++ = 'h';
        at = putCoordinate(at, w);
        *at++ = 'v';
        at = putCoordinate(at, runHeight_);
        *at++ = 'h';
        *at++ = '-';
        at = putCoordinate(at, w);
        *at++ = 'z';
        slot.size = static_cast<uint8_t>(at - slot.text.data());
    }

    int64_t quiet_;
    int64_t scale_;
    int64_t runHeight_;
    std::array<bool, kCachedColumns> columnReady_{};
    std::array<bool, kCachedRuns> runReady_{};
    std::array<Slot<16>, kCachedColumns> columns_;
    std::array<Slot<40>, kCachedRuns> runs_;
    Slot<16> spareColumn_;
    Slot<40> spareRun_;
};

Slot<16> rowY(int64_t y) {
    Slot<16> slot;
    slot.text[0] = ' ';
    char* end = putCoordinate(slot.text.data() + 1, y);
    slot.size = static_cast<uint8_t>(end - slot.text.data());
    return slot;
}

template <size_t N> char* copySlot(char* at, const Slot<N>& slot) {
    std::memcpy(at, slot.text.data(), N);
    return at + slot.size;
}

char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// A malloc'd block with a NUL behind the text, as the C interface hands it on: no zero fill, no copy.
class MallocRoom {
  public:
    MallocRoom() = default;
    MallocRoom(const MallocRoom&) = delete;
    MallocRoom& operator=(const MallocRoom&) = delete;
    ~MallocRoom() { std::free(block_); }

    char* room(size_t size) {
        block_ = static_cast<char*>(std::malloc(size + 1));
        if (block_ == nullptr) throw std::bad_alloc();
        size_ = size;
        return block_;
    }
    // The block is cut to the text, so that no result keeps the bound's spare room.
    void finish(size_t size) {
        block_[size] = '\0';
        if (size < size_) {
            if (auto* shorter = static_cast<char*>(std::realloc(block_, size + 1))) block_ = shorter;
        }
    }
    char* release() { return std::exchange(block_, nullptr); }

  private:
    char* block_ = nullptr;
    size_t size_ = 0;
};

// False, with nothing written, when the matrix cannot be drawn or the picture would not fit 32 bits.
bool drawSvg(const ModuleMatrix& matrix, int32_t scale, int32_t quiet, MallocRoom& room) {
    if (matrix.empty() || matrix.width < 0 || matrix.height < 0) return false;
    if (matrix.modules.size() / static_cast<size_t>(matrix.width) < static_cast<size_t>(matrix.height))
        return false;
    const int64_t s = scale < 1 ? 4 : scale;
    const int64_t q = quiet < 0 ? 0 : quiet;
    const bool linear = matrix.height == 1;
    // The module counts fit 64 bits with any quiet zone; each is bounded before the multiply so the
    // picture size cannot wrap, and every coordinate then fits 32 bits.
    constexpr int64_t kMaxPixels = std::numeric_limits<int32_t>::max();
    const int64_t widthModules = matrix.width + 2 * q;
    const int64_t heightModules = linear ? kLinearHeightModules : matrix.height + 2 * q;
    if (widthModules > kMaxPixels / s || heightModules > kMaxPixels / s) return false;
    const int64_t width = widthModules * s;
    const int64_t height = heightModules * s;

    // The picture is written into one block sized in advance, by the number of runs and the longest text
    // a run can take; only when that bound is large is the path measured, so that no block is much larger
    // than its text.
    const RowRuns bits(matrix);
    PathPieces pieces(q, s, linear ? height : s);
    const auto rows = static_cast<size_t>(matrix.height);
    size_t pathSize = bits.runs() * (3 * digitCount(width) + 2 * digitCount(height) + 7);
    if (pathSize > kMeasureAbove) {
        pathSize = 0;
        for (size_t row = 0; row < rows; ++row) {
            const size_t ySize = rowY(linear ? 0 : (q + static_cast<int64_t>(row)) * s).size;
            bits.forEachRun(row, [&](size_t column, size_t n) {
                pathSize += pieces.column(column).size + ySize + pieces.run(n).size;
            });
        }
    }
    constexpr std::string_view kEnd = "\"/></svg>";
    constexpr size_t kHeadBound = 256; // the fixed text and four numbers of at most ten digits
    char* const start = room.room(kHeadBound + pathSize + kEnd.size() + kSlack);
    char* at = start;
    at = put(at, "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ");
    at = putCoordinate(at, width);
    *at++ = ' ';
    at = putCoordinate(at, height);
    at = put(at, "\" width=\"");
    at = putCoordinate(at, width);
    at = put(at, "\" height=\"");
    at = putCoordinate(at, height);
    at = put(
        at,
        "\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/><path fill=\"#000\" d=\"");
    for (size_t row = 0; row < rows; ++row) {
        const Slot<16> y = rowY(linear ? 0 : (q + static_cast<int64_t>(row)) * s);
        bits.forEachRun(row, [&](size_t column, size_t n) {
            if (linear) { // every column of a linear code is met once: nothing to reuse
                *at++ = 'M';
                at = putCoordinate(at, (q + static_cast<int64_t>(column)) * s);
            } else {
                at = copySlot(at, pieces.column(column));
            }
            at = copySlot(at, y);
            at = copySlot(at, pieces.run(n));
        });
    }
    at = put(at, kEnd);
    room.finish(static_cast<size_t>(at - start));
    return true;
}

ModuleMatrix encode(std::string_view kind, std::string_view payload, bool gs1) {
    if (kind == "ean13") return encodeEan13(payload);
    if (kind == "code128") return encodeCode128(payload, gs1);
    return encodeDataMatrix(payload, gs1);
}

} // namespace

char* matrixSvgBlock(const ModuleMatrix& matrix, int32_t scale, int32_t quiet) {
    MallocRoom room;
    if (!drawSvg(matrix, scale, quiet, room)) return nullptr;
    return room.release();
}

char* barcodeSvgBlock(std::string_view kind, std::string_view payload, bool gs1, int32_t scale,
                      int32_t quiet) {
    return matrixSvgBlock(encode(kind, payload, gs1), scale, quiet);
}

} // namespace dorvik
