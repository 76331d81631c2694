#include <gtest/gtest.h>

#include <QImage>

#include "fakes.h"
#include "qt_app.h"
#include "ui/main_window.h"
#include "ui/qt_windows.h"

namespace veltrane::test {
namespace {

TEST(IconTest, TheWindowsShowTheProgramIconInEveryThemeSize) {
    ensure_qt();
    FakeServices fakes;
    FakeSettings settings;
    QtWindows windows;
    App app(fakes.platform(settings, windows));
    windows.attach(app);
    const QIcon icon = windows.main_window()->windowIcon();
    EXPECT_EQ(icon.availableSizes().size(), 6);
    for (const QSize size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage();
        EXPECT_EQ(image.size(), size);
        // Drawn, not blank: the middle of the face is opaque.
        EXPECT_EQ(qAlpha(image.pixel(size.width() / 2, size.height() / 2)), 255);
    }
    app.on_refresh = nullptr;
    app.on_progress = nullptr;
}

}  // namespace
}  // namespace veltrane::test
