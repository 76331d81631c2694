#include "ui/icon.h"

namespace veltrane {

QIcon program_icon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/hicolor/%1x%1/apps/veltrane.png").arg(size),
                     QSize(size, size));
    return icon;
}

}  // namespace veltrane
