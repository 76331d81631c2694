#pragma once
// The main window's controls that set their own captions, and the fitting that gives
// each caption its place: whole, on more lines where one is too narrow and the place is
// high enough, in a slightly smaller font where it would not fit otherwise, and clear of
// the captions and controls next to it.
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

namespace veltrane {

// A control whose caption the window sets in its place.
class PlacedCaption {
  public:
    virtual ~PlacedCaption() = default;
    // Where the caption's letters are drawn, in the widget's coordinates; empty when
    // there is no caption.
    virtual QRect caption_ink() const = 0;
    // The box or circle of a check box or option button; empty for other controls.
    virtual QRect indicator_rect() const { return {}; }
};

// Where a caption is drawn in the room it may fill.
struct CaptionPlace {
    QRect room;   // the rectangle to draw into with the control's text flags
    QRect lines;  // the lines drawn there
    QRect ink;    // the part of the lines that the letters cover
    bool fits;    // no letter is cut off
};

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
    void fit(QWidget& self, const QRect& room);

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

// A frame: an etched box with its caption set into the top edge. A screen reader finds
// a grouping named by its caption.
class FrameBox : public QWidget, public Captioned {
    Q_OBJECT
  public:
    explicit FrameBox(QWidget* parent = nullptr);
    void set_title(const QString& title);
    QRect own_room(const QFont& window_font) const override;
    int text_flags() const override;
    QString caption_text() const override { return title_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString title_;
};

// A label whose text is set on the window's face: a decorative line running through
// its place stops at the text instead of striking it through; one under it shows.
class TextLabel : public QLabel, public Captioned {
  public:
    using QLabel::QLabel;
    QRect own_room(const QFont&) const override { return contentsRect(); }
    int text_flags() const override;
    QString caption_text() const override { return text(); }

  protected:
    void paintEvent(QPaintEvent*) override;
};

// A command button whose caption takes a second line where one is too narrow. Return
// and Enter press it, as the space bar does.
class CommandButton : public QPushButton, public Captioned {
  public:
    using QPushButton::QPushButton;
    // The button's face inside its edge, with a little space at either side.
    QRect own_room(const QFont&) const override;
    int text_flags() const override;
    QString caption_text() const override { return text(); }

  protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A check box or option button whose caption wraps onto further lines when its place
// is too narrow for one line but high enough for more; Qt's own set it on one line.
// The style draws the indicator, the caption is drawn here beside it. Like Qt's own, a
// click on the caption acts as a click on the button (the press gives the button the
// focus first), and the focus frame goes round the caption. Made for QCheckBox and
// QRadioButton.
template <class Button>
class WrappingButton : public Button, public Captioned {
  public:
    explicit WrappingButton(QWidget* parent) : Button(parent) {}

    // The room beside the indicator, less a pixel at the end for the focus frame.
    QRect own_room(const QFont&) const override;
    // At the left, centred in height, wrapped at spaces, the shortcut letter underlined
    // as the style does it.
    int text_flags() const override;
    QString caption_text() const override { return this->text(); }
    // The style's indicator, made smaller where the place is lower than it.
    QRect indicator_rect() const override;

  protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent*) override;

  private:
    // Round the caption's lines, as the style frames a one-line caption.
    QRect focus_frame() const;
};

extern template class WrappingButton<QCheckBox>;
extern template class WrappingButton<QRadioButton>;

// Fits the caption of every Captioned widget among `widgets` (children of one window
// whose inside is `window`, in `window_font`): each in its own room, less what a
// neighbour that overlaps it keeps.
void fit_captions(const std::vector<QWidget*>& widgets, const QRect& window,
                  const QFont& window_font);

}  // namespace veltrane
