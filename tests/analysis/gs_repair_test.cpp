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

// The score of a cut as the rules give it, field by field: the yardstick of the score the search sums.
int32_t scoreCut(const ParseCandidate& cut) {
    int32_t score = 0;
    std::map<uint8_t, int> uses;
    for (const ParseField& f : cut.fields()) {
        const std::string_view ai = kGs1AiTable[f.row].first;
        const size_t n = f.length;
        score += ai == "91"   ? (n == 4 ? 40 : -10)
                 : ai == "92" ? (n == 44 || n == 88 ? 40 : -10)
                 : ai == "93" ? (n == 4 ? 30 : -5)
                 : ai == "21" ? (n == 13            ? 15
                                 : n == 6 || n == 7 ? 12
                                                    : 2)
                 : ai == "10" ? -8
                              : 0;
        score += -40 * uses[f.row]++ - 1;
    }
    return score;
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

TEST(GsRepair, WorkedExamples) {
    struct Case {
        std::string text;
        bool repaired, guess;
        int32_t margin;
        std::string result;
    } cases[] = {
        {kGtin + "21ABCDEFG8005123456", true, false, 9, kGtin + "21ABCDEFG\0358005123456"},
        {kGtin + "21AX192393B", true, true, 4, kGtin + "21AX1923\03593B"},
        // Clear of every other cut, but one with the same AIs scores close: only the lengths tell them apart.
        {kGtin + "218A4cB69210b923cbCAc7a6", true, true, 8, kGtin + "218A4cB6\0359210b923cbCAc7a6"},
        {kGtin, false, false, 0, kGtin},
        {kGtin + "10AB", false, false, 0, kGtin + "10AB"},
        {"9" + kGtin + "21ABCDEFG8005123456", false, false, 0, "9" + kGtin + "21ABCDEFG8005123456"},
        {kGtin + "21ABCDEFG\0018005123456", false, false, 0, kGtin + "21ABCDEFG\0018005123456"},
    };
    for (const auto& c : cases) {
        const test::Repair r = test::repaired(c.text);
        EXPECT_EQ(std::tuple(r.repaired, r.guess, r.margin, r.text),
                  std::tuple(c.repaired, c.guess, c.margin, c.result))
            << c.text;
    }
    const test::Repair many = test::repaired(kGtin + "21AB9191919191919191919191");
    EXPECT_TRUE(many.limitHit);
    EXPECT_TRUE(many.guess);
}

TEST(GsRepair, ScoresTheMarkingCodeShapes) {
    auto cut = [](std::initializer_list<std::pair<std::string_view, size_t>> fields) {
        ParseCandidate c{};
        for (const auto& [ai, length] : fields)
            c.fieldSlots[c.fieldCount++] = field(ai, length);
        return c;
    };
    EXPECT_EQ(scoreCut(cut({{"01", 14}, {"21", 13}, {"91", 4}, {"92", 44}})), 15 + 40 + 40 - 4);
    EXPECT_EQ(scoreCut(cut({{"01", 14}, {"21", 7}, {"8005", 6}, {"93", 4}})), 12 + 30 - 4);
    EXPECT_EQ(scoreCut(cut({{"21", 1}, {"21", 2}, {"21", 3}, {"10", 1}})), 6 - 120 - 8 - 4);
    EXPECT_EQ(scoreCut(cut({{"92", 88}, {"93", 5}, {"91", 3}})), 40 - 5 - 10 - 3);
}

TEST(GsRepair, SearchMatchesThePlainTranscription) {
    std::mt19937 rng(7);
    const std::vector<std::string> tokens = {"21", "91", "91", "21", "10",     "8005", "92",
                                             "93", "1",  "9",  "A",  "123456", "11",   "01"};
    int limitHits = 0;
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
            ASSERT_EQ(cut.score, scoreCut(cut)) << text; // summed while placed, as scored afterwards
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
                EXPECT_LE(scoreCut(cutOf(code)) + 5, scoreCut(cutOf(r.text))) << code;
            }
        }
        SCOPED_TRACE(shape.name);
        std::printf("%s: %d guesses, %d confident and wrong\n", shape.name, guesses, confidentWrong);
        EXPECT_LE(guesses, shape.maxGuesses);
        EXPECT_LE(confidentWrong, shape.maxConfidentWrong);
    }
}
