#include "analysis/gs_repair.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "analysis/analysis_internal.h"
#include "analysis/check_digit.h"
#include "analysis/element_string.h"
#include "bytes/bytes16.h"

namespace dorvik {

namespace {

// The AIs a cut may place: those that real marking codes carry. Every further AI lets more cuts through a
// serial or a crypto tail that happens to hold its digits, and a near-tie makes a repair a guess: with the
// whole GS1 table, 12 of 120 real codes came out as guesses instead of 4, and eight times as many random
// short marking codes. Beside the AIs of marking codes: additional product id (240, tobacco blocks,
// medicines, shoes), net weight in kg (310n, dairy sold by weight) and logistic volume in litres (335n,
// beer in kegs).
constexpr std::string_view kRepairAis[] = {
    "01", "10", "11", "13", "15", "17", "20", "21", "91", "92", "93", "7003", "8005", "240", "3100", "3350",
};

constexpr auto kInRepair = [] {
    std::array<bool, kGs1AiTable.size()> in{};
    for (const std::string_view ai : kRepairAis)
        in[aiRow(*findAi(ai, 0).entry)] = true;
    return in;
}();

// The AI at a position, if the search knows it.
constexpr AiMatch findRepairAi(std::string_view text, size_t pos) {
    const AiMatch match = findAi(text, pos);
    return match.entry != nullptr && kInRepair[aiRow(*match.entry)] ? match : AiMatch{};
}

// No field a cut may place advances further than this, so a call that may still place a field never
// starts beyond kReachablePositions.
constexpr size_t kMaxAdvance = [] {
    size_t most = 0;
    for (const std::string_view ai : kRepairAis)
        most = std::max(most, ai.size() + static_cast<size_t>(findAi(ai, 0).entry->maxLength));
    return most;
}();
constexpr size_t kReachablePositions = kMaxCutFields * kMaxAdvance + 1;
static_assert(kReachablePositions <= UINT16_MAX, "a separator position must fit 16 bits");

// How much each field looks like a marking code's: the crypto key (91) is 4 characters, the crypto code (92)
// 44 or 88, the short crypto tail (93) 4, the serial (21) 13 for medicines and 6 or 7 for most goods. A
// batch (10) is rare in marking codes, and a code never repeats an AI.
constexpr int32_t kCryptoFits = 40, kCryptoOff = -10, kShortTailFits = 30, kShortTailOff = -5;
constexpr int32_t kSerialMedicine = 15, kSerialGoods = 12, kSerialOther = 2, kBatch = -8, kRepeatedAi = -40;
// A cut is a guess unless it leads every other cut by this much; another cut within kSameShapeReach of it
// with the same AIs makes it a guess too, as only the value lengths tell them apart.
constexpr int32_t kSureMargin = 5, kSameShapeReach = 10;

constexpr int32_t fieldPoints(std::string_view ai, size_t n) {
    if (ai == "91") return n == 4 ? kCryptoFits : kCryptoOff;
    if (ai == "92") return (n == 44 || n == 88) ? kCryptoFits : kCryptoOff;
    if (ai == "93") return n == 4 ? kShortTailFits : kShortTailOff;
    if (ai == "21") return n == 13 ? kSerialMedicine : (n == 6 || n == 7) ? kSerialGoods : kSerialOther;
    if (ai == "10") return kBatch;
    return 0;
}

// Every field's points by AI row and value length, so that placing a field looks its points up.
constexpr size_t kLongestValue = 90;
constexpr auto kFieldPoints = [] {
    std::array<std::array<int8_t, kLongestValue + 1>, kGs1AiTable.size()> points{};
    for (const std::string_view ai : {"91", "92", "93", "21", "10"}) { // every other AI scores 0
        for (size_t n = 0; n <= kLongestValue; ++n)
            points[aiRow(*findAi(ai, 0).entry)][n] = static_cast<int8_t>(fieldPoints(ai, n));
    }
    return points;
}();
// The AIs that score are rows of their own, not runs whose first AI would stand for all.
static_assert([] {
    for (const std::string_view ai : {"10", "21", "91", "92", "93"}) {
        const AiDefinition& row = *findAi(ai, 0).entry;
        if (row.first != row.last) return false;
    }
    for (const AiDefinition& row : kGs1AiTable) {
        if (row.maxLength > static_cast<int32_t>(kLongestValue)) return false;
    }
    return true;
}());

bool isPrintableAscii(char c) { return c >= '!' && c <= '~'; }

bool allPrintable(std::string_view text) {
    size_t i = 0;
    Mask16 printable = kAll16;
    for (; text.size() - i >= 16; i += 16)
        printable &= mask(inRange(load16(text.data() + i), '!', '~'));
    bool all = printable == kAll16;
    for (; i < text.size(); ++i)
        all &= isPrintableAscii(text[i]);
    return all;
}

// The numbers of the two-digit AIs the search knows, and the first two digits of its longer ones.
template <bool TwoDigits> constexpr auto repairPrefixes() {
    std::array<uint8_t, 100> numbers{};
    size_t count = 0;
    for (const std::string_view ai : kRepairAis) {
        const auto two = static_cast<uint8_t>((ai[0] - '0') * 10 + (ai[1] - '0'));
        if ((ai.size() == 2) == TwoDigits &&
            std::find(numbers.begin(), numbers.begin() + count, two) == numbers.begin() + count)
            numbers[count++] = two;
    }
    return std::pair(numbers, count);
}
constexpr auto kTwoDigitNumbers = repairPrefixes<true>();
constexpr auto kLongerPrefixes = repairPrefixes<false>();

// 16 positions, from the bytes at them and the bytes after them: bit i for a two-digit AI at position i,
// and in `maybeLonger` the positions a longer AI may start at.
Mask16 twoDigitAis(Bytes16 atPositions, Bytes16 afterPositions, Mask16& maybeLonger) {
    const Bytes16 digits = inRange(atPositions, '0', '9') & inRange(afterPositions, '0', '9');
    // Most blocks of a crypto tail hold no two digits in a row.
    if (mask(digits) == 0) {
        maybeLonger = 0;
        return 0;
    }
    const Bytes16 numbers = digitPairs(atPositions, afterPositions);
    auto anyOf = [&](const auto& list) {
        Bytes16 hits = equal(numbers, list.first[0]);
        for (size_t i = 1; i < list.second; ++i)
            hits = hits | equal(numbers, list.first[i]);
        return mask(digits & hits);
    };
    maybeLonger = anyOf(kLongerPrefixes);
    return anyOf(kTwoDigitNumbers);
}

} // namespace

bool repairKnowsAi(const AiDefinition& entry) { return kInRepair[aiRow(entry)]; }

void markAiStarts(std::string_view text, size_t from, size_t count, uint64_t* bits) {
    // Sixteen positions a step, without a branch per position (in a crypto tail digits and letters
    // alternate at random).
    size_t pos = from;
    auto block = [&](Bytes16 atPositions, Bytes16 afterPositions, size_t keep) {
        Mask16 maybeLonger = 0;
        Mask16 starts = twoDigitAis(atPositions, afterPositions, maybeLonger);
        for (; maybeLonger != 0; maybeLonger &= maybeLonger - 1) {
            const auto i = static_cast<size_t>(std::countr_zero(maybeLonger));
            if (findRepairAi(text, pos + i).entry != nullptr) starts |= Mask16{1} << i;
        }
        bits[pos / 64] |= uint64_t{starts & ((Mask16{1} << keep) - 1)} << (pos % 64);
    };
    for (; pos + 16 <= count && pos + 17 <= text.size(); pos += 16)
        block(load16(text.data() + pos), load16(text.data() + pos + 1), 16);
    // The last positions padded with bytes that are no digit; past `count` nothing is set.
    auto rest = [&](size_t at) {
        const size_t start = std::min(at, text.size());
        return loadShort(text.data() + start, std::min<size_t>(text.size() - start, 16), 'x');
    };
    for (; pos < count; pos += 16)
        block(rest(pos), rest(pos + 1), std::min<size_t>(count - pos, 16));
}

namespace {

// Depth-first enumeration, shortest values first.
//
// A subtree that records no candidate depends only on its (position, depth): the text is fixed and the
// candidate count cannot move inside it. Such dead ends are remembered and never explored again, which
// keeps texts that can never be cut to their end from being searched exponentially. Revisiting a dead
// end could only set `limitHit`, and it already did so the first time, since the flag only ever goes
// from false to true; so a dead end is skipped outright. Per depth, the live positions are a bitset, so a
// parent steps over a whole run of dead children with one bit scan.
class CutEnumerator {
  public:
    explicit CutEnumerator(std::string_view text)
        : text_(text), reachable_(std::min(text.size() + 1, kReachablePositions)) {
        // Where the printable run starting at each position ends: the longest value a variable AI may take.
        // A text printable throughout (every scanned code, nearly) needs no table of runs at all.
        scanned_ = std::min(text.size(), reachable_ + kMaxAdvance);
        allPrintable_ = allPrintable(text.substr(0, scanned_));
        if (!allPrintable_) {
            printableEnd_[scanned_] = static_cast<uint16_t>(scanned_);
            for (size_t i = scanned_; i-- > 0;)
                printableEnd_[i] =
                    isPrintableAscii(text[i]) ? printableEnd_[i + 1] : static_cast<uint16_t>(i);
        }
        // A position where no known AI starts is a dead end at every depth; the end of the text is live,
        // and so is reachable_ itself, the sentinel a search that runs past every live position stops at.
        LiveSet& base = live_[0];
        // Only the words up to the sentinel's are ever read.
        liveWords_ = reachable_ / 64 + 1;
        std::fill_n(base.begin(), liveWords_, 0);
        // A text that begins with the GTIN's AI is cut there first, and that fixed field leads from 0 to
        // 16 only: no other position below 16 is ever asked about.
        if (text.starts_with("01")) {
            base[0] = 1;
            if (reachable_ > 16) markAiStarts(text, 16, reachable_, base.data());
        } else {
            markAiStarts(text, 0, reachable_, base.data());
        }
        for (const size_t pos : {std::min(text.size(), reachable_), reachable_})
            base[pos / 64] |= uint64_t{1} << (pos % 64);
        readyDepths_ = 1; // the others copy this one when the search first reaches them
    }

    // The search stays inside the enumerator, so a caller that reads it there copies no cut.
    const CutSearch& run() {
        visit(0, 0);
        return search_;
    }

  private:
    void visit(size_t pos, size_t depth) {
        if (search_.count >= kMaxCuts || depth > kMaxCutFields) {
            search_.limitHit = true;
            return;
        }
        ready(depth);
        if (findLive(pos, depth) == pos) visitLive(pos, depth);
    }

    // For a position not known to be a dead end, within both limits.
    void visitLive(size_t pos, size_t depth) {
        const size_t recordedBefore = search_.count;
        explore(pos, depth);
        if (search_.count == recordedBefore && pos < reachable_)
            live_[depth][pos / 64] &= ~(uint64_t{1} << (pos % 64));
    }

    void explore(size_t pos, size_t depth) {
        if (pos == text_.size()) {
            search_.slots[search_.count++] = state_;
            return;
        }
        const AiMatch match = findRepairAi(text_, pos);
        if (match.entry == nullptr) return;
        const size_t valueStart = pos + match.length;
        const size_t remaining = text_.size() - valueStart;
        const AiDefinition& entry = *match.entry;
        if (entry.fixedLength > 0) {
            const auto length = static_cast<size_t>(entry.fixedLength);
            if (remaining < length || !isAllDigits(text_.substr(valueStart, length))) return;
            pushField(entry, length);
            visit(valueStart + length, depth + 1);
            popField();
            return;
        }
        // Values of length 1..longest are tried; the first byte outside "!".."~" ends the run.
        const size_t longest = std::min(
            {remaining, static_cast<size_t>(entry.maxLength), printableRunEnd(valueStart) - valueStart});
        if (longest == 0) return;
        if (depth + 1 > kMaxCutFields) {
            // Every child stops at the field limit and does nothing else.
            search_.limitHit = true;
            return;
        }
        // The children: this call met neither limit, and leaves as soon as they fill the candidates.
        ready(depth + 1);
        const size_t lastEnd = valueStart + longest;
        for (size_t end = findLive(valueStart + 1, depth + 1); end <= lastEnd;
             end = findLive(end + 1, depth + 1)) {
            pushField(entry, end - valueStart);
            if (end == text_.size()) {
                visitLive(end, depth + 1);
            } else {
                state_.separatorSlots[state_.separatorCount++] = static_cast<uint16_t>(end);
                visitLive(end, depth + 1);
                --state_.separatorCount;
            }
            popField();
            if (search_.count >= kMaxCuts) {
                // Any further child, dead or not, would only meet the candidate limit.
                if (end < lastEnd) search_.limitHit = true;
                return;
            }
        }
    }

    // A depth's dead ends start as those of every depth when the search first reaches it.
    void ready(size_t depth) {
        if ((readyDepths_ >> depth & 1) != 0) return;
        std::copy_n(live_[0].begin(), liveWords_, live_[depth].begin());
        readyDepths_ |= 1u << depth;
    }

    // The first position at or after `pos` that is not a known dead end at a depth made ready.
    size_t findLive(size_t pos, size_t depth) const {
        if (pos >= reachable_) return pos;
        const LiveSet& live = live_[depth];
        size_t word = pos / 64;
        uint64_t bits = live[word] & (~uint64_t{0} << (pos % 64));
        while (bits == 0) // the sentinel bit ends the scan
            bits = live[++word];
        return word * 64 + static_cast<size_t>(std::countr_zero(bits));
    }

    size_t printableRunEnd(size_t pos) const { return allPrintable_ ? scanned_ : printableEnd_[pos]; }

    // The score is summed as fields are placed: each repeat of an AI costs once per earlier use of it.
    void pushField(const AiDefinition& entry, size_t length) {
        const uint8_t row = aiRow(entry);
        const int32_t points = kFieldPoints[row][length] + kRepeatedAi * rowUses_[row] - 1;
        ++rowUses_[row];
        pointsAt_[state_.fieldCount] = points;
        state_.score += points;
        state_.fieldSlots[state_.fieldCount++] = ParseField{row, static_cast<uint8_t>(length)};
    }
    void popField() {
        --state_.fieldCount;
        --rowUses_[state_.fieldSlots[state_.fieldCount].row];
        state_.score -= pointsAt_[state_.fieldCount];
    }

    using LiveSet = std::array<uint64_t, (kReachablePositions + 1 + 63) / 64>;

    std::string_view text_;
    size_t reachable_;
    size_t scanned_;
    bool allPrintable_;
    std::array<uint16_t, kReachablePositions + kMaxAdvance + 1> printableEnd_; // filled only when needed
    std::array<LiveSet, kMaxCutFields + 1> live_;                              // per depth
    size_t liveWords_;
    uint32_t readyDepths_;
    ParseCandidate state_{};
    std::array<int32_t, kMaxCutFields + 1> pointsAt_;
    std::array<uint8_t, kGs1AiTable.size()> rowUses_{};
    CutSearch search_;
};

bool sameSeparators(const ParseCandidate& a, const ParseCandidate& b) {
    const auto x = a.separators(), y = b.separators();
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
}

bool sameAis(const ParseCandidate& a, const ParseCandidate& b) {
    const auto x = a.fields(), y = b.fields();
    return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                      [](const ParseField& p, const ParseField& q) { return p.row == q.row; });
}

} // namespace

// For the tests (analysis_internal.h), which hold the search against a plain transcription of it.
CutSearch enumerateCuts(std::string_view text) {
    CutEnumerator enumerator(text);
    const CutSearch& search = enumerator.run();
    CutSearch copy; // of the recorded slots only: the others were never written
    std::copy(search.candidates().begin(), search.candidates().end(), copy.slots.begin());
    copy.count = search.count;
    copy.limitHit = search.limitHit;
    return copy;
}

GsRepairResult repairGs(std::string_view text, std::string& out) {
    GsRepairResult result;
    auto unchanged = [&]() -> GsRepairResult {
        out.assign(text);
        return result;
    };
    if (text.size() < 18 || !text.starts_with("01")) return unchanged();

    CutEnumerator enumerator(text);
    const CutSearch& search = enumerator.run();
    result.limitHit = search.limitHit;
    const std::span<const ParseCandidate> cuts = search.candidates();
    if (cuts.empty()) return unchanged();

    size_t best = 0;
    for (size_t i = 1; i < cuts.size(); ++i) {
        if (cuts[i].score > cuts[best].score) best = i;
    }
    const ParseCandidate& bestCut = cuts[best];
    if (bestCut.separatorCount == 0) return unchanged();

    const int32_t bestScore = bestCut.score;
    bool scoredOther = false;
    int32_t highestOther = 0;
    for (const ParseCandidate& other : cuts) {
        if (sameSeparators(other, bestCut)) continue;
        if (other.score == bestScore) ++result.ties;
        highestOther = scoredOther ? std::max(highestOther, other.score) : other.score;
        scoredOther = true;
        if (other.score >= bestScore - kSameShapeReach && sameAis(other, bestCut))
            result.sameAiSequence = true;
    }
    result.margin = scoredOther ? bestScore - highestOther : 1000;
    result.guess = result.ties > 0 || result.sameAiSequence || result.margin < kSureMargin || result.limitHit;

    out.clear();
    out.reserve(text.size() + bestCut.separatorCount);
    size_t from = 0;
    for (const size_t at : bestCut.separators()) {
        out.append(text, from, at - from);
        out += kGs;
        from = at;
    }
    out.append(text, from);
    result.repaired = true;
    std::copy(bestCut.fields().begin(), bestCut.fields().end(),
              result.cutSlots.begin()); // a recorded cut has at most 12 fields
    result.cutFieldCount = bestCut.fieldCount;
    return result;
}

} // namespace dorvik
