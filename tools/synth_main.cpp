// Writes the project's own recordings: the example speech take and the chime.
//   veltrane-synth speech FILE [SECONDS]   |   veltrane-synth chime FILE
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "synth.h"

int main(int argc, char** argv) {
    using namespace veltrane::synth;
    try {
        const std::string what = argc > 2 ? argv[1] : "";
        if (what == "speech") {
            const double seconds = argc > 3 ? std::atof(argv[3]) : 8.0;
            const Format f{1, 16, 22050};
            write_file(argv[2], wav_bytes(f, speech_data(f, seconds)));
        } else if (what == "chime") {
            const Format f{1, 16, 22050};
            write_file(argv[2], wav_bytes(f, chime_data(f)));
        } else {
            std::cerr << "usage: veltrane-synth speech FILE [SECONDS] | chime FILE\n";
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "veltrane-synth: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
