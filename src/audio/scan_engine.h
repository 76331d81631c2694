#pragma once
// The machinery behind scan(): which mask kernel classifies the samples. scan() picks
// the fastest one the processor has; the choice is exposed so every kernel can be
// checked on its own.
#include <span>
#include <vector>

#include "audio/scan.h"

namespace veltrane::scan_engine {

enum class Kernel {
    portable,  // plain C++, one step at a time
    sse2,      // 16 bytes at a time (every x86-64 processor)
    avx2,      // 32 bytes at a time, when the processor has it
    avx512,    // 64 bytes at a time, when the processor has AVX-512 (BW) and BMI2
};

// Whether this build and this processor can run the kernel.
bool available(Kernel kernel);
// Every kernel this build and this processor can run.
std::vector<Kernel> available_kernels();

// The kernel scan() uses.
Kernel fastest();

// The smallest mark distance d >= 1 whose length in milliseconds exceeds the filter
// (byte_rate above 0). The length never falls as d grows, so a closed silence is
// recorded exactly when it spans at least this.
std::int64_t shortest_recorded(std::int32_t filter_ms, std::int32_t byte_rate);

// The bytes read from the file at a time, and scanned between two progress reports.
// A block fits the processor's second-level cache, so the copy out of the system's
// file cache stays cheap and the scan reads it back from there.
inline constexpr std::int64_t block_bytes = std::int64_t{1} << 18;

// scan() with a chosen kernel; falls back to the portable one if it is not available.
void scan_with(Kernel kernel, ByteSource& source, const ScanParams& params,
               const SilenceSink& on_silence, const ScanCallback& on_block,
               SecondCore* second = nullptr);
std::vector<Silence> scan_with(Kernel kernel, std::span<const std::uint8_t> file,
                               const ScanParams& params, const ScanCallback& on_block);

// scan_together() with a chosen kernel.
void scan_together_with(Kernel kernel, ByteSource& source, std::span<const ScanJob> jobs,
                        const BytesSink& on_bytes);

}  // namespace veltrane::scan_engine
