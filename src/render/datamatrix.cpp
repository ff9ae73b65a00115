#include "render/datamatrix.h"

#include <array>

#include "bytes/ascii.h"
#include "render/reed_solomon.h"

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

// The standard ECC 200 placement of codeword bits into the mapping matrix (bit 1 is the most significant).
class Placement {
  public:
    Placement(int32_t rows, int32_t columns, const std::vector<uint8_t>& codewords)
        : rows_(rows), columns_(columns), codewords_(codewords),
          cells_(static_cast<size_t>(rows) * static_cast<size_t>(columns), kUnset) {}

    std::vector<int8_t> run() && {
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
            cell(rows_ - 1, columns_ - 1) = 1;
            cell(rows_ - 2, columns_ - 2) = 1;
        }
        return std::move(cells_);
    }

  private:
    static constexpr int8_t kUnset = -1;

    int8_t& cell(int32_t row, int32_t column) {
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
        const uint8_t value = codeword < codewords_.size() ? codewords_[codeword] : 0;
        cell(row, column) = static_cast<int8_t>((value >> (8 - bit)) & 1);
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
    const std::vector<uint8_t>& codewords_;
    std::vector<int8_t> cells_;
};

} // namespace

std::vector<uint8_t> dataMatrixCodewords(std::string_view payload, bool gs1) {
    std::vector<uint8_t> codewords;
    // No symbol holds more than 174 codewords, and every byte costs at least half a codeword.
    if (payload.size() > 2 * kSizes.back().dataCodewords) return {};
    codewords.reserve(payload.size() + 1);
    if (gs1) codewords.push_back(kFnc1);
    for (size_t i = 0; i < payload.size(); ++i) {
        const auto byte = static_cast<unsigned char>(payload[i]);
        if (payload[i] == kGs) {
            codewords.push_back(kFnc1);
        } else if (isDigit(payload[i]) && i + 1 < payload.size() && isDigit(payload[i + 1])) {
            codewords.push_back(static_cast<uint8_t>(130 + (payload[i] - '0') * 10 + (payload[i + 1] - '0')));
            ++i;
        } else if (byte >= 128) {
            codewords.push_back(kUpperShift);
            codewords.push_back(static_cast<uint8_t>(byte - 127));
        } else {
            codewords.push_back(static_cast<uint8_t>(byte + 1));
        }
    }
    return codewords;
}

namespace {

struct SymbolCodewords {
    const SymbolSize* size = nullptr;
    std::vector<uint8_t> codewords; // data, padding, check
};

SymbolCodewords buildSymbolCodewords(std::string_view payload, bool gs1) {
    if (payload.empty()) return {};
    std::vector<uint8_t> codewords = dataMatrixCodewords(payload, gs1);
    const SymbolSize* size = codewords.empty() ? nullptr : sizeFor(codewords.size());
    if (size == nullptr) return {};
    if (codewords.size() < size->dataCodewords) codewords.push_back(kPad);
    while (codewords.size() < size->dataCodewords) {
        const size_t position = codewords.size() + 1;
        unsigned pad = 130 + static_cast<unsigned>((149 * position) % 253);
        if (pad > 254) pad -= 254;
        codewords.push_back(static_cast<uint8_t>(pad));
    }
    const std::vector<uint8_t> check = reedSolomonCheck(codewords, size->checkCodewords);
    codewords.insert(codewords.end(), check.begin(), check.end());
    return {size, std::move(codewords)};
}

} // namespace

std::vector<uint8_t> dataMatrixSymbolCodewords(std::string_view payload, bool gs1) {
    return buildSymbolCodewords(payload, gs1).codewords;
}

ModuleMatrix encodeDataMatrix(std::string_view payload, bool gs1) {
    const SymbolCodewords symbol = buildSymbolCodewords(payload, gs1);
    if (symbol.size == nullptr) return {};
    const SymbolSize& size = *symbol.size;
    const std::vector<uint8_t>& codewords = symbol.codewords;
    const int32_t mappingSide = size.regionsPerSide * size.region;
    const std::vector<int8_t> mapping = Placement(mappingSide, mappingSide, codewords).run();

    ModuleMatrix matrix{size.size, size.size,
                        std::vector<uint8_t>(static_cast<size_t>(size.size * size.size), 0)};
    auto set = [&](int32_t row, int32_t column) {
        matrix.modules[static_cast<size_t>(row * size.size + column)] = 1;
    };
    const int32_t block = size.region + 2;
    for (int32_t r = 0; r < size.regionsPerSide; ++r) {
        for (int32_t c = 0; c < size.regionsPerSide; ++c) {
            const int32_t top = r * block;
            const int32_t left = c * block;
            for (int32_t i = 0; i < block; ++i) {
                set(top + i, left);                             // solid left edge
                set(top + block - 1, left + i);                 // solid bottom edge
                if (i % 2 == 0) set(top, left + i);             // clock track along the top
                if (i % 2 == 1) set(top + i, left + block - 1); // clock track down the right
            }
        }
    }
    for (int32_t y = 0; y < mappingSide; ++y) {
        for (int32_t x = 0; x < mappingSide; ++x) {
            if (mapping[static_cast<size_t>(y * mappingSide + x)] != 1) continue;
            set((y / size.region) * block + y % size.region + 1,
                (x / size.region) * block + x % size.region + 1);
        }
    }
    return matrix;
}

} // namespace dorvik
