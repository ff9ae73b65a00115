#include "analysis/element_string.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/check_digit.h"
#if defined(__SSE2__)
#include "bytes/short_load.h"
#endif

namespace dorvik {

namespace {

constexpr PlainText kNoCryptoPart =
    "В коде нет проверочной части (91/92/93) — возможно, сканер обрезал хвост";
constexpr PlainText kGtinCheckFails = "Контрольная цифра GTIN не сходится — код прочитан с ошибкой";

} // namespace

namespace {

#if defined(__SSE2__)
// The numbers of the two-digit AIs and of the first two digits of the four-digit ones.
template <size_t Length> constexpr auto aiNumbers() {
    std::array<uint8_t, 100> numbers{};
    size_t count = 0;
    for (const AiDefinition& entry : kAiTable) {
        const auto two = static_cast<uint8_t>((entry.ai[0] - '0') * 10 + (entry.ai[1] - '0'));
        if (entry.ai.size() == Length &&
            std::find(numbers.begin(), numbers.begin() + count, two) == numbers.begin() + count)
            numbers[count++] = two;
    }
    return std::pair(numbers, count);
}
constexpr auto kTwoDigitNumbers = aiNumbers<2>();
constexpr auto kFourDigitPrefixes = aiNumbers<4>();

// 16 positions, from the bytes at them and the bytes after them: bit i for a two-digit AI at position i,
// and in `maybeFour` the positions a four-digit AI may start at.
uint32_t twoDigitAis(__m128i atPositions, __m128i afterPositions, uint32_t& maybeFour) {
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i first = _mm_sub_epi8(atPositions, zero);
    const __m128i second = _mm_sub_epi8(afterPositions, zero);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i digits = _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(first, nine), first),
                                         _mm_cmpeq_epi8(_mm_min_epu8(second, nine), second));
    // Most blocks of a crypto tail hold no two digits in a row.
    if (_mm_movemask_epi8(digits) == 0) {
        maybeFour = 0;
        return 0;
    }
    // first * 10 + second, byte by byte: below 16 each, the 16-bit shifts carry nothing across bytes.
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i tens = _mm_and_si128(first, low);
    const __m128i number = _mm_add_epi8(_mm_add_epi8(_mm_slli_epi16(tens, 3), _mm_slli_epi16(tens, 1)),
                                        _mm_and_si128(second, low));
    __m128i two = _mm_setzero_si128();
    for (size_t i = 0; i < kTwoDigitNumbers.second; ++i)
        two = _mm_or_si128(
            two, _mm_cmpeq_epi8(number, _mm_set1_epi8(static_cast<char>(kTwoDigitNumbers.first[i]))));
    __m128i four = _mm_setzero_si128();
    for (size_t i = 0; i < kFourDigitPrefixes.second; ++i)
        four = _mm_or_si128(
            four, _mm_cmpeq_epi8(number, _mm_set1_epi8(static_cast<char>(kFourDigitPrefixes.first[i]))));
    maybeFour = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(digits, four)));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(digits, two)));
}
#endif

} // namespace

void markAiStarts(std::string_view text, size_t count, uint64_t* bits) { markAiStarts(text, 0, count, bits); }

void markAiStarts(std::string_view text, size_t from, size_t count, uint64_t* bits) {
    size_t pos = from;
#if defined(__SSE2__)
    // Sixteen positions a step, without a branch per position (in a crypto tail digits and letters
    // alternate at random).
    auto block = [&](__m128i atPositions, __m128i afterPositions, size_t keep) {
        uint32_t maybeFour = 0;
        uint32_t starts = twoDigitAis(atPositions, afterPositions, maybeFour);
        for (; maybeFour != 0; maybeFour &= maybeFour - 1) {
            const auto i = static_cast<size_t>(std::countr_zero(maybeFour));
            if (findAi(text, pos + i).entry != nullptr) starts |= 1u << i;
        }
        bits[pos / 64] |= uint64_t{starts & ((1u << keep) - 1)} << (pos % 64);
    };
    auto load = [&](size_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    };
    for (; pos + 16 <= count && pos + 17 <= text.size(); pos += 16)
        block(load(pos), load(pos + 1), 16);
    // The last positions padded with bytes that are no digit; past `count` nothing is set.
    for (; pos < count; pos += 16) {
        auto rest = [&](size_t at) {
            const size_t from = std::min(at, text.size());
            return loadShort(text.data() + from, std::min<size_t>(text.size() - from, 16), 'x');
        };
        block(rest(pos), rest(pos + 1), std::min<size_t>(count - pos, 16));
    }
#endif
    for (; pos < count; ++pos) {
        if (findAi(text, pos).entry != nullptr) bits[pos / 64] |= uint64_t{1} << (pos % 64);
    }
}

// False at the first thing that is no known AI or too short a fixed value.
static bool parseInto(std::string_view text, ElementPairs& pairs) {
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == kGs) {
            ++pos;
            continue;
        }
        const AiMatch match = findAi(text, pos);
        if (match.entry == nullptr) return false;
        const size_t valueStart = pos + match.length;
        size_t valueEnd = 0;
        if (match.entry->fixedLength > 0) {
            valueEnd = valueStart + static_cast<size_t>(match.entry->fixedLength);
            if (valueEnd > text.size()) return false;
        } else {
            valueEnd = text.find(kGs, valueStart);
            if (valueEnd == std::string_view::npos) valueEnd = text.size();
        }
        pairs.push_back({match.entry->ai, text.substr(valueStart, valueEnd - valueStart)});
        pos = valueEnd;
    }
    return true;
}

ElementPairs parseElementString(std::string_view text) {
    // One named result on every path, so that it is built in place rather than copied out.
    ElementPairs pairs;
    if (!parseInto(text, pairs)) pairs = ElementPairs();
    return pairs;
}

void applyElementString(ScanEvent& event, std::span<const ElementPair> pairs) {
    bool sawGtin = false;
    bool sawSerial = false;
    for (const ElementPair& pair : pairs) {
        if (pair.ai == "01") {
            event.gtin = pair.value;
            sawGtin = true;
        } else if (pair.ai == "21") {
            event.serial = pair.value;
            sawSerial = true;
        } else if (pair.ai == "8005") {
            event.mrc = pair.value;
        } else if (pair.ai == "91" || pair.ai == "92" || pair.ai == "93") {
            if (!event.cryptoTail.empty()) event.cryptoTail += '|';
            event.cryptoTail += pair.value;
        }
    }
    if (sawGtin && sawSerial) {
        event.kind = CodeKind::DataMatrix;
        event.marked = true;
        if (event.cryptoTail.empty()) event.warn(kNoCryptoPart);
    } else {
        if (event.kind == CodeKind::Unknown) event.kind = CodeKind::Gs1_128;
        if (!sawGtin) return;
    }
    if (!gtinCheckOk(event.gtin)) event.warn(kGtinCheckFails);
}

} // namespace dorvik
