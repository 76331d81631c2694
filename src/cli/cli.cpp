#include "cli/cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <ostream>

#include "app/app.h"
#include "app/error.h"
#include "app/log.h"
#include "app/startup_values.h"
#include "app/text.h"
#include "audio/examine.h"
#include "audio/presets.h"
#include "cli/format.h"
#include "cli/headless.h"
#include "cli/preview_commands.h"
#include "driver/work.h"
#include "platform/qt/qt_platform.h"
#include "ui/handlers.h"

namespace veltrane {

namespace {

namespace fs = std::filesystem;

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

const char* kUsageText =
    "Usage: veltrane-cli COMMAND [options] FILE...\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...       Show the details of WAV files as the window does.\n"
    "  generate [options] FILE     Write the GAP file(s) as the Generate button does.\n"
    "      --method single|ja|folder       the files to process (default: stored choice)\n"
    "      --preset normal|noisy|accurate|custom\n"
    "      --sensitivity N (1-50)  --filter MS (20-500)   custom precision\n"
    "      --double-speed | --normal-speed\n"
    "      --multitasking          hand control to the event loop while scanning\n"
    "      --json                  machine-readable result\n"
    "  dump [--json|--csv|--labels] FILE.gap   Print the records of a GAP file.\n"
    "  preview [--json] [--filter MS] FILE...   The presets side by side (see preview --help).\n"
    "  plot [options] -o OUT.png FILE  The preview's picture as a PNG (see plot --help).\n"
    "\n"
    "The settings store is the user's, or the INI file named by VELTRANE_SETTINGS.\n";

struct UsageError {
    std::string text;
};

// The services of a headless run.
struct Headless {
    explicit Headless(std::ostream& err)
        : boxes(err),
          process(QCoreApplication::instance()
                      ? fs::path(QCoreApplication::applicationDirPath().toStdString())
                      : fs::current_path()) {}
    IniSettingsStore settings = user_settings_store();
    StreamMessageBoxes boxes;
    PresetFileDialog dialog;
    QtClock clock;
    SilentSound sound;
    HeadlessProcess process;
    QtEventLoop loop;
    NoWindows windows;
    Platform platform() { return {settings, boxes, dialog, clock, sound, process, loop, windows}; }
};

void parse(QCommandLineParser& p, const QStringList& args,
           const QList<QCommandLineOption>& options) {
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(options);
    p.addOption({{"h", "help"}, "help"});
    if (!p.parse(args)) throw UsageError{p.errorText().toStdString()};
}

std::string bare_name(const std::string& path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

int info(const QStringList& args, std::ostream& out, std::ostream& err) {
    QCommandLineParser p;
    parse(p, args, {{"json", "JSON output"}});
    if (p.isSet("help")) return out << kUsageText, kOk;
    const QStringList files = p.positionalArguments().mid(1);
    if (files.isEmpty()) throw UsageError{"info needs at least one FILE"};

    Headless services(err);
    int status = kOk;
    std::vector<FileDetails> details;
    for (const QString& file : files) {
        const std::string path = file.toStdString();
        try {
            std::error_code ec;
            if (!fs::exists(path, ec)) throw Error(Errc::Open, path, "No such file or directory");
            App app(services.platform());
            bind_handlers(app);
            examine(app, path, bare_name(path), 1);
            details.push_back(details_of(app.f()));
        } catch (const Error& e) {
            err << "veltrane-cli: " << describe(e) << "\n";
            status = kFailed;
        }
    }
    out << (p.isSet("json") ? info_json(details) : info_text(details));
    return status;
}

int parse_bounded(const QCommandLineParser& p, const QString& name, int lo, int hi) {
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < lo || v > hi)
        throw UsageError{"--" + name.toStdString() + " takes a whole number from " +
                         std::to_string(lo) + " to " + std::to_string(hi)};
    return v;
}

// Applies the options of this run to the window, as the user would set the controls.
void apply_options(App& app, const QCommandLineParser& p) {
    OpenFile& f = app.f();
    if (p.isSet("method")) {
        const QString m = p.value("method");
        const int n = m == "single" ? 1 : m == "ja" ? 2 : m == "folder" ? 3 : 0;
        if (n == 0) throw UsageError{"--method is single, ja or folder"};
        ch_GotFocus(app, n);
        (n == 1 ? f.ch5 : n == 2 ? f.ch6 : f.ch7).set_value(1);
    }
    if (p.isSet("preset")) {
        const QString m = p.value("preset");
        const int k = m == "normal"     ? 1
                      : m == "noisy"    ? 2
                      : m == "accurate" ? 3
                      : m == "custom"   ? 4
                                        : 0;
        if (k == 0) throw UsageError{"--preset is normal, noisy, accurate or custom"};
        OptionButton* options[] = {&f.Option1, &f.Option2, &f.Option3, &f.Option4};
        Option_GotFocus(app, k);
        options[k - 1]->set_value(true);
    }
    if (p.isSet("sensitivity") || p.isSet("filter")) {
        const int s =
            p.isSet("sensitivity") ? parse_bounded(p, "sensitivity", 1, 50) : f.Slider1.value();
        const int fl = p.isSet("filter") ? parse_bounded(p, "filter", 20, 500) : f.Slider2.value();
        Option_GotFocus(app, 4);
        f.Option4.set_value(true);
        f.Slider1.set_value(s);
        f.Slider2.set_value(fl);
    }
    if (p.isSet("double-speed") && p.isSet("normal-speed"))
        throw UsageError{"--double-speed and --normal-speed exclude each other"};
    if (p.isSet("double-speed")) f.Fast.set_value(1);
    if (p.isSet("normal-speed")) f.Fast.set_value(0);
    if (p.isSet("multitasking")) f.multi.set_value(1);
}

void draw_progress(std::ostream& err, const OpenFile& f) {
    const ProgressBar& bar = f.ProgressBar1;
    const double span = bar.max - bar.min;
    const double share = span > 0 ? std::clamp((bar.value - bar.min) / span, 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(share * 30);
    err << "\r" << f.Text1.caption << " [" << std::string(filled, '#')
        << std::string(30 - filled, ' ') << "] " << static_cast<int>(share * 100) << "%"
        << std::flush;
}

int generate(const QStringList& args, std::ostream& out, std::ostream& err, bool progress) {
    QCommandLineParser p;
    parse(p, args,
          {{"method", "method", "METHOD"},
           {"preset", "preset", "PRESET"},
           {"sensitivity", "sensitivity", "N"},
           {"filter", "filter", "MS"},
           {"double-speed", "double speed"},
           {"normal-speed", "normal speed"},
           {"multitasking", "multitasking"},
           {"json", "JSON output"}});
    if (p.isSet("help")) return out << kUsageText, kOk;
    const QStringList files = p.positionalArguments().mid(1);
    if (files.size() != 1) throw UsageError{"generate takes exactly one FILE"};
    const std::string path = files.front().toStdString();

    Headless services(err);
    App app(services.platform());
    bind_handlers(app);
    OpenFile& f = app.f();
    Slider1_Change(app);
    Slider2_Change(app);
    // As the window's start-up: applied twice, so that the language comes out as stored.
    apply_startup_values(app);
    apply_startup_values(app);
    apply_options(app, p);

    std::error_code ec;
    const bool single = val(f.Text11.caption) == 1;
    if (single && !fs::is_regular_file(path, ec)) {
        err << "veltrane-cli: " << describe(Error(Errc::Open, path, "No such file or directory"))
            << "\n";
        return kFailed;
    }

    // A logging period for this run when logging is switched on in the stored values.
    f.lg.set_value(whole(app.setting(kStartupSection, "Log")) == 1 ? 1 : 0);
    f.CommonDialog1.FileName = path;
    f.CommonDialog1.FileTitle = bare_name(path);

    GenerateResult result;
    app.on_file_done = [&](const App::FileResult& r) {
        if (progress) err << "\r\033[K" << std::flush;
        result.files.push_back({r.path, r.gaps, r.gap_file});
    };
    if (progress) app.on_progress = [&] { draw_progress(err, app.f()); };

    const double start = services.clock.monotonic_seconds();
    int status = kOk;
    try {
        work(app);
    } catch (const Error& e) {
        if (progress) err << "\r\033[K";
        err << "veltrane-cli: " << describe(e) << "\n";
        status = kFailed;
    }
    result.elapsed_seconds = std::floor((services.clock.monotonic_seconds() - start) * 100) / 100;
    for (const GenerateResult::File& file : result.files)
        if (file.gaps == 0) err << why_nothing_text(file.path, app.f());
    result.message = app.f().Label13.caption;
    if (app.f().lg.ticked()) write_log(app, "", LogStop);
    if (status == kOk) out << (p.isSet("json") ? generate_json(result) : generate_text(result));
    return status;
}

int dump(const QStringList& args, std::ostream& out, std::ostream& err) {
    QCommandLineParser p;
    parse(p, args, {{"json", "JSON"}, {"csv", "CSV"}, {"labels", "label track"}});
    if (p.isSet("help")) return out << kUsageText, kOk;
    const QStringList files = p.positionalArguments().mid(1);
    if (files.size() != 1) throw UsageError{"dump takes exactly one FILE.gap"};
    if (int(p.isSet("json")) + int(p.isSet("csv")) + int(p.isSet("labels")) > 1)
        throw UsageError{"choose one of --json, --csv and --labels"};
    const DumpFormat format = p.isSet("json")     ? DumpFormat::Json
                              : p.isSet("csv")    ? DumpFormat::Csv
                              : p.isSet("labels") ? DumpFormat::Labels
                                                  : DumpFormat::Plain;
    try {
        out << dump_text(read_gap_file(files.front().toStdString()), format);
    } catch (const Error& e) {
        err << "veltrane-cli: " << describe(e) << "\n";
        return kFailed;
    }
    return kOk;
}

}  // namespace

int run_cli(const QStringList& args, std::ostream& out, std::ostream& err, bool progress_on_err) {
    const QString command = args.size() > 1 ? args[1] : QString();
    try {
        if (command == "info") return info(args, out, err);
        if (command == "generate") return generate(args, out, err, progress_on_err);
        if (command == "dump") return dump(args, out, err);
        if (command == "preview") return preview_command(args, out, err);
        if (command == "plot") return plot_command(args, out, err);
        if (command == "--help" || command == "-h" || command == "help")
            return out << kUsageText, kOk;
        throw UsageError{command.isEmpty() ? "no command given"
                                           : "unknown command " + command.toStdString()};
    } catch (const UsageError& e) {
        err << "veltrane-cli: " << e.text << "\n\n" << kUsageText;
        return kUsage;
    } catch (const Error& e) {
        err << "veltrane-cli: " << describe(e) << "\n";
        return kFailed;
    } catch (const std::exception& e) {
        err << "veltrane-cli: unexpected failure: " << e.what() << "\n";
        return kFailed;
    }
}

}  // namespace veltrane
