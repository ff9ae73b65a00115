#include "render/datamatrix.h"

#include <array>
#include <mutex>
#include <span>

#include "bytes/ascii.h"
#include "render/reed_solomon.h"
#include "render/render_internal.h"

namespace dorvik {

namespace {

constexpr uint8_t kFnc1 = 232;
constexpr uint8_t kUpperShift = 235;
constexpr uint8_t kPad = 129;

struct SymbolSize {
    int32_t size;
    int32_t region;
    int32_t regionsPerSide;
    size_t dataCodewords;
    size_t checkCodewords;
};

constexpr std::array<SymbolSize, 14> kSizes = {{{10, 8, 1, 3, 5},
                                                {12, 10, 1, 5, 7},
                                                {14, 12, 1, 8, 10},
                                                {16, 14, 1, 12, 12},
                                                {18, 16, 1, 18, 14},
                                                {20, 18, 1, 22, 18},
                                                {22, 20, 1, 30, 20},
                                                {24, 22, 1, 36, 24},
                                                {26, 24, 1, 44, 28},
                                                {32, 14, 2, 62, 36},
                                                {36, 16, 2, 86, 42},
                                                {40, 18, 2, 114, 48},
                                                {44, 20, 2, 144, 56},
                                                {48, 22, 2, 174, 68}}};

const SymbolSize* sizeFor(size_t codewords) {
    for (const SymbolSize& size : kSizes) {
        if (size.dataCodewords >= codewords) return &size;
    }
    return nullptr;
}

// Where a module of a symbol takes its value from: bit (source & 7) of byte (source >> 3) of the symbol's
// codewords followed by one 0x00 and one 0xFF byte, which give the modules that are always light or dark.
using Source = uint16_t;

constexpr size_t kMaxSymbolCodewords = 174 + 68;
constexpr size_t kLightByte = kMaxSymbolCodewords;
constexpr size_t kDarkByte = kMaxSymbolCodewords + 1;
constexpr Source kLight = kLightByte * 8;
constexpr Source kDark = kDarkByte * 8;

// The standard ECC 200 placement of codeword bits into the mapping matrix (bit 1 is the most significant),
// run once per symbol size on the codewords' positions rather than their values.
class Placement {
  public:
    Placement(int32_t rows, int32_t columns, size_t codewords)
        : rows_(rows), columns_(columns), codewords_(codewords),
          cells_(static_cast<size_t>(rows) * static_cast<size_t>(columns), kUnset) {}

    std::vector<int32_t> run() && {
        int32_t row = 4;
        int32_t column = 0;
        size_t next = 0;
        do {
            if (row == rows_ && column == 0) corner1(next++);
            if (row == rows_ - 2 && column == 0 && columns_ % 4 != 0) corner2(next++);
            if (row == rows_ - 2 && column == 0 && columns_ % 8 == 4) corner3(next++);
            if (row == rows_ + 4 && column == 2 && columns_ % 8 == 0) corner4(next++);
            do {
                if (row < rows_ && column >= 0 && cell(row, column) == kUnset) utah(row, column, next++);
                row -= 2;
                column += 2;
            } while (row >= 0 && column < columns_);
            row += 1;
            column += 3;
            do {
                if (row >= 0 && column < columns_ && cell(row, column) == kUnset) utah(row, column, next++);
                row += 2;
                column -= 2;
            } while (row < rows_ && column >= 0);
            row += 3;
            column += 1;
        } while (row < rows_ || column < columns_);
        if (cell(rows_ - 1, columns_ - 1) == kUnset) {
            cell(rows_ - 1, columns_ - 1) = kDark;
            cell(rows_ - 2, columns_ - 2) = kDark;
        }
        return std::move(cells_);
    }

    static constexpr int32_t kUnset = -1;

  private:
    int32_t& cell(int32_t row, int32_t column) {
        return cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
    }

    void module(int32_t row, int32_t column, size_t codeword, int bit) {
        if (row < 0) {
            row += rows_;
            column += 4 - ((rows_ + 4) % 8);
        }
        if (column < 0) {
            column += columns_;
            row += 4 - ((columns_ + 4) % 8);
        }
        cell(row, column) = codeword < codewords_
                                ? static_cast<int32_t>(codeword * 8 + static_cast<size_t>(8 - bit))
                                : kLight;
    }

    void utah(int32_t row, int32_t column, size_t c) {
        module(row - 2, column - 2, c, 1);
        module(row - 2, column - 1, c, 2);
        module(row - 1, column - 2, c, 3);
        module(row - 1, column - 1, c, 4);
        module(row - 1, column, c, 5);
        module(row, column - 2, c, 6);
        module(row, column - 1, c, 7);
        module(row, column, c, 8);
    }

    void corner1(size_t c) {
        module(rows_ - 1, 0, c, 1);
        module(rows_ - 1, 1, c, 2);
        module(rows_ - 1, 2, c, 3);
        module(0, columns_ - 2, c, 4);
        module(0, columns_ - 1, c, 5);
        module(1, columns_ - 1, c, 6);
        module(2, columns_ - 1, c, 7);
        module(3, columns_ - 1, c, 8);
    }

    void corner2(size_t c) {
        module(rows_ - 3, 0, c, 1);
        module(rows_ - 2, 0, c, 2);
        module(rows_ - 1, 0, c, 3);
        module(0, columns_ - 4, c, 4);
        module(0, columns_ - 3, c, 5);
        module(0, columns_ - 2, c, 6);
        module(0, columns_ - 1, c, 7);
        module(1, columns_ - 1, c, 8);
    }

    void corner3(size_t c) {
        module(rows_ - 3, 0, c, 1);
        module(rows_ - 2, 0, c, 2);
        module(rows_ - 1, 0, c, 3);
        module(0, columns_ - 2, c, 4);
        module(0, columns_ - 1, c, 5);
        module(1, columns_ - 1, c, 6);
        module(2, columns_ - 1, c, 7);
        module(3, columns_ - 1, c, 8);
    }

    void corner4(size_t c) {
        module(rows_ - 1, 0, c, 1);
        module(rows_ - 1, columns_ - 1, c, 2);
        module(0, columns_ - 3, c, 3);
        module(0, columns_ - 2, c, 4);
        module(0, columns_ - 1, c, 5);
        module(1, columns_ - 3, c, 6);
        module(1, columns_ - 2, c, 7);
        module(1, columns_ - 1, c, 8);
    }

    int32_t rows_;
    int32_t columns_;
    size_t codewords_;
    std::vector<int32_t> cells_;
};

// The source of every module of a symbol, row by row: finder pattern and mapping together, so that
// drawing a symbol is one table walk.
std::vector<Source> buildLayout(const SymbolSize& size) {
    const int32_t mappingSide = size.regionsPerSide * size.region;
    const std::vector<int32_t> mapping =
        Placement(mappingSide, mappingSide, size.dataCodewords + size.checkCodewords).run();
    std::vector<Source> layout(static_cast<size_t>(size.size * size.size), kLight);
    auto set = [&](int32_t row, int32_t column, Source source) {
        layout[static_cast<size_t>(row * size.size + column)] = source;
    };
    const int32_t block = size.region + 2;
    for (int32_t r = 0; r < size.regionsPerSide; ++r) {
        for (int32_t c = 0; c < size.regionsPerSide; ++c) {
            const int32_t top = r * block;
            const int32_t left = c * block;
            for (int32_t i = 0; i < block; ++i) {
                set(top + i, left, kDark);                             // solid left edge
                set(top + block - 1, left + i, kDark);                 // solid bottom edge
                if (i % 2 == 0) set(top, left + i, kDark);             // clock track along the top
                if (i % 2 == 1) set(top + i, left + block - 1, kDark); // clock track down the right
            }
        }
    }
    for (int32_t y = 0; y < mappingSide; ++y) {
        for (int32_t x = 0; x < mappingSide; ++x) {
            const int32_t cell = mapping[static_cast<size_t>(y * mappingSide + x)];
            if (cell == Placement::kUnset) continue;
            set((y / size.region) * block + y % size.region + 1,
                (x / size.region) * block + x % size.region + 1, static_cast<Source>(cell));
        }
    }
    return layout;
}

// Built once per symbol size, on its first use; safe from any thread.
const std::vector<Source>& layoutFor(const SymbolSize& size) {
    static std::array<std::once_flag, kSizes.size()> built;
    static std::array<std::vector<Source>, kSizes.size()> layouts;
    const auto index = static_cast<size_t>(&size - kSizes.data());
    std::call_once(built[index], [&] { layouts[index] = buildLayout(size); });
    return layouts[index];
}

// ASCII encodation, one codeword at a time; false as soon as `emit` refuses one.
template <typename Emit> bool asciiCodewords(std::string_view payload, bool gs1, Emit&& emit) {
    if (gs1 && !emit(kFnc1)) return false;
    for (size_t i = 0; i < payload.size(); ++i) {
        const auto byte = static_cast<unsigned char>(payload[i]);
        bool taken = false;
        if (payload[i] == kGs) {
            taken = emit(kFnc1);
        } else if (isDigit(payload[i]) && i + 1 < payload.size() && isDigit(payload[i + 1])) {
            taken = emit(static_cast<uint8_t>(130 + (payload[i] - '0') * 10 + (payload[i + 1] - '0')));
            ++i;
        } else if (byte >= 128) {
            taken = emit(kUpperShift) && emit(static_cast<uint8_t>(byte - 127));
        } else {
            taken = emit(static_cast<uint8_t>(byte + 1));
        }
        if (!taken) return false;
    }
    return true;
}

struct SymbolCodewords {
    const SymbolSize* size = nullptr;
    size_t count = 0;
    // Data, padding and check codewords, then the light and the dark byte of the layouts.
    std::array<uint8_t, kMaxSymbolCodewords + 2> bytes{};
};

bool buildSymbolCodewords(std::string_view payload, bool gs1, SymbolCodewords& symbol) {
    // No symbol holds more than 174 codewords, and every byte costs at least half a codeword.
    const size_t capacity = kSizes.back().dataCodewords;
    if (payload.empty() || payload.size() > 2 * capacity) return false;
    size_t n = 0;
    const bool fits = asciiCodewords(payload, gs1, [&](uint8_t codeword) {
        if (n == capacity) return false;
        symbol.bytes[n++] = codeword;
        return true;
    });
    symbol.size = fits ? sizeFor(n) : nullptr;
    if (symbol.size == nullptr) return false;
    const size_t data = symbol.size->dataCodewords;
    if (n < data) symbol.bytes[n++] = kPad;
    while (n < data) {
        const size_t position = n + 1;
        unsigned pad = 130 + static_cast<unsigned>((149 * position) % 253);
        if (pad > 254) pad -= 254;
        symbol.bytes[n++] = static_cast<uint8_t>(pad);
    }
    symbol.count = data + symbol.size->checkCodewords;
    reedSolomonCheck(std::span<const uint8_t>(symbol.bytes.data(), data),
                     std::span<uint8_t>(symbol.bytes.data() + data, symbol.size->checkCodewords));
    symbol.bytes[kLightByte] = 0x00;
    symbol.bytes[kDarkByte] = 0xFF;
    return true;
}

} // namespace

// For the tests against other encoders (render_internal.h): data, padding and check codewords of the chosen
// size.
std::vector<uint8_t> dataMatrixSymbolCodewords(std::string_view payload, bool gs1) {
    SymbolCodewords symbol;
    if (!buildSymbolCodewords(payload, gs1, symbol)) return {};
    return {symbol.bytes.begin(), symbol.bytes.begin() + static_cast<ptrdiff_t>(symbol.count)};
}

ModuleMatrix encodeDataMatrix(std::string_view payload, bool gs1) {
    SymbolCodewords symbol;
    if (!buildSymbolCodewords(payload, gs1, symbol)) return {};
    const std::vector<Source>& layout = layoutFor(*symbol.size);
    ModuleMatrix matrix{symbol.size->size, symbol.size->size, std::vector<uint8_t>(layout.size())};
    for (size_t i = 0; i < layout.size(); ++i)
        matrix.modules[i] = static_cast<uint8_t>((symbol.bytes[layout[i] >> 3] >> (layout[i] & 7)) & 1);
    return matrix;
}

} // namespace dorvik
