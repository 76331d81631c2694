#include "cli/preview_commands.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageWriter>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/app.h"
#include "app/atomic_file.h"
#include "app/error.h"
#include "app/startup_values.h"
#include "audio/presets.h"
#include "cli/format.h"
#include "cli/headless.h"
#include "platform/qt/qt_platform.h"
#include "preview/scene.h"
#include "preview/session.h"
#include "preview/why.h"
#include "ui/handlers.h"
#include "ui/qt/preview_picture.h"

namespace veltrane {

const char* const kPreviewUsage =
    "  preview [--json] [--filter MS] FILE...\n"
    "      The three presets at both speeds (gaps, total and longest silence), and the\n"
    "      smallest Sensitivity (1-50) that records a silence at the Filter (default: the\n"
    "      stored one). Nothing is written or counted.\n"
    "  plot [--width W] [--height H] [--preset normal|noisy|accurate |\n"
    "       --sensitivity N --filter MS] [--double-speed | --normal-speed] -o OUT.png FILE\n"
    "      The preview's picture of the whole file as a PNG of W x H pixels (default\n"
    "      1200 x 300), with the stored settings unless told otherwise.\n";

namespace {

namespace fs = std::filesystem;
using preview::Language;
using preview::Settings;

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

struct Usage {
    std::string text;
};

// The main window as it starts, over headless services: its stored settings and language.
// Nothing is saved: the settings store is never written back.
struct StoredWindow {
    explicit StoredWindow(std::ostream& err)
        : boxes(err),
          process(QCoreApplication::instance()
                      ? fs::path(QCoreApplication::applicationDirPath().toStdString())
                      : fs::current_path()),
          app({settings, boxes, dialog, clock, sound, process, loop, windows}) {
        bind_handlers(app);
        Slider1_Change(app);
        Slider2_Change(app);
        // As the window's start-up: applied twice, so that the language comes out as stored.
        apply_startup_values(app);
        apply_startup_values(app);
    }
    Settings stored() {
        return {app.f().Slider1.value(), app.f().Slider2.value(), app.f().Fast.ticked()};
    }
    Language language() { return preview::language_of(app.f().lan.caption); }

    IniSettingsStore settings = user_settings_store();
    StreamMessageBoxes boxes;
    PresetFileDialog dialog;
    QtClock clock;
    SilentSound sound;
    HeadlessProcess process;
    NoEventLoop loop;
    NoWindows windows;
    App app;
};

void parse(QCommandLineParser& p, const QStringList& args,
           const QList<QCommandLineOption>& options) {
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(options);
    p.addOption({{"h", "help"}, "help"});
    if (!p.parse(args)) throw Usage{p.errorText().toStdString()};
}

int bounded(const QCommandLineParser& p, const QString& name, int lo, int hi) {
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi)
        throw Usage{"--" + name.toStdString() + " takes a whole number from " + std::to_string(lo) +
                    " to " + std::to_string(hi)};
    return v;
}

int usage_error(const Usage& u, std::ostream& err) {
    err << "veltrane-cli: " << u.text << "\n\nUsage:\n" << kPreviewUsage;
    return kUsage;
}

std::string number_or_null(const std::optional<int>& n) {
    return n ? std::to_string(*n) : "null";
}

std::string pad(const std::string& s, std::size_t width, bool right) {
    if (s.size() >= width) return s;
    const std::string fill(width - s.size(), ' ');
    return right ? fill + s : s + fill;
}

struct FileTable {
    std::string path;
    std::vector<preview::PresetRow> rows;
    int filter_ms = 0;
    std::optional<int> smallest_normal, smallest_double;
};

FileTable table_of(const std::string& path, int filter_ms) {
    const std::unique_ptr<FileSource> file = open_recording(path);
    if (!file) throw Error(Errc::Open, path, "No such file or directory");
    const WavInfo header = read_wav_header(*file);
    FileTable t;
    t.path = path;
    t.filter_ms = filter_ms;
    t.rows = preview::preset_table(*file, header);
    for (bool fast : {false, true}) {
        const ScanParams p = preview::generate_params(header, {1, filter_ms, fast});
        (fast ? t.smallest_double : t.smallest_normal) = preview::smallest_sensitivity(*file, p);
    }
    return t;
}

std::string table_text(const FileTable& t) {
    std::string out = t.path + "\n";
    out += "  preset    sensitivity  filter  speed   gaps  silence ms  longest ms\n";
    for (const preview::PresetRow& r : t.rows) {
        out += "  " + pad(r.preset, 8, false) +
               pad(std::to_string(r.settings.sensitivity), 13, true) +
               pad(std::to_string(r.settings.filter_ms), 8, true) + "  " +
               pad(r.settings.double_speed ? "double" : "normal", 6, false) +
               pad(std::to_string(r.tally.gaps), 6, true) +
               pad(std::to_string(r.tally.silence_ms), 12, true) +
               pad(std::to_string(r.tally.longest_ms), 12, true) + "\n";
    }
    const auto smallest = [](const std::optional<int>& n) {
        return n ? std::to_string(*n) : std::string("none");
    };
    out += "  Smallest Sensitivity that records a silence at Filter " +
           std::to_string(t.filter_ms) + " ms: " + smallest(t.smallest_normal) +
           " at normal speed, " + smallest(t.smallest_double) + " at Double Speed\n";
    return out;
}

std::string table_json(const FileTable& t) {
    std::string out = "{\"path\": " + json_string(t.path) + ", \"rows\": [";
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const preview::PresetRow& r = t.rows[i];
        out += std::string(i ? ", " : "") + "{\"preset\": \"" + r.preset +
               "\", \"sensitivity\": " + std::to_string(r.settings.sensitivity) +
               ", \"filter\": " + std::to_string(r.settings.filter_ms) +
               ", \"double_speed\": " + (r.settings.double_speed ? "true" : "false") +
               ", \"gaps\": " + std::to_string(r.tally.gaps) +
               ", \"silence_ms\": " + std::to_string(r.tally.silence_ms) +
               ", \"longest_ms\": " + std::to_string(r.tally.longest_ms) + "}";
    }
    return out +
           "], \"smallest_sensitivity\": {\"normal_speed\": " + number_or_null(t.smallest_normal) +
           ", \"double_speed\": " + number_or_null(t.smallest_double) + "}}";
}

int preview_files(const QStringList& args, std::ostream& out, std::ostream& err) {
    QCommandLineParser p;
    parse(p, args, {{"json", "JSON output"}, {"filter", "filter", "MS"}});
    if (p.isSet("help")) return out << "Usage:\n" << kPreviewUsage, kOk;
    const QStringList files = p.positionalArguments().mid(1);
    if (files.isEmpty()) throw Usage{"preview needs at least one FILE"};
    StoredWindow window(err);
    const int filter =
        p.isSet("filter") ? bounded(p, "filter", 20, 500) : window.stored().filter_ms;

    int status = kOk;
    std::vector<FileTable> tables;
    for (const QString& file : files) {
        try {
            tables.push_back(table_of(file.toStdString(), filter));
        } catch (const Error& e) {
            err << "veltrane-cli: " << describe(e) << "\n";
            status = kFailed;
        }
    }
    if (p.isSet("json")) {
        if (files.size() == 1) {
            if (!tables.empty()) out << table_json(tables.front()) << "\n";
        } else {
            out << "[";
            for (std::size_t i = 0; i < tables.size(); ++i)
                out << (i ? ",\n  " : "\n  ") << table_json(tables[i]);
            out << (tables.empty() ? "]\n" : "\n]\n");
        }
    } else {
        for (std::size_t i = 0; i < tables.size(); ++i)
            out << (i ? "\n" : "") << table_text(tables[i]);
    }
    return status;
}

int plot_file(const QStringList& args, std::ostream& out, std::ostream& err) {
    QCommandLineParser p;
    parse(p, args,
          {{"width", "width", "W"},
           {"height", "height", "H"},
           {"preset", "preset", "P"},
           {"sensitivity", "sensitivity", "N"},
           {"filter", "filter", "MS"},
           {"double-speed", "double speed"},
           {"normal-speed", "normal speed"},
           {{"o", "output"}, "output", "OUT.png"}});
    if (p.isSet("help")) return out << "Usage:\n" << kPreviewUsage, kOk;
    const QStringList files = p.positionalArguments().mid(1);
    if (files.size() != 1) throw Usage{"plot takes exactly one FILE"};
    if (!p.isSet("output") || p.value("output").isEmpty()) throw Usage{"plot needs -o OUT.png"};
    const int width = p.isSet("width") ? bounded(p, "width", 160, 16384) : 1200;
    const int height = p.isSet("height") ? bounded(p, "height", 120, 8192) : 300;
    if (p.isSet("preset") && (p.isSet("sensitivity") || p.isSet("filter")))
        throw Usage{"--preset and --sensitivity/--filter exclude each other"};
    if (p.isSet("double-speed") && p.isSet("normal-speed"))
        throw Usage{"--double-speed and --normal-speed exclude each other"};

    StoredWindow window(err);
    Settings s = window.stored();
    if (p.isSet("preset")) {
        const QString name = p.value("preset");
        const Preset* preset = name == "normal"     ? &kNormal
                               : name == "noisy"    ? &kNoisy
                               : name == "accurate" ? &kAccurate
                                                    : nullptr;
        if (!preset) throw Usage{"--preset is normal, noisy or accurate"};
        s.sensitivity = preset->sensitivity;
        s.filter_ms = preset->filter;
    }
    if (p.isSet("sensitivity")) s.sensitivity = bounded(p, "sensitivity", 1, 50);
    if (p.isSet("filter")) s.filter_ms = bounded(p, "filter", 20, 500);
    if (p.isSet("double-speed")) s.double_speed = true;
    if (p.isSet("normal-speed")) s.double_speed = false;

    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error(Errc::Internal, p.value("output").toStdString(),
                    "drawing needs the program's graphical start-up");
    const std::string path = files.front().toStdString();
    const std::string target = p.value("output").toStdString();
    const QSize size(width, height);
    preview::Session session(
        static_cast<std::size_t>(std::max(1, picture_geometry(size).wave.width())));
    session.open(path, s);
    const preview::Scene scene =
        preview::make_scene(session, window.language(), 0, preview::total_ms(session));
    const QImage image = render_picture(scene, size);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) throw Error(Errc::Write, target, writer.errorString().toStdString());
    write_file_atomically(target, std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                            static_cast<std::size_t>(png.size())));
    out << target << ": " << width << "x" << height << ", " << session.records().size()
        << (session.records().size() == 1 ? " silence" : " silences") << "\n";
    return kOk;
}

template <class Command>
int guarded(Command command, std::ostream& err) {
    try {
        return command();
    } catch (const Usage& u) {
        return usage_error(u, err);
    } catch (const Error& e) {
        err << "veltrane-cli: " << describe(e) << "\n";
        return kFailed;
    }
}

}  // namespace

int preview_command(const QStringList& args, std::ostream& out, std::ostream& err) {
    return guarded([&] { return preview_files(args, out, err); }, err);
}

int plot_command(const QStringList& args, std::ostream& out, std::ostream& err) {
    return guarded([&] { return plot_file(args, out, err); }, err);
}

std::string why_nothing_text(const std::string& path, const OpenFile& f) {
    const Settings s{f.Slider1.value(), f.Slider2.value(), f.Fast.ticked()};
    const Language language = preview::language_of(f.lan.caption);
    std::string text = path +
                       (language == Language::German ? ": keine Pause aufgezeichnet ("
                                                     : ": no silence recorded (") +
                       preview::settings_text(s, language) + ").\n";
    for (const std::string& line : preview::why_nothing_found(path, s, language))
        text += "  " + line + "\n";
    return text;
}

}  // namespace veltrane
