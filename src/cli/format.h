#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/gap_file.h"

namespace veltrane {

struct OpenFile;

// What the window shows of one examined file.
struct FileDetails {
    std::string file_name, file_type, compression, file_size, channels, sample_rate,
        bytes_per_second, bytes_per_sample, bits_per_sample, length;
    std::optional<long long> data_size;
    bool generate_enabled = false;
    bool play_enabled = false;
};
FileDetails details_of(const OpenFile& f);

std::string info_text(std::span<const FileDetails> files);
std::string info_json(std::span<const FileDetails> files);

struct GenerateResult {
    struct File {
        std::string path;
        std::size_t gaps = 0;
        std::string gap_file;  // empty when none was written
    };
    std::vector<File> files;
    double elapsed_seconds = 0;
    std::string message;  // the completion text of the window
};
std::string generate_text(const GenerateResult& r);
std::string generate_json(const GenerateResult& r);

enum class DumpFormat { Plain, Json, Csv, Labels };
std::string dump_text(std::span<const GapRecord> records, DumpFormat format);

std::string json_string(std::string_view s);

}  // namespace veltrane
