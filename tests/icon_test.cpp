#include <gtest/gtest.h>

#include <QImage>

#include "fakes.h"
#include "qt_app.h"
#include "ui/icon.h"
#include "ui/main_window.h"
#include "ui/qt_windows.h"

namespace veltrane::test {
namespace {

TEST(IconTest, TheWindowsShowTheProgramIconInEveryThemeSize) {
    ensure_qt();
    const QIcon icon = program_icon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        // Drawn, not blank: the middle of the face is opaque.
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
    }

    FakeServices fakes;
    FakeSettings settings;
    QtWindows windows;
    App app(fakes.platform(settings, windows));
    windows.attach(app);
    EXPECT_EQ(windows.main_window()->windowIcon().availableSizes().size(), 6);
    app.on_refresh = nullptr;
    app.on_progress = nullptr;
}

}  // namespace
}  // namespace veltrane::test
