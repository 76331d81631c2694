// veltrane-plot: the drawing of `veltrane-cli plot`, which runs this tool on the same
// arguments. It alone loads the toolkit's drawing part (fonts, images); no display.
#include <unistd.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/error.h"
#include "cli/cli.h"
#include "cli/preview_commands.h"
#include "preview/qt/preview_picture.h"
#include "preview/scene.h"
#include "preview/session.h"

namespace {

using namespace veltrane;

int draw(const PlotRequest& r, std::ostream& out) {
    const QSize size(r.width, r.height);
    preview::Session session(
        static_cast<std::size_t>(std::max(1, picture_geometry(size).wave.width())));
    session.set_find_chunks(r.find_chunks);
    session.open(r.path, r.settings);
    const preview::Scene scene =
        preview::make_scene(session, r.language, 0, preview::total_ms(session));
    const QImage image = render_picture(scene, size);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw Error(Errc::Write, r.target, writer.errorString().toStdString());
    write_file_atomically(r.target,
                          std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                    static_cast<std::size_t>(png.size())));
    const std::size_t n = session.records().size();
    out << r.target << ": " << r.width << "x" << r.height << ", " << n
        << (n == 1 ? " silence" : " silences") << "\n";
    return 0;
}

// The toolkit's remark that it has no runtime folder of the user's (none is needed to
// draw) is no message of this tool's; everything else it says goes through.
QtMessageHandler toolkit_messages = nullptr;
void pass_messages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith("QStandardPaths: ") && text.contains("XDG_RUNTIME_DIR")) return;
    toolkit_messages(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    // The toolkit's fonts, never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    toolkit_messages = qInstallMessageHandler(pass_messages);
    const QGuiApplication app(argc, argv);
    CliEnvironment env;
    env.program_folder = QCoreApplication::applicationDirPath().toStdString();
    env.plot = draw;
    return run_cli(args, std::cout, std::cerr, env);
}
