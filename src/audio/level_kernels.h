#pragma once
// The loudness of steps and frames as the reasons for an empty scan measure it: per
// step its level (the least Sensitivity that makes it silent, capped), per frame its
// loudest sample. A step reads its bytes as the scan does (scan_kernels.h); the wide
// layouts, which are most of what is recorded, also have a kernel that makes 32 at a
// time when the processor has AVX2 (or more).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "audio/scan_engine.h"
#include "audio/scan_kernels.h"

namespace veltrane::scan_engine {

// Levels of n steps from b (steps `step` bytes apart; the bytes of every step there).
using LevelFn = void (*)(const std::uint8_t* b, std::int64_t n, int cap, std::uint8_t* out);
// The loudest sample of each of n frames from p, in 16-bit units without sign.
using PeakFn = void (*)(const std::uint8_t* p, std::int64_t frames, int channels, int frame_bytes,
                        std::uint16_t* out);

// The least Sensitivity that makes the value of a step at b silent, capped; reads only
// the bytes the step reads.
template <Situation S>
inline std::uint8_t level_at(const std::uint8_t* b, int cap) {
    constexpr Layout L = layout_of(S);
    const std::uint8_t b1 = L.reach >= 1 ? b[1] : 0;
    const std::uint8_t b2 = L.reach >= 2 ? b[2] : 0;
    const std::int32_t v = value_of<S>(b[0], b1, b2);
    const int above = L.wide ? std::abs(v) >> 8 : std::abs(v - 128);
    return static_cast<std::uint8_t>(std::min(above + 1, cap));
}

template <Situation S>
void levels_portable(const std::uint8_t* b, std::int64_t n, int cap, std::uint8_t* out) {
    constexpr int step = layout_of(S).step;
    for (std::int64_t i = 0; i < n; ++i) out[i] = level_at<S>(b + i * step, cap);
}

template <int Bytes, int Channels>
void peaks_portable(const std::uint8_t* p, std::int64_t frames, int channels, int frame_bytes,
                    std::uint16_t* out) {
    const int count = Channels > 0 ? Channels : channels;
    for (std::int64_t f = 0; f < frames; ++f, p += frame_bytes) {
        int peak = 0;
        for (int c = 0; c < count; ++c) {
            const std::uint8_t* s = p + c * Bytes;
            const int v = Bytes == 1 ? (s[0] - 128) * 256 : int16_at(s[Bytes - 2], s[Bytes - 1]);
            peak = std::max(peak, std::abs(v));
        }
        out[f] = static_cast<std::uint16_t>(peak);
    }
}

// The loudest of each of `groups` groups of 64 values from a.
template <class T>
using GroupLoudestFn = void (*)(const T* a, std::int64_t groups, T* out);
// Every other value from `in`: in[0], in[2], ... (n of them).
using EveryOtherFn = void (*)(const std::uint8_t* in, std::int64_t n, std::uint8_t* out);

// (Always inlined: the AVX2 kernel is this loop compiled for its registers.)
template <class T>
[[gnu::always_inline]] inline void group_loudest_portable(const T* a, std::int64_t groups, T* out) {
    for (std::int64_t g = 0; g < groups; ++g, a += 64) {
        T m = 0;
        for (int i = 0; i < 64; ++i) m = std::max(m, a[i]);
        out[g] = m;
    }
}

inline void every_other_portable(const std::uint8_t* in, std::int64_t n, std::uint8_t* out) {
    for (std::int64_t i = 0; i < n; ++i) out[i] = in[2 * i];
}

// The loudest level of each whole group of 64 steps among the n steps from b (n / 64
// groups); reads only the bytes of the n steps.
using GroupLevelFn = void (*)(const std::uint8_t* b, std::int64_t n, int cap, std::uint8_t* out);
// The loudest sample of each whole group of 64 frames among the n frames from p.
using GroupPeakFn = void (*)(const std::uint8_t* p, std::int64_t n, int channels, int frame_bytes,
                             std::uint16_t* out);

template <Situation S>
void group_levels_portable(const std::uint8_t* b, std::int64_t n, int cap, std::uint8_t* out) {
    constexpr int step = layout_of(S).step;
    for (std::int64_t g = 0; g < n / 64; ++g) {
        std::uint8_t m = 0;
        for (std::int64_t i = 64 * g; i < 64 * g + 64; ++i)
            m = std::max(m, level_at<S>(b + i * step, cap));
        out[g] = m;
    }
}

template <int Bytes, int Channels>
void group_peaks_portable(const std::uint8_t* p, std::int64_t n, int channels, int frame_bytes,
                          std::uint16_t* out) {
    std::uint16_t v[64];
    for (std::int64_t g = 0; g < n / 64; ++g, p += 64 * frame_bytes) {
        peaks_portable<Bytes, Channels>(p, 64, channels, frame_bytes, v);
        out[g] = *std::max_element(v, v + 64);
    }
}

#if defined(__SSE2__)

namespace avx2 {

#define VELTRANE_AVX2 [[gnu::target("avx2")]]

// Levels of 16-bit values (one per 16-bit lane) / of 32-bit values.
VELTRANE_AVX2 inline __m256i level16(__m256i v, __m256i cap) {
    return _mm256_min_epi16(
        _mm256_add_epi16(_mm256_srli_epi16(_mm256_abs_epi16(v), 8), _mm256_set1_epi16(1)), cap);
}
VELTRANE_AVX2 inline __m256i level32(__m256i v, __m256i cap) {
    const __m256i x = _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16);
    return _mm256_min_epi32(
        _mm256_add_epi32(_mm256_srli_epi32(_mm256_abs_epi32(x), 8), _mm256_set1_epi32(1)), cap);
}

// The levels of the steps at q, q + 4, ... (the larger of the 16-bit values at p and
// p + 1), one per 32-bit lane.
VELTRANE_AVX2 inline __m256i level_at32(const std::uint8_t* q, __m256i cap) {
    return level32(_mm256_max_epi16(load(q), load(q + 1)), cap);
}
// The louder of the two 16-bit samples of each 32-bit lane, in its low half.
VELTRANE_AVX2 inline __m256i pair_peak(const std::uint8_t* q) {
    const __m256i x = _mm256_abs_epi16(load(q));
    return _mm256_and_si256(_mm256_max_epu16(x, _mm256_srli_epi32(x, 16)),
                            _mm256_set1_epi32(0xFFFF));
}

// 32 steps at a time while a 33rd follows (so that no load reaches past the bytes of
// the steps), the rest one at a time.
template <Situation S>
VELTRANE_AVX2 void levels(const std::uint8_t* b, std::int64_t n, int cap, std::uint8_t* out) {
    constexpr int step = layout_of(S).step;
    const __m256i cap16 = _mm256_set1_epi16(static_cast<short>(cap));
    const __m256i cap32 = _mm256_set1_epi32(cap);
    std::int64_t i = 0;
    for (; i + 33 <= n; i += 32, b += 32 * step, out += 32) {
        __m256i r;
        if constexpr (S == 2) {  // even steps from b, odd ones from b + 1
            r = _mm256_or_si256(level16(load(b), cap16),
                                _mm256_slli_epi16(level16(load(b + 1), cap16), 8));
        } else if constexpr (S == 12) {
            r = _mm256_permute4x64_epi64(
                _mm256_packus_epi16(level16(load(b), cap16), level16(load(b + 32), cap16)), 0xD8);
        } else if constexpr (S == 4) {
            const __m256i a = _mm256_max_epi16(load(b), load(b + 1));
            const __m256i c = _mm256_max_epi16(load(b + 32), load(b + 33));
            r = _mm256_permute4x64_epi64(_mm256_packus_epi16(level16(a, cap16), level16(c, cap16)),
                                         0xD8);
        } else {  // 14: every fourth position
            const __m256i lo = _mm256_packs_epi32(level_at32(b, cap32), level_at32(b + 32, cap32));
            const __m256i hi =
                _mm256_packs_epi32(level_at32(b + 64, cap32), level_at32(b + 96, cap32));
            r = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(lo, hi),
                                            _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), r);
    }
    levels_portable<S>(b, n - i, cap, out);
}

// 16-bit samples, one or two channels: 16 frames at a time.
template <int Channels>
VELTRANE_AVX2 void peaks16(const std::uint8_t* p, std::int64_t frames, int channels,
                           int frame_bytes, std::uint16_t* out) {
    std::int64_t f = 0;
    for (; f + 16 <= frames; f += 16, p += 32 * Channels, out += 16) {
        __m256i r;
        if constexpr (Channels == 1) {
            r = _mm256_abs_epi16(load(p));
        } else {
            r = _mm256_permute4x64_epi64(_mm256_packus_epi32(pair_peak(p), pair_peak(p + 32)),
                                         0xD8);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), r);
    }
    peaks_portable<2, Channels>(p, frames - f, channels, frame_bytes, out);
}

// The portable loop, in 32-byte registers.
template <class T>
VELTRANE_AVX2 void group_loudest(const T* a, std::int64_t groups, T* out) {
    group_loudest_portable(a, groups, out);
}

VELTRANE_AVX2 inline void every_other(const std::uint8_t* in, std::int64_t n, std::uint8_t* out) {
    const __m256i low_bytes = _mm256_set1_epi16(0x00FF);
    std::int64_t i = 0;
    for (; i + 33 <= n; i += 32, in += 64, out += 32) {  // no load past in[2n - 2]
        const __m256i packed = _mm256_packus_epi16(_mm256_and_si256(load(in), low_bytes),
                                                   _mm256_and_si256(load(in + 32), low_bytes));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    every_other_portable(in, n - i, out);
}

#undef VELTRANE_AVX2

}  // namespace avx2

namespace avx512 {

#define VELTRANE_AVX512 [[gnu::target("avx512f,avx512bw,bmi2")]]

// The larger lanes (bytes or 16-bit, without sign) of the 64-bit lanes of x and y that
// `first` and `second` pick.
template <int Bits>
VELTRANE_AVX512 inline __m512i fold(__m512i x, __m512i y, __m512i first, __m512i second) {
    const __m512i a = _mm512_permutex2var_epi64(x, first, y);
    const __m512i b = _mm512_permutex2var_epi64(x, second, y);
    return Bits == 8 ? _mm512_max_epu8(a, b) : _mm512_max_epu16(a, b);
}

// The loudest lane (`Bits` wide, without sign) of each of eight registers, in the low bits
// of the 64-bit lane of the same number: pairs of registers are folded into one (each half
// the other's width) until each 64-bit lane holds one register's, then the lanes within it.
template <int Bits>
VELTRANE_AVX512 inline __m512i loudest_of8(const __m512i (&v)[8]) {
    const __m512i halves_a = _mm512_set_epi64(11, 10, 9, 8, 3, 2, 1, 0);
    const __m512i halves_b = _mm512_set_epi64(15, 14, 13, 12, 7, 6, 5, 4);
    const __m512i quarters_a = _mm512_set_epi64(13, 12, 9, 8, 5, 4, 1, 0);
    const __m512i quarters_b = _mm512_set_epi64(15, 14, 11, 10, 7, 6, 3, 2);
    const __m512i eighths_a = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i eighths_b = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
    __m512i h[4], r[2];
    for (int k = 0; k < 4; ++k) h[k] = fold<Bits>(v[2 * k], v[2 * k + 1], halves_a, halves_b);
    for (int k = 0; k < 2; ++k) r[k] = fold<Bits>(h[2 * k], h[2 * k + 1], quarters_a, quarters_b);
    __m512i s = fold<Bits>(r[0], r[1], eighths_a, eighths_b);
    for (int shift = 32; shift >= Bits; shift /= 2) {
        const __m512i t = _mm512_maskz_srli_epi64(0xFF, s, static_cast<unsigned>(shift));
        s = Bits == 8 ? _mm512_max_epu8(s, t) : _mm512_max_epu16(s, t);
    }
    return s;
}

// The loudest of each group of 64 bytes, eight groups at a time.
VELTRANE_AVX512 inline void group_loudest8(const std::uint8_t* a, std::int64_t groups,
                                           std::uint8_t* out) {
    std::int64_t g = 0;
    for (; g + 8 <= groups; g += 8, a += 512, out += 8) {
        __m512i v[8];
        for (int k = 0; k < 8; ++k) v[k] = load(a + 64 * k);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm512_maskz_cvtepi64_epi8(0xFF, loudest_of8<8>(v)));
    }
    group_loudest_portable<std::uint8_t>(a, groups - g, out);
}

// The 32 bytes from q, the upper half of the register zero.
VELTRANE_AVX512 inline __m512i load_half(const std::uint8_t* q) {
    return _mm512_maskz_loadu_epi16(0xFFFF, q);
}
// The size of the larger of the 16-bit values at q and q + 1, in each 16-bit lane.
VELTRANE_AVX512 inline __m512i size_at(const std::uint8_t* q) {
    return _mm512_abs_epi16(_mm512_max_epi16(load(q), load(q + 1)));
}
// The sizes of the 16-bit values of the 64 steps from b, each in a 16-bit lane of the
// result (the other lanes hold no more than one of them). Reads the steps' bytes, and
// for situation 14 the two bytes after them. Sampled: only the first 16 steps (a bound
// from below, for a quarter of the reading).
template <Situation S, bool Sampled>
VELTRANE_AVX512 inline __m512i step_sizes(const std::uint8_t* b) {
    if constexpr (Sampled) {
        if constexpr (S == 2 || S == 12) return _mm512_abs_epi16(load_half(b));
        if constexpr (S == 4)
            return _mm512_abs_epi16(_mm512_max_epi16(load_half(b), load_half(b + 1)));
        if constexpr (S == 14) return _mm512_and_si512(size_at(b), _mm512_set1_epi32(0xFFFF));
    }
    if constexpr (S == 2) {
        return _mm512_max_epu16(_mm512_abs_epi16(load(b)), _mm512_abs_epi16(load(b + 1)));
    } else if constexpr (S == 12) {
        return _mm512_max_epu16(_mm512_abs_epi16(load(b)), _mm512_abs_epi16(load(b + 64)));
    } else if constexpr (S == 4) {
        return _mm512_max_epu16(size_at(b), size_at(b + 64));
    } else {  // 14: the steps start in every other 16-bit lane
        const __m512i m = _mm512_max_epu16(_mm512_max_epu16(size_at(b), size_at(b + 64)),
                                           _mm512_max_epu16(size_at(b + 128), size_at(b + 192)));
        return _mm512_and_si512(m, _mm512_set1_epi32(0xFFFF));
    }
}

// The levels of the loudest 16-bit lanes of eight registers (as loudest_of8<16>), the first
// of them as `keep` says.
VELTRANE_AVX512 inline void store_levels8(const __m512i (&v)[8], int cap, __mmask8 keep,
                                          std::uint8_t* out) {
    const __m512i size = _mm512_and_si512(loudest_of8<16>(v), _mm512_set1_epi64(0xFFFF));
    const __m512i level = _mm512_maskz_min_epu64(
        0xFF, _mm512_add_epi64(_mm512_maskz_srli_epi64(0xFF, size, 8), _mm512_set1_epi64(1)),
        _mm512_set1_epi64(cap));
    _mm512_mask_cvtepi64_storeu_epi8(out, keep, level);
}

// Group levels of the wide situations, eight groups at a time.
template <Situation S, bool Sampled = false>
VELTRANE_AVX512 void group_levels(const std::uint8_t* b, std::int64_t n, int cap,
                                  std::uint8_t* out) {
    constexpr std::int64_t group_bytes = 64 * layout_of(S).step;
    // Situation 14 reads two bytes past a group's steps: a step must follow it.
    constexpr std::int64_t after = S == 14 ? 1 : 0;
    const std::int64_t groups = n > 0 ? (n - after) / 64 : 0;
    std::int64_t g = 0;
    for (; g < groups; g += 8, b += 8 * group_bytes, out += 8) {
        const int count = static_cast<int>(std::min<std::int64_t>(8, groups - g));
        __m512i v[8];
        for (int k = 0; k < 8; ++k)
            v[k] = k < count ? step_sizes<S, Sampled>(b + k * group_bytes) : _mm512_setzero_si512();
        store_levels8(v, cap, static_cast<__mmask8>((1u << count) - 1), out);
    }
    group_levels_portable<S>(b - (g - groups) * group_bytes, n - 64 * groups, cap,
                             out - (g - groups));
}

// Group peaks of 16-bit samples, one or two channels, eight groups at a time; sampled,
// of the first 64 bytes of each group only.
template <int Channels, bool Sampled = false>
VELTRANE_AVX512 void group_peaks16(const std::uint8_t* p, std::int64_t n, int channels,
                                   int frame_bytes, std::uint16_t* out) {
    constexpr std::int64_t group_bytes = 128 * Channels;
    (void)channels;
    (void)frame_bytes;
    const std::int64_t groups = n / 64;
    for (std::int64_t g = 0; g < groups; g += 8, p += 8 * group_bytes, out += 8) {
        const int count = static_cast<int>(std::min<std::int64_t>(8, groups - g));
        __m512i v[8];
        for (int k = 0; k < 8; ++k) {
            const std::uint8_t* q = p + k * group_bytes;
            if (k >= count) {
                v[k] = _mm512_setzero_si512();
            } else if constexpr (Sampled && Channels == 1) {
                v[k] = _mm512_abs_epi16(load_half(q));
            } else if constexpr (Sampled) {  // frames 0-15 and 32-47
                v[k] = _mm512_max_epu16(_mm512_abs_epi16(load(q)), _mm512_abs_epi16(load(q + 128)));
            } else {
                v[k] = _mm512_max_epu16(_mm512_abs_epi16(load(q)), _mm512_abs_epi16(load(q + 64)));
                if constexpr (Channels == 2)
                    v[k] =
                        _mm512_max_epu16(v[k], _mm512_max_epu16(_mm512_abs_epi16(load(q + 128)),
                                                                _mm512_abs_epi16(load(q + 192))));
            }
        }
        _mm512_mask_cvtepi64_storeu_epi16(out, static_cast<__mmask8>((1u << count) - 1),
                                          loudest_of8<16>(v));
    }
}

// The bounds from below of 16-bit stereo, for normal speed, Double Speed and the frames at
// once, from chunks of 256 bytes (64 frames, 128 normal steps, 64 Double Speed steps) from p:
// each chunk's first and third 64 bytes. `normal` gets two groups per chunk, `fast` and
// `frames` one. Reads 65 bytes from each chunk's 128th.
VELTRANE_AVX512 inline void stereo16_bounds(const std::uint8_t* p, std::int64_t chunks, int cap,
                                            std::uint8_t* normal, std::uint8_t* fast,
                                            std::uint16_t* frames) {
    for (std::int64_t c = 0; c + 8 <= chunks; c += 8, p += 8 * 256) {
        __m512i n[2][8], f[8], q[8];
        for (int k = 0; k < 8; ++k) {
            const std::uint8_t* at = p + 256 * k;
            const __m512i a = load(at), b = load(at + 128);
            const __m512i sa = _mm512_abs_epi16(_mm512_max_epi16(a, load(at + 1)));
            const __m512i sb = _mm512_abs_epi16(_mm512_max_epi16(b, load(at + 129)));
            n[k / 4][2 * (k % 4)] = sa;
            n[k / 4][2 * (k % 4) + 1] = sb;
            f[k] = _mm512_and_si512(_mm512_max_epu16(sa, sb), _mm512_set1_epi32(0xFFFF));
            q[k] = _mm512_max_epu16(_mm512_abs_epi16(a), _mm512_abs_epi16(b));
        }
        store_levels8(n[0], cap, 0xFF, normal + 2 * c);
        store_levels8(n[1], cap, 0xFF, normal + 2 * c + 8);
        store_levels8(f, cap, 0xFF, fast + c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frames + c),
                         _mm512_maskz_cvtepi64_epi16(0xFF, loudest_of8<16>(q)));
    }
}

#undef VELTRANE_AVX512

}  // namespace avx512

#endif  // __SSE2__

// Bit j of the result: whether m[j] < lim, for the c (at most 64) values from m.
template <class T>
inline std::uint64_t below_bits(const T* m, int c, T lim) {
    std::uint64_t bits = 0;
    int j = 0;
#if defined(__SSE2__)
    // Unsigned order is the signed order of the values with their top bit flipped.
    const auto load16 = [](const T* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    if constexpr (sizeof(T) == 1) {
        const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
        const __m128i l = _mm_set1_epi8(static_cast<char>(lim ^ 0x80));
        for (; j + 16 <= c; j += 16)
            bits |= std::uint64_t{static_cast<std::uint16_t>(
                        _mm_movemask_epi8(_mm_cmplt_epi8(_mm_xor_si128(load16(m + j), flip), l)))}
                    << j;
    } else {
        const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
        const __m128i l = _mm_set1_epi16(static_cast<short>(lim ^ 0x8000));
        for (; j + 16 <= c; j += 16) {
            const __m128i a = _mm_cmplt_epi16(_mm_xor_si128(load16(m + j), flip), l);
            const __m128i b = _mm_cmplt_epi16(_mm_xor_si128(load16(m + j + 8), flip), l);
            bits |=
                std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b)))}
                << j;
        }
    }
#endif
    for (; j < c; ++j) bits |= std::uint64_t{m[j] < lim} << j;
    return bits;
}

template <class T>
GroupLoudestFn<T> group_loudest_kernel(Kernel kernel) {
#if defined(__SSE2__)
    if constexpr (std::is_same_v<T, std::uint8_t>)
        if (kernel == Kernel::avx512 && available(Kernel::avx512)) return avx512::group_loudest8;
    if (kernel >= Kernel::avx2 && available(Kernel::avx2)) return avx2::group_loudest<T>;
#endif
    (void)kernel;
    return group_loudest_portable<T>;
}

inline EveryOtherFn every_other_kernel(Kernel kernel) {
#if defined(__SSE2__)
    if (kernel >= Kernel::avx2 && available(Kernel::avx2)) return avx2::every_other;
#endif
    (void)kernel;
    return every_other_portable;
}

template <Situation S>
LevelFn level_kernel(Kernel kernel) {
#if defined(__SSE2__)
    if constexpr (S == 2 || S == 12 || S == 4 || S == 14)
        if (kernel >= Kernel::avx2 && available(Kernel::avx2)) return avx2::levels<S>;
#endif
    (void)kernel;
    return levels_portable<S>;
}

// The level kernel of a situation (1-4, 11-14).
inline LevelFn level_kernel(Kernel kernel, Situation s) {
    // (Only the eight situations are asked for; any other gets the kernel of 14.)
    return with_situation(
        s, [&](auto situation) { return level_kernel<decltype(situation)::value>(kernel); },
        [&] { return level_kernel<14>(kernel); });
}

template <int Bytes>
PeakFn peak_kernel(Kernel kernel, int channels, int frame_bytes) {
#if defined(__SSE2__)
    if constexpr (Bytes == 2)
        if (kernel >= Kernel::avx2 && available(Kernel::avx2) && channels <= 2 &&
            frame_bytes == 2 * channels)
            return channels == 1 ? avx2::peaks16<1> : avx2::peaks16<2>;
#endif
    (void)kernel;
    (void)frame_bytes;
    if (channels == 1) return peaks_portable<Bytes, 1>;
    if (channels == 2) return peaks_portable<Bytes, 2>;
    return peaks_portable<Bytes, 0>;
}

// The peak kernel of a sample size (1 to 4 bytes), channel count and frame size.
inline PeakFn peak_kernel(Kernel kernel, int sample_bytes, int channels, int frame_bytes) {
    switch (sample_bytes) {
        case 1:
            return peak_kernel<1>(kernel, channels, frame_bytes);
        case 2:
            return peak_kernel<2>(kernel, channels, frame_bytes);
        case 3:
            return peak_kernel<3>(kernel, channels, frame_bytes);
        default:
            return peak_kernel<4>(kernel, channels, frame_bytes);
    }
}

template <Situation S>
GroupLevelFn group_level_kernel(Kernel kernel) {
#if defined(__SSE2__)
    if constexpr (S == 2 || S == 12 || S == 4 || S == 14)
        if (kernel == Kernel::avx512 && available(Kernel::avx512)) return avx512::group_levels<S>;
#endif
    (void)kernel;
    return group_levels_portable<S>;
}

// The bounds of 16-bit stereo for all three at once (avx512::stereo16_bounds), chunks in
// eights; none without AVX-512.
using Stereo16BoundsFn = void (*)(const std::uint8_t* p, std::int64_t chunks, int cap,
                                  std::uint8_t* normal, std::uint8_t* fast, std::uint16_t* frames);
inline Stereo16BoundsFn stereo16_bounds_kernel(Kernel kernel) {
#if defined(__SSE2__)
    if (kernel == Kernel::avx512 && available(Kernel::avx512)) return avx512::stereo16_bounds;
#endif
    (void)kernel;
    return nullptr;
}

// A kernel that gives each group a bound from below on its loudest level, from some of its
// steps, for less reading; none where there is no such kernel.
inline GroupLevelFn group_level_bound_kernel(Kernel kernel, Situation s) {
#if defined(__SSE2__)
    if (kernel == Kernel::avx512 && available(Kernel::avx512)) switch (s) {
            case 2:
                return avx512::group_levels<2, true>;
            case 12:
                return avx512::group_levels<12, true>;
            case 4:
                return avx512::group_levels<4, true>;
            case 14:
                return avx512::group_levels<14, true>;
            default:
                break;
        }
#endif
    (void)kernel;
    (void)s;
    return nullptr;
}

// The same for the loudest samples.
inline GroupPeakFn group_peak_bound_kernel(Kernel kernel, int sample_bytes, int channels,
                                           int frame_bytes) {
#if defined(__SSE2__)
    if (sample_bytes == 2 && kernel == Kernel::avx512 && available(Kernel::avx512) &&
        channels <= 2 && frame_bytes == 2 * channels)
        return channels == 1 ? avx512::group_peaks16<1, true> : avx512::group_peaks16<2, true>;
#endif
    (void)kernel;
    (void)sample_bytes;
    (void)channels;
    (void)frame_bytes;
    return nullptr;
}

// The group level kernel of a situation (1-4, 11-14).
inline GroupLevelFn group_level_kernel(Kernel kernel, Situation s) {
    // (Only the eight situations are asked for; any other gets the kernel of 14.)
    return with_situation(
        s, [&](auto situation) { return group_level_kernel<decltype(situation)::value>(kernel); },
        [&] { return group_level_kernel<14>(kernel); });
}

// The group peak kernel of a sample size (1 to 4 bytes), channel count and frame size.
inline GroupPeakFn group_peak_kernel(Kernel kernel, int sample_bytes, int channels,
                                     int frame_bytes) {
#if defined(__SSE2__)
    if (sample_bytes == 2 && kernel == Kernel::avx512 && available(Kernel::avx512) &&
        channels <= 2 && frame_bytes == 2 * channels)
        return channels == 1 ? avx512::group_peaks16<1> : avx512::group_peaks16<2>;
#endif
    (void)kernel;
    const auto pick = [&]<int Bytes>() -> GroupPeakFn {
        if (channels == 1) return group_peaks_portable<Bytes, 1>;
        if (channels == 2) return group_peaks_portable<Bytes, 2>;
        return group_peaks_portable<Bytes, 0>;
    };
    switch (sample_bytes) {
        case 1:
            return pick.operator()<1>();
        case 2:
            return pick.operator()<2>();
        case 3:
            return pick.operator()<3>();
        default:
            return pick.operator()<4>();
    }
}

}  // namespace veltrane::scan_engine
