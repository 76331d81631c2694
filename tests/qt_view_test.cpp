// The main window's view on the offscreen platform: it mirrors the model without
// running handlers, and hands what the user does to the model in the right order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "fakes.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_windows.h"

namespace veltrane::test {
namespace {

void ensure_qt() {
    if (QApplication::instance()) return;
    // Never a real screen: the tests run the same with or without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "veltrane_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* qt = new QApplication(argc, argv);  // lives for the whole run
    (void)qt;
}

// A mouse click as Qt delivers it: the press moves the focus, then the button is clicked.
void click(QAbstractButton* w) {
    w->setFocus(Qt::MouseFocusReason);
    w->click();
}

// A mouse click at `pos` inside `w`: the press gives the widget under the mouse the focus
// (as Qt does for a widget taking the focus by click), then the button sees the click.
void click_at(QAbstractButton* w, QPoint pos) {
    w->setFocus(Qt::MouseFocusReason);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, pos, w->mapToGlobal(pos), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
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
    // The window as it opens.
    EXPECT_EQ(window->width(), 464);
    EXPECT_EQ(window->height(), 319);
    EXPECT_FALSE(view<QPushButton>("Command3")->isEnabled());
    EXPECT_TRUE(view<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(view<QCheckBox>("ch5")->isChecked());
    EXPECT_TRUE(view<QLineEdit>("Text1")->text().isEmpty());
    EXPECT_FALSE(view<QLineEdit>("Text11")->isVisible());

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

    f().Width = kRookWidth;
    f().Text1.caption = "take001.wav";
    window->refresh();
    EXPECT_EQ(window->width(), 734);
    EXPECT_EQ(view<QLineEdit>("Text1")->text(), "take001.wav");
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
    EXPECT_EQ(f().ch5.value(), 0);
    EXPECT_FALSE(view<QCheckBox>("ch5")->isChecked());

    // Focus given by the program runs nothing.
    view<QCheckBox>("ch7")->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(f().Text11.caption, "2");

    // In German "Gesamtes Verzeichnis" may wrap; a click on the caption's last line is a
    // click on the box.
    dispatch(*app, f().Command5.on_click);
    QCheckBox* ch7 = view<QCheckBox>("ch7");
    ch7->clearFocus();
    const QRect lines = dynamic_cast<PlacedCaption&>(*ch7).caption_lines();
    click_at(ch7, {lines.left() + 2, lines.bottom() - 2});
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
    click(view<QPushButton>("Command1"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find("disk gone"), std::string::npos);

    // The close box ends the program without running Exit's handler.
    int ended = 0, exits = 0;
    window->on_close = [&] { ++ended; };
    f().Command2.on_click = [&] { ++exits; };
    window->close();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(exits, 0);
}

TEST(QtWindowsTest, EndedBeforeTheEventLoopStartsItDoesNotRun) {
    ensure_qt();
    QtWindows windows;
    windows.end_program();
    EXPECT_EQ(windows.exec(), 0);
}

}  // namespace
}  // namespace veltrane::test
