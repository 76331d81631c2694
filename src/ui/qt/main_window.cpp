#include "ui/qt/main_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>

#include "app/app.h"
#include "ui/handlers.h"
#include "ui/open_file.h"
#include "ui/qt/fonts.h"

namespace veltrane {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

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

// A frame: an etched box with its caption set into the top edge.
class FrameBox : public QWidget {
  public:
    using QWidget::QWidget;
    void set_title(const QString& title) {
        if (title == title_) return;
        title_ = title;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFontMetrics fm = fontMetrics();
        const int top = fm.height() / 2;
        const QRect box(0, top, width() - 2, height() - top - 2);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(box);
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(box.translated(1, 1));
        if (title_.isEmpty()) return;
        const QRect text(7, 0, std::min(fm.horizontalAdvance(title_) + 4, width() - 10),
                         fm.height());
        p.fillRect(text, palette().color(QPalette::Window));
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::WindowText));
        p.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, title_);
    }

  private:
    QString title_;
};

// A label whose text is set on the window's face: a decorative line running through
// its place stops at the text instead of striking it through; one under it shows.
class TextLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override {
        if (!text().isEmpty()) {
            QPainter p(this);
            const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
            const QFontMetrics fm = fontMetrics();
            // The glyphs down to the baseline: a line just under the text still shows.
            const QRect used = fm.boundingRect(contentsRect(), flags, text());
            p.fillRect(used.adjusted(-1, 0, 1, 2 - fm.descent()),
                       palette().color(QPalette::Window));
        }
        QLabel::paintEvent(event);
    }
};

// The smallest size a caption is shrunk to before it is cut off.
constexpr double kSmallestPoints = 6.5;

// How a check box or option button sets its caption: at the left, centred in height,
// wrapped at spaces onto more lines where one is too narrow, with its shortcut letter
// underlined as the style does it. Drawing is not clipped to the caption's room: the
// blank space of a line may reach past it (place_caption keeps the letters inside).
int caption_flags(const QWidget* w) {
    int flags = static_cast<int>(QStyle::visualAlignment(w->layoutDirection(),
                                                         Qt::AlignLeft | Qt::AlignVCenter)) |
                Qt::TextWordWrap | Qt::TextShowMnemonic | Qt::TextDontClip;
    if (!w->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, w))
        flags |= Qt::TextHideMnemonic;
    return flags;
}

// The room beside the indicator of a check box or option button that its caption
// may fill, less a pixel at the end for the focus frame.
QRect button_caption_room(const QWidget* w, Kind kind) {
    QStyleOptionButton opt;
    opt.initFrom(w);
    const QStyle::SubElement contents =
        kind == Kind::CheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
    const QRect room = w->style()->subElementRect(contents, &opt, w);
    return w->layoutDirection() == Qt::RightToLeft ? room.adjusted(1, 0, 0, 0)
                                                   : room.adjusted(0, 0, -1, 0);
}

// Where a check box's or option button's caption is drawn in `room`.
struct CaptionPlace {
    QRect room;   // the rectangle to draw into with caption_flags
    QRect lines;  // the lines drawn there
    bool fits;    // no letter is cut off
};

// Lays out `text` in `font` across `room`: centred as Qt centres a caption, then moved
// up or down just enough to keep the letters inside when the lines are taller than the
// room. A line's height includes blank space above the tallest letters and below the
// deepest, so two lines fit a place a little lower than two full line heights.
CaptionPlace place_caption(const QFont& font, const QRect& room, const QString& text, int flags) {
    const QFontMetrics fm(font);
    const QRect lines = fm.boundingRect(room, flags, text);
    const QRect ink = fm.tightBoundingRect(text);  // around the baseline
    const int above = std::max(0, fm.ascent() + ink.top());
    const int below = std::max(0, fm.descent() - (ink.top() + ink.height()));
    const int end = room.y() + room.height();
    int shift = 0;
    if (const int lowest = lines.y() + lines.height() - below; lowest > end) shift = end - lowest;
    if (const int highest = lines.y() + above + shift; highest < room.y())
        shift += room.y() - highest;
    const bool fits =
        lines.width() <= room.width() && lines.height() - above - below <= room.height();
    return {room.translated(0, shift), lines.translated(0, shift), fits};
}

// A check box or option button whose caption wraps onto further lines when its place
// is too narrow for one line but high enough for more; Qt's own set it on one line.
// The style draws the indicator, the caption is drawn here beside it. Like Qt's own, a
// click on the caption acts as a click on the button (the press gives the button the
// focus first), and the focus frame goes round the caption.
template <class Button>
class WrappingButton : public Button, public PlacedCaption {
  public:
    static constexpr Kind kKind = std::is_same_v<Button, QCheckBox> ? Kind::CheckBox : Kind::Option;

    explicit WrappingButton(QWidget* parent) : Button(parent) {}

    QRect caption_lines() const override {
        if (this->text().isEmpty()) return {};
        return place_caption(this->font(), button_caption_room(this, kKind), this->text(),
                             caption_flags(this))
            .lines;
    }

  protected:
    bool hitButton(const QPoint& pos) const override {
        return indicator().united(focus_frame()).contains(pos);
    }

    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        // The indicator as the style draws a button's, focus colouring included.
        QStyleOptionButton box = opt;
        box.rect = indicator();
        p.drawPrimitive(kKind == Kind::CheckBox ? QStyle::PE_IndicatorCheckBox
                                                : QStyle::PE_IndicatorRadioButton,
                        box);
        if (opt.text.isEmpty()) return;
        const int flags = caption_flags(this);
        const CaptionPlace place =
            place_caption(this->font(), button_caption_room(this, kKind), opt.text, flags);
        p.drawItemText(place.room, flags, opt.palette, opt.state & QStyle::State_Enabled, opt.text,
                       QPalette::WindowText);
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect frame;
            frame.QStyleOption::operator=(opt);
            frame.rect = focus_frame();
            p.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
        }
    }

  private:
    QRect indicator() const {
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        return this->style()->subElementRect(kKind == Kind::CheckBox
                                                 ? QStyle::SE_CheckBoxIndicator
                                                 : QStyle::SE_RadioButtonIndicator,
                                             &opt, this);
    }

    // Round the caption's lines, as the style frames a one-line caption.
    QRect focus_frame() const {
        if (this->text().isEmpty()) return {};
        return caption_lines().adjusted(-3, -2, 3, 2).intersected(this->rect());
    }
};

// The width a caption of a button or label has in its widget's place; 0 when it may
// take more lines instead.
int caption_room(const QWidget* w, Kind kind) {
    switch (kind) {
        case Kind::Button:
            return w->width() - 8;
        case Kind::Label:
            return w->height() < 2 * w->fontMetrics().lineSpacing() ? w->width() : 0;
        default:
            return 0;
    }
}

// A caption too wide for its place (the German ones often are) is set a little smaller,
// down to a readable size, rather than cut off. Check boxes and option buttons first
// wrap it onto more lines where their place is high enough, and shrink it only when
// the lines still do not fit.
void fit_caption(QWidget* w, Kind kind, const QString& text) {
    const int room = caption_room(w, kind);
    const bool wraps = kind == Kind::CheckBox || kind == Kind::Option;
    const QRect wrap_room = wraps ? button_caption_room(w, kind) : QRect();
    const int flags = wraps ? caption_flags(w) : 0;
    const auto fits = [&](const QFont& font) {
        if (wraps) return place_caption(font, wrap_room, text, flags).fits;
        return room <= 0 || QFontMetrics(font).horizontalAdvance(text) <= room;
    };
    QFont font = w->parentWidget()->font();
    const double base = font.pointSizeF();
    double size = base;
    while (size > kSmallestPoints && !fits(font)) {
        size -= 0.25;
        font.setPointSizeF(size);
    }
    if (size == base)
        w->setFont(QFont());  // the window's own
    else
        w->setFont(font);
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
    build();
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
            auto* b = new QPushButton(this);
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

void MainWindow::refresh() {
    OpenFile& f = app_.f();
    mirroring_ = true;
    setWindowTitle(q(f.Caption));
    setFixedSize(px(f.Width), px(kClientHeightTwips));

    const std::vector<Control*> controls = f.controls();
    // The model alone decides which option is selected, also "none".
    options_->setExclusive(false);
    for (std::size_t i = 0; i < controls.size() && i < widgets_.size(); ++i)
        mirror(*controls[i], widgets_[i]);
    options_->setExclusive(true);
    mirroring_ = false;
}

void MainWindow::mirror(Control& c, QWidget* w) {
    const QSignalBlocker block(w);
    const QString text = q(c.caption);
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->text() != text) {
        b->setText(text);
        fit_caption(w, c.kind, text);
    }
    switch (c.kind) {
        case Kind::Button:
            break;
        case Kind::Label: {
            auto* label = static_cast<QLabel*>(w);
            if (label->text() != text) {
                label->setText(text);
                fit_caption(w, c.kind, text);
            }
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
    if (c.kind == Kind::StatusBar) {
        // Docked along the bottom edge, as wide as the window.
        w->setGeometry(0, px(c.place.top), width(), px(c.place.height));
    } else {
        w->setGeometry(pixels(c.place));
    }
    w->setVisible(c.visible && c.place.width > 0 && c.place.height > 0);
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
