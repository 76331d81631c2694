#include "preview/qt/preview_picture.h"

#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/qt/qstring.h"
#include "preview/qt/fonts.h"

namespace veltrane {

namespace {

using preview::Match;
using preview::Scene;

const QColor kPaper(255, 255, 255);
const QColor kWaveBack(247, 247, 247);
const QColor kFrame(190, 190, 190);
const QColor kCentre(215, 215, 215);
const QColor kWave(40, 60, 110);
const QColor kBandFill(60, 170, 60, 45);
const QColor kBandEdge(40, 140, 40);
const QColor kSilence(30, 120, 255);
const QColor kSilenceShade(30, 120, 255, 55);
const QColor kSelectedShade(255, 150, 0, 95);
const QColor kEdited(140, 30, 160);
const QColor kChanged(225, 160, 0);
const QColor kNew(230, 90, 0);
const QColor kOnlyOnDisk(215, 30, 30);
const QColor kLaneBack(238, 238, 238);
const QColor kText(30, 30, 30);
const QColor kQuietText(120, 120, 120);
const QColor kPlayhead(200, 0, 120);
const QColor kCursor(90, 90, 90);
const QColor kTail(120, 120, 120, 110);

// A bar of a record between two columns, at least a pixel wide.
QRectF bar(const Scene& s, const QRect& wave, const QRect& lane, const GapRecord& r) {
    const double x0 = x_at(s, wave, r.start_ms), x1 = x_at(s, wave, r.end_ms);
    return QRectF(x0, lane.top(), std::max(1.0, x1 - x0), lane.height());
}

bool visible(const Scene& s, const GapRecord& r) {
    return r.end_ms >= s.from_ms && r.start_ms <= s.to_ms;
}

void draw_wave(QPainter& p, const QRect& r, const Scene& s) {
    const preview::Waveform* w = s.waveform;
    if (!w || w->buckets() == 0 || w->to <= w->from || s.ms_per_frame <= 0) return;
    const double n = static_cast<double>(w->buckets());
    const double frames = static_cast<double>(w->to - w->from);
    const auto bucket_of = [&](double ms) {
        const double frame = (ms - s.first_frame_ms) / s.ms_per_frame;
        return (frame - static_cast<double>(w->from)) * n / frames;
    };
    const double centre = r.top() + r.height() / 2.0;
    const double scale = (r.height() / 2.0 - 1) / std::max(1, s.full_scale);
    const auto y = [&](double v) {
        return std::clamp(centre - v * scale, double(r.top()), double(r.bottom()) + 0.99);
    };

    std::vector<QLineF> lines;
    lines.reserve(static_cast<std::size_t>(r.width()) * 2);
    bool have_last = false;
    double last_x = 0, last_mid = 0;
    for (int x = 0; x < r.width(); ++x) {
        const double b0 = bucket_of(ms_at(s, r, r.left() + x));
        const double b1 = bucket_of(ms_at(s, r, r.left() + x + 1));
        if (b1 <= 0 || b0 >= n) continue;
        const auto first = static_cast<std::size_t>(std::clamp(std::floor(b0), 0.0, n - 1));
        const auto last = static_cast<std::size_t>(std::clamp(std::ceil(b1) - 1, 0.0, n - 1));
        int lo = 32767, hi = -32768;
        for (std::size_t b = first; b <= std::max(first, last); ++b) {
            if (w->lo[b] > w->hi[b]) continue;
            lo = std::min<int>(lo, w->lo[b]);
            hi = std::max<int>(hi, w->hi[b]);
        }
        if (lo > hi) continue;
        const double px = r.left() + x + 0.5;
        const double mid = (lo + hi) / 2.0;
        // Far zoomed in, a frame spans several columns: join them.
        if (have_last && px - last_x > 1.5) lines.emplace_back(last_x, y(last_mid), px, y(mid));
        lines.emplace_back(px, y(hi), px, y(lo) + 0.01);
        have_last = true;
        last_x = px;
        last_mid = mid;
    }
    p.setPen(QPen(kWave, 1));
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
}

void draw_axis(QPainter& p, const QRect& r, const QRect& wave, const Scene& s) {
    p.setPen(kFrame);
    p.drawLine(wave.left(), r.top(), wave.right(), r.top());
    const double span = s.to_ms - s.from_ms;
    // A label for at most every 90 pixels.
    const double step = preview::tick_step(span / std::max(1, wave.width() / 90));
    p.setFont(ui_font(7.5));
    const QFontMetrics fm(p.font());
    double last_right = -1e9;
    for (double t = std::ceil(s.from_ms / step) * step; t <= s.to_ms + 1e-9; t += step) {
        const double x = x_at(s, wave, t);
        p.setPen(kFrame);
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.top() + 4));
        const QString label = q(preview::axis_time(t, step, s.language));
        const double half = fm.horizontalAdvance(label) / 2.0;
        if (x - half < last_right + 6 || x + half > r.right() + 2) continue;
        p.setPen(kText);
        p.drawText(QPointF(x - half, r.top() + 5 + fm.ascent()), label);
        last_right = x + half;
    }
}

void draw_lanes(QPainter& p, const PictureGeometry& g, const Scene& s) {
    p.fillRect(g.now_lane, kLaneBack);
    p.fillRect(g.disk_lane, kLaneBack);
    p.setFont(ui_font(7.5));
    const QRect now_label(0, g.now_lane.top() - 2, g.wave.left() - 6, g.now_lane.height() + 4);
    const QRect disk_label(0, g.disk_lane.top() - 2, g.wave.left() - 6, g.disk_lane.height() + 4);
    p.setPen(kText);
    p.drawText(now_label, Qt::AlignRight | Qt::AlignVCenter, q(s.now_label));
    p.setPen(s.disk_exists ? kText : kQuietText);
    p.drawText(disk_label, Qt::AlignRight | Qt::AlignVCenter, q(s.disk_label));

    p.save();
    p.setClipRect(g.now_lane.united(g.disk_lane));
    p.setPen(Qt::NoPen);
    const auto colour = [&](Match m) {
        if (!s.disk_exists || m == Match::Same) return kSilence;
        return m == Match::Changed ? kChanged : m == Match::New ? kNew : kOnlyOnDisk;
    };
    for (std::size_t i = 0; i < s.now.size(); ++i) {
        if (!visible(s, s.now[i])) continue;
        p.setBrush(colour(i < s.now_marks.size() ? s.now_marks[i] : Match::Same));
        p.drawRect(bar(s, g.wave, g.now_lane, s.now[i]));
    }
    p.setBrush(Qt::NoBrush);
    // Silences edited by hand: framed in their lane.
    for (std::size_t i = 0; i < s.now.size() && i < s.now_edited.size(); ++i) {
        if (!s.now_edited[i] || !visible(s, s.now[i])) continue;
        p.setPen(QPen(kEdited, 2));
        p.drawRect(bar(s, g.wave, g.now_lane, s.now[i]).adjusted(1, 1, -1, -1));
    }
    for (std::size_t i = 0; i < s.disk.size(); ++i) {
        if (!visible(s, s.disk[i])) continue;
        const Match m = i < s.disk_marks.size() ? s.disk_marks[i] : Match::Same;
        QRectF b = bar(s, g.wave, g.disk_lane, s.disk[i]).adjusted(0.5, 0.5, -0.5, -0.5);
        if (m == Match::OnlyOnDisk)
            p.fillRect(b, QColor(kOnlyOnDisk.red(), kOnlyOnDisk.green(), kOnlyOnDisk.blue(), 70));
        p.setPen(QPen(colour(m), 1));
        p.drawRect(b);
    }
    p.restore();
}

// The silences shaded over the waveform: a picture one pixel high, a shade per column,
// stretched over the waveform's height. A thousand silences are one draw, not a thousand
// (each tall fill is handed to threads of its own, which costs more than the fill).
void draw_shades(QPainter& p, const QRect& wave, const Scene& s) {
    const int width = wave.width();
    if (width <= 0) return;
    QImage strip(width, 1, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    auto* columns = reinterpret_cast<QRgb*>(strip.scanLine(0));
    const auto shade = [&](std::size_t i, const QColor& colour) {
        const QRectF b = bar(s, wave, wave, s.now[i]);
        const long from = std::max(0L, std::lround(b.left()) - wave.left());
        const long to = std::min<long>(width, std::lround(b.right()) - wave.left());
        for (long x = from; x < std::max(to, from + 1) && x < width; ++x)
            columns[x] = qPremultiply(colour.rgba());
    };
    for (std::size_t i = 0; i < s.now.size(); ++i)
        if (visible(s, s.now[i])) shade(i, kSilenceShade);
    if (s.selected >= 0 && static_cast<std::size_t>(s.selected) < s.now.size() &&
        visible(s, s.now[static_cast<std::size_t>(s.selected)]))
        shade(static_cast<std::size_t>(s.selected), kSelectedShade);
    p.drawImage(wave, strip);
    // The edges of silences edited by hand, as lines over the waveform.
    p.setPen(QPen(kEdited, 1, Qt::DashLine));
    for (std::size_t i = 0; i < s.now.size() && i < s.now_edited.size(); ++i) {
        if (!s.now_edited[i] || !visible(s, s.now[i])) continue;
        for (const double ms : {double(s.now[i].start_ms), double(s.now[i].end_ms)}) {
            const double x = x_at(s, wave, ms);
            p.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom()));
        }
    }
}

// The marks of the differences: a silence moved is a diamond, a new one a triangle
// pointing down, one only in the GAP file a cross; each in its colour as well.
void draw_mark(QPainter& p, Match m, QPointF at) {
    const double x = at.x(), y = at.y();
    QPainterPath path;
    if (m == Match::Changed) {
        path.moveTo(x, y - 4);
        path.lineTo(x + 4, y);
        path.lineTo(x, y + 4);
        path.lineTo(x - 4, y);
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kChanged);
        p.drawPath(path);
    } else if (m == Match::New) {
        path.moveTo(x - 4, y - 3);
        path.lineTo(x + 4, y - 3);
        path.lineTo(x, y + 4);
        path.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kNew);
        p.drawPath(path);
    } else if (m == Match::OnlyOnDisk) {
        p.setPen(QPen(kOnlyOnDisk, 2));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(x - 3.5, y - 3.5), QPointF(x + 3.5, y + 3.5));
        p.drawLine(QPointF(x - 3.5, y + 3.5), QPointF(x + 3.5, y - 3.5));
    }
}

// Marks along the top of the waveform where a silence differs from the GAP file, and
// their legend in its top right corner.
void draw_differences(QPainter& p, const QRect& wave, const Scene& s) {
    if (!s.disk_exists) return;
    p.save();
    p.setClipRect(wave);
    p.setRenderHint(QPainter::Antialiasing, true);
    const auto mark = [&](const GapRecord& r, Match m) {
        if (m == Match::Same || !visible(s, r)) return;
        draw_mark(p, m, QPointF(x_at(s, wave, r.start_ms), wave.top() + 6));
    };
    for (std::size_t i = 0; i < s.now.size() && i < s.now_marks.size(); ++i)
        mark(s.now[i], s.now_marks[i]);
    for (std::size_t i = 0; i < s.disk.size() && i < s.disk_marks.size(); ++i)
        if (s.disk_marks[i] == Match::OnlyOnDisk) mark(s.disk[i], Match::OnlyOnDisk);

    p.setFont(ui_font(7.5));
    const QFontMetrics fm(p.font());
    const std::pair<Match, const std::string*> entries[] = {{Match::Changed, &s.moved_label},
                                                            {Match::New, &s.new_label},
                                                            {Match::OnlyOnDisk, &s.only_label}};
    int width = 4;
    for (const auto& [m, label] : entries) width += 14 + fm.horizontalAdvance(q(*label)) + 8;
    const QRectF box(wave.right() - width - 4, wave.bottom() - fm.height() - 6, width,
                     fm.height() + 4);
    p.setPen(kFrame);
    p.setBrush(QColor(255, 255, 255, 225));
    p.drawRect(box);
    double x = box.left() + 4;
    for (const auto& [m, label] : entries) {
        draw_mark(p, m, QPointF(x + 5, box.center().y()));
        p.setPen(kText);
        const QString text = q(*label);
        p.drawText(QPointF(x + 14, box.top() + 2 + fm.ascent()), text);
        x += 14 + fm.horizontalAdvance(text) + 8;
    }
    p.restore();
}

// The quiet end that no silence was recorded for: hatched.
void draw_tail(QPainter& p, const QRect& wave, const Scene& s) {
    if (!s.unrecorded_tail || !visible(s, *s.unrecorded_tail)) return;
    const QRectF b = bar(s, wave, wave, *s.unrecorded_tail);
    p.save();
    p.setClipRect(wave);
    p.fillRect(b, QBrush(kTail, Qt::BDiagPattern));
    p.restore();
}

// The cursor, where playback starts, and the playhead, where it has come to.
void draw_lines(QPainter& p, const QRect& wave, const Scene& s) {
    p.save();
    p.setClipRect(wave.adjusted(0, 0, 1, 1));
    const auto line = [&](double ms, const QColor& colour, Qt::PenStyle style) {
        if (ms < s.from_ms || ms > s.to_ms) return;
        const double x = std::round(x_at(s, wave, ms)) + 0.5;
        p.setPen(QPen(colour, style == Qt::SolidLine ? 2 : 1, style));
        p.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom()));
    };
    if (s.cursor_ms) line(*s.cursor_ms, kCursor, Qt::DashLine);
    if (s.playhead_ms) line(*s.playhead_ms, kPlayhead, Qt::SolidLine);
    p.restore();
}

}  // namespace

PictureGeometry picture_geometry(QSize size, bool titled) {
    const int w = std::max(size.width(), 1), h = std::max(size.height(), 1);
    const int left = std::min(64, w / 5), right = std::min(10, w / 20);
    const int title = titled ? std::min(20, h / 6) : std::min(6, h / 20);
    const int lane = std::min(12, h / 12), gap = std::min(3, h / 40);
    const int axis = std::min(22, h / 6);
    const int wave_bottom = std::max(title + 1, h - axis - 2 * lane - 3 * gap);
    PictureGeometry g;
    g.title = QRect(4, 0, w - 8, title);
    g.wave = QRect(QPoint(left, title), QPoint(w - right - 1, wave_bottom - 1));
    g.now_lane = QRect(left, wave_bottom + gap, g.wave.width(), lane);
    g.disk_lane = QRect(left, g.now_lane.bottom() + 1 + gap, g.wave.width(), lane);
    g.axis = QRect(QPoint(left, g.disk_lane.bottom() + 1 + gap), QPoint(w - right - 1, h - 1));
    return g;
}

double ms_at(const Scene& s, const QRect& wave, double x) {
    return s.from_ms + (x - wave.left()) / std::max(1, wave.width()) * (s.to_ms - s.from_ms);
}

double x_at(const Scene& s, const QRect& wave, double ms) {
    return wave.left() + (ms - s.from_ms) / (s.to_ms - s.from_ms) * wave.width();
}

void draw_picture(QPainter& p, QSize size, const Scene& s) {
    const PictureGeometry g = picture_geometry(size, !s.title.empty());
    p.fillRect(QRect(QPoint(0, 0), size), kPaper);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setFont(ui_font(8.25));
    p.setPen(kText);
    p.drawText(g.title, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(q(s.title), Qt::ElideMiddle, g.title.width()));

    p.fillRect(g.wave, kWaveBack);
    p.save();
    p.setClipRect(g.wave);
    const double centre = g.wave.top() + g.wave.height() / 2.0;
    const double scale = (g.wave.height() / 2.0 - 1) / std::max(1, s.full_scale);
    if (s.band > 0) {
        const double top = centre - s.band * scale, bottom = centre + s.band * scale;
        p.fillRect(QRectF(g.wave.left(), top, g.wave.width(), bottom - top), kBandFill);
    }
    p.setPen(kCentre);
    p.drawLine(QPointF(g.wave.left(), centre), QPointF(g.wave.right(), centre));
    draw_shades(p, g.wave, s);
    draw_tail(p, g.wave, s);
    draw_wave(p, g.wave, s);
    if (s.band > 0) {
        p.setPen(QPen(kBandEdge, 1, Qt::DashLine));
        const double top = centre - s.band * scale, bottom = centre + s.band * scale;
        p.drawLine(QPointF(g.wave.left(), top), QPointF(g.wave.right(), top));
        p.drawLine(QPointF(g.wave.left(), bottom), QPointF(g.wave.right(), bottom));
        p.setFont(ui_font(7.5));
        const QFontMetrics fm(p.font());
        const QString label = q(s.band_label);
        const QRectF box(g.wave.right() - fm.horizontalAdvance(label) - 8,
                         std::max<double>(g.wave.top(), top - fm.height() - 1),
                         fm.horizontalAdvance(label) + 6, fm.height());
        p.fillRect(box, QColor(255, 255, 255, 190));
        p.setPen(kBandEdge);
        p.drawText(box, Qt::AlignCenter, label);
    }
    p.restore();
    draw_differences(p, g.wave, s);
    draw_lines(p, g.wave, s);
    if (!s.note.empty()) {
        p.setFont(ui_font(9, true));
        const QFontMetrics fm(p.font());
        const QString note = q(s.note);
        const int width = std::min(fm.horizontalAdvance(note) + 16, g.wave.width());
        const QRect box(g.wave.center().x() - width / 2, g.wave.top() + 8, width, fm.height() + 6);
        p.fillRect(box, QColor(255, 255, 255, 215));
        p.setPen(kText);
        p.drawText(box, Qt::AlignCenter, fm.elidedText(note, Qt::ElideRight, box.width() - 4));
    }
    p.setPen(kFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(g.wave.adjusted(0, 0, -1, -1));
    if (!s.scale_top.empty() && g.wave.height() > 40) {
        // The level of the edges, in the margin.
        p.setFont(ui_font(7.5));
        p.setPen(kQuietText);
        const QFontMetrics fm(p.font());
        const int room = g.wave.left() - 6;
        p.drawText(QRect(0, g.wave.top(), room, fm.height()), Qt::AlignRight | Qt::AlignTop,
                   fm.elidedText(q(s.scale_top), Qt::ElideRight, room));
        p.drawText(QRect(0, g.wave.bottom() - fm.height(), room, fm.height()),
                   Qt::AlignRight | Qt::AlignBottom,
                   fm.elidedText(q(s.scale_bottom), Qt::ElideRight, room));
    }
    draw_lanes(p, g, s);
    if (s.has_file) draw_axis(p, g.axis, g.wave, s);
}

QImage render_picture(const Scene& scene, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter p(&image);
    draw_picture(p, size, scene);
    p.end();
    return image;
}

}  // namespace veltrane
