#include "analysis/gs_repair.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include "analysis/check_digit.h"
#include "analysis/element_string.h"

namespace dorvik {

namespace {

// No field advances more than a 2-byte AI plus a 90-byte value (or a 4-byte AI plus a short fixed value),
// so a call that may still place a field never starts beyond this position.
constexpr size_t kMaxAdvance = 2 + 90;
constexpr size_t kReachablePositions = kMaxCutFields * kMaxAdvance + 1;

// How much each field looks like a marking code's: the crypto key (91) is 4 characters, the crypto code (92)
// 44 or 88, the short crypto tail (93) 4, the serial (21) 13 for medicines and 6 or 7 for most goods. A
// batch (10) is rare in marking codes, and a code never repeats an AI.
constexpr int32_t kCryptoFits = 40, kCryptoOff = -10, kShortTailFits = 30, kShortTailOff = -5;
constexpr int32_t kSerialMedicine = 15, kSerialGoods = 12, kSerialOther = 2, kBatch = -8, kRepeatedAi = -40;
// A cut is a guess unless it leads every other cut by this much; another cut within kSameShapeReach of it
// with the same AIs makes it a guess too, as only the value lengths tell them apart.
constexpr int32_t kSureMargin = 5, kSameShapeReach = 10;

bool isPrintableAscii(char c) { return c >= '!' && c <= '~'; }

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
        unsigned unprintable = 0; // an OR over every byte, which the compiler runs sixteen at a time
        for (size_t i = 0; i < scanned_; ++i)
            unprintable |= static_cast<unsigned char>(text[i] - '!') > '~' - '!' ? 1u : 0u;
        allPrintable_ = unprintable == 0;
        if (unprintable) {
            printableEnd_[scanned_] = static_cast<uint16_t>(scanned_);
            for (size_t i = scanned_; i-- > 0;)
                printableEnd_[i] =
                    isPrintableAscii(text[i]) ? printableEnd_[i + 1] : static_cast<uint16_t>(i);
        }
        // A position where no known AI starts is a dead end at every depth; the end of the text is live,
        // and so is reachable_ itself, the sentinel a search that runs past every live position stops at.
        LiveSet& base = live_[0];
        base.fill(0);
        markAiStarts(text, reachable_, base.data());
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
        if (search_.candidates.size() >= kMaxCuts || depth > kMaxCutFields) {
            search_.limitHit = true;
            return;
        }
        if (findLive(pos, depth) != pos) return;
        const size_t recordedBefore = search_.candidates.size();
        explore(pos, depth);
        if (search_.candidates.size() == recordedBefore && pos < reachable_)
            live_[depth][pos / 64] &= ~(uint64_t{1} << (pos % 64));
    }

    void explore(size_t pos, size_t depth) {
        if (pos == text_.size()) {
            search_.candidates.push_back(state_);
            return;
        }
        const AiMatch match = findAi(text_, pos);
        if (match.entry == nullptr) return;
        const size_t valueStart = pos + match.length;
        const size_t remaining = text_.size() - valueStart;
        const AiDefinition& entry = *match.entry;
        if (entry.fixedLength > 0) {
            const auto length = static_cast<size_t>(entry.fixedLength);
            if (remaining < length) return;
            for (size_t i = 0; i < length; ++i) {
                if (!isDigit(text_[valueStart + i])) return;
            }
            pushField(entry.ai, length);
            visit(valueStart + length, depth + 1);
            --state_.fieldCount;
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
        const size_t lastEnd = valueStart + longest;
        for (size_t end = findLive(valueStart + 1, depth + 1); end <= lastEnd;
             end = findLive(end + 1, depth + 1)) {
            pushField(entry.ai, end - valueStart);
            if (end == text_.size()) {
                visit(end, depth + 1);
            } else {
                state_.separatorSlots[state_.separatorCount++] = end;
                visit(end, depth + 1);
                --state_.separatorCount;
            }
            --state_.fieldCount;
            if (search_.candidates.size() >= kMaxCuts) {
                // Any further child, dead or not, would only meet the candidate limit.
                if (end < lastEnd) search_.limitHit = true;
                return;
            }
        }
    }

    // The first position at or after `pos` that is not a known dead end at this depth.
    size_t findLive(size_t pos, size_t depth) {
        if ((readyDepths_ >> depth & 1) == 0) {
            live_[depth] = live_[0];
            readyDepths_ |= 1u << depth;
        }
        if (pos >= reachable_) return pos;
        const LiveSet& live = live_[depth];
        size_t word = pos / 64;
        uint64_t bits = live[word] & (~uint64_t{0} << (pos % 64));
        while (bits == 0) // the sentinel bit ends the scan
            bits = live[++word];
        return word * 64 + static_cast<size_t>(std::countr_zero(bits));
    }

    size_t printableRunEnd(size_t pos) const { return allPrintable_ ? scanned_ : printableEnd_[pos]; }

    void pushField(std::string_view ai, size_t length) {
        state_.fieldSlots[state_.fieldCount++] = ParseField{ai, static_cast<uint32_t>(length)};
    }

    using LiveSet = std::array<uint64_t, (kReachablePositions + 1 + 63) / 64>;

    std::string_view text_;
    size_t reachable_;
    size_t scanned_;
    bool allPrintable_;
    std::array<uint16_t, kReachablePositions + kMaxAdvance + 1> printableEnd_; // filled only when needed
    std::array<LiveSet, kMaxCutFields + 1> live_;                              // per depth
    uint32_t readyDepths_;
    ParseCandidate state_;
    CutSearch search_;
};

bool sameSeparators(const ParseCandidate& a, const ParseCandidate& b) {
    return std::ranges::equal(a.separators(), b.separators());
}

bool sameAis(const ParseCandidate& a, const ParseCandidate& b) {
    return std::ranges::equal(a.fields(), b.fields(),
                              [](const ParseField& x, const ParseField& y) { return x.ai == y.ai; });
}

} // namespace

CutSearch enumerateCuts(std::string_view text) {
    CutEnumerator enumerator(text);
    return enumerator.run();
}

int32_t scoreCut(const ParseCandidate& candidate) {
    // An AI of two or four digits as one number, so that the comparisons below are not string compares.
    std::array<uint32_t, kMaxCutFields + 1> keys;
    const auto fields = candidate.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        uint32_t key = 0;
        for (const char c : fields[i].ai)
            key = key * 256 + static_cast<unsigned char>(c);
        keys[i] = key;
    }
    constexpr auto key = [](const char(&ai)[3]) { return static_cast<uint32_t>(ai[0] * 256 + ai[1]); };
    int32_t score = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const uint32_t n = fields[i].length;
        if (keys[i] == key("91"))
            score += n == 4 ? kCryptoFits : kCryptoOff;
        else if (keys[i] == key("92"))
            score += (n == 44 || n == 88) ? kCryptoFits : kCryptoOff;
        else if (keys[i] == key("93"))
            score += n == 4 ? kShortTailFits : kShortTailOff;
        else if (keys[i] == key("21"))
            score += n == 13 ? kSerialMedicine : (n == 6 || n == 7) ? kSerialGoods : kSerialOther;
        else if (keys[i] == key("10"))
            score += kBatch;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        for (size_t j = i + 1; j < fields.size(); ++j) {
            if (keys[i] == keys[j]) score += kRepeatedAi;
        }
    }
    return score - static_cast<int32_t>(fields.size());
}

GsRepairResult repairGs(std::string_view text) {
    std::string out;
    GsRepairResult result = repairGs(text, out);
    result.text = std::move(out);
    return result;
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
    if (search.candidates.empty()) return unchanged();

    std::array<int32_t, kMaxCuts> scores{}; // the search never records more
    size_t best = 0;
    for (size_t i = 0; i < search.candidates.size(); ++i) {
        scores[i] = scoreCut(search.candidates[i]);
        if (scores[i] > scores[best]) best = i;
    }
    const ParseCandidate& bestCut = search.candidates[best];
    if (bestCut.separatorCount == 0) return unchanged();

    const int32_t bestScore = scores[best];
    bool scoredOther = false;
    int32_t highestOther = 0;
    for (size_t i = 0; i < search.candidates.size(); ++i) {
        const ParseCandidate& other = search.candidates[i];
        if (sameSeparators(other, bestCut)) continue;
        if (scores[i] == bestScore) ++result.ties;
        highestOther = scoredOther ? std::max(highestOther, scores[i]) : scores[i];
        scoredOther = true;
        if (scores[i] >= bestScore - kSameShapeReach && sameAis(other, bestCut)) result.sameAiSequence = true;
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
    return result;
}

} // namespace dorvik
