#pragma once
#include <QFont>
#include <QStringList>

namespace veltrane {

// The windows' sans-serif face: Arial, or a font of the same widths where Arial is
// missing, so that captions fit the places the model gives them.
inline QFont ui_font(double points, bool bold = false) {
    QFont font;
    font.setFamilies({"Arial", "Liberation Sans", "Arimo", "Helvetica", "Nimbus Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace veltrane
