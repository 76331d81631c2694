#include <array>
#include <ostream>

#include "app/app.h"
#include "app/examine.h"
#include "app/handlers.h"
#include "audio/wav_header.h"
#include "audio/wav_layout.h"
#include "base/error.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/format.h"
#include "cli/headless.h"
#include "cli/paths.h"

namespace veltrane {

namespace {

constexpr CommandOption kOptions[] = {{"json", ""}};

// Examines one file as Load File does, and reads its header as numbers.
FileDetails details(HeadlessServices& services, const std::string& path) {
    const std::unique_ptr<FileSource> file = open_recording(path);
    if (!file) throw Error(Errc::Open, path, "No such file or directory");

    App app(services.platform());
    bind_handlers(app);
    examine(app, path, bare_name(path), 1);
    FileDetails d;
    d.path = path;
    take_window_details(app.f(), d);

    std::array<std::uint8_t, wav::kHeaderSize> buf{};
    const std::span<const std::uint8_t> head(buf.data(), file->read_at(0, buf));
    const WavInfo w = parse_wav_header(head);
    if (w.is_riff_wave() && w.fmt_id == wav::kFmt) {
        const WavFmt fmt = plain_wav_fmt(head);
        d.header =
            FileDetails::Header{fmt.format_tag, fmt.channels, fmt.block_align, fmt.bits_per_sample,
                                w.sample_rate,  w.byte_rate,  w.data_size};
        d.data_note = data_size_note(static_cast<std::uint32_t>(w.data_size));
    }
    // The length as the window shows it, cut to hundredths.
    if (!d.length.empty() && w.byte_rate != 0)
        d.length_seconds =
            static_cast<double>(floor_div(std::int64_t{w.data_size} * 100, w.byte_rate)) / 100;
    d.file_size_bytes = file->size();

    const WavChunks chunks = read_wav_chunks(*file);
    d.data_offset = chunks.data_offset();
    d.layout = !chunks.riff_wave() ? HeaderLayout::None
               : chunks.plain()    ? HeaderLayout::Plain
               : chunks.data       ? HeaderLayout::Chunks
                                   : HeaderLayout::NoData;
    return d;
}

int run(const Invocation& in) {
    const std::vector<std::string>& files = in.args.operands;
    if (files.empty()) throw UsageError("info needs at least one FILE");
    const bool json = in.args.has("json");

    HeadlessServices services(in.err, in.env.program_folder, in.env.settings_file);
    int status = kExitOk;
    bool first = true;
    JsonWriter w;
    if (json) w.begin_array(JsonWriter::Lines);
    for (const std::string& path : files) {
        try {
            const FileDetails d = details(services, path);
            if (json)
                info_json(w, d);
            else
                in.out << (first ? "" : "\n") << info_text(d);
            first = false;
        } catch (const Error& e) {
            report(in.err, describe(e));
            status = kExitFailed;
        }
        in.out << w.take() << std::flush;
    }
    if (json) in.out << w.end_array().take();
    return status;
}

}  // namespace

const Command kInfoCommand = {
    "info", kOptions,
    "  info [--json] FILE...\n"
    "      Show the details of WAV files as the window does, and where their data begin.\n"
    "      --json                one JSON array, an object per file\n",
    run};

}  // namespace veltrane
