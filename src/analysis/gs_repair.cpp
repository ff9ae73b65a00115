#include "analysis/gs_repair.h"

#include <algorithm>

#include "analysis/check_digit.h"
#include "analysis/element_string.h"

namespace dorvik {

namespace {

// No field advances more than a 4-byte AI plus a 90-byte value, so calls that can still place a field
// never start beyond this position.
constexpr size_t kReachablePositions = kMaxCutFields * (4 + 90) + 1;
constexpr size_t kDepths = kMaxCutFields + 1;

bool isPrintableAscii(char c) { return c >= '!' && c <= '~'; }

// Depth-first enumeration. A subtree that records no candidate depends only on (position, depth): the
// text is fixed and the candidate count cannot move inside it. Such dead ends are remembered, with
// whether they met the field limit, so that texts that never cut to their end are not searched
// exponentially.
class CutEnumerator {
  public:
    explicit CutEnumerator(std::string_view text)
        : text_(text), reachable_(std::min(text.size() + 1, kReachablePositions)),
          deadEnds_(reachable_ * kDepths, kUnknown) {
        search_.candidates.reserve(kMaxCuts);
    }

    CutSearch run() && {
        visit(0, 0);
        return std::move(search_);
    }

  private:
    static constexpr uint8_t kUnknown = 0;
    static constexpr uint8_t kDead = 1;
    static constexpr uint8_t kDeadHitLimit = 2;

    void visit(size_t pos, size_t depth) {
        if (search_.candidates.size() >= kMaxCuts || depth > kMaxCutFields) {
            search_.limitHit = true;
            return;
        }
        uint8_t& memo = deadEnds_[pos * kDepths + depth];
        if (memo != kUnknown) {
            if (memo == kDeadHitLimit) search_.limitHit = true;
            return;
        }
        const size_t recordedBefore = search_.candidates.size();
        const bool limitBefore = search_.limitHit;
        search_.limitHit = false;
        explore(pos, depth);
        const bool limitInside = search_.limitHit;
        search_.limitHit = limitBefore || limitInside;
        if (search_.candidates.size() == recordedBefore) memo = limitInside ? kDeadHitLimit : kDead;
    }

    void explore(size_t pos, size_t depth) {
        if (pos == text_.size()) {
            search_.candidates.push_back(state_);
            return;
        }
        const AiMatch match = findAi(text_, pos);
        if (match.spec == nullptr) return;
        const size_t valueStart = pos + match.length;
        const size_t remaining = text_.size() - valueStart;
        const AiSpec& spec = *match.spec;
        if (spec.fixedLength > 0) {
            const auto length = static_cast<size_t>(spec.fixedLength);
            if (remaining < length) return;
            for (size_t i = 0; i < length; ++i) {
                if (!isDigit(text_[valueStart + i])) return;
            }
            pushField(spec.ai, length);
            visit(valueStart + length, depth + 1);
            --state_.fieldCount;
            return;
        }
        const size_t longest = std::min(remaining, static_cast<size_t>(spec.maxLength));
        for (size_t k = 1; k <= longest; ++k) {
            if (!isPrintableAscii(text_[valueStart + k - 1])) return;
            pushField(spec.ai, k);
            const size_t end = valueStart + k;
            if (end == text_.size()) {
                visit(end, depth + 1);
            } else {
                state_.separatorSlots[state_.separatorCount++] = end;
                visit(end, depth + 1);
                --state_.separatorCount;
            }
            --state_.fieldCount;
        }
    }

    void pushField(std::string_view ai, size_t length) {
        state_.fieldSlots[state_.fieldCount++] = ParseField{ai, static_cast<uint32_t>(length)};
    }

    std::string_view text_;
    size_t reachable_;
    std::vector<uint8_t> deadEnds_;
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

CutSearch enumerateCuts(std::string_view text) { return CutEnumerator(text).run(); }

int32_t scoreCut(const ParseCandidate& candidate) {
    int32_t score = 0;
    const auto fields = candidate.fields();
    for (const ParseField& field : fields) {
        const uint32_t n = field.length;
        if (field.ai == "91")
            score += n == 4 ? 40 : -10;
        else if (field.ai == "92")
            score += (n == 44 || n == 88) ? 40 : -10;
        else if (field.ai == "93")
            score += n == 4 ? 30 : -5;
        else if (field.ai == "21")
            score += n == 13 ? 15 : (n == 6 || n == 7) ? 12 : 2;
        else if (field.ai == "10")
            score -= 8;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        for (size_t j = i + 1; j < fields.size(); ++j) {
            if (fields[i].ai == fields[j].ai) score -= 40;
        }
    }
    return score - static_cast<int32_t>(fields.size());
}

GsRepairResult repairGs(std::string_view text) {
    GsRepairResult result;
    result.text = text;
    if (text.size() < 18 || !text.starts_with("01")) return result;

    const CutSearch search = enumerateCuts(text);
    result.limitHit = search.limitHit;
    if (search.candidates.empty()) return result;

    std::vector<int32_t> scores;
    scores.reserve(search.candidates.size());
    size_t best = 0;
    for (size_t i = 0; i < search.candidates.size(); ++i) {
        scores.push_back(scoreCut(search.candidates[i]));
        if (scores[i] > scores[best]) best = i;
    }
    const ParseCandidate& bestCut = search.candidates[best];
    if (bestCut.separatorCount == 0) return result;

    const int32_t bestScore = scores[best];
    bool scoredOther = false;
    int32_t highestOther = 0;
    for (size_t i = 0; i < search.candidates.size(); ++i) {
        const ParseCandidate& other = search.candidates[i];
        if (sameSeparators(other, bestCut)) continue;
        if (scores[i] == bestScore) ++result.ties;
        highestOther = scoredOther ? std::max(highestOther, scores[i]) : scores[i];
        scoredOther = true;
        if (scores[i] >= bestScore - 10 && sameAis(other, bestCut)) result.sameAiSequence = true;
    }
    result.margin = scoredOther ? bestScore - highestOther : 1000;
    result.guess = result.ties > 0 || result.sameAiSequence || result.margin < 5 || result.limitHit;

    std::string repaired;
    repaired.reserve(text.size() + bestCut.separatorCount);
    size_t from = 0;
    for (const size_t at : bestCut.separators()) {
        repaired.append(text, from, at - from);
        repaired += kGs;
        from = at;
    }
    repaired.append(text, from);
    result.text = std::move(repaired);
    result.repaired = true;
    return result;
}

} // namespace dorvik
