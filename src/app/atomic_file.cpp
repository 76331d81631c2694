#include "app/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

#include "app/error.h"

namespace veltrane {

void write_file_atomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    // A temporary name of our own: never one that is already taken.
    std::random_device rd;
    std::filesystem::path temp;
    std::FILE* f = nullptr;
    for (int attempt = 0; !f && attempt < 100; ++attempt) {
        temp = path;
        temp += ".tmp" + std::to_string(rd() % 1000000);
        f = std::fopen(temp.c_str(), "wbx");
        if (!f && errno != EEXIST) break;
    }
    if (!f) throw Error(Errc::Open, path, errno_text());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const std::string write_cause = written ? "" : errno_text();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        const std::string cause = written ? errno_text() : write_cause;
        std::remove(temp.c_str());
        throw Error(Errc::Write, path, cause);
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw Error(Errc::Replace, path, ec.message());
    }
}

}  // namespace veltrane
