// The main window as a user meets it beyond its old texts: what a screen reader finds
// for every control, details of the file loaded before marked as such, and why Generate
// cannot scan a file.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <map>
#include <memory>
#include <string>

#include "app/handlers.h"
#include "app/work.h"
#include "fakes.h"
#include "qt_app.h"
#include "synth.h"
#include "ui/main_window.h"
#include "ui/notice_window.h"
#include "ui/splash_window.h"
#include "wav_build.h"

namespace veltrane::test {
namespace {

// The role a screen reader is to find for each kind of control.
QAccessible::Role role_of(Kind kind) {
    static const std::map<Kind, QAccessible::Role> roles = {
        {Kind::Button, QAccessible::Button},           {Kind::CheckBox, QAccessible::CheckBox},
        {Kind::Option, QAccessible::RadioButton},      {Kind::Frame, QAccessible::Grouping},
        {Kind::TextBox, QAccessible::EditableText},    {Kind::Slider, QAccessible::Slider},
        {Kind::ProgressBar, QAccessible::ProgressBar},
    };
    const auto it = roles.find(kind);
    return it == roles.end() ? QAccessible::StaticText : it->second;
}

std::string name_of(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name).trimmed().toStdString() : "";
}

// Expects `window` and every widget in sight in it to have a name and a role other than
// Client, the role a plain widget gets when nothing better is known.
void expect_named(QWidget* window) {
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (!w->isVisible()) continue;
        SCOPED_TRACE(w->metaObject()->className());
        EXPECT_NE(QAccessible::queryAccessibleInterface(w)->role(), QAccessible::Client);
        EXPECT_NE(name_of(w), "");
    }
}

class QtAccessibilityTest : public AppTest {
  protected:
    QtAccessibilityTest() {
        ensure_qt();
        load_form(*app);
        window = std::make_unique<MainWindow>(*app);
        app->on_refresh = [this] { window->refresh(); };
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
        if (f().lan.caption != "1") switch_language();
    }
    ~QtAccessibilityTest() override { app->on_refresh = nullptr; }

    void load(const std::filesystem::path& path) {
        dialog.choices = {ChosenFile{path.string(), path.filename().string()}};
        dispatch(*app, f().Command1.on_click);
    }
    void switch_language() { dispatch(*app, f().Command5.on_click); }

    std::unique_ptr<MainWindow> window;
};

TEST_F(QtAccessibilityTest, EveryControlInSightHasANameAndItsRoleInBothLanguagesAndWidths) {
    f().ProgressBar1.visible = true;  // shown in a run, over the message row
    QAccessibleInterface* whole = QAccessible::queryAccessibleInterface(window.get());
    EXPECT_EQ(whole->role(), QAccessible::Window);
    EXPECT_EQ(whole->text(QAccessible::Name), "Veltrane");
    // Named after their caption or the one beside them, in the language shown.
    const std::pair<const char*, Control*> named_after[] = {{"Text1", &f().Label9},
                                                            {"Slider1", &f().Label11}};
    // The narrow window in English, the wide one in German.
    for (const int width : {kNormalWidth, kRookWidth}) {
        f().Width = width;
        window->refresh();
        int checked = 0;
        for (Control* c : f().controls()) {
            QWidget* w = window->widget(c->name);
            if (!w->isVisible()) continue;
            SCOPED_TRACE(c->name);
            ++checked;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            EXPECT_EQ(a->role(), role_of(c->kind));
            EXPECT_NE(name_of(w), "");
            EXPECT_TRUE(c->kind != Kind::TextBox || a->state().readOnly);
        }
        EXPECT_GE(checked, width == kRookWidth ? 60 : 40);
        for (const auto& [box, label] : named_after)
            EXPECT_EQ(name_of(window->widget(box)), label->caption) << box;
        switch_language();
    }
}

TEST_F(QtAccessibilityTest, SplashAndNoticeWindowsAreNamedToo) {
    SplashWindow splash;
    splash.show();
    expect_named(&splash);

    const auto wav = dir / "list.wav";
    write_bytes(wav, inserted(synth::wav_bytes({1, 16, 8000}, std::vector<std::uint8_t>(800, 0)),
                              36, chunk("LIST", 1000)));
    NoticeWindow notice(*app, *window);
    load(wav);
    ASSERT_TRUE(app->header_notice);
    notice.sync();
    ASSERT_TRUE(notice.isVisible());
    expect_named(&notice);
}

TEST_F(QtAccessibilityTest, DetailsLeftFromTheFileBeforeAreMarkedAndGenerateSaysWhyItCannot) {
    const std::vector<std::uint8_t> data(16000, 128);
    const auto pcm = dir / "take1.wav";
    const auto adpcm = dir / "take2.wav";
    const auto deep = dir / "take3.wav";
    const auto words = dir / "notes.wav";
    write_bytes(pcm, wav_with({1, 1, 8000, 8}, data));
    write_bytes(adpcm, wav_with({2, 1, 8000, 4, 256}, data));
    write_bytes(deep, wav_with({1, 1, 8000, 24}, data));
    write_bytes(words, std::vector<std::uint8_t>(100, 'x'));
    auto* length = qobject_cast<QLabel*>(window->widget("Label10"));
    auto* generate = window->widget("Command3");
    const std::string log_before = log_text();

    // The compressed file's examination writes no length: the one shown is take1's.
    load(pcm);
    load(adpcm);
    EXPECT_EQ(f().Label10.caption, "2 seconds");
    EXPECT_EQ(length->accessibleDescription().toStdString(), "From the file loaded before");
    EXPECT_TRUE(window->widget("Text1")->accessibleDescription().isEmpty());

    // A file whose examination writes it again shows it unmarked; Generate's tooltip says
    // why it cannot scan it.
    load(deep);
    EXPECT_TRUE(length->accessibleDescription().isEmpty());
    EXPECT_EQ(generate->toolTip().toStdString(),
              "24-bit samples; Veltrane scans 8- and 16-bit PCM");
    load(words);
    EXPECT_EQ(generate->toolTip().toStdString(), "Not a WAV file");

    load(pcm);
    EXPECT_TRUE(generate->toolTip().isEmpty());
    EXPECT_EQ(log_text(), log_before) << "the tooltip is not logged";
}

}  // namespace
}  // namespace veltrane::test
