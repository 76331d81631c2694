#pragma once
// Sample layouts and the kernels that classify whole words of steps as silent or not.
// Internal to scan.cpp.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "audio/scan.h"

namespace veltrane::scan_engine {

// How one situation walks the file. A step at position p reads bytes p .. p + reach.
struct Layout {
    int step = 0;      // positions advanced per step
    int mark = 0;      // a step's mark is p + mark
    int end = 0;       // its end value is p + end
    int progress = 0;  // its progress value is p + progress
    int reach = 0;
    bool wide = false;  // 16-bit samples
};

constexpr Layout layout_of(Situation s) {
    switch (s) {
        case 1:
            return {1, 1, 1, 0, 0, false};
        case 11:
            return {2, 2, 2, 0, 0, false};
        case 2:
            return {1, 0, 1, 0, 1, true};
        case 12:
            return {2, 0, 2, 0, 1, true};
        case 3:
            return {2, 1, 1, 2, 1, false};
        case 13:
            return {4, 1, 3, 4, 1, false};
        case 4:
            return {2, 1, 1, 2, 2, true};
        case 14:
            return {4, 1, 3, 1, 2, true};
        default:
            return {};
    }
}

// Calls f(std::integral_constant<Situation, S>{}) with S the situation s, one of the eight
// (1-4, 11-14), so that a typed loop is chosen once; other() for any other value.
template <class F, class Other>
decltype(auto) with_situation(Situation s, F&& f, Other&& other) {
    switch (s) {
        case 1:
            return f(std::integral_constant<Situation, 1>{});
        case 2:
            return f(std::integral_constant<Situation, 2>{});
        case 3:
            return f(std::integral_constant<Situation, 3>{});
        case 4:
            return f(std::integral_constant<Situation, 4>{});
        case 11:
            return f(std::integral_constant<Situation, 11>{});
        case 12:
            return f(std::integral_constant<Situation, 12>{});
        case 13:
            return f(std::integral_constant<Situation, 13>{});
        case 14:
            return f(std::integral_constant<Situation, 14>{});
        default:
            return other();
    }
}

inline std::int32_t int16_at(std::uint8_t lo, std::uint8_t hi) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
}

// The value a step judges, from the bytes at p, p + 1 and p + 2.
template <Situation S>
std::int32_t value_of(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    constexpr Situation base = S > 10 ? S - 10 : S;
    if constexpr (base == 1) return b0;
    if constexpr (base == 2) return int16_at(b0, b1);
    if constexpr (base == 3) return std::max(b0, b1);
    if constexpr (base == 4) return std::max(int16_at(b0, b1), int16_at(b1, b2));
}

// The silent band: 128 - s < v < 128 + s for 8-bit values, -256 s < v < 256 s for 16-bit.
struct Band {
    std::int64_t s = 0;
    bool wide = false;
    // For 1 <= s <= 128 the band is one unsigned window (wrapping arithmetic):
    // 8-bit silent <=> uint8(v - lo8) <= span8, 16-bit silent <=> uint16(v + off16) <= span16.
    std::uint8_t lo8 = 0, span8 = 0;
    std::uint16_t off16 = 0, span16 = 0;

    Band(std::int32_t sensitivity, bool wide_samples) : s(sensitivity), wide(wide_samples) {
        if (partial()) {
            lo8 = static_cast<std::uint8_t>(129 - s);
            span8 = static_cast<std::uint8_t>(2 * s - 2);
            off16 = static_cast<std::uint16_t>(256 * s - 1);
            span16 = static_cast<std::uint16_t>(512 * s - 2);
        }
    }
    bool silent(std::int32_t v) const {
        return wide ? -256 * s < v && v < 256 * s : 128 - s < v && v < 128 + s;
    }
    bool none() const { return s <= 0; }
    bool all() const { return s > 128; }
    bool partial() const { return !none() && !all(); }
};

// Writes `words` masks of 64 steps each; bit j of a mask is set when step j is silent.
// The first step is at q; a mask reads q[0] .. q[64 * step]. The band is partial.
using MaskFn = void (*)(const std::uint8_t* q, std::size_t words, std::uint64_t* out,
                        const Band& band);

template <Situation S>
void masks_portable(const std::uint8_t* q, std::size_t words, std::uint64_t* out,
                    const Band& band) {
    constexpr int step = layout_of(S).step;
    for (std::size_t i = 0; i < words; ++i, q += 64 * step) {
        std::uint64_t w = 0;
        for (int j = 0; j < 64; ++j) {
            const std::uint8_t* b = q + j * step;
            const std::uint8_t b1 = layout_of(S).reach >= 1 ? b[1] : 0;
            const std::uint8_t b2 = layout_of(S).reach >= 2 ? b[2] : 0;
            w |= std::uint64_t{band.silent(value_of<S>(b[0], b1, b2))} << j;
        }
        out[i] = w;
    }
}

#if defined(__SSE2__)

namespace sse2 {

struct Consts {
    __m128i lo8, span8, off16, span16;
    explicit Consts(const Band& b)
        : lo8(_mm_set1_epi8(static_cast<char>(b.lo8))),
          span8(_mm_set1_epi8(static_cast<char>(b.span8))),
          off16(_mm_set1_epi16(static_cast<short>(b.off16))),
          span16(_mm_set1_epi16(static_cast<short>(b.span16))) {}
};

inline __m128i load(const std::uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}
// 0xFF per silent byte / 0xFFFF per silent 16-bit lane.
inline __m128i silent8(__m128i v, const Consts& c) {
    return _mm_cmpeq_epi8(_mm_subs_epu8(_mm_sub_epi8(v, c.lo8), c.span8), _mm_setzero_si128());
}
inline __m128i silent16(__m128i v, const Consts& c) {
    return _mm_cmpeq_epi16(_mm_subs_epu16(_mm_add_epi16(v, c.off16), c.span16),
                           _mm_setzero_si128());
}

// 16 consecutive steps starting at q, one byte each (0xFF silent).
template <Situation S>
inline __m128i steps16(const std::uint8_t* q, const Consts& c) {
    const __m128i low_bytes = _mm_set1_epi16(0x00FF);
    if constexpr (S == 1) {
        return silent8(load(q), c);
    } else if constexpr (S == 11) {  // the even bytes of 32
        return silent8(_mm_packus_epi16(_mm_and_si128(load(q), low_bytes),
                                        _mm_and_si128(load(q + 16), low_bytes)),
                       c);
    } else if constexpr (S == 2) {  // even steps from q, odd steps from q + 1
        return _mm_or_si128(_mm_and_si128(silent16(load(q), c), low_bytes),
                            _mm_andnot_si128(low_bytes, silent16(load(q + 1), c)));
    } else if constexpr (S == 12) {
        return _mm_packs_epi16(silent16(load(q), c), silent16(load(q + 16), c));
    } else if constexpr (S == 3) {  // the larger byte of each pair
        const auto pair_max = [&](__m128i x) {
            return _mm_and_si128(_mm_max_epu8(x, _mm_srli_epi16(x, 8)), low_bytes);
        };
        return silent8(_mm_packus_epi16(pair_max(load(q)), pair_max(load(q + 16))), c);
    } else if constexpr (S == 13) {  // the larger of the first two bytes of each four
        const __m128i low_byte32 = _mm_set1_epi32(0xFF);
        const auto pair_max = [&](__m128i x) {
            return _mm_and_si128(_mm_max_epu8(x, _mm_srli_epi32(x, 8)), low_byte32);
        };
        const __m128i a = _mm_packs_epi32(pair_max(load(q)), pair_max(load(q + 16)));
        const __m128i b = _mm_packs_epi32(pair_max(load(q + 32)), pair_max(load(q + 48)));
        return silent8(_mm_packus_epi16(a, b), c);
    } else if constexpr (S == 4) {  // the larger of the 16-bit values at p and p + 1
        const auto value = [&](int o) { return _mm_max_epi16(load(q + o), load(q + o + 1)); };
        return _mm_packs_epi16(silent16(value(0), c), silent16(value(16), c));
    } else if constexpr (S == 14) {  // the same, every fourth position, sign-extended
        const auto value = [&](int o) {
            const __m128i v = _mm_max_epi16(load(q + o), load(q + o + 1));
            return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
        };
        const __m128i a = _mm_packs_epi32(value(0), value(16));
        const __m128i b = _mm_packs_epi32(value(32), value(48));
        return _mm_packs_epi16(silent16(a, c), silent16(b, c));
    }
}

inline std::uint64_t bits16(__m128i x) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(x));
}

template <Situation S>
void masks(const std::uint8_t* q, std::size_t words, std::uint64_t* out, const Band& band) {
    constexpr int chunk = 16 * layout_of(S).step;
    const Consts c(band);
    for (std::size_t i = 0; i < words; ++i, q += 4 * chunk) {
        out[i] = bits16(steps16<S>(q, c)) | bits16(steps16<S>(q + chunk, c)) << 16 |
                 bits16(steps16<S>(q + 2 * chunk, c)) << 32 |
                 bits16(steps16<S>(q + 3 * chunk, c)) << 48;
    }
}

}  // namespace sse2

namespace avx2 {

#define VELTRANE_AVX2 [[gnu::target("avx2")]]

struct Consts {
    __m256i lo8, span8, off16, span16;
};

VELTRANE_AVX2 inline Consts consts(const Band& b) {
    return {_mm256_set1_epi8(static_cast<char>(b.lo8)),
            _mm256_set1_epi8(static_cast<char>(b.span8)),
            _mm256_set1_epi16(static_cast<short>(b.off16)),
            _mm256_set1_epi16(static_cast<short>(b.span16))};
}

VELTRANE_AVX2 inline __m256i load(const std::uint8_t* q) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}
VELTRANE_AVX2 inline __m256i silent8(__m256i v, const Consts& c) {
    return _mm256_cmpeq_epi8(_mm256_subs_epu8(_mm256_sub_epi8(v, c.lo8), c.span8),
                             _mm256_setzero_si256());
}
VELTRANE_AVX2 inline __m256i silent16(__m256i v, const Consts& c) {
    return _mm256_cmpeq_epi16(_mm256_subs_epu16(_mm256_add_epi16(v, c.off16), c.span16),
                              _mm256_setzero_si256());
}
// Packing works within 128-bit halves; these put the results back in step order.
VELTRANE_AVX2 inline __m256i in_order(__m256i packed) {
    return _mm256_permute4x64_epi64(packed, 0xD8);
}
VELTRANE_AVX2 inline __m256i in_order_twice(__m256i packed) {
    return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}
// The larger of the two bytes of each 16-bit / of the first two bytes of each 32-bit lane.
VELTRANE_AVX2 inline __m256i pair_max16(__m256i x) {
    return _mm256_and_si256(_mm256_max_epu8(x, _mm256_srli_epi16(x, 8)), _mm256_set1_epi16(0xFF));
}
VELTRANE_AVX2 inline __m256i pair_max32(__m256i x) {
    return _mm256_and_si256(_mm256_max_epu8(x, _mm256_srli_epi32(x, 8)), _mm256_set1_epi32(0xFF));
}
// The larger of the 16-bit values at q and q + 1, per 16-bit / 32-bit lane (sign-extended).
VELTRANE_AVX2 inline __m256i overlap_max16(const std::uint8_t* q) {
    return _mm256_max_epi16(load(q), load(q + 1));
}
VELTRANE_AVX2 inline __m256i overlap_max32(const std::uint8_t* q) {
    return _mm256_srai_epi32(_mm256_slli_epi32(overlap_max16(q), 16), 16);
}

// 32 consecutive steps starting at q, one byte each (0xFF silent).
template <Situation S>
VELTRANE_AVX2 inline __m256i steps32(const std::uint8_t* q, const Consts& c) {
    const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
    if constexpr (S == 1) {
        return silent8(load(q), c);
    } else if constexpr (S == 11) {
        return silent8(in_order(_mm256_packus_epi16(_mm256_and_si256(load(q), low_bytes),
                                                    _mm256_and_si256(load(q + 32), low_bytes))),
                       c);
    } else if constexpr (S == 2) {
        return _mm256_or_si256(_mm256_and_si256(silent16(load(q), c), low_bytes),
                               _mm256_andnot_si256(low_bytes, silent16(load(q + 1), c)));
    } else if constexpr (S == 12) {
        return in_order(_mm256_packs_epi16(silent16(load(q), c), silent16(load(q + 32), c)));
    } else if constexpr (S == 3) {
        return silent8(in_order(_mm256_packus_epi16(pair_max16(load(q)), pair_max16(load(q + 32)))),
                       c);
    } else if constexpr (S == 13) {
        const __m256i a = _mm256_packs_epi32(pair_max32(load(q)), pair_max32(load(q + 32)));
        const __m256i b = _mm256_packs_epi32(pair_max32(load(q + 64)), pair_max32(load(q + 96)));
        return silent8(in_order_twice(_mm256_packus_epi16(a, b)), c);
    } else if constexpr (S == 4) {
        return in_order(
            _mm256_packs_epi16(silent16(overlap_max16(q), c), silent16(overlap_max16(q + 32), c)));
    } else if constexpr (S == 14) {
        const __m256i a = _mm256_packs_epi32(overlap_max32(q), overlap_max32(q + 32));
        const __m256i b = _mm256_packs_epi32(overlap_max32(q + 64), overlap_max32(q + 96));
        return in_order_twice(_mm256_packs_epi16(silent16(a, c), silent16(b, c)));
    }
}

VELTRANE_AVX2 inline std::uint64_t bits32(__m256i x) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(x));
}

template <Situation S>
VELTRANE_AVX2 void masks(const std::uint8_t* q, std::size_t words, std::uint64_t* out,
                         const Band& band) {
    constexpr int chunk = 32 * layout_of(S).step;
    const Consts c = consts(band);
    for (std::size_t i = 0; i < words; ++i, q += 2 * chunk)
        out[i] = bits32(steps32<S>(q, c)) | bits32(steps32<S>(q + chunk, c)) << 32;
}

#undef VELTRANE_AVX2

}  // namespace avx2

namespace avx512 {

#define VELTRANE_AVX512 [[gnu::target("avx512f,avx512bw,bmi2")]]

// A compare of 64 byte values gives one bit per lane; the lanes an 8-bit layout's steps
// start in are picked out of it, so 64 / `per` loads make a word.
template <Situation S>
struct Lanes {
    static constexpr bool wide = layout_of(S).wide;
    // Steps per 64-byte load, and the bits of the compare that are steps.
    static constexpr int per = S == 1 ? 64 : S == 13 ? 16 : 32;
    static constexpr std::uint64_t keep = S == 11 || S == 3 ? 0x5555555555555555
                                          : S == 13         ? 0x1111111111111111
                                                            : ~std::uint64_t{0};
};

VELTRANE_AVX512 inline __m512i load(const std::uint8_t* q) {
    return _mm512_loadu_si512(q);
}

// A band as the compares take it.
struct Limits {
    __m512i lo, span;
};
template <Situation S>
VELTRANE_AVX512 inline Limits limits(const Band& band) {
    if constexpr (Lanes<S>::wide)
        return {_mm512_set1_epi16(static_cast<short>(band.off16)),
                _mm512_set1_epi16(static_cast<short>(band.span16))};
    else
        return {_mm512_set1_epi8(static_cast<char>(band.lo8)),
                _mm512_set1_epi8(static_cast<char>(band.span8))};
}

// The values of one 64-byte load from q, one per lane (byte or 16-bit).
template <Situation S>
VELTRANE_AVX512 inline __m512i values(const std::uint8_t* q) {
    if constexpr (!Lanes<S>::wide)
        return S == 3 || S == 13 ? _mm512_max_epu8(load(q), load(q + 1)) : load(q);
    else
        return S == 4 || S == 14 ? _mm512_max_epi16(load(q), load(q + 1)) : load(q);
}

// Which of 32 16-bit values lie in the band, one bit each.
VELTRANE_AVX512 inline __mmask32 in_band16(__m512i v, const Limits& l) {
    return _mm512_cmple_epu16_mask(_mm512_add_epi16(v, l.lo), l.span);
}

// Two halves of 32 steps as one word, `first` in the low half. They are joined in the mask
// registers: GCC 12 may spill a 32-bit mask widened to 64 bits with a 32-bit store and
// reload all 64 (where instrumentation calls out of the loop), and kunpackd reads only
// the low half of each.
VELTRANE_AVX512 inline std::uint64_t joined(__mmask32 first, __mmask32 second) {
    return _cvtmask64_u64(_mm512_kunpackd(second, first));
}

// The steps among 64 byte values (step 0 in the first lane), one bit each.
template <Situation S>
VELTRANE_AVX512 inline std::uint64_t steps8(__m512i v, const Limits& l) {
    const std::uint64_t m = _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, l.lo), l.span);
    return Lanes<S>::keep == ~std::uint64_t{0} ? m : _pext_u64(m, Lanes<S>::keep);
}

// The masks of the same steps for K bands at once, those of band b to out[b]: the values
// are read once for all of them.
template <Situation S, int K>
VELTRANE_AVX512 void masks_bands(const std::uint8_t* q, std::size_t words,
                                 std::uint64_t* const* out, const Band* bands) {
    using L = Lanes<S>;
    Limits l[K];
    for (int b = 0; b < K; ++b) l[b] = limits<S>(bands[b]);
    for (std::size_t i = 0; i < words; ++i, q += 64 * layout_of(S).step) {
        std::uint64_t w[K] = {};
        if constexpr (S == 2) {
            // A step at every byte: the even ones from q, the odd ones from q + 1.
            const __m512i even = values<S>(q), odd = values<S>(q + 1);
            for (int b = 0; b < K; ++b)
                w[b] = _pdep_u64(_cvtmask32_u32(in_band16(even, l[b])), 0x5555555555555555) |
                       _pdep_u64(_cvtmask32_u32(in_band16(odd, l[b])), 0xAAAAAAAAAAAAAAAA);
        } else if constexpr (S == 14) {
            // The steps' values are the even 16-bit lanes: those of two loads, gathered in
            // one register, are 32 steps.
            const __m512i even =
                _mm512_set_epi16(62, 60, 58, 56, 54, 52, 50, 48, 46, 44, 42, 40, 38, 36, 34, 32, 30,
                                 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
            const __m512i first = _mm512_permutex2var_epi16(values<S>(q), even, values<S>(q + 64));
            const __m512i second =
                _mm512_permutex2var_epi16(values<S>(q + 128), even, values<S>(q + 192));
            for (int b = 0; b < K; ++b)
                w[b] = joined(in_band16(first, l[b]), in_band16(second, l[b]));
        } else if constexpr (L::wide) {
            // 32 steps per load.
            const __m512i first = values<S>(q), second = values<S>(q + 64);
            for (int b = 0; b < K; ++b)
                w[b] = joined(in_band16(first, l[b]), in_band16(second, l[b]));
        } else {
            for (int c = 0; c < 64 / L::per; ++c) {
                const __m512i v = values<S>(q + 64 * c);
                for (int b = 0; b < K; ++b) w[b] |= steps8<S>(v, l[b]) << (c * L::per);
            }
        }
        for (int b = 0; b < K; ++b) out[b][i] = w[b];
    }
}

template <Situation S>
VELTRANE_AVX512 void masks(const std::uint8_t* q, std::size_t words, std::uint64_t* out,
                           const Band& band) {
    masks_bands<S, 1>(q, words, &out, &band);
}

#undef VELTRANE_AVX512

}  // namespace avx512

#endif  // __SSE2__

}  // namespace veltrane::scan_engine
