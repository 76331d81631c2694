#include "ui/notice_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app.h"
#include "ui/accessible_windows.h"

namespace veltrane {

NoticeWindow::NoticeWindow(App& app, QWidget& main)
    : QWidget(&main, Qt::Tool), app_(app), main_(main) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    know_windows_as_windows();
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label_->setWordWrap(true);
    label_->setMinimumWidth(520);
    layout->addWidget(label_);
    auto* close = new QPushButton(QStringLiteral("OK"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    layout->addWidget(close, 0, Qt::AlignRight);
}

QString NoticeWindow::text() const {
    return label_->text();
}

void NoticeWindow::sync() {
    const std::string& lan = app_.f().lan.caption;
    const bool german = lan == "2";
    setWindowTitle(german ? QStringLiteral("Veltrane – Hinweis")
                          : QStringLiteral("Veltrane – Notice"));
    label_->setText(app_.header_notice
                        ? QString::fromStdString(notice_text(*app_.header_notice, lan))
                        : QString());
    if (shown_serial_ == app_.notice_serial) return;
    shown_serial_ = app_.notice_serial;
    if (!app_.header_notice) {
        hide();
    } else if (main_.isVisible()) {
        adjustSize();
        move(main_.frameGeometry().bottomLeft() + QPoint(0, 8));
        show();
    } else {
        shown_serial_ = 0;  // shown once the main window is
    }
}

}  // namespace veltrane
