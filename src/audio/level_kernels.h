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

// The larger bytes of the 64-bit lanes of x and y that `first` and `second` pick.
VELTRANE_AVX512 inline __m512i fold(__m512i x, __m512i y, __m512i first, __m512i second) {
    return _mm512_max_epu8(_mm512_permutex2var_epi64(x, first, y),
                           _mm512_permutex2var_epi64(x, second, y));
}

// The loudest of each group of 64 bytes, eight groups at a time: pairs of registers are
// folded into one (each half the other's width) until each 64-bit lane holds one group.
VELTRANE_AVX512 inline void group_loudest8(const std::uint8_t* a, std::int64_t groups,
                                           std::uint8_t* out) {
    const __m512i halves_a = _mm512_set_epi64(11, 10, 9, 8, 3, 2, 1, 0);
    const __m512i halves_b = _mm512_set_epi64(15, 14, 13, 12, 7, 6, 5, 4);
    const __m512i quarters_a = _mm512_set_epi64(13, 12, 9, 8, 5, 4, 1, 0);
    const __m512i quarters_b = _mm512_set_epi64(15, 14, 11, 10, 7, 6, 3, 2);
    const __m512i eighths_a = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
    const __m512i eighths_b = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
    std::int64_t g = 0;
    for (; g + 8 <= groups; g += 8, a += 512, out += 8) {
        __m512i h[4], r[2];
        for (int k = 0; k < 4; ++k)
            h[k] = fold(load(a + 128 * k), load(a + 128 * k + 64), halves_a, halves_b);
        for (int k = 0; k < 2; ++k) r[k] = fold(h[2 * k], h[2 * k + 1], quarters_a, quarters_b);
        __m512i s = fold(r[0], r[1], eighths_a, eighths_b);
        s = _mm512_max_epu8(s, _mm512_maskz_srli_epi64(0xFF, s, 32));
        s = _mm512_max_epu8(s, _mm512_maskz_srli_epi64(0xFF, s, 16));
        s = _mm512_max_epu8(s, _mm512_maskz_srli_epi64(0xFF, s, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm512_maskz_cvtepi64_epi8(0xFF, s));
    }
    group_loudest_portable<std::uint8_t>(a, groups - g, out);
}

#undef VELTRANE_AVX512

}  // namespace avx512

#endif  // __SSE2__

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
    switch (s) {
        case 1:
            return level_kernel<1>(kernel);
        case 2:
            return level_kernel<2>(kernel);
        case 3:
            return level_kernel<3>(kernel);
        case 4:
            return level_kernel<4>(kernel);
        case 11:
            return level_kernel<11>(kernel);
        case 12:
            return level_kernel<12>(kernel);
        case 13:
            return level_kernel<13>(kernel);
        default:
            return level_kernel<14>(kernel);
    }
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

}  // namespace veltrane::scan_engine
