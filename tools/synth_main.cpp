// Writes the project's own recordings: the example speech take, the chime, and long
// recordings for the benchmarks.
//   veltrane-synth speech FILE [SECONDS [CHANNELS BITS RATE]]
//   veltrane-synth long FILE BYTES CHANNELS BITS RATE
//   veltrane-synth chime FILE
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "synth.h"

int main(int argc, char** argv) {
    using namespace veltrane::synth;
    const std::string what = argc > 2 ? argv[1] : "";
    const auto format_at = [&](int i) {
        return Format{std::atoi(argv[i]), std::atoi(argv[i + 1]), std::atoi(argv[i + 2])};
    };
    try {
        if (what == "speech" && (argc == 3 || argc == 4 || argc == 7)) {
            const double seconds = argc > 3 ? std::atof(argv[3]) : 8.0;
            const Format f = argc == 7 ? format_at(4) : Format{1, 16, 22050};
            write_file(argv[2], wav_bytes(f, speech_data(f, seconds)));
        } else if (what == "long" && argc == 7) {
            write_long_recording(argv[2], format_at(4), std::strtoull(argv[3], nullptr, 10));
        } else if (what == "chime" && argc == 3) {
            const Format f{1, 16, 22050};
            write_file(argv[2], wav_bytes(f, chime_data(f)));
        } else {
            std::cerr << "usage: veltrane-synth speech FILE [SECONDS [CHANNELS BITS RATE]]\n"
                         "       veltrane-synth long FILE BYTES CHANNELS BITS RATE\n"
                         "       veltrane-synth chime FILE\n";
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "veltrane-synth: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
