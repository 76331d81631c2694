// The main window's view on the offscreen platform: it mirrors the model without
// running handlers, and hands what the user does to the model in the right order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "fakes.h"
#include "qt_app.h"
#include "synth.h"
#include "ui/captioned_widgets.h"
#include "ui/main_window.h"
#include "ui/qt_windows.h"

namespace veltrane::test {
namespace {

// A mouse click on the box or the dot of a check box or option button.
void click(QAbstractButton* w) {
    const QPoint at = dynamic_cast<PlacedCaption&>(*w).indicator_rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
}

class QtViewTest : public AppTest {
  protected:
    QtViewTest() {
        ensure_qt();
        load_form(*app);
        window = std::make_unique<MainWindow>(*app);
        app->on_refresh = [this] { window->refresh(); };
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }
    ~QtViewTest() override { app->on_refresh = nullptr; }

    template <class W>
    W* view(const char* name) {
        auto* w = qobject_cast<W*>(window->widget(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    std::unique_ptr<MainWindow> window;
};

// Every control shows its model field, whatever it holds, and the program's changes run no
// handler: not even the focus handler of the control the focus passes to when the one that
// had it is turned off.
TEST_F(QtViewTest, MirrorsTheModelWithoutRunningHandlers) {
    int handlers = 0;
    view<QPushButton>("Command2")->setFocus(Qt::OtherFocusReason);
    f().Width = kRookWidth;
    int i = 0;
    for (Control* c : f().controls()) {
        c->on_click = c->on_focus = [&] { ++handlers; };
        c->caption = "c" + std::to_string(++i);
        c->enabled = i % 2 == 0 && c->kind != Kind::Button;
        c->visible = i % 3 != 0;
        if (c->kind == Kind::CheckBox) static_cast<CheckBox*>(c)->restore(i % 3);
        if (c->kind == Kind::Option) static_cast<OptionButton*>(c)->set_value(false);
        if (c->kind == Kind::Slider) static_cast<Slider*>(c)->set_value(i);
    }
    window->refresh();
    EXPECT_EQ(qobject_cast<QPushButton*>(QApplication::focusWidget()), nullptr);
    const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    for (Control* c : f().controls()) {
        SCOPED_TRACE(c->name);
        QWidget* w = window->widget(c->name);
        EXPECT_EQ(w->isEnabled(), c->enabled);
        EXPECT_EQ(w->isHidden(), !c->visible || c->place.width == 0 || c->place.height == 0);
        QString shown;
        if (auto* frame = dynamic_cast<FrameBox*>(w)) shown = frame->caption_text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w)) shown = e->text();
        EXPECT_TRUE(c->kind == Kind::Slider || c->kind == Kind::ProgressBar ||
                    shown.toStdString() == c->caption)
            << shown.toStdString();
        const auto* box = qobject_cast<QCheckBox*>(w);
        EXPECT_TRUE(!box || box->checkState() == states[static_cast<CheckBox*>(c)->value()]);
        const auto* option = qobject_cast<QRadioButton*>(w);
        EXPECT_TRUE(!option || !option->isChecked());
        const auto* slider = qobject_cast<QSlider*>(w);
        EXPECT_TRUE(!slider || slider->value() == static_cast<Slider*>(c)->value());
    }
    f().Option3.set_value(true);
    window->refresh();
    EXPECT_TRUE(view<QRadioButton>("Option3")->isChecked());
    EXPECT_EQ(handlers, 0);

    // Odd progress ranges stay inside the bar.
    auto* bar = view<QProgressBar>("ProgressBar1");
    f().ProgressBar1.visible = true;
    f().ProgressBar1.min = 10;
    f().ProgressBar1.max = 2;
    f().ProgressBar1.value = std::nan("");
    window->refresh();
    EXPECT_GE(bar->value(), bar->minimum());
    EXPECT_LE(bar->value(), bar->maximum());
    EXPECT_LT(bar->minimum(), bar->maximum());
}

TEST_F(QtViewTest, UserActionsReachTheModelFocusFirst) {
    // A click on a check box without the focus: its focus handler, then its new value.
    std::vector<std::string> order;
    Handler focus = f().ch6.on_focus;
    f().ch6.on_focus = [&, focus] {
        order.push_back("focus");
        focus();
    };
    f().ch6.on_click = [&] { order.push_back("value " + std::to_string(f().ch6.value())); };
    click(view<QCheckBox>("ch6"));
    EXPECT_EQ(order, (std::vector<std::string>{"focus", "value 1"}));

    // A restart replaces the model; the widgets then act on the new one.
    const std::shared_ptr<OpenFile> old = app->form;
    load_form(*app);
    window->refresh();
    click(view<QRadioButton>("Option3"));
    EXPECT_TRUE(f().Option3.value() && !old->Option3.value());
    EXPECT_FALSE(f().Slider1.enabled);  // the Accurate preset's focus handler ran

    f().Option4.set_value(true);
    f().Slider1.enabled = true;
    window->refresh();
    view<QSlider>("Slider1")->setValue(30);
    EXPECT_EQ(f().Slider1.value(), 30);
    EXPECT_EQ(view<QLineEdit>("Text9")->text(), "30");

    // A failing handler is reported, not thrown through the event loop.
    f().Command1.on_click = [] { throw std::runtime_error("disk gone"); };
    QTest::mouseClick(view<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(has(boxes.shown[0], "disk gone"));

    // The close box ends the program without running Exit's handler.
    int ended = 0, exits = 0;
    window->on_close = [&] { ++ended; };
    f().Command2.on_click = [&] { ++exits; };
    window->close();
    EXPECT_EQ(std::pair(ended, exits), std::pair(1, 0));
}

// Checks every visible control of `window` with the fonts it was given: its caption is
// whole inside its place (wrapped at the width it is drawn in, the text needs no more
// room than the window gave it), and clear of its box or dot and of every other caption.
void expect_captions_fit(MainWindow& window, OpenFile& f) {
    std::vector<std::pair<std::string, QRect>> captions;  // in window coordinates
    for (Control* c : f.controls()) {
        QWidget* w = window.widget(c->name);
        const auto* placed = dynamic_cast<const PlacedCaption*>(w);
        if (w->isHidden() || !placed || c->caption.empty()) continue;
        SCOPED_TRACE(c->name);
        const QRect ink = placed->caption_ink();
        const QString text = QString::fromStdString(c->caption);
        const QFontMetrics fm = w->fontMetrics();
        const QRect needed =
            fm.boundingRect(QRect(0, 0, ink.width(), 1 << 20), Qt::TextWordWrap, text);
        EXPECT_LE(needed.width(), ink.width());
        EXPECT_LE(needed.height() - fm.height() + fm.tightBoundingRect(text).height(),
                  ink.height());
        EXPECT_TRUE(w->rect().contains(ink));
        EXPECT_TRUE(window.rect().contains(w->geometry()));
        EXPECT_FALSE(ink.intersects(placed->indicator_rect()));
        captions.emplace_back(c->name, ink.translated(w->pos()));
    }
    for (std::size_t i = 0; i < captions.size(); ++i)
        for (std::size_t j = i + 1; j < captions.size(); ++j)
            EXPECT_FALSE(captions[i].second.intersects(captions[j].second))
                << captions[i].first << " / " << captions[j].first;
}

TEST_F(QtViewTest, EveryCaptionIsWholeAndClearOfTheOthersInBothLanguagesAndWidths) {
    // The widest values the Rook screen, the file details and the progress row show.
    for (Control* c : {&f().set1, &f().set3}) c->caption = "99999 Mbs";
    for (Control* c : {&f().set2, &f().set4}) c->caption = "99999";
    f().set5.caption = "Calculating...";
    for (Control* c : {&f().set6, &f().set7, &f().set8}) c->caption = "Dropped";
    f().set9.caption = "Not found!";
    f().Label10.caption = "99999.99 seconds";
    f().comp1.caption = "PCM - Uncompressed";
    // The same process runs again at 200% (QT_SCALE_FACTOR=2, see CMakeLists.txt).
    EXPECT_EQ(window->devicePixelRatio(),
              qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ? 2 : 1);
    // The narrow window in English, the wide one in German.
    for (const int width : {kNormalWidth, kRookWidth}) {
        f().Width = width;
        const bool english = f().lan.caption == "1";
        f().Label13.caption = english ? " No files of correct format in this folder."
                                      : "Keine Dateien im korrekten Format in diesem Ordner";
        window->refresh();
        expect_captions_fit(*window, f());
        dispatch(*app, f().Command5.on_click);
    }
}

TEST_F(QtViewTest, TheKeyboardReachesAndPressesOnlyWhatIsInSight) {
    // In the narrow window the Rook screen's controls are out of sight, so out of the
    // keyboard's reach.
    for (const char* name : {"Check1", "lg", "Command7"})
        EXPECT_TRUE(window->widget(name)->isHidden()) << name;

    // Keypad Enter presses the button with the focus, as Return does.
    const std::string language = f().lan.caption;
    QTest::keyClick(view<QPushButton>("Command5"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_NE(f().lan.caption, language);

    // Ctrl+O, F1 and Ctrl+Q press Load File, Manual and Exit, only while they are on.
    std::vector<std::string> pressed;
    for (Control* c : {&f().Command1, &f().Command6, &f().Command2})
        c->on_click = [&pressed, c] { pressed.emplace_back(c->name); };
    const auto press_keys = [&] {
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_F1);
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    };
    press_keys();
    EXPECT_EQ(pressed, (std::vector<std::string>{"Command1", "Command6", "Command2"}));
    for (Control* c : {&f().Command1, &f().Command6, &f().Command2}) c->enabled = false;
    window->refresh();
    press_keys();
    EXPECT_EQ(pressed.size(), 3u);
}

TEST_F(QtViewTest, ADroppedFileIsLoadedAsTheFileChosenWithLoadFile) {
    const auto drop = [&](const std::vector<std::filesystem::path>& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return true;
    };
    const auto wav = dir / "take1.wav";
    write_bytes(wav, synth::wav_bytes({2, 16, 44100}, std::vector<std::uint8_t>(4000, 0)));

    // Several files: the first, with its details, the buttons and the dialog's choice.
    if (f().lan.caption != "1") dispatch(*app, f().Command5.on_click);
    EXPECT_TRUE(drop({wav, dir / "other.wav"}));
    EXPECT_EQ(f().CommonDialog1.FileName, wav.string());
    EXPECT_TRUE(boxes.shown.empty());
    // The status bar says the others were left.
    EXPECT_EQ(f().StatusBar1.caption, "Loaded take1.wav; 1 other file was left");

    // A folder is named and nothing is loaded.
    EXPECT_TRUE(drop({dir}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(has(boxes.shown[0], "\"" + dir.string() + "\" is a folder")) << boxes.shown[0];
    EXPECT_EQ(f().CommonDialog1.FileName, wav.string());

    // During a run Load File is off: the window takes no drop.
    f().Command1.enabled = false;
    window->refresh();
    EXPECT_FALSE(drop({wav}));
}

using QtStartTest = AppTest;

TEST_F(QtStartTest, StartAndRestartsLeaveTheFocusOnLoadFileAndTheToolkitInTheWindowsLanguage) {
    ensure_qt();
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    ASSERT_EQ(cancel(), "Cancel");
    settings.values["Startup Values/Language"] = "1";  // German
    QtWindows qt;
    App started(platform(settings, qt));
    qt.attach(started);
    Main(started);
    ASSERT_EQ(started.f().lan.caption, "2");
    EXPECT_EQ(cancel(), "Abbrechen") << "the first dialog after start speaks German already";

    // The focus starts on Load File and is there again after each restart (entering
    // Rook/Debug mode and leaving it): no option button or check box gets it, so no focus
    // handler runs and the method stays Single File.
    MainWindow& window = *qt.main_window();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    QWidget* load = window.widget("Command1");
    EXPECT_EQ(QApplication::focusWidget(), load);
    dialog.choices = {ChosenFile{"/any/rook.wav", "rook.wav"}};
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(window.width(), 734);
    EXPECT_EQ(window.focusWidget(), load);
    QWidget* leave = window.widget("Command7");
    leave->setFocus(Qt::TabFocusReason);
    QTest::keyClick(leave, Qt::Key_Space);
    EXPECT_EQ(window.width(), 464);
    EXPECT_EQ(window.focusWidget(), load);
    EXPECT_EQ(started.f().Text11.caption, "1");

    // The toolkit's own texts follow the language button.
    dispatch(started, started.f().Command5.on_click);
    EXPECT_EQ(cancel(), "Cancel");
}

}  // namespace
}  // namespace veltrane::test
