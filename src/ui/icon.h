#pragma once
#include <QIcon>

namespace veltrane {

// The program's icon in the sizes of the desktop's icon theme (16 to 256 pixels), built
// into the program.
QIcon program_icon();

}  // namespace veltrane
