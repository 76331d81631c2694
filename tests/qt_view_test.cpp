// The main window's view on the offscreen platform: it mirrors the model without
// running handlers, and hands what the user does to the model in the right order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <memory>
#include <set>
#include <stdexcept>

#include "fakes.h"
#include "qt_app.h"
#include "synth.h"
#include "ui/captioned_widgets.h"
#include "ui/main_window.h"
#include "ui/qt_windows.h"
#include "ui/splash_window.h"

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

TEST_F(QtViewTest, MirrorsTheModelWithoutRunningHandlers) {
    EXPECT_EQ(window->size(), QSize(464, 319));
    EXPECT_TRUE(view<QCheckBox>("ch5")->isChecked());
    int focus_handlers = 0;
    for (Control* c : f().controls())
        if (c->on_focus) c->on_focus = [&] { ++focus_handlers; };

    // A disabled button that had the focus passes it on along the tab chain. That is the
    // program's doing, not the user's: no focus handler may run.
    f().Option4.set_value(true);
    f().Command3.enabled = f().Command4.enabled = true;
    window->refresh();
    view<QPushButton>("Command2")->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), view<QPushButton>("Command2"));
    for (Control* c :
         {&f().Command1, &f().Command2, &f().Command3, &f().Command4, &f().Command5, &f().Command6})
        c->enabled = false;
    window->refresh();
    ASSERT_NE(qobject_cast<QAbstractButton*>(QApplication::focusWidget()), nullptr);
    ASSERT_EQ(qobject_cast<QPushButton*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(focus_handlers, 0);
    EXPECT_TRUE(view<QRadioButton>("Option4")->isChecked());
    EXPECT_FALSE(view<QRadioButton>("Option1")->isChecked());

    // No option selected is shown as none selected.
    f().Option4.set_value(false);
    window->refresh();
    for (const char* name : {"Option1", "Option2", "Option3", "Option4"})
        EXPECT_FALSE(view<QRadioButton>(name)->isChecked()) << name;

    // Odd progress ranges stay inside the bar.
    auto* bar = view<QProgressBar>("ProgressBar1");
    f().ProgressBar1.visible = true;
    f().ProgressBar1.min = 44;
    f().ProgressBar1.max = 1044;
    f().ProgressBar1.value = 5000;
    window->refresh();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 1044);
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
    EXPECT_EQ(f().Text11.caption, "2");
    EXPECT_FALSE(view<QCheckBox>("ch5")->isChecked());

    // Focus given by the program runs nothing.
    view<QCheckBox>("ch7")->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(f().Text11.caption, "2");

    // In German "Gesamtes Verzeichnis" may wrap; a click on the caption's last line is a
    // click on the box.
    dispatch(*app, f().Command5.on_click);
    QCheckBox* ch7 = view<QCheckBox>("ch7");
    ch7->clearFocus();
    const QRect lines = dynamic_cast<PlacedCaption&>(*ch7).caption_ink();
    QTest::mouseClick(ch7, Qt::LeftButton, {}, {lines.left() + 2, lines.bottom() - 2});
    EXPECT_EQ(f().Text11.caption, "3");
    EXPECT_EQ(f().ch7.value(), 1);
    dispatch(*app, f().Command5.on_click);

    // A restart replaces the model; the widgets then act on the new one.
    const std::shared_ptr<OpenFile> old = app->form;
    load_form(*app);
    window->refresh();
    click(view<QRadioButton>("Option3"));
    EXPECT_TRUE(f().Option3.value());
    EXPECT_FALSE(old->Option3.value());
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

// A caption as the window shows it, in window coordinates.
struct Shown {
    std::string name;
    QRect rect;
};

// Checks every visible control of `window` with the fonts it was given: its caption is
// whole inside its place (wrapped at the width it is drawn in, the text needs no more
// room than the window gave it), in a readable size, and clear of every other caption,
// control and frame edge.
void expect_captions_fit(MainWindow& window, OpenFile& f) {
    std::vector<Shown> captions, solids, frames;
    for (Control* c : f.controls()) {
        QWidget* w = window.widget(c->name);
        if (w->isHidden()) continue;
        SCOPED_TRACE(c->name);
        const QRect place = w->geometry();
        EXPECT_TRUE(window.rect().contains(place));
        const auto* placed = dynamic_cast<const PlacedCaption*>(w);
        if (!placed) {
            solids.push_back({c->name, place});
            continue;
        }
        if (c->kind == Kind::Frame) frames.push_back({c->name, place});
        const QRect indicator = placed->indicator_rect();
        if (!indicator.isEmpty()) {
            EXPECT_TRUE(w->rect().contains(indicator));
            solids.push_back({c->name, indicator.translated(place.topLeft())});
        }
        if (c->caption.empty()) continue;

        const QRect ink = placed->caption_ink();
        const QString text = QString::fromStdString(c->caption);
        const QFontMetrics fm = w->fontMetrics();
        const QRect needed =
            fm.boundingRect(QRect(0, 0, ink.width(), 1 << 20), Qt::TextWordWrap, text);
        EXPECT_LE(needed.width(), ink.width());
        EXPECT_LE(needed.height() - fm.height() + fm.tightBoundingRect(text).height(),
                  ink.height());
        EXPECT_GE(w->font().pointSizeF(), 6.5);
        EXPECT_TRUE(w->font().stretch() == QFont::AnyStretch || w->font().stretch() >= 85);
        EXPECT_TRUE(w->rect().contains(ink))
            << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            QStyleOptionButton opt;
            opt.initFrom(button);
            EXPECT_TRUE(
                w->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, w).contains(ink))
                << "inside the button's edge";
        }
        EXPECT_FALSE(ink.intersects(indicator));
        captions.push_back({c->name, ink.translated(place.topLeft())});
    }
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const Shown& a = captions[i];
        for (std::size_t j = i + 1; j < captions.size(); ++j)
            EXPECT_FALSE(a.rect.intersects(captions[j].rect))
                << a.name << " / " << captions[j].name;
        for (const Shown& solid : solids)
            EXPECT_TRUE(solid.name == a.name || !a.rect.intersects(solid.rect))
                << a.name << " / " << solid.name;
        for (const Shown& frame : frames)
            EXPECT_TRUE(frame.name == a.name || !a.rect.intersects(frame.rect) ||
                        frame.rect.adjusted(2, 2, -2, -2).contains(a.rect))
                << a.name << " crosses the edge of " << frame.name;
    }
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
    for (const int width : {kNormalWidth, kRookWidth}) {
        f().Width = width;
        for (int language = 0; language < 2; ++language) {
            const bool english = f().lan.caption == "1";
            SCOPED_TRACE(std::string(english ? "English" : "German") +
                         (width == kRookWidth ? ", Rook/Debug" : ""));
            f().Label13.caption = english ? " No files of correct format in this folder."
                                          : "Keine Dateien im korrekten Format in diesem Ordner";
            window->refresh();
            expect_captions_fit(*window, f());
            dispatch(*app, f().Command5.on_click);
        }
    }
}

TEST(SplashWindowTest, CaptionsAreWholeInsideTheWindow) {
    ensure_qt();
    SplashWindow splash;
    const QList<QLabel*> labels = splash.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    for (const QLabel* label : labels) {
        SCOPED_TRACE(label->text().toStdString());
        const QFontMetrics fm = label->fontMetrics();
        EXPECT_LE(fm.horizontalAdvance(label->text()), label->contentsRect().width());
        EXPECT_LE(fm.tightBoundingRect(label->text()).height(), label->height());
        EXPECT_TRUE(splash.rect().contains(label->geometry()));
    }
    EXPECT_TRUE(labels[0]->font().bold() || labels[1]->font().bold());
}

TEST_F(QtViewTest, TheKeyboardReachesAndPressesOnlyWhatIsInSight) {
    // Tab goes round the controls in sight; in the narrow window the Rook screen's
    // controls are not among them, in the wide one they are.
    const auto tab_round = [&] {
        window->focus_first_control();
        std::set<QWidget*> reached;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached.insert(QApplication::focusWidget());
        }
        return reached;
    };
    std::set<QWidget*> reached = tab_round();
    EXPECT_TRUE(reached.contains(view<QPushButton>("Command1"))) << "all the way round";
    for (const QWidget* w : reached)
        EXPECT_TRUE(w->isVisible() && window->rect().contains(w->geometry()))
            << w->objectName().toStdString();
    for (const char* name : {"Check1", "lg", "Command7"}) {
        EXPECT_FALSE(reached.contains(window->widget(name))) << name;
        EXPECT_FALSE(window->widget(name)->isVisible()) << name;
    }
    f().Width = kRookWidth;
    window->refresh();
    reached = tab_round();
    for (const char* name : {"Check1", "lg", "Command7"})
        EXPECT_TRUE(reached.contains(window->widget(name))) << name;

    // Return and keypad Enter press the button with the focus, as the space bar does.
    auto* language = view<QPushButton>("Command5");
    language->setFocus(Qt::OtherFocusReason);
    for (const auto& [key, held, lan] : {std::tuple{Qt::Key_Return, Qt::NoModifier, "1"},
                                         {Qt::Key_Enter, Qt::KeypadModifier, "2"},
                                         {Qt::Key_Space, Qt::NoModifier, "1"}}) {
        QTest::keyClick(language, key, held);
        EXPECT_EQ(f().lan.caption, lan) << key;
    }

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
    EXPECT_EQ(f().Text5.caption, "44100 Hz");
    EXPECT_EQ(f().CommonDialog1.FileName, wav.string());
    EXPECT_EQ(view<QLineEdit>("Text1")->text(), "take1.wav");
    EXPECT_TRUE(boxes.shown.empty());
    // The status bar says the others were left, in the window's language.
    EXPECT_EQ(view<QLabel>("StatusBar1")->text(), "Loaded take1.wav; 1 other file was left");
    dispatch(*app, f().Command5.on_click);
    EXPECT_TRUE(drop({wav, dir / "b.wav", dir / "c.wav"}));
    EXPECT_EQ(f().StatusBar1.caption, "take1.wav geladen; 2 weitere Dateien wurden nicht geladen");
    EXPECT_TRUE(drop({wav}));
    EXPECT_EQ(f().StatusBar1.caption, "Fertig...") << "one file: the load's own status";
    dispatch(*app, f().Command5.on_click);

    // A folder is named, in the language shown, and nothing is loaded.
    EXPECT_TRUE(drop({dir}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(has(boxes.shown[0], "\"" + dir.string() + "\" is a folder")) << boxes.shown[0];
    dispatch(*app, f().Command5.on_click);
    EXPECT_TRUE(drop({dir}));
    EXPECT_TRUE(has(boxes.shown.back(), "ist ein Ordner"));
    EXPECT_EQ(f().CommonDialog1.FileName, wav.string());

    // "debug.wav" enters Rook/Debug mode as it does from the dialog.
    EXPECT_TRUE(drop({dir / "Debug.wav"}));
    EXPECT_EQ(stat("020"), "1");
    EXPECT_EQ(window->width(), 734);

    // During a run Load File is off: the window takes no drop.
    f().Command1.enabled = false;
    window->refresh();
    EXPECT_FALSE(drop({wav}));
    EXPECT_EQ(f().Text1.caption, "");
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
    MainWindow& window = *qt.main_window();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    auto* load = qobject_cast<QPushButton*>(window.widget("Command1"));
    ASSERT_EQ(QApplication::focusWidget(), load);
    // The focus frame shows: the button looks different once the focus has left it.
    const QImage with_focus = load->grab().toImage();
    window.widget("Command5")->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(load->grab().toImage() != with_focus);

    // Entering Rook/Debug mode and leaving it by the keyboard: each a restart, after
    // which the focus is on Load File again, not on the Leave button now out of sight.
    // Moving the focus there runs no focus handler: the method stays Single File.
    dialog.choices = {ChosenFile{"/any/rook.wav", "rook.wav"}};
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(window.width(), 734);
    EXPECT_EQ(window.focusWidget(), load);
    auto* leave = qobject_cast<QPushButton*>(window.widget("Command7"));
    leave->setFocus(Qt::TabFocusReason);
    QTest::keyClick(leave, Qt::Key_Space);
    EXPECT_EQ(window.width(), 464);
    EXPECT_TRUE(leave->isHidden());
    EXPECT_EQ(window.focusWidget(), load);
    EXPECT_TRUE(window.testAttribute(Qt::WA_KeyboardFocusChange));
    EXPECT_EQ(started.f().Text11.caption, "1");

    // The toolkit's own texts follow the language button.
    for (const char* cancel_shown : {"Abbrechen", "Cancel", "Abbrechen"}) {
        EXPECT_EQ(cancel().toStdString(), cancel_shown);
        dispatch(started, started.f().Command5.on_click);
    }
}

}  // namespace
}  // namespace veltrane::test
