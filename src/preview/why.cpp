#include "preview/why.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "base/error.h"
#include "preview/wording.h"

namespace veltrane::preview {

Language language_of(const std::string& lan) {
    return lan == "2" ? Language::German : Language::English;
}

std::string fixed(double x, int places, Language language) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, places);
    std::string s(buf, r.ptr);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);  // no "-0.0"
    if (language == Language::German)
        for (char& c : s)
            if (c == '.') c = ',';
    return s;
}

std::string seconds(std::int64_t ms, Language language) {
    const bool negative = ms < 0;
    const std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(ms) : ms;
    std::string part = std::to_string(a % 1000);
    part = std::string(3 - part.size(), '0') + part;
    return (negative ? "-" : "") + std::to_string(a / 1000) +
           (language == Language::German ? "," : ".") + part;
}

std::string decibels(double db, Language language) {
    if (std::isinf(db)) return db < 0 ? "-inf" : "inf";
    return fixed(db, 1, language);
}

PassQuestions reasons_questions(const WavInfo& header, const SampleLayout& layout,
                                const Settings& settings) {
    PassQuestions q;
    q.normal = generate_params(header, {kLeastSensitivity, settings.filter_ms, false});
    q.fast = generate_params(header, {kLeastSensitivity, settings.filter_ms, true});
    q.layout = layout;
    q.filter_ms = settings.filter_ms;
    const Situation base = q.normal.situation % 10;
    if (!settings.double_speed && (base == 2 || base == 4)) q.count_fast_at = settings.sensitivity;
    return q;
}

FilterFacts facts_of(const PassAnswers& a, int filter_ms) {
    FilterFacts facts;
    facts.filter_ms = filter_ms;
    facts.smallest_normal = a.smallest_normal;
    facts.smallest_double = a.smallest_fast;
    facts.quietest = a.quietest;
    return facts;
}

FilterFacts filter_facts(ByteSource& source, const WavInfo& header, const SampleLayout& layout,
                         int filter_ms, const KeepGoing& keep_going) {
    PassQuestions q = reasons_questions(header, layout, {kLeastSensitivity, filter_ms, true});
    return facts_of(gather_facts(source, q, keep_going), filter_ms);
}

Explanation explanation_of(const WavInfo& header, const HeaderShape& shape,
                           const SampleLayout& layout, const Settings& settings,
                           const PassAnswers& answers) {
    Explanation e;
    e.settings = settings;
    e.header = header;
    e.shape = shape;
    e.layout = layout;
    e.params = generate_params(header, settings);
    if (e.params.situation == 0) return e;
    e.facts = facts_of(answers, settings.filter_ms);
    e.double_speed_finds = answers.fast_finds;
    return e;
}

Explanation explain_nothing(ByteSource& source, const WavInfo& header, const HeaderShape& shape,
                            const SampleLayout& layout, const Settings& settings,
                            const FilterFacts* facts, const KeepGoing& keep_going) {
    if (generate_params(header, settings).situation == 0)
        return explanation_of(header, shape, layout, settings, {});
    PassQuestions q = reasons_questions(header, layout, settings);
    const bool known = facts && facts->filter_ms == settings.filter_ms;
    if (known) {
        // Only the count is left to find.
        q.normal.situation = 0;
        q.layout = {};
        if (!q.count_fast_at) q.fast.situation = 0;
    }
    PassAnswers a = gather_facts(source, q, keep_going);
    if (known) {
        a.smallest_normal = facts->smallest_normal;
        a.smallest_fast = facts->smallest_double;
        a.quietest = facts->quietest;
    }
    return explanation_of(header, shape, layout, settings, a);
}

namespace {

struct Words {
    Language lang;
    bool de() const { return lang == Language::German; }
    std::string pick(std::string en, std::string de_text) const { return de() ? de_text : en; }
};

std::string quoted(const std::string& id, const Words& w) {
    return w.de() ? "\xE2\x80\x9E" + id + "\xE2\x80\x9C" : "\"" + id + "\"";
}

// Why Generate does not scan the file at all.
std::string not_scanned_cause(const Explanation& e, const Words& w) {
    const WavInfo& h = e.header;
    if (!h.is_riff_wave())
        return w.pick("it is not a RIFF WAVE file", "sie ist keine RIFF-WAVE-Datei");
    if (h.fmt_id != wav::kFmt)
        return w.pick("its header has no \"fmt \" chunk at byte 12",
                      "ihr Dateikopf hat bei Byte 12 keinen \xE2\x80\x9E"
                      "fmt \xE2\x80\x9C-Block");
    if (h.format_tag != wav::kPcm)
        return (w.de() ? "ihre Samples sind komprimiert (" : "its samples are compressed (") +
               std::string(format_name(h.format_tag)) + ")";
    const std::string frame = std::to_string(h.block_align);
    const std::string channels = std::to_string(h.channels);
    if (w.de())
        return "es liest nur 8- und 16-Bit-Samples in einem oder zwei Kanälen, und hier hat ein "
               "Sample-Block " +
               frame + " Bytes für " + channels + (h.channels == 1 ? " Kanal" : " Kanäle");
    return "it reads only 8- and 16-bit samples in one or two channels, and here a sample frame "
           "has " +
           frame + " bytes for " + channels + (h.channels == 1 ? " channel" : " channels");
}

std::string smallest_text(const std::optional<int>& s, const Words& w) {
    if (s) return std::to_string(*s);
    return w.pick("none up to 50", "keine bis 50");
}

std::string speed_name(bool fast, const Words& w) {
    return fast ? w.pick("at Double Speed", "bei doppelter Geschwindigkeit")
                : w.pick("at normal speed", "bei normaler Geschwindigkeit");
}

std::string header_line(const Explanation& e, const Words& w) {
    const HeaderShape& s = e.shape;
    const std::string lead = w.pick("The header is not the plain 44-byte layout: ",
                                    "Der Dateikopf ist nicht der einfache 44-Byte-Aufbau: ");
    const std::string scan_start = std::to_string(e.params.data_start - 1);
    if (s.data_at < 0)
        return lead + (w.de()
                           ? "es gibt keinen " + quoted("data", w) +
                                 "-Block; die Suche beginnt bei Byte " + scan_start + "."
                           : "no " + quoted("data", w) +
                                 " chunk was found; the scan starts at byte " + scan_start + ".");
    const std::string samples = std::to_string(s.data_at + 8);
    if (s.before_data.empty() && s.data_at == s.fmt_at + 8 + s.fmt_bytes)
        return lead + (w.de() ? "sein Format-Block ist " + std::to_string(s.fmt_bytes) +
                                    " Bytes lang, daher beginnen die Sample-Daten bei Byte " +
                                    samples + " (dort beginnt auch die Suche)."
                              : "its format chunk is " + std::to_string(s.fmt_bytes) +
                                    " bytes long, so the sample data begin at byte " + samples +
                                    " (the scan starts there too).");
    std::string chunks;
    for (std::size_t i = 0; i < s.before_data.size(); ++i) {
        if (i > 0) chunks += i + 1 == s.before_data.size() ? w.pick(" and ", " und ") : ", ";
        chunks += quoted(s.before_data[i], w);
    }
    const std::string length = std::to_string(e.header.data_size);
    const std::size_t n = s.before_data.size();
    const std::string after =
        n == 0   ? ""
        : n == 1 ? w.pick(", after a " + chunks + " chunk", ", nach einem " + chunks + "-Block")
                 : w.pick(", after the chunks " + chunks, ", nach den Blöcken " + chunks);
    if (w.de())
        return lead + "die Sample-Daten beginnen bei Byte " + samples + after +
               ", die Suche beginnt aber bei Byte " + scan_start +
               " und nimmt die Zahl bei Byte 40 (" + length + ") als Datenlänge.";
    return lead + "the sample data begin at byte " + samples + after +
           ", but the scan starts at byte " + scan_start + " and takes the number at byte 40 (" +
           length + ") as the data length.";
}

std::int64_t offset_ms(std::int64_t offset, const WavInfo& h) {
    return static_cast<std::int64_t>(std::floor(static_cast<double>(offset) / bytes_per_ms(h)));
}

}  // namespace

std::vector<std::string> why_lines(const Explanation& e, Language language) {
    const Words w{language};
    std::vector<std::string> lines;
    const bool header_odd = e.shape.riff_wave && !e.shape.plain();
    if (e.params.situation == 0 || e.params.byte_rate <= 0) {
        const std::string cause = e.params.situation == 0
                                      ? not_scanned_cause(e, w)
                                      : w.pick("its header gives a byte rate of ",
                                               "ihr Dateikopf nennt eine Byterate von ") +
                                            std::to_string(e.params.byte_rate);
        lines.push_back(w.pick("Generate does not scan this file: ",
                               "Erstellen durchsucht diese Datei nicht: ") +
                        cause + ".");
        if (header_odd && e.params.situation != 0) lines.push_back(header_line(e, w));
        return lines;
    }
    const Settings& s = e.settings;
    const std::string filter = std::to_string(s.filter_ms);
    const auto& here = s.double_speed ? e.facts.smallest_double : e.facts.smallest_normal;
    const auto& other = s.double_speed ? e.facts.smallest_normal : e.facts.smallest_double;
    lines.push_back(
        (w.de() ? "Kleinste Sensitivität, die bei Filter " + filter + " ms eine Pause aufzeichnet: "
                : "The smallest Sensitivity that records a silence at Filter " + filter + " ms: ") +
        smallest_text(here, w) + " " + speed_name(s.double_speed, w) +
        w.pick(" (as set), ", " (eingestellt), ") + smallest_text(other, w) + " " +
        speed_name(!s.double_speed, w) + ".");

    const std::string band = decibels(dbfs(band_edge(s.sensitivity)), language);
    if (const auto& q = e.facts.quietest) {
        const std::int64_t from = e.layout.first + q->first_frame * e.layout.frame_bytes;
        const std::int64_t to = from + q->frames * e.layout.frame_bytes;
        const std::string when = seconds(offset_ms(from, e.header), language) +
                                 w.pick(" s to ", " s bis ") +
                                 seconds(offset_ms(to, e.header), language) + " s";
        const std::string peak =
            q->peak == 0
                ? w.pick("peak: digital silence (every sample 0)",
                         "Spitzenpegel: digitale Stille (jedes Sample 0)")
                : w.pick("peak ", "Spitzenpegel ") + decibels(dbfs(q->peak), language) + " dBFS";
        lines.push_back(
            w.pick("The quietest stretch of at least ", "Die leiseste Stelle von mindestens ") +
            filter + " ms: " + when + ", " + peak +
            w.pick("; the band at Sensitivity ", "; das Band bei Sensitivität ") +
            std::to_string(s.sensitivity) + w.pick(" reaches ", " reicht bis ") + band + " dBFS.");
    } else {
        lines.push_back(w.pick("No stretch of the sound is ", "Kein Abschnitt des Klangs ist ") +
                        filter + w.pick(" ms long.", " ms lang."));
    }
    if (e.double_speed_finds && *e.double_speed_finds > 0) {
        const std::size_t n = *e.double_speed_finds;
        lines.push_back(
            w.de() ? "16-Bit-Aufnahme bei normaler Geschwindigkeit: Doppelte Geschwindigkeit "
                     "findet " +
                         std::to_string(n) + (n == 1 ? " Pause." : " Pausen.")
                   : "16-bit recording at normal speed: Double Speed finds " + std::to_string(n) +
                         (n == 1 ? " silence." : " silences."));
    }
    const auto& quiet = e.facts.quietest;
    if (e.params.situation == 4 && !header_odd && quiet && quiet->peak < band_edge(s.sensitivity)) {
        // The step of 16-bit stereo at normal speed judges the sample at each position and
        // the pair of bytes one on: the high byte of that sample with the low byte of the
        // next. Quiet samples of opposite signs make such pairs loud. (Where the header is
        // odd, the header line says what the scan read instead.)
        lines.push_back(
            w.de() ? "16-Bit-Stereo bei normaler Geschwindigkeit: Die leiseste Stelle liegt im "
                     "Band, doch diese Suche bewertet neben jedem Sample auch das Bytepaar aus "
                     "seinem hohen und dem niedrigen Byte des nächsten Samples, und solche "
                     "Paare reichen über das Band hinaus."
                   : "16-bit stereo at normal speed: the quietest stretch lies inside the band, "
                     "but this scan judges beside each sample the byte pair of its high byte and "
                     "the next sample's low byte, and such pairs reach past the band.");
    }
    if (header_odd) lines.push_back(header_line(e, w));
    return lines;
}

std::vector<std::string> why_nothing_found(const std::string& path, const Settings& settings,
                                           Language language, const PassAnswers* gathered) {
    try {
        const std::unique_ptr<FileSource> file = open_recording(path);
        if (!file) throw Error(Errc::Open, path, "No such file or directory");
        const WavInfo header = read_wav_header(*file);
        const HeaderShape shape = header_shape(*file);
        const SampleLayout layout = sample_layout(header, shape, file->size());
        if (gathered && !gathered->recorded)
            return why_lines(explanation_of(header, shape, layout, settings, *gathered), language);
        return why_lines(explain_nothing(*file, header, shape, layout, settings), language);
    } catch (const Error& e) {
        return {describe(e)};
    }
}

}  // namespace veltrane::preview
