#pragma once

#include <QIcon>
#include <QPixmap>

namespace ondrel {

// The program's icon, 16 and 32 pixels: the windows' icon.
QIcon programIcon();
// The same picture large, for the splash logo and the About box.
QPixmap programLogo();

}  // namespace ondrel
