#include "ui/main_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "app/handlers.h"
#include "model/open_file.h"
#include "platform/qt/qstring.h"
#include "preview/qt/fonts.h"
#include "ui/accessible_names.h"
#include "ui/accessible_windows.h"
#include "ui/captioned_widgets.h"

namespace veltrane {

namespace {

int px(int twips) {
    return twips / kTwipsPerPixel;
}

QRect pixels(const Rect& r) {
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

Qt::Alignment horizontal(Align a) {
    switch (a) {
        case Align::Right:
            return Qt::AlignRight;
        case Align::Center:
            return Qt::AlignHCenter;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft;
}

// The file details Text1..Text8 show values, not input: they sit on the button face.
bool is_detail_box(const Control& c) {
    return c.kind == Kind::TextBox && std::strlen(c.name) == 5 &&
           std::strncmp(c.name, "Text", 4) == 0 && c.name[4] >= '1' && c.name[4] <= '8';
}

const QColor kBlue(0, 0, 255);

// A model number as a progress bar position: out-of-range and non-numbers land inside int.
int whole(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::lround(std::clamp(v, -2147483648.0, 2147483647.0)));
}

// The progress bar's range and position from the model's doubles. An empty or reversed
// range shows an empty bar (a zero-width Qt range would animate as "busy").
struct BarState {
    int min, max, value;
};
BarState bar_state(const ProgressBar& bar) {
    const int lo = whole(bar.min);
    const int hi = whole(bar.max);
    if (hi <= lo) return {0, 1, 0};
    return {lo, hi, std::clamp(whole(bar.value), lo, hi)};
}

Qt::CheckState check_state(int value) {
    if (value == 0) return Qt::Unchecked;
    if (value == 1) return Qt::Checked;
    return Qt::PartiallyChecked;
}

int check_value(Qt::CheckState state) {
    if (state == Qt::Unchecked) return 0;
    if (state == Qt::Checked) return 1;
    return 2;
}

// A detail left from an earlier file is drawn in the colour of disabled text; the
// window's own colour comes back with the next file's value.
void show_stale(QWidget* w, QPalette::ColorRole role, bool stale, const QPalette& window) {
    if (w->property("stale").toBool() == stale) return;
    w->setProperty("stale", stale);
    QPalette pal = w->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, role,
                     stale ? pal.color(QPalette::Disabled, role) : window.color(group, role));
    w->setPalette(pal);
}

bool by_user(Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

}  // namespace

MainWindow::MainWindow(App& app, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      app_(app) {
    setFont(ui_font(8.25));
    know_windows_as_windows();
    setAcceptDrops(true);
    build();
    make_shortcuts();
    refresh();
}

void MainWindow::build() {
    options_ = new QButtonGroup(this);
    options_->setExclusive(true);
    const std::vector<Control*> controls = app_.f().controls();
    widgets_.reserve(controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* w = make_widget(i, *controls[i]);
        w->setObjectName(controls[i]->name);
        w->setGeometry(pixels(controls[i]->place));
        w->hide();
        widgets_.push_back(w);
    }
    // Frames are drawn behind what they hold.
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i]->kind == Kind::Frame) widgets_[i]->lower();
}

QWidget* MainWindow::make_widget(std::size_t index, Control& c) {
    switch (c.kind) {
        case Kind::Button: {
            auto* b = new CommandButton(this);
            connect(b, &QPushButton::clicked, this, [this, index] {
                forward(index, [](Control& c) {
                    if (c.on_click) c.on_click();
                });
            });
            return b;
        }
        case Kind::CheckBox: {
            auto* b = new WrappingButton<QCheckBox>(this);
            b->installEventFilter(this);
            connect(b, &QCheckBox::clicked, this, [this, index, b] {
                const int value = check_value(b->checkState());
                forward(index, [value](Control& c) {
                    if (c.kind == Kind::CheckBox) static_cast<CheckBox&>(c).set_value(value);
                });
            });
            return b;
        }
        case Kind::Option: {
            auto* b = new WrappingButton<QRadioButton>(this);
            b->installEventFilter(this);
            options_->addButton(b);
            connect(b, &QRadioButton::clicked, this, [this, index] {
                forward(index, [](Control& c) {
                    if (c.kind == Kind::Option) static_cast<OptionButton&>(c).set_value(true);
                });
            });
            return b;
        }
        case Kind::Frame:
            return new FrameBox(this);
        case Kind::TextBox: {
            auto* e = new QLineEdit(this);
            e->setReadOnly(true);
            if (is_detail_box(c)) {
                QPalette pal = e->palette();
                pal.setColor(QPalette::Base, pal.color(QPalette::Button));
                e->setPalette(pal);
            }
            return e;
        }
        case Kind::Slider: {
            const auto& s = static_cast<const Slider&>(c);
            auto* w = new QSlider(Qt::Horizontal, this);
            w->setRange(s.min, s.max);
            w->setSingleStep(s.small_change);
            w->setPageStep(s.large_change);
            w->setTickInterval(s.tick_frequency);
            w->setTickPosition(QSlider::TicksBelow);
            connect(w, &QSlider::valueChanged, this, [this, index](int value) {
                forward(index, [value](Control& c) {
                    if (c.kind == Kind::Slider) static_cast<Slider&>(c).set_value(value);
                });
            });
            return w;
        }
        case Kind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setTextVisible(false);
            return bar;
        }
        case Kind::StatusBar: {
            auto* status = new QLabel(this);
            status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            status->setTextFormat(Qt::PlainText);
            status->setIndent(4);
            return status;
        }
        case Kind::Label:
            break;
    }
    auto* label = new TextLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (std::strcmp(c.name, "rook1") == 0) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, kBlue);
        label->setPalette(pal);
    }
    return label;
}

void MainWindow::make_shortcuts() {
    // The window's keys. Each presses its button, and so does nothing while the button
    // is off or out of sight.
    const struct {
        QKeySequence key;
        const char* button;
    } keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), "Command1"},  // Load File
        {QKeySequence(Qt::Key_F1), "Command6"},            // Manual
        {QKeySequence(Qt::CTRL | Qt::Key_Q), "Command2"},  // Exit
    };
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(k.key, this);
        connect(shortcut, &QShortcut::activated, this, [this, name = k.button] {
            auto* button = qobject_cast<QAbstractButton*>(widget(name));
            if (button && button->isEnabled() && button->isVisible()) button->click();
        });
    }
}

void MainWindow::refresh() {
    OpenFile& f = app_.f();
    mirroring_ = true;
    setWindowTitle(q(f.Caption));
    setFixedSize(px(f.Width), px(kClientHeightTwips));

    const std::vector<Control*> controls = f.controls();
    QWidget* had_focus = focusWidget();
    // The model alone decides which option is selected, also "none".
    options_->setExclusive(false);
    for (std::size_t i = 0; i < controls.size() && i < widgets_.size(); ++i)
        mirror(*controls[i], widgets_[i]);
    options_->setExclusive(true);
    fit_captions();
    restore_focus(had_focus);
    mirroring_ = false;
}

void MainWindow::restore_focus(QWidget* had_focus) {
    // A run turns the buttons off, and Qt moves the focus from the one that had it; when
    // that one is back, so is the focus.
    if (had_focus && !had_focus->isEnabled() &&
        std::find(widgets_.begin(), widgets_.end(), had_focus) != widgets_.end())
        focus_back_ = had_focus;
    if (focus_back_ && focus_back_->isEnabled() && !focus_back_->isHidden()) {
        focus_back_->setFocus(Qt::OtherFocusReason);
        focus_back_ = nullptr;
    }
}

void MainWindow::mirror(Control& c, QWidget* w) {
    const QSignalBlocker block(w);
    const QString text = q(c.caption);
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->text() != text) b->setText(text);
    switch (c.kind) {
        case Kind::Button:
            break;
        case Kind::Label: {
            auto* label = static_cast<QLabel*>(w);
            if (label->text() != text) label->setText(text);
            label->setAlignment(horizontal(c.align) | Qt::AlignTop);
            break;
        }
        case Kind::CheckBox: {
            auto* b = static_cast<QCheckBox*>(w);
            const int value = static_cast<CheckBox&>(c).value();
            b->setTristate(value != 0 && value != 1);
            b->setCheckState(check_state(value));
            break;
        }
        case Kind::Option: {
            auto* b = static_cast<QRadioButton*>(w);
            b->setChecked(static_cast<OptionButton&>(c).value());
            break;
        }
        case Kind::Frame:
            static_cast<FrameBox*>(w)->set_title(text);
            break;
        case Kind::TextBox: {
            auto* e = static_cast<QLineEdit*>(w);
            if (e->text() != text) {
                e->setText(text);
                e->setCursorPosition(0);  // a long name shows its beginning
            }
            e->setAlignment(horizontal(c.align) | Qt::AlignVCenter);
            break;
        }
        case Kind::Slider:
            static_cast<QSlider*>(w)->setValue(static_cast<Slider&>(c).value());
            break;
        case Kind::ProgressBar: {
            auto* bar = static_cast<QProgressBar*>(w);
            const BarState s = bar_state(static_cast<ProgressBar&>(c));
            bar->setRange(s.min, s.max);
            bar->setValue(s.value);
            break;
        }
        case Kind::StatusBar:
            static_cast<QLabel*>(w)->setText(text);
            break;
    }
    w->setEnabled(c.enabled);
    w->setToolTip(q(c.tooltip));
    OpenFile& f = app_.f();
    const QString name = q(accessible_name(f, c));
    if (w->accessibleName() != name) w->setAccessibleName(name);
    if (c.kind == Kind::Label || c.kind == Kind::TextBox) {
        show_stale(w, c.kind == Kind::Label ? QPalette::WindowText : QPalette::Text, c.stale,
                   palette());
        const QString said = c.stale ? q(stale_description(f)) : QString();
        if (w->accessibleDescription() != said) w->setAccessibleDescription(said);
    }
    if (c.kind == Kind::StatusBar) {
        // Docked along the bottom edge, as wide as the window.
        w->setGeometry(0, px(c.place.top), width(), px(c.place.height));
    } else {
        w->setGeometry(pixels(c.place));
    }
    // A control beyond the window's edge (the Rook screen of the narrow window) is out of
    // sight: hidden, it is out of the keyboard's reach too.
    w->setVisible(c.visible && c.place.width > 0 && c.place.height > 0 &&
                  w->geometry().left() < width());
}

void MainWindow::fit_captions() {
    veltrane::fit_captions(widgets_, rect(), font());
}

void MainWindow::focus_first_control() {
    // The keyboard's first stop, in the order the controls were made.
    for (QWidget* w : widgets_) {
        if (!w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    // The style draws the focus frame once the keyboard has moved the focus.
    setAttribute(Qt::WA_KeyboardFocusChange);
    update();
}

std::vector<std::string> MainWindow::dropped_files(const QMimeData* data) const {
    std::vector<std::string> files;
    if (!data || !data->hasUrls() || !app_.f().Command1.enabled) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    return files;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_files(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!dropped_files(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = dropped_files(event->mimeData());
    if (files.empty()) return;
    event->acceptProposedAction();
    dispatch(app_, [&] { files_dropped(app_, files); });
}

void MainWindow::progress() {
    if (QThread::currentThread() != thread()) return;
    if (last_progress_paint_.isValid() && last_progress_paint_.elapsed() < 100) return;
    last_progress_paint_.start();
    refresh();
    if (isVisible()) repaint();
}

QWidget* MainWindow::widget(const char* name) const {
    const std::vector<Control*> controls = app_.f().controls();
    for (std::size_t i = 0; i < controls.size() && i < widgets_.size(); ++i)
        if (std::strcmp(controls[i]->name, name) == 0) return widgets_[i];
    return nullptr;
}

void MainWindow::forward(std::size_t index, const std::function<void(Control&)>& action) {
    if (mirroring_) return;
    const std::shared_ptr<OpenFile> form = app_.form;
    const std::vector<Control*> controls = form->controls();
    if (index >= controls.size()) return;
    Control& c = *controls[index];
    dispatch(app_, [&] { action(c); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Focus moved by the user onto a check box or option button runs its focus handler.
    // Focus moved by the program (a widget disabled while mirroring, the window
    // activated again) does not.
    if (event->type() == QEvent::FocusIn && !mirroring_ &&
        by_user(static_cast<QFocusEvent*>(event)->reason())) {
        focus_back_ = nullptr;  // the user chose where the focus is
        const auto it = std::find(widgets_.begin(), widgets_.end(), watched);
        if (it != widgets_.end()) {
            forward(static_cast<std::size_t>(it - widgets_.begin()), [](Control& c) {
                if (c.on_focus) c.on_focus();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const LineShape& line : window_lines()) {
        p.setPen(QPen(line.blue ? kBlue : palette().color(QPalette::WindowText), 1));
        p.drawLine(px(line.x1), px(line.y1), px(line.x2), px(line.y2));
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box ends the program as it stands: nothing is saved.
    event->accept();
    if (on_close) on_close();
}

}  // namespace veltrane
