#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <zint.h>

#include "oracles.h"
#include "render/datamatrix.h"
#include "render/linear_codes.h"
#include "render/svg.h"
#include "render_support.h"
#include "tuner/tuner_steps.h"

using namespace dorvik;

namespace {

// Symbol values read back from a Code 128 row with the library's own patterns.
std::vector<int> code128Values(const std::vector<uint8_t>& modules) {
    std::vector<int> values;
    for (size_t at = 0; at + 11 <= modules.size(); at += 11) {
        std::string chunk;
        for (size_t i = 0; i < 11; ++i)
            chunk += modules[at + i] ? '1' : '0';
        int value = -1;
        for (size_t v = 0; v < 107; ++v)
            if (code128Patterns()[v] == chunk) value = static_cast<int>(v);
        values.push_back(value);
        if (value == 106) break;
    }
    return values;
}

std::string randomBytes(std::mt19937& rng, size_t n, int from, int to) {
    std::string s(n, ' ');
    for (char& c : s)
        c = static_cast<char>(from + static_cast<int>(rng() % static_cast<unsigned>(to - from + 1)));
    return s;
}

} // namespace

TEST(Ean13, DigitsChecksAndOracle) {
    const ModuleMatrix plain = encodeEan13("4600000000008");
    EXPECT_EQ(plain.width, 95);
    EXPECT_EQ(encodeEan13("46-0000 0000-008").modules, plain.modules);
    EXPECT_EQ(encodeEan13("460000000000").modules, plain.modules);
    EXPECT_EQ(encodeEan13("4600000000009").width, 95);
    for (const char* bad : {"", "46000000000", "46000000000081", "abc"})
        EXPECT_TRUE(encodeEan13(bad).empty()) << bad;
    for (const std::string code : {"4600000000008", "5901234123457", "4006381333931", "9780201379624"}) {
        EXPECT_EQ(encodeEan13(code).modules, oracle::zintModules(BARCODE_EANX, code)) << code;
        EXPECT_EQ(oracle::decode(encodeEan13(code)).text, code);
    }
}

TEST(Code128, CodeSetChoices) {
    const int chk = -2; // any check symbol
    struct Case {
        std::string payload;
        bool gs1;
        std::vector<int> values;
    } cases[] = {
        {"1234", false, {105, 12, 34, chk, 106}},
        {"123", false, {104, 17, 18, 19, chk, 106}},
        {"12345", false, {105, 12, 34, 100, 21, chk, 106}},
        {"AB123456", false, {104, 33, 34, 99, 12, 34, 56, chk, 106}},
        {"AB12345", false, {104, 33, 34, 17, 18, 19, 20, 21, chk, 106}},
        {"0104607097291111", true, {105, 102, 1, 4, 60, 70, 97, 29, 11, 11, chk, 106}},
        {"1234\03556", false, {105, 12, 34, 102, 56, chk, 106}},
    };
    for (const auto& c : cases) {
        std::vector<int> got = code128Values(encodeCode128(c.payload, c.gs1).modules);
        ASSERT_EQ(got.size(), c.values.size()) << c.payload;
        int sum = got[0];
        for (size_t i = 1; i + 2 < got.size(); ++i)
            sum += static_cast<int>(i) * got[i];
        EXPECT_EQ(got[got.size() - 2], sum % 103) << c.payload;
        got[got.size() - 2] = chk;
        EXPECT_EQ(got, c.values) << c.payload;
    }
    EXPECT_TRUE(encodeCode128("", false).empty());
    EXPECT_TRUE(encodeCode128("ab\x01", false).empty());
    EXPECT_TRUE(encodeCode128("\xd0\x96", false).empty());
}

TEST(Code128, ScansBothWays) {
    std::mt19937 rng(5);
    // Between them every printable and digit-pair value, so every pattern the encoder can draw is read back.
    std::vector<std::string> payloads = {"AB123456CD", "123456AB7890123", "x1y22z333w4444v55555u666666", "",
                                         ""};
    for (int c = 32; c < 127; ++c)
        payloads[3 + (c >= 80)] += static_cast<char>(c);
    for (int v = 0; v < 100; ++v)
        payloads.push_back({static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10), '0', '9'});
    for (int i = 0; i < 40; ++i)
        payloads.push_back(randomBytes(rng, 1 + rng() % 30, rng() % 2 ? '0' : ' ', rng() % 2 ? '9' : '~'));
    for (const std::string& p : payloads) {
        const oracle::Decoded d = oracle::decode(encodeCode128(p, false));
        EXPECT_TRUE(d.ok) << p;
        EXPECT_EQ(d.text, p);
    }
    const std::string& step1 = tunerSteps()[1].payload;
    const oracle::Decoded gs1 = oracle::decode(encodeCode128(step1, true));
    EXPECT_EQ(gs1.symbologyIdentifier, "]C1");
    EXPECT_EQ(gs1.text, step1);
}

// Sizes beside the comparison with libdmtx, which knows no GS1 mode and stops short of 48x48.
TEST(DataMatrix, SizesAndCodewords) {
    EXPECT_EQ(encodeDataMatrix(tunerSteps()[3].payload, true).width, 36);
    EXPECT_EQ(encodeDataMatrix(std::string(348, '1'), false).width, 48);
    const std::vector<uint8_t> gs1 = dataMatrixSymbolCodewords("\035A", true);
    EXPECT_EQ(std::vector<uint8_t>(gs1.begin(), gs1.begin() + 3), (std::vector<uint8_t>{232, 232, 66}));
    for (const std::string& tooLong :
         {std::string(349, '1'), std::string(175, 'a'), std::string(10'000'000, 'a')})
        EXPECT_TRUE(encodeDataMatrix(tooLong, false).empty()) << tooLong.size();
    EXPECT_TRUE(encodeDataMatrix("", true).empty());
}

TEST(DataMatrix, MatchesLibdmtxBitForBit) {
    std::mt19937 rng(11);
    for (int i = 0; i < 300; ++i) {
        std::string p = randomBytes(rng, 1 + rng() % 150, 0, 255);
        if (i % 3 == 0) p = randomBytes(rng, 1 + rng() % 200, '0', '9');
        if (i % 3 == 1) p = randomBytes(rng, 1 + rng() % 120, 29, 126);
        const oracle::DmtxSymbol reference = oracle::dmtxEncode(p);
        const std::vector<uint8_t> ours = dataMatrixSymbolCodewords(p, false);
        if (reference.codewords.empty() || reference.matrix.width > 48) {
            EXPECT_TRUE(ours.empty()) << i;
            continue;
        }
        ASSERT_EQ(std::vector<uint8_t>(reference.codewords.begin(), reference.codewords.end()), ours) << i;
        EXPECT_EQ(encodeDataMatrix(p, false).modules, reference.matrix.modules) << i;
    }
}

TEST(DataMatrix, EverySizeScans) {
    // The longest all-letter payload of each size, so every size from 10x10 to 48x48 is drawn and placed
    // as libdmtx places it, corners included.
    for (const size_t capacity : {3, 5, 8, 12, 18, 22, 30, 36, 44, 62, 86, 114, 144, 174}) {
        std::mt19937 rng(static_cast<unsigned>(capacity));
        const std::string p = randomBytes(rng, capacity, 'A', 'z');
        const ModuleMatrix m = encodeDataMatrix(p, false);
        const oracle::Decoded d = oracle::decode(m);
        EXPECT_EQ(d.text, p) << m.width;
        EXPECT_EQ(m.modules, oracle::dmtxEncode(p).matrix.modules) << m.width;
    }
    const std::string high = "caf\xc3\xa9 \xff\x80";
    const oracle::Decoded d = oracle::decode(encodeDataMatrix(high, false));
    EXPECT_TRUE(d.ok);
    for (size_t step = 2; step < 5; ++step) {
        const std::string& p = tunerSteps()[step].payload;
        const oracle::Decoded gs1 = oracle::decode(encodeDataMatrix(p, true));
        EXPECT_EQ(gs1.symbologyIdentifier, "]d2") << step;
        EXPECT_EQ(gs1.text, p) << step;
    }
}

TEST(Svg, ExactTextAndSizes) {
    ModuleMatrix tiny{3, 2, {1, 1, 0, 0, 0, 1}};
    EXPECT_EQ(
        *test::matrixToSvg(tiny, 2, 1),
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 8\" width=\"10\" height=\"8\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/><path fill=\"#000\" d=\"M2 2h4v2h-4zM6 4h2v2h-2z\"/></svg>");
    ModuleMatrix bars{4, 1, {1, 0, 1, 1}};
    EXPECT_NE(test::matrixToSvg(bars, 0, -3)->find("viewBox=\"0 0 16 240\""), std::string::npos);
    EXPECT_NE(test::matrixToSvg(bars, 0, -3)->find("d=\"M0 0h4v240h-4zM8 0h8v240h-8z\""), std::string::npos);
    EXPECT_NE(test::matrixToSvg(ModuleMatrix{2, 2, {0, 0, 0, 0}}, 1, 0)->find("d=\"\""), std::string::npos);
    const auto ean = test::barcodeSvg("ean13", "460000000000", false, 3, 10);
    EXPECT_NE(ean->find("viewBox=\"0 0 345 180\""), std::string::npos);
    EXPECT_FALSE(test::barcodeSvg("ean13", "", false, 1, 1));
    EXPECT_FALSE(test::barcodeSvg("code128", "a\x01", false, 1, 1));
    EXPECT_EQ(test::barcodeSvg("EAN13", "4600000000008", false, 1, 0),
              test::barcodeSvg("datamatrix", "4600000000008", false, 1, 0));
}

TEST(Svg, SizesAtTheExtremes) {
    // Every kind, scale and quiet zone pushed to their limits together: a picture is drawn exactly when
    // both sizes fit 32 bits, and never with a wrapped size. DataMatrix "A" is 10 modules square,
    // EAN-13 95 wide, Code 128 "A" 46 wide; linear codes are 60 modules tall.
    constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
    struct Case {
        const char* kind;
        const char* data;
        int32_t scale, quiet;
        const char* viewBox; // nullptr: no picture
    } cases[] = {
        // clang-format off
        {"datamatrix", "A", kMax, kMax, nullptr}, {"datamatrix", "A", kMax, 0, nullptr}, {"datamatrix", "A", 1, kMax, nullptr},
        {"datamatrix", "A", kMin, kMax, nullptr}, {"datamatrix", "A", kMin, kMin, "0 0 40 40"},
        {"datamatrix", "A", 214748364, 0, "0 0 2147483640 2147483640"}, {"datamatrix", "A", 214748365, 0, nullptr},
        {"datamatrix", "A", 1, 1073741818, "0 0 2147483646 2147483646"}, {"datamatrix", "A", 1, 1073741819, nullptr},
        {"ean13", "4600000000008", kMax, kMax, nullptr}, {"ean13", "4600000000008", kMax, 0, nullptr}, {"ean13", "4600000000008", 1, kMax, nullptr},
        {"ean13", "4600000000008", 22605091, 0, "0 0 2147483645 1356305460"}, {"ean13", "4600000000008", 22605092, 0, nullptr},
        {"ean13", "4600000000008", 1, 1073741776, "0 0 2147483647 60"}, {"ean13", "4600000000008", 1, 1073741777, nullptr},
        {"code128", "A", kMax, kMax, nullptr}, {"code128", "A", kMin, kMin, "0 0 184 240"},
        {"code128", "A", 35791394, 0, "0 0 1646404124 2147483640"}, {"code128", "A", 35791395, 0, nullptr},
        {"code128", "A", 1, 1073741800, "0 0 2147483646 60"}, {"code128", "A", 1, 1073741801, nullptr},
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto svg = test::barcodeSvg(c.kind, c.data, false, c.scale, c.quiet);
        const std::string context =
            std::string(c.kind) + " " + std::to_string(c.scale) + "/" + std::to_string(c.quiet);
        if (c.viewBox == nullptr) {
            EXPECT_FALSE(svg) << context;
        } else {
            ASSERT_TRUE(svg) << context;
            EXPECT_NE(svg->find("viewBox=\"" + std::string(c.viewBox) + "\""), std::string::npos)
                << context << *svg;
        }
    }
}

// The path read back as modules: every "M x y h w v h h-w z" must lie on the module grid, inside the
// picture, and cover each dark module once and nothing else. Scales and quiet zones are chosen so that
// coordinates cross 10, 100, 1000 and 10000, where the number writer changes width.
TEST(Svg, PathReadsBackToTheModules) {
    const std::string marking = "0104607097291111215Ab!x7Qz-9K2m\x1d"
                                "91EE10\x1d"
                                "92Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr";
    const std::pair<ModuleMatrix, bool> symbols[] = {
        {encodeEan13("4600000000008"), true},
        {encodeCode128("0104607097291111\x1d"
                       "3103000123",
                       true),
         true},
        {encodeDataMatrix("A", false), false},
        {encodeDataMatrix(marking, true), false},
        {encodeDataMatrix(std::string(348, '7'), false), false},
    };
    for (const auto& [m, linear] : symbols) {
        for (const int32_t scale : {1, 3, 7, 13, 77}) {
            for (const int32_t quiet : {-1, 0, 1, 4, 33}) {
                const int64_t q = std::max(quiet, 0);
                const std::string svg = *test::matrixToSvg(m, scale, quiet);
                const std::string context = std::to_string(m.width) + "x" + std::to_string(m.height) +
                                            " at " + std::to_string(scale) + "/" + std::to_string(quiet);
                const int64_t width = (m.width + 2 * q) * scale;
                const int64_t height = linear ? 60 * scale : (m.height + 2 * q) * scale;
                ASSERT_NE(
                    svg.find("viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\""),
                    std::string::npos)
                    << context;
                std::vector<int> covered(m.modules.size());
                const char* at = svg.c_str() + svg.find(" d=\"") + 4;
                long long x, y, w, h, back;
                int used = 0;
                while (std::sscanf(at, "M%lld %lldh%lldv%lldh-%lldz%n", &x, &y, &w, &h, &back, &used) == 5) {
                    at += used;
                    ASSERT_EQ(back, w) << context;
                    ASSERT_TRUE(x % scale == 0 && y % scale == 0 && w % scale == 0 && w > 0) << context;
                    ASSERT_EQ(h, linear ? height : scale) << context;
                    if (linear) {
                        ASSERT_EQ(y, 0) << context;
                    }
                    const int64_t row = linear ? 0 : y / scale - q;
                    ASSERT_TRUE(row >= 0 && row < m.height && x / scale >= q &&
                                (x + w) / scale <= q + m.width)
                        << context;
                    for (int64_t c = x / scale - q; c < (x + w) / scale - q; ++c)
                        ++covered[static_cast<size_t>(row * m.width + c)];
                }
                ASSERT_STREQ(at, "\"/></svg>") << context;
                for (size_t i = 0; i < covered.size(); ++i)
                    ASSERT_EQ(covered[i], m.modules[i]) << context << " module " << i;
            }
        }
    }
}
