#pragma once
// The preview's picture: the waveform with the Sensitivity band and the silences the
// settings record shaded, under it a lane of those silences and a lane of the GAP file
// on disk, drawn in outline, with the differences marked; a time axis at the bottom.
// Drawn by the preview window and by `veltrane-cli plot` alike; no display needed.
#include <QImage>
#include <QRect>
#include <QSize>

#include "preview/scene.h"

class QPainter;

namespace veltrane {

// Where the parts of a picture of a given size go, with a title row or without. Fixed
// in pixels, whatever the fonts.
struct PictureGeometry {
    QRect title, wave, now_lane, disk_lane, axis;
};
PictureGeometry picture_geometry(QSize size, bool titled = true);

// Draws the scene over the whole of a canvas of `size`, from (0, 0).
void draw_picture(QPainter& painter, QSize size, const preview::Scene& scene);

// The picture alone, exactly `size` pixels.
QImage render_picture(const preview::Scene& scene, QSize size);

// The time at a column of the waveform, and the column of a time.
double ms_at(const preview::Scene& scene, const QRect& wave, double x);
double x_at(const preview::Scene& scene, const QRect& wave, double ms);

}  // namespace veltrane
