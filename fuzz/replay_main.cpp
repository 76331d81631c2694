// Runs every input of the fuzz corpus through the harness once, as a test: the inputs
// the fuzzer found keep the code honest as it changes.
//   veltrane_fuzz_replay [-v] FOLDER_OR_FILE...
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    bool verbose = false;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-v") {
            verbose = true;
        } else if (fs::is_directory(arg)) {
            for (const fs::directory_entry& e : fs::directory_iterator(arg))
                if (e.is_regular_file()) inputs.push_back(e.path());
        } else {
            inputs.emplace_back(arg);
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s [-v] FOLDER_OR_FILE... (no inputs given or found)\n",
                     argv[0]);
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());

    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (const fs::path& path : inputs) {
        // Sanitizer reports end the process at once: then the name shown last is the input.
        if (verbose) std::fprintf(stderr, "%s\n", path.c_str());
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
            ++failed;
            continue;
        }
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        try {
            veltrane::fuzz::check_input(bytes);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
            ++failed;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu inputs replayed in %.2f s, %d failed\n", inputs.size(), seconds, failed);
    return failed == 0 ? 0 : 1;
}
