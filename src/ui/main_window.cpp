#include "ui/main_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontMetrics>
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
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>

#include "app/app.h"
#include "app/handlers.h"
#include "model/open_file.h"
#include "preview/qt/fonts.h"

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

// A caption too wide for its place is set smaller down to kNarrowFrom points, then
// narrower down to kNarrowest percent of its width, then smaller again down to
// kSmallestPoints before it is cut off.
constexpr double kNarrowFrom = 7.0;
constexpr int kNarrowest = 85;
constexpr double kSmallestPoints = 6.5;
// The blank kept between a label's caption and the caption of a label to its right.
constexpr int kCaptionGap = 4;

// Where a caption is drawn in the room it may fill.
struct CaptionPlace {
    QRect room;   // the rectangle to draw into with the control's text flags
    QRect lines;  // the lines drawn there
    QRect ink;    // the part of the lines that the letters cover
    bool fits;    // no letter is cut off
};

// Lays out `text` in `font` across `room`: as Qt sets it with `flags`, then moved up or
// down just enough to keep the letters inside when the lines are taller than the room.
// A line's height includes blank space above the tallest letters and below the deepest,
// so two lines fit a place a little lower than two full line heights.
CaptionPlace place_caption(const QFont& font, const QRect& room, const QString& text, int flags) {
    const QFontMetrics fm(font);
    const QRect lines = fm.boundingRect(room, flags, text);
    const QRect letters = fm.tightBoundingRect(text);  // around the baseline
    const int above = std::max(0, fm.ascent() + letters.top());
    const int below = std::max(0, fm.descent() - (letters.top() + letters.height()));
    QRect ink(lines.left(), lines.top() + above, lines.width(),
              std::max(0, lines.height() - above - below));
    const int end = room.y() + room.height();
    int shift = 0;
    if (const int lowest = ink.y() + ink.height(); lowest > end) shift = end - lowest;
    if (const int highest = ink.y() + shift; highest < room.y()) shift += room.y() - highest;
    const bool fits = lines.width() <= room.width() && ink.height() <= room.height();
    return {room.translated(0, shift), lines.translated(0, shift), ink.translated(0, shift), fits};
}

// The next font to try for a caption that does not fit in `font`; false when there is
// none left that is still easy to read.
bool next_smaller(QFont& font) {
    const double size = font.pointSizeF();
    const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
    if (size > kNarrowFrom)
        font.setPointSizeF(size - 0.25);
    else if (stretch > kNarrowest)
        font.setStretch(stretch - 5);
    else if (size > kSmallestPoints)
        font.setPointSizeF(size - 0.25);
    else
        return false;
    return true;
}

// A control whose caption the window fits: the control says where in it a caption may
// go and how it is set there, the window takes off what a neighbour needs, fit()
// chooses the font, and the control draws the caption where it was placed.
class Captioned : public PlacedCaption {
  public:
    QRect caption_ink() const override { return place_.ink; }
    // The part of the control its caption may fill when it has the window's font.
    virtual QRect own_room(const QFont& window_font) const = 0;

    // Sets the caption of `self` (this control) in `room`, in its own coordinates: in the
    // window's font when it fits, else in the largest smaller or narrower font it fits in.
    void fit(QWidget& self, const QRect& room) {
        const QFont base = self.parentWidget()->font();
        const QString text = caption_text();
        if (room == fitted_room_ && text == fitted_text_ && base == fitted_font_) return;
        const int flags = text_flags();
        QFont font = base;
        CaptionPlace place = place_caption(font, room, text, flags);
        while (!place.fits && next_smaller(font)) place = place_caption(font, room, text, flags);
        self.setFont(font == base ? QFont() : font);  // QFont(): the window's own
        place_ = text.isEmpty() ? CaptionPlace{room, {}, {}, true} : place;
        fitted_room_ = room;
        fitted_text_ = text;
        fitted_font_ = base;
        self.update();
    }

  protected:
    virtual int text_flags() const = 0;
    virtual QString caption_text() const = 0;
    // Where the caption goes, as the last fit placed it.
    const CaptionPlace& place() const { return place_; }

  private:
    CaptionPlace place_{};
    // What the last fit was made for.
    QRect fitted_room_;
    QString fitted_text_;
    QFont fitted_font_;
};

// Whether the style underlines a caption's shortcut letter.
int mnemonic_flags(const QWidget* w) {
    return w->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, w)
               ? Qt::TextShowMnemonic
               : Qt::TextShowMnemonic | Qt::TextHideMnemonic;
}

// A frame: an etched box with its caption set into the top edge.
class FrameBox : public QWidget, public Captioned {
  public:
    using QWidget::QWidget;
    void set_title(const QString& title) {
        if (title == title_) return;
        title_ = title;
        update();
    }
    QRect own_room(const QFont& window_font) const override {
        return {9, 0, width() - 18, QFontMetrics(window_font).height()};
    }
    int text_flags() const override {
        return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
    }
    QString caption_text() const override { return title_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int top = fontMetrics().height() / 2;
        const QRect box(0, top, width() - 2, height() - top - 2);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(box);
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(box.translated(1, 1));
        if (title_.isEmpty()) return;
        p.fillRect(place().lines.adjusted(-2, 0, 2, 0), palette().color(QPalette::Window));
        style()->drawItemText(&p, place().room, text_flags(), palette(), isEnabled(), title_,
                              QPalette::WindowText);
    }

  private:
    QString title_;
};

// A label whose text is set on the window's face: a decorative line running through
// its place stops at the text instead of striking it through; one under it shows.
class TextLabel : public QLabel, public Captioned {
  public:
    using QLabel::QLabel;
    QRect own_room(const QFont&) const override { return contentsRect(); }
    int text_flags() const override {
        return static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) |
               Qt::TextWordWrap | Qt::TextDontClip;
    }
    QString caption_text() const override { return text(); }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (text().isEmpty()) return;
        QPainter p(this);
        // The glyphs down to the baseline: a line just under the text still shows.
        p.fillRect(place().lines.adjusted(-1, 0, 1, 2 - fontMetrics().descent()),
                   palette().color(QPalette::Window));
        style()->drawItemText(&p, place().room, text_flags(), palette(), isEnabled(), text(),
                              foregroundRole());
    }
};

// A command button whose caption takes a second line where one is too narrow. Return
// and Enter press it, as the space bar does.
class CommandButton : public QPushButton, public Captioned {
  public:
    using QPushButton::QPushButton;
    // The button's face inside its edge, with a little space at either side.
    QRect own_room(const QFont&) const override {
        QStyleOptionButton opt;
        initStyleOption(&opt);
        return style()
            ->subElementRect(QStyle::SE_PushButtonContents, &opt, this)
            .adjusted(2, 0, -2, 0);
    }
    int text_flags() const override {
        return Qt::AlignCenter | Qt::TextWordWrap | Qt::TextDontClip | mnemonic_flags(this);
    }
    QString caption_text() const override { return text(); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        opt.text.clear();  // the face and the focus frame as the style draws them
        p.drawControl(QStyle::CE_PushButton, opt);
        QRect room = place().room;
        if (opt.state & (QStyle::State_Sunken | QStyle::State_On))
            room.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &opt, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &opt, this));
        p.drawItemText(room, text_flags(), opt.palette, isEnabled(), text(), QPalette::ButtonText);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!event->isAutoRepeat()) click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

// A check box or option button whose caption wraps onto further lines when its place
// is too narrow for one line but high enough for more; Qt's own set it on one line.
// The style draws the indicator, the caption is drawn here beside it. Like Qt's own, a
// click on the caption acts as a click on the button (the press gives the button the
// focus first), and the focus frame goes round the caption.
template <class Button>
class WrappingButton : public Button, public Captioned {
  public:
    static constexpr bool kCheckBox = std::is_same_v<Button, QCheckBox>;

    explicit WrappingButton(QWidget* parent) : Button(parent) {}

    // The room beside the indicator, less a pixel at the end for the focus frame.
    QRect own_room(const QFont&) const override {
        QStyleOptionButton opt;
        opt.initFrom(this);
        const QRect room = this->style()->subElementRect(
            kCheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &opt, this);
        return this->layoutDirection() == Qt::RightToLeft ? room.adjusted(1, 0, 0, 0)
                                                          : room.adjusted(0, 0, -1, 0);
    }
    // At the left, centred in height, wrapped at spaces, the shortcut letter underlined
    // as the style does it.
    int text_flags() const override {
        return static_cast<int>(QStyle::visualAlignment(this->layoutDirection(),
                                                        Qt::AlignLeft | Qt::AlignVCenter)) |
               Qt::TextWordWrap | Qt::TextDontClip | mnemonic_flags(this);
    }
    QString caption_text() const override { return this->text(); }

    // The style's indicator, made smaller where the place is lower than it.
    QRect indicator_rect() const override {
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        const QRect r = this->style()->subElementRect(
            kCheckBox ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &opt, this);
        const int side = std::min({r.width(), r.height(), this->height()});
        return {r.x(), (this->height() - side) / 2, side, side};
    }

  protected:
    bool hitButton(const QPoint& pos) const override {
        return indicator_rect().united(focus_frame()).contains(pos);
    }

    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        // The indicator as the style draws a button's, focus colouring included.
        QStyleOptionButton box = opt;
        box.rect = indicator_rect();
        p.drawPrimitive(kCheckBox ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton,
                        box);
        if (opt.text.isEmpty()) return;
        p.drawItemText(place().room, text_flags(), opt.palette, opt.state & QStyle::State_Enabled,
                       opt.text, QPalette::WindowText);
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect frame;
            frame.QStyleOption::operator=(opt);
            frame.rect = focus_frame();
            p.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
        }
    }

  private:
    // Round the caption's lines, as the style frames a one-line caption.
    QRect focus_frame() const {
        if (this->text().isEmpty()) return {};
        return place().lines.adjusted(-3, -2, 3, 2).intersected(this->rect());
    }
};

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
    // The model alone decides which option is selected, also "none".
    options_->setExclusive(false);
    for (std::size_t i = 0; i < controls.size() && i < widgets_.size(); ++i)
        mirror(*controls[i], widgets_[i]);
    options_->setExclusive(true);
    fit_captions();
    mirroring_ = false;
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
    const auto shown = [](const QWidget* w) { return !w->isHidden(); };
    // From right to left: a label's caption ends where the caption of a label to its
    // right begins, so that one is placed first.
    std::vector<QWidget*> order;
    for (QWidget* w : widgets_)
        if (dynamic_cast<Captioned*>(w)) order.push_back(w);
    std::stable_sort(order.begin(), order.end(), [](const QWidget* a, const QWidget* b) {
        return a->geometry().left() > b->geometry().left();
    });
    for (QWidget* w : order) {
        auto& c = dynamic_cast<Captioned&>(*w);
        const QRect mine = w->geometry();
        // The room in window coordinates, inside the window.
        QRect room = c.own_room(font()).translated(mine.topLeft()).intersected(rect());
        if (shown(w)) {
            // Where two places share pixels (twips rounded to pixels, or a value set into
            // the end of its label's place), the one that starts lower or further right
            // keeps them.
            for (const QWidget* other : widgets_) {
                if (other == w || !shown(other) || dynamic_cast<const FrameBox*>(other)) continue;
                const QRect theirs = other->geometry();
                if (!theirs.intersects(mine)) continue;
                if (theirs.top() > mine.top()) {
                    room.setBottom(std::min(room.bottom(), theirs.top() - 1));
                } else if (theirs.top() == mine.top() && theirs.left() > mine.left()) {
                    int edge = theirs.left();
                    const auto* label = dynamic_cast<const TextLabel*>(other);
                    if (label && !label->text().isEmpty())
                        edge = theirs.left() + label->caption_ink().left() - kCaptionGap;
                    room.setRight(std::min(room.right(), edge - 1));
                }
            }
        }
        c.fit(*w, room.translated(-mine.topLeft()));
    }
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
