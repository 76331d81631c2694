#include "ui/splash_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <numbers>

#include "preview/qt/fonts.h"
#include "ui/accessible_windows.h"

namespace veltrane {

namespace {

const QColor kLightBlue(0, 174, 239);

// Places in pixels (twips / 15).
const QSize kSize(426, 337);
const QRect kBlackFrame(8, 0, 409, 329);
const QRect kPicture(16, 24, 380, 265);
const QRect kVersion(285, 280, 94, 19);
const QRect kCredit(8, 304, 393, 13);

QLabel* caption(QWidget* parent, const QString& text, const QRect& place, const QFont& font,
                Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    // A caption wider than its place grows away from the side it is aligned to.
    QRect r = place;
    const int need = QFontMetrics(font).horizontalAdvance(text) + 2;
    if (need > r.width()) {
        if (align & Qt::AlignRight)
            r.setLeft(r.right() - need);
        else
            r.setWidth(need);
    }
    label->setGeometry(r);
    label->setAlignment(align | Qt::AlignVCenter);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, kLightBlue);
    label->setPalette(pal);
    return label;
}

// Speech bursts as fractions of the picture width; the gaps lie between them.
struct Span {
    double from, to;
    int syllables;
};
constexpr Span kBursts[] = {{0.02, 0.20, 3}, {0.27, 0.45, 4}, {0.52, 0.61, 1}, {0.69, 0.98, 5}};

// The height of the waveform at column x within a burst, 0..1.
double loudness(double t, int syllables, int x) {
    const double pi = std::numbers::pi;
    const double envelope = std::pow(std::sin(pi * t), 0.6);
    const double syllable = 0.45 + 0.55 * std::fabs(std::sin(pi * syllables * t));
    const double texture = 0.35 + 0.65 * std::fabs(std::sin(x * 1.7) * std::cos(x * 0.37 + 1.0));
    return envelope * syllable * texture;
}

// The picture: a recording with speech bursts and the silent gaps between them marked.
void draw_picture(QPainter& p, const QRect& area) {
    p.save();
    p.setClipRect(area);
    p.fillRect(area, Qt::black);
    p.translate(area.topLeft());
    const int w = area.width();

    // Name and line.
    QFont title = ui_font(8.25, true);
    title.setPixelSize(34);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 6, w, 44), Qt::AlignCenter, "VELTRANE");
    p.fillRect(QRect(60, 52, w - 120, 2), kLightBlue);
    QFont small = ui_font(8.25);
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(kLightBlue);
    p.drawText(QRect(0, 58, w, 16), Qt::AlignCenter, "finds the silence in your recordings");

    // The recording: a centre line, gaps shaded, speech drawn over it.
    const int top = 92, bottom = 222, centre = (top + bottom) / 2;
    const int reach = (bottom - top) / 2 - 4;
    QColor shade = kLightBlue;
    shade.setAlpha(70);
    for (std::size_t i = 0; i + 1 < std::size(kBursts); ++i) {
        const int x1 = static_cast<int>(kBursts[i].to * w);
        const int x2 = static_cast<int>(kBursts[i + 1].from * w);
        p.fillRect(QRect(x1, top, x2 - x1, bottom - top), shade);
        p.setPen(QPen(kLightBlue, 1, Qt::DashLine));
        p.drawLine(x1, top, x1, bottom);
        p.drawLine(x2, top, x2, bottom);
        // A bracket above each gap, as the gap list would mark it.
        p.setPen(QPen(kLightBlue, 2));
        p.drawLine(x1, top - 6, x2, top - 6);
        p.drawLine(x1, top - 10, x1, top - 2);
        p.drawLine(x2, top - 10, x2, top - 2);
        p.drawLine(x1, centre, x2, centre);
    }
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(0, centre, static_cast<int>(kBursts[0].from * w), centre);
    p.drawLine(static_cast<int>(kBursts[std::size(kBursts) - 1].to * w), centre, w, centre);

    QLinearGradient ink(0, top, 0, bottom);
    ink.setColorAt(0.0, QColor(150, 150, 150));
    ink.setColorAt(0.5, QColor(250, 250, 250));
    ink.setColorAt(1.0, QColor(150, 150, 150));
    p.setPen(QPen(QBrush(ink), 1));
    for (const Span& burst : kBursts) {
        const int x1 = static_cast<int>(burst.from * w);
        const int x2 = static_cast<int>(burst.to * w);
        for (int x = x1; x <= x2; ++x) {
            const double t = static_cast<double>(x - x1) / (x2 - x1);
            const int a = std::max(1, static_cast<int>(reach * loudness(t, burst.syllables, x)));
            p.drawLine(x, centre - a, x, centre + a);
        }
    }

    // A time scale under it.
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.drawLine(0, bottom + 10, w, bottom + 10);
    for (int x = 0; x <= w; x += w / 10)
        p.drawLine(x, bottom + 10, x, bottom + (x % (w / 2) ? 14 : 18));
    p.restore();
}

}  // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setFixedSize(kSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    know_windows_as_windows();
    // The picture's name and line, for a screen reader.
    setAccessibleName(QStringLiteral("Veltrane"));
    setAccessibleDescription(QStringLiteral("finds the silence in your recordings"));

    caption(this, "Version 1.20", kVersion, ui_font(12, true), Qt::AlignRight);
    caption(this, "Veltrane by the Veltrane developers - October 2002", kCredit, ui_font(8.25),
            Qt::AlignHCenter);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place(QPoint(0, 0), kSize);
        place.moveCenter(screen->geometry().center());
        move(place.topLeft());
    }
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // A dialog face with a raised edge around the black picture frame.
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(palette().color(QPalette::Shadow));
    p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
    p.fillRect(kBlackFrame, Qt::black);
    draw_picture(p, kPicture);
}

// Only the program closes the splash.
void SplashWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace veltrane
