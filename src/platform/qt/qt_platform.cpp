#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include "base/error.h"
#include "platform/qt/qstring.h"
#include "platform/qt/qt_playback.h"
#include "platform/qt/stop_signals.h"
#include "platform/qt/toolkit_language.h"
#include "platform/user_folders.h"

namespace veltrane {

Answer QtMessageBoxes::show(std::string_view text, std::string_view title, Buttons buttons) {
    QMessageBox box(
        QMessageBox::NoIcon, q(title), q(text),
        buttons == Buttons::Ok ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel);
    const int pressed = box.exec();
    // A box closed because the program was asked to end answers as its Cancel would.
    if (StopSignals::raised()) return Answer::Cancel;
    return pressed == QMessageBox::Cancel ? Answer::Cancel : Answer::Ok;
}

std::optional<ChosenFile> QtFileDialog::open(std::string_view pattern) {
    // "*.*" lists every file, also those without a dot in the name; recordings come first.
    const bool german = toolkit_language() == ToolkitLanguage::German;
    const QString filter = pattern == "*.*"
                               ? QString(german ? "WAV-Dateien (*.wav *.WAV);;Alle Dateien (*)"
                                                : "WAV files (*.wav *.WAV);;All files (*)")
                               : q(pattern);
    const QString path = QFileDialog::getOpenFileName(
        nullptr, german ? QString::fromUtf8("Öffnen") : QString("Open"), last_folder_, filter);
    if (path.isEmpty()) return std::nullopt;
    last_folder_ = QFileInfo(path).absolutePath();
    return ChosenFile{QDir::toNativeSeparators(path).toStdString(),
                      QFileInfo(path).fileName().toStdString()};
}

void QtSound::play_async(const std::filesystem::path& file) {
    effect_ = std::make_unique<QSoundEffect>();
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, effect_.get(),
                     [e = effect_.get()] {
                         if (e->status() == QSoundEffect::Error) QApplication::beep();
                     });
    effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    effect_->play();
}

std::unique_ptr<Playback> QtSound::playback() {
    return std::make_unique<QtPlayback>();
}

std::string QtProcess::command_line() {
    if (files_.empty()) return "";
    std::string joined;
    for (const std::string& file : files_) joined += (joined.empty() ? "" : " ") + file;
    // A file handed to the program arrives as one path in double quotes.
    if (files_.size() == 1 && !joined.starts_with('"')) return '"' + joined + '"';
    return joined;
}

std::filesystem::path QtProcess::program_folder() {
    return QCoreApplication::applicationDirPath().toStdString();
}

std::filesystem::path QtProcess::user_data_folder() {
    return veltrane::user_data_folder();
}

void QtProcess::start(const std::filesystem::path& program) {
    QProcess process;
    process.setProgram(QString::fromStdString(program.string()));
    if (process.startDetached()) return;
    // The system's reason comes after the name of the call that failed ("execv: ...").
    QString cause = process.errorString();
    cause.remove(QRegularExpression("^exec\\w*: "));
    throw Error(Errc::Start, program, cause.toStdString());
}

void QtEventLoop::yield() {
    QCoreApplication::processEvents();
}

bool QtEventLoop::stop_requested() const {
    return StopSignals::raised();
}

}  // namespace veltrane
