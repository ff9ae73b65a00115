#include "analysis/check_digit.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

#include "bytes/short_load.h"
#endif

namespace dorvik {

// Eight bytes at a time (a GTIN, a fixed value of a cut): a byte is a digit when neither it minus '0' nor it
// plus 0x46 sets its top bit. A borrow or carry between bytes only happens beside a byte that fails itself.
bool isAllDigits(std::string_view text) {
    const size_t n = text.size();
    if (n == 0) return false;
    if (n >= 8) {
        auto failing = [](const char* eight) {
            uint64_t word;
            std::memcpy(&word, eight, 8);
            return ((word - 0x3030303030303030) | (word + 0x4646464646464646)) & 0x8080808080808080;
        };
        uint64_t fails = 0;
        for (size_t i = 0; i + 8 < n; i += 8)
            fails |= failing(text.data() + i);
        return (fails | failing(text.data() + n - 8)) == 0;
    }
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

bool gtinCheckOk(std::string_view text) {
    const size_t n = text.size();
    if (n != 8 && n != 12 && n != 13 && n != 14) return false;
        // Weight 1 on the check digit, then 3, 1, 3, ... leftwards: a valid number sums to a multiple of ten.
#if defined(__SSE2__)
    // The digits in one vector padded with zeros, which weigh nothing; the weight of the first byte
    // depends on whether the number is even or odd in length. Any byte that is no digit fails.
    const __m128i digits = _mm_sub_epi8(loadShort(text.data(), n, '0'), _mm_set1_epi8('0'));
    const __m128i nine = _mm_set1_epi8(9);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(digits, nine), digits)) != 0xFFFF) return false;
    const __m128i weights =
        n % 2 == 0 ? _mm_set_epi16(1, 3, 1, 3, 1, 3, 1, 3) : _mm_set_epi16(3, 1, 3, 1, 3, 1, 3, 1);
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(digits, zero), weights),
                                 _mm_madd_epi16(_mm_unpackhi_epi8(digits, zero), weights));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(1, 0, 3, 2)));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<unsigned>(_mm_cvtsi128_si32(sums)) % 10 == 0;
#else
    // One pass over pairs from the right, which also rejects any byte that is not a digit.
    unsigned sum = 0;
    unsigned notDigit = 0;
    size_t i = n;
    for (; i >= 2; i -= 2) {
        const unsigned ones = static_cast<unsigned char>(text[i - 1]) - unsigned{'0'};
        const unsigned threes = static_cast<unsigned char>(text[i - 2]) - unsigned{'0'};
        notDigit |= (ones > 9) | (threes > 9);
        sum += ones + 3 * threes;
    }
    if (i == 1) {
        const unsigned ones = static_cast<unsigned char>(text[0]) - unsigned{'0'};
        notDigit |= ones > 9;
        sum += ones;
    }
    return notDigit == 0 && sum % 10 == 0;
#endif
}

} // namespace dorvik
