// The libFuzzer entry point: every input through the harness; a failed check aborts, so
// that the fuzzer keeps the input and reports it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        veltrane::fuzz::check_input({data, size});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "check failed: %s\n", e.what());
        std::abort();
    }
    return 0;
}
