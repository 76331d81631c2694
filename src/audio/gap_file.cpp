#include "audio/gap_file.h"

#include "base/byte_source.h"
#include "base/error.h"

namespace veltrane {

std::string gap_path(const std::string& wav_path) {
    return wav_path.substr(0, wav_path.size() >= 4 ? wav_path.size() - 4 : 0) + ".gap";
}

std::vector<std::uint8_t> encode_gap(std::span<const GapRecord> records) {
    std::vector<std::uint8_t> out;
    out.reserve(records.size() * kGapRecordSize);
    auto put = [&out](std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    };
    for (const GapRecord& r : records) {
        put(r.start_ms);
        put(r.end_ms);
    }
    return out;
}

std::vector<GapRecord> decode_gap(std::span<const std::uint8_t> b,
                                  const std::filesystem::path& file) {
    if (b.size() % kGapRecordSize != 0)
        throw Error(Errc::BadGapFile, file,
                    "its length of " + std::to_string(b.size()) + " bytes is not a multiple of 8");
    auto get = [&b](std::size_t at) {
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= std::uint32_t(b[at + i]) << (8 * i);
        return static_cast<std::int32_t>(u);
    };
    std::vector<GapRecord> records;
    for (std::size_t at = 0; at < b.size(); at += kGapRecordSize)
        records.push_back({get(at), get(at + 4)});
    return records;
}

namespace {

// Milliseconds as seconds with three decimals and a point.
std::string seconds3(std::int32_t ms) {
    const std::int64_t v = ms;
    const std::int64_t whole = v / 1000, part = v % 1000;
    const std::string digits = std::to_string(part < 0 ? -part : part);
    return (v < 0 && whole == 0 ? "-" : "") + std::to_string(whole) + "." +
           std::string(3 - digits.size(), '0') + digits;
}

}  // namespace

std::string label_track(std::span<const GapRecord> records) {
    std::string out;
    std::size_t n = 0;
    for (const GapRecord& r : records)
        out += seconds3(r.start_ms) + "\t" + seconds3(r.end_ms) + "\tgap " + std::to_string(++n) +
               "\n";
    return out;
}

void GapWriter::add(const GapRecord& record) {
    file_.write(encode_gap(std::span(&record, 1)));
    ++count_;
}

void GapWriter::commit() {
    if (count_ > 0) file_.commit();
}

void write_gap_file(const std::filesystem::path& path, std::span<const GapRecord> records,
                    std::optional<FileId> keep) {
    AtomicFile file(path, keep);
    file.write(encode_gap(records));
    file.commit();
}

std::vector<GapRecord> read_gap_file(const std::filesystem::path& path) {
    FileSource file(path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
    bytes.resize(file.read_at(0, bytes));
    return decode_gap(bytes, path);
}

}  // namespace veltrane
