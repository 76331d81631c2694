#include "ui/captioned_widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>
#include <type_traits>

namespace veltrane {

namespace {

// A caption too wide for its place is set smaller down to kNarrowFrom points, then
// narrower down to kNarrowest percent of its width, then smaller again down to
// kSmallestPoints before it is cut off.
constexpr double kNarrowFrom = 7.0;
constexpr int kNarrowest = 85;
constexpr double kSmallestPoints = 6.5;
// The blank kept between a label's caption and the caption of a label to its right.
constexpr int kCaptionGap = 4;

// Lays out `text` in `font` across `room`: as Qt sets it with `flags`, then moved up or
// down just enough to keep the letters inside when the lines are taller than the room.
// A line's height includes blank space above the tallest letters and below the deepest,
// so two lines fit a place a little lower than two full line heights.
CaptionPlace place_caption(const QFont& font, const QRect& room, const QString& text, int flags) {
    const QFontMetrics fm(font);
    const QRect lines = fm.boundingRect(room, flags, text);
    const QRect letters = fm.tightBoundingRect(text);  // around the baseline
    // The descent as the line height leaves it. On a scaled screen the rounded letters
    // may reach a pixel past the line's ascent or descent: the ink then reaches past the
    // lines, so that it is kept inside the room all the same.
    const int descent = fm.height() - fm.ascent();
    const int above = fm.ascent() + letters.top();
    const int below = descent - (letters.top() + letters.height());
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

// Whether the style underlines a caption's shortcut letter.
int mnemonic_flags(const QWidget* w) {
    return w->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, w)
               ? Qt::TextShowMnemonic
               : Qt::TextShowMnemonic | Qt::TextHideMnemonic;
}

// A frame as a screen reader finds it: a grouping, named by its caption.
class AccessibleFrame : public QAccessibleWidget {
  public:
    explicit AccessibleFrame(FrameBox* frame) : QAccessibleWidget(frame, QAccessible::Grouping) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const FrameBox*>(widget())->caption_text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* accessible_frame(const QString& class_name, QObject* object) {
    if (class_name != QLatin1String(FrameBox::staticMetaObject.className())) return nullptr;
    auto* frame = qobject_cast<FrameBox*>(object);
    return frame ? new AccessibleFrame(frame) : nullptr;
}

}  // namespace

void Captioned::fit(QWidget& self, const QRect& room) {
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

FrameBox::FrameBox(QWidget* parent) : QWidget(parent) {
    static const bool installed = (QAccessible::installFactory(accessible_frame), true);
    (void)installed;
}

void FrameBox::set_title(const QString& title) {
    if (title == title_) return;
    title_ = title;
    update();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

QRect FrameBox::own_room(const QFont& window_font) const {
    return {9, 0, width() - 18, QFontMetrics(window_font).height()};
}

int FrameBox::text_flags() const {
    return Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
}

void FrameBox::paintEvent(QPaintEvent*) {
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

int TextLabel::text_flags() const {
    return static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())) |
           Qt::TextWordWrap | Qt::TextDontClip;
}

void TextLabel::paintEvent(QPaintEvent*) {
    if (text().isEmpty()) return;
    QPainter p(this);
    // The glyphs down to the baseline: a line just under the text still shows.
    p.fillRect(place().lines.adjusted(-1, 0, 1, 2 - fontMetrics().descent()),
               palette().color(QPalette::Window));
    style()->drawItemText(&p, place().room, text_flags(), palette(), isEnabled(), text(),
                          foregroundRole());
}

QRect CommandButton::own_room(const QFont&) const {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this).adjusted(2, 0, -2, 0);
}

int CommandButton::text_flags() const {
    return Qt::AlignCenter | Qt::TextWordWrap | Qt::TextDontClip | mnemonic_flags(this);
}

void CommandButton::paintEvent(QPaintEvent*) {
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

void CommandButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat()) click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

template <class Button>
QRect WrappingButton<Button>::own_room(const QFont&) const {
    constexpr bool check_box = std::is_same_v<Button, QCheckBox>;
    QStyleOptionButton opt;
    opt.initFrom(this);
    const QRect room = this->style()->subElementRect(
        check_box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &opt, this);
    return this->layoutDirection() == Qt::RightToLeft ? room.adjusted(1, 0, 0, 0)
                                                      : room.adjusted(0, 0, -1, 0);
}

template <class Button>
int WrappingButton<Button>::text_flags() const {
    return static_cast<int>(
               QStyle::visualAlignment(this->layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter)) |
           Qt::TextWordWrap | Qt::TextDontClip | mnemonic_flags(this);
}

template <class Button>
QRect WrappingButton<Button>::indicator_rect() const {
    constexpr bool check_box = std::is_same_v<Button, QCheckBox>;
    QStyleOptionButton opt;
    this->initStyleOption(&opt);
    const QRect r = this->style()->subElementRect(
        check_box ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &opt, this);
    const int side = std::min({r.width(), r.height(), this->height()});
    return {r.x(), (this->height() - side) / 2, side, side};
}

template <class Button>
bool WrappingButton<Button>::hitButton(const QPoint& pos) const {
    return indicator_rect().united(focus_frame()).contains(pos);
}

template <class Button>
void WrappingButton<Button>::paintEvent(QPaintEvent*) {
    constexpr bool check_box = std::is_same_v<Button, QCheckBox>;
    QStylePainter p(this);
    QStyleOptionButton opt;
    this->initStyleOption(&opt);
    // The indicator as the style draws a button's, focus colouring included.
    QStyleOptionButton box = opt;
    box.rect = indicator_rect();
    p.drawPrimitive(check_box ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton,
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

template <class Button>
QRect WrappingButton<Button>::focus_frame() const {
    if (this->text().isEmpty()) return {};
    return place().lines.adjusted(-3, -2, 3, 2).intersected(this->rect());
}

template class WrappingButton<QCheckBox>;
template class WrappingButton<QRadioButton>;

void fit_captions(const std::vector<QWidget*>& widgets, const QRect& window,
                  const QFont& window_font) {
    const auto shown = [](const QWidget* w) { return !w->isHidden(); };
    // From right to left: a label's caption ends where the caption of a label to its
    // right begins, so that one is placed first.
    std::vector<QWidget*> order;
    for (QWidget* w : widgets)
        if (dynamic_cast<Captioned*>(w)) order.push_back(w);
    std::stable_sort(order.begin(), order.end(), [](const QWidget* a, const QWidget* b) {
        return a->geometry().left() > b->geometry().left();
    });
    for (QWidget* w : order) {
        auto& c = dynamic_cast<Captioned&>(*w);
        const QRect mine = w->geometry();
        // The room in window coordinates, inside the window.
        QRect room = c.own_room(window_font).translated(mine.topLeft()).intersected(window);
        if (shown(w)) {
            // Where two places share pixels (twips rounded to pixels, or a value set into
            // the end of its label's place), the one that starts lower or further right
            // keeps them.
            for (const QWidget* other : widgets) {
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

}  // namespace veltrane
