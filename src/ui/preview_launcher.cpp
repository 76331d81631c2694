#include "ui/preview_launcher.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "app/app.h"
#include "preview/why.h"
#include "preview/wording.h"
#include "ui/main_window.h"

namespace veltrane {

PreviewLauncher::PreviewLauncher(App& app, MainWindow& main) : app_(app), main_(main) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), &main);
    connect(shortcut, &QShortcut::activated, this, &PreviewLauncher::open);

    main.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&main, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(&main_);
        menu.addAction(menu_text(), this, &PreviewLauncher::open);
        menu.exec(main_.mapToGlobal(at));
    });
    if (QWidget* name_box = main.widget("Text1")) name_box->installEventFilter(this);

    // Every handler ends in a refresh of the view: the preview hears of it there.
    std::function<void()> before = app.on_refresh;
    app.on_refresh = [before, this, alive = std::weak_ptr<bool>(alive_)] {
        if (before) before();
        if (!alive.expired()) model_changed();
    };
}

PreviewLauncher::~PreviewLauncher() = default;

QString PreviewLauncher::menu_text() const {
    return QString::fromUtf8(
        preview::window_words(preview::language_of(app_.f().lan.caption)).menu_entry);
}

QRect beside(const QRect& main, QSize window, int least_width, const QRect& room) {
    const int height = std::min(window.height(), room.height());
    const int top = std::clamp(main.top(), room.top(), room.bottom() + 1 - height);
    const int right_room = room.right() - main.right(), left_room = main.left() - room.left();
    if (window.width() <= right_room) return {main.right() + 1, top, window.width(), height};
    if (window.width() <= left_room)
        return {main.left() - window.width(), top, window.width(), height};
    // Narrower, on the side with more room, as long as it stays usable.
    if (std::max(right_room, left_room) >= least_width) {
        if (right_room >= left_room) return {main.right() + 1, top, right_room, height};
        return {room.left(), top, left_room, height};
    }
    const int width = std::min(window.width(), room.width());
    return {std::max(room.left(), room.right() + 1 - width), top, width, height};
}

void PreviewLauncher::open() {
    if (!window_) {
        window_ = new PreviewWindow(app_, &main_);
        if (const QScreen* screen = main_.screen()) {
            // In frame sizes, the frame's share as far as the main window shows it.
            const QSize frame = main_.frameGeometry().size() - main_.geometry().size();
            const QRect at = beside(main_.frameGeometry(), window_->size() + frame,
                                    window_->minimumSizeHint().width() + frame.width(),
                                    screen->availableGeometry());
            window_->resize(at.size() - frame);
            window_->move(at.topLeft());
        }
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    window_->sync_once_shown();
}

bool PreviewLauncher::eventFilter(QObject* watched, QEvent* event) {
    if (watched != main_.widget("Text1")) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonDblClick) {
        open();
        return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        // The box's own menu, with the preview at its end.
        auto* box = qobject_cast<QLineEdit*>(static_cast<QWidget*>(watched));
        std::unique_ptr<QMenu> menu(box ? box->createStandardContextMenu() : new QMenu);
        menu->addSeparator();
        menu->addAction(menu_text(), this, &PreviewLauncher::open);
        menu->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void PreviewLauncher::model_changed() {
    if (!window_ || !window_->isVisible() || pending_) return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        if (window_ && window_->isVisible()) window_->sync();
    });
}

}  // namespace veltrane
