#include "ui/accessible_windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include "ui/main_window.h"
#include "ui/notice_window.h"
#include "ui/splash_window.h"

namespace veltrane {

namespace {

QAccessibleInterface* as_window(const QString& class_name, QObject* object) {
    for (const QMetaObject* window :
         {&MainWindow::staticMetaObject, &SplashWindow::staticMetaObject,
          &NoticeWindow::staticMetaObject}) {
        if (class_name != QLatin1String(window->className())) continue;
        auto* w = qobject_cast<QWidget*>(object);
        return w && w->isWindow() ? new QAccessibleWidget(w, QAccessible::Window) : nullptr;
    }
    return nullptr;
}

}  // namespace

void know_windows_as_windows() {
    static const bool installed = (QAccessible::installFactory(as_window), true);
    (void)installed;
}

}  // namespace veltrane
