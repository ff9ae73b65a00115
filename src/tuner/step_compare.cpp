#include "tuner/step_compare.h"

#include "bytes/ascii.h"
#include <algorithm>
#include <array>
#include <limits>

namespace dorvik {

namespace {

// Tried in this order; the first that makes the reference appear wins.
constexpr std::array<char, 10> kGsSubstituteCandidates = {'\x1e', '\x1f', '\x1c', '|', '^',
                                                          '~',    '#',    '$',    '@', ']'};

int32_t toInt32(size_t n) {
    return n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                        : static_cast<int32_t>(n);
}

bool isAsciiPunctuation(unsigned char c) {
    const bool letterOrDigit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return c > 0x20 && c < 0x80 && !letterOrDigit;
}

void setMatch(StepResult& result, std::string_view s, size_t at, size_t length) {
    result.matched = 1;
    result.prefix = s.substr(0, at);
    result.suffix = s.substr(at + length);
}

void comparePartially(StepResult& result, std::string_view ref, std::string_view plain, std::string_view s) {
    const std::string_view head = ref.substr(0, 4);
    size_t start = s.find(head);
    if (start == std::string_view::npos) start = 0;
    result.prefix = s.substr(0, start);
    const std::string_view got = s.substr(start);

    if (got.size() < ref.size() && ref.starts_with(got)) {
        result.truncated = true;
        result.gsMissing = false;
        result.missingCount = toInt32(ref.size() - got.size());
        return;
    }
    if (got.size() < plain.size() && plain.starts_with(got)) {
        result.truncated = true;
        result.gsMissing = true;
        result.missingCount = toInt32(plain.size() - got.size());
        return;
    }

    // A code that arrived with a GS did not lose its separators, whatever its length.
    const bool againstPlain = got.size() == plain.size() && got.find(kGs) == std::string_view::npos;
    const std::string_view basis = againstPlain ? plain : ref;
    result.gsMissing = againstPlain && plain.size() != ref.size();
    size_t differences = 0;
    size_t punctuation = 0;
    const size_t common = std::min(got.size(), basis.size());
    for (size_t i = 0; i < common; ++i) {
        if (got[i] == basis[i]) continue;
        if (differences == 0) {
            result.firstDiff = toInt32(i);
            result.expectedChar.assign(1, basis[i]);
            result.receivedChar.assign(1, got[i]);
        }
        ++differences;
        if (isAsciiPunctuation(static_cast<unsigned char>(basis[i]))) ++punctuation;
    }
    if (got.size() < basis.size()) {
        result.truncated = true;
        result.missingCount = toInt32(basis.size() - got.size());
    }
    result.punctuationDamaged = differences > 0 && 2 * punctuation >= differences;
}

} // namespace

std::string_view detectTerminator(std::string_view text) {
    if (text.ends_with("\r\n")) return "\r\n";
    if (text.ends_with('\n')) return "\n";
    if (text.ends_with('\r')) return "\r";
    if (text.ends_with('\t')) return "\t";
    return {};
}

std::string eraseAll(std::string_view text, char c) {
    std::string out;
    out.reserve(text.size());
    for (const char x : text) {
        if (x != c) out += x;
    }
    return out;
}

bool looksLikeReference(std::string_view payload, std::string_view frameText) {
    if (payload.empty()) return false;
    std::string_view rest = frameText;
    rest.remove_suffix(detectTerminator(rest).size());
    if (rest.size() > 3 && rest.front() == ']') rest.remove_prefix(3);
    if (rest.empty()) return false;
    if (rest.find(payload.substr(0, 6)) != std::string_view::npos) return true;
    if (rest.find(payload) != std::string_view::npos) return true;
    const std::string plain = eraseAll(payload, kGs);
    return !plain.empty() && rest.find(plain) != std::string_view::npos;
}

StepResult compareWithReference(std::string_view ref, std::string_view frameText,
                                std::string_view expectedAim) {
    StepResult result;
    const std::string plain = eraseAll(ref, kGs);
    std::string_view s = frameText;
    result.terminator = detectTerminator(s);
    s.remove_suffix(result.terminator.size());

    if (s.size() >= 4 && s.front() == ']') {
        result.aim = s.substr(0, 3);
        s.remove_prefix(3);
        result.aimMismatch = !expectedAim.empty() && expectedAim != result.aim;
    }
    result.nonAscii =
        std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });

    if (const size_t at = s.find(ref); at != std::string_view::npos) {
        setMatch(result, s, at, ref.size());
        return result;
    }
    const bool refHasGs = ref.find(kGs) != std::string_view::npos;
    if (refHasGs) {
        for (const char candidate : kGsSubstituteCandidates) {
            if (s.find(candidate) == std::string_view::npos) continue;
            std::string t(s);
            std::replace(t.begin(), t.end(), candidate, kGs);
            if (const size_t at = t.find(ref); at != std::string::npos) {
                setMatch(result, s, at, ref.size());
                result.gsSubstitute = std::string(1, candidate);
                return result;
            }
        }
        if (const size_t at = s.find(plain); at != std::string_view::npos) {
            setMatch(result, s, at, plain.size());
            result.gsMissing = true;
            return result;
        }
    }
    comparePartially(result, ref, plain, s);
    return result;
}

} // namespace dorvik
