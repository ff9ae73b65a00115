#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/classify.h"
#include "analysis/element_string.h"
#include "analysis/gs_repair.h"
#include "support/analysis_support.h"

using namespace dorvik;

namespace {

const std::string kGtin = "0104607097291111";

// A plain transcription of the cut search, without the dead-end memory: the yardstick the library's
// search must match exactly.
struct ReferenceSearch {
    std::string_view text;
    std::vector<std::pair<std::vector<ParseField>, std::vector<size_t>>> candidates;
    std::vector<ParseField> fields;
    std::vector<size_t> separators;
    bool limitHit = false;

    void visit(size_t pos, size_t depth) {
        if (candidates.size() >= 64 || depth > 12) {
            limitHit = true;
            return;
        }
        if (pos == text.size()) {
            candidates.emplace_back(fields, separators);
            return;
        }
        const AiMatch m = findAi(text, pos);
        if (!m.entry || !repairKnowsAi(*m.entry)) return;
        const size_t start = pos + m.length;
        if (m.entry->fixedLength > 0) {
            const size_t n = static_cast<size_t>(m.entry->fixedLength);
            if (text.size() - start < n) return;
            for (size_t i = 0; i < n; ++i)
                if (text[start + i] < '0' || text[start + i] > '9') return;
            fields.push_back({aiRow(*m.entry), static_cast<uint8_t>(n)});
            visit(start + n, depth + 1);
            fields.pop_back();
            return;
        }
        const size_t n = std::min(text.size() - start, static_cast<size_t>(m.entry->maxLength));
        for (size_t k = 1; k <= n; ++k) {
            const char c = text[start + k - 1];
            if (c < '!' || c > '~') return;
            fields.push_back({aiRow(*m.entry), static_cast<uint8_t>(k)});
            if (start + k == text.size()) {
                visit(start + k, depth + 1);
            } else {
                separators.push_back(start + k);
                visit(start + k, depth + 1);
                separators.pop_back();
            }
            fields.pop_back();
        }
    }
};

std::string withoutGs(std::string s) {
    std::erase(s, '\035');
    return s;
}

std::string fieldsOf(std::string_view text) {
    std::string out;
    for (const ElementPair& p : parseElementString(text))
        out += std::string(p.ai) + "=" + std::string(p.value) + ";";
    return out;
}

ParseField field(std::string_view ai, size_t length) {
    return {aiRow(*findAi(ai, 0).entry), static_cast<uint8_t>(length)};
}

// The cut that a text with its GS separators stands for.
ParseCandidate cutOf(std::string_view text) {
    ParseCandidate cut{};
    for (const ElementPair& p : parseElementString(text))
        cut.fieldSlots[cut.fieldCount++] = field(p.ai, p.value.size());
    return cut;
}

} // namespace

// The one-pass scan of AI starts agrees with the search's own look-up at every position, the last ones
// included: AIs the search does not know (240, 3103) are not marked.
TEST(GsRepair, AiStartsAgreeWithTheLookUp) {
    const char alphabet[] = "0123456789012345678901789A";
    uint32_t seed = 3;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (size_t n = ((seed = seed * 1103515245 + 12345) >> 16) % 90; n > 0; --n)
            text += alphabet[((seed = seed * 1103515245 + 12345) >> 16) % (sizeof alphabet - 1)];
        if (round % 3 == 0) text += std::array{"8005", "700", "240", "3103", "3350"}[round % 5];
        std::array<uint64_t, 2> bits{};
        markAiStarts(text, 0, text.size() + 1, bits.data());
        for (size_t pos = 0; pos <= text.size(); ++pos) {
            const AiMatch m = findAi(text, pos);
            ASSERT_EQ((bits[pos / 64] >> (pos % 64) & 1) != 0, m.entry != nullptr && repairKnowsAi(*m.entry))
                << text << " @" << pos;
        }
    }
}

// Which cut the repair applies, and how sure it is, for texts made to turn on one rule each: a crypto key
// (91) of 4, a crypto code (92) of 44 or 88, a short tail (93) of 4, a serial (21) of 13 for medicines and 6
// or 7 for goods, batches (10) unlikely, no AI twice; confident only with a lead of 5 over every other cut
// and no cut of the same AIs within 10. "|" stands for GS.
TEST(GsRepair, ChoosesTheCutAMarkingCodeHas) {
    const std::string k44 = "Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQ", k88 = k44 + "93" + k44.substr(2);
    struct Case {
        std::string text, result; // result as written, "" when the text stays as it is
        int32_t margin;
        const char* flags; // g: guess, t: ties, s: a cut of the same AIs close by, l: a limit was hit
    } cases[] = {
        {"21ABCDEFG8005123456", "21ABCDEFG|8005123456", 9, ""},
        {"21AX192393B", "21AX1923|93B", 4, "g"},
        {"218A4cB69210b923cbCAc7a6", "218A4cB6|9210b923cbCAc7a6", 8, "gs"}, // only lengths tell them apart
        {"21ABCDEFGHIJKLM91EE1092" + k44, "21ABCDEFGHIJKLM|91EE10|92" + k44, 52, ""},
        {"21ABCDEFG91EE1092" + k44, "21ABCDEFG|91EE10|92" + k44, 36, ""},
        {"21ABCDEF91EE1092" + k44, "21ABCDEF|91EE10|92" + k44, 49, ""},
        {"21ABCDEFGHIJKLM91EE1092" + k88, "21ABCDEFGHIJKLM|91EE10|92" + k88, 6, ""}, // 88 kept whole
        {"21ABCDEFGHIJKLM93ABCD", "21ABCDEFGHIJKLM|93ABCD", 42, ""},
        {"21ABC93WXYZ3103001234", "21ABC|93WXYZ|3103001234", 28, ""},
        {"21ABCDEFGHIJKLMNOPQR93WXYZ3103001234", "21ABCDEFGHIJKLMNOPQR|93WXYZ|3103001234", 34, ""},
        {"21ABCDEFG8005123456931234", "21ABCDEFG|8005123456931234", 9, ""},
        {"21ABC10XY91EE10", "21ABC10XY|91EE10", 19, ""},
        {"21ABCDEFG10BATCH2H91EE10", "21ABCDEFG|10BATCH2H|91EE10", 1, "g"},
        {"109ABCDEF21ABCDEFGHIJKLM", "109ABCDEF|21ABCDEFGHIJKLM", 1000, ""}, // the only cut
        {"21FC93K3E592TPR", "21FC|93K3E5|92TPR", 5, ""},                     // just sure enough
        {"10XN2101S72169", "10XN|2101S72169", 0, "gts"},                     // a tie: the first found
        {"21AB9191919191919191919191", "21AB|9191919191919191919191", 1, "gl"},
        {"21ABCDEFG91ABCDE92XYZ", "", 0, ""}, // the best cut needs no GS
        {"21A21B21C", "", 0, ""},
        {"", "", 0, ""},
        {"10AB", "", 0, ""},
    };
    for (const auto& c : cases) {
        const std::string text = kGtin + c.text;
        SCOPED_TRACE(text);
        std::string want = c.result.empty() ? text : kGtin + c.result;
        std::replace(want.begin(), want.end(), '|', '\035');
        const test::Repair r = test::repaired(text);
        const std::string flags = std::string(r.guess ? "g" : "") + (r.ties > 0 ? "t" : "") +
                                  (r.sameAiSequence ? "s" : "") + (r.limitHit ? "l" : "");
        EXPECT_EQ(std::tuple(r.repaired, r.text, r.margin, flags),
                  std::tuple(!c.result.empty(), want, c.margin, std::string(c.flags)));
    }
    // Not a marking code: no GTIN first, or a byte no value may hold.
    for (const std::string& text : {"9" + kGtin + "21ABCDEFG8005123456", kGtin + "21ABCDEFG\0018005123456"})
        EXPECT_FALSE(test::repaired(text).repaired) << text;
}

TEST(GsRepair, SearchMatchesThePlainTranscription) {
    std::mt19937 rng(7);
    const std::vector<std::string> tokens = {"21", "91", "91", "21", "10",     "8005", "92",
                                             "93", "1",  "9",  "A",  "123456", "11",   "01"};
    int limitHits = 0;
    std::map<std::vector<int>, int32_t> scores; // by the fields of a cut, sorted
    for (int i = 0; i < 4000; ++i) {
        std::string text = kGtin;
        const size_t target = 18 + rng() % 48;
        while (text.size() < target)
            text += tokens[rng() % tokens.size()];
        if (rng() % 3 == 0) text += ' ';
        // Now and then a byte just beside the digits, or one 0x80 above a digit, inside some value.
        if (rng() % 8 == 0) text[rng() % text.size()] = "/:\xb9"[rng() % 3];
        ReferenceSearch ref{text};
        ref.visit(0, 0);
        const CutSearch got = enumerateCuts(text);
        ASSERT_EQ(got.limitHit, ref.limitHit) << text;
        ASSERT_EQ(got.count, ref.candidates.size()) << text;
        for (size_t c = 0; c < ref.candidates.size(); ++c) {
            const ParseCandidate& cut = got.candidates()[c];
            ASSERT_EQ(std::vector<ParseField>(cut.fields().begin(), cut.fields().end()),
                      ref.candidates[c].first)
                << text;
            ASSERT_TRUE(std::equal(cut.separators().begin(), cut.separators().end(),
                                   ref.candidates[c].second.begin(), ref.candidates[c].second.end()))
                << text;
            // Summed while placed, a cut's score is the same whatever the path to it and the order of its
            // fields: it depends on the fields alone.
            std::vector<int> key;
            for (const ParseField& f : cut.fields())
                key.push_back(f.row << 8 | f.length);
            std::sort(key.begin(), key.end());
            ASSERT_EQ(scores.try_emplace(key, cut.score).first->second, cut.score) << text;
        }
        limitHits += ref.limitHit;
        // A repaired text is classified from the repair's cut as it would be from its own parse.
        const test::Repair r = test::repaired(text);
        if (r.repaired) {
            ScanEvent parsed, fromCut;
            parsed.data = fromCut.data = r.text;
            parsed.aimId = fromCut.aimId = i % 2 ? "]d2" : "";
            classifyCode(parsed);
            classifyRepairedCode(fromCut, r.cut());
            ASSERT_EQ(test::toJson(fromCut), test::toJson(parsed)) << text;
        }
    }
    EXPECT_GT(limitHits, 400); // the limits themselves are exercised, not only the easy cuts
}

TEST(GsRepair, AdversarialTextsFinish) {
    for (const std::string unit : {"91", "21", "10", "2191", "9110", "240", "9124031001"}) {
        std::string text = kGtin;
        while (text.size() < 511)
            text += unit;
        text.resize(511);
        text += ' ';
        const test::Repair r = test::repaired(text);
        EXPECT_FALSE(r.repaired) << unit;
    }
    // Thirteen fixed-length fields are one more than a cut may hold.
    std::string fixed = kGtin;
    for (int i = 0; i < 12; ++i)
        fixed += "11123456";
    EXPECT_TRUE(enumerateCuts(fixed).limitHit);
    EXPECT_EQ(enumerateCuts(fixed.substr(0, fixed.size() - 8)).count, 1u);
}

// Random marking codes of four shapes with their GS removed: every one is repaired, a confident cut is
// almost always the true one, and when it is not, the scoring clearly preferred what it chose.
TEST(GsRepair, RestoresRandomMarkingCodes) {
    std::mt19937 rng(99);
    auto text = [&](size_t n, char first, int span) {
        std::string s(n, first);
        for (char& c : s)
            c = static_cast<char>(first + static_cast<int>(rng() % static_cast<unsigned>(span)));
        return s;
    };
    auto any = [&](size_t n) { return text(n, '!', 94); };
    auto digits = [&](size_t n) { return text(n, '0', 10); };
    const size_t serialLengths[] = {6, 7, 13};
    struct Shape {
        const char* name;
        int maxGuesses, maxConfidentWrong; // of 2000, measured: 0 1, 2 18, 18 8, 6 26
    } shapes[] = {{"long", 2, 5}, {"short", 10, 40}, {"weighed dairy", 30, 15}, {"tobacco block", 12, 40}};
    for (const Shape& shape : shapes) {
        int guesses = 0, confidentWrong = 0;
        for (int i = 0; i < 2000; ++i) {
            const std::string head = kGtin + "21" + any(serialLengths[rng() % 3]) + "\035";
            std::string code;
            switch (&shape - shapes) {
            case 0: code = head + "91" + any(4) + "\03592" + any(44); break;
            case 1: code = head + "8005" + digits(6) + "93" + any(4); break;
            case 2: code = head + "93" + any(4) + "\0353103" + digits(6); break;
            default: code = head + "8005" + digits(6) + "\03593" + any(4) + "\035240" + digits(4); break;
            }
            const test::Repair r = test::repaired(withoutGs(code));
            ASSERT_TRUE(r.repaired) << code;
            if (r.guess) {
                ++guesses;
            } else if (fieldsOf(r.text) != fieldsOf(code)) {
                ++confidentWrong;
                // The true cut was among those searched, and scored clearly below the one applied.
                const CutSearch search = enumerateCuts(withoutGs(code));
                auto scoreOf = [&](const ParseCandidate& wanted) {
                    for (const ParseCandidate& cut : search.candidates()) {
                        const auto a = cut.fields(), b = wanted.fields();
                        if (std::equal(a.begin(), a.end(), b.begin(), b.end())) return cut.score;
                    }
                    ADD_FAILURE() << "not searched: " << code;
                    return 0;
                };
                EXPECT_LE(scoreOf(cutOf(code)) + 5, scoreOf(cutOf(r.text))) << code;
            }
        }
        SCOPED_TRACE(shape.name);
        std::printf("%s: %d guesses, %d confident and wrong\n", shape.name, guesses, confidentWrong);
        EXPECT_LE(guesses, shape.maxGuesses);
        EXPECT_LE(confidentWrong, shape.maxConfidentWrong);
    }
}
