// The pictures of the main window's four buttons: a 32 x 32 icon each and the hand cursor
// that all four share, drawn here rather than shipped as files.
#pragma once

#include "button_look.h"

#include <QIcon>
#include <QImage>

namespace app {

controls::PictureRef UpdateIcon();
controls::PictureRef RunIcon();
controls::PictureRef StopIcon();
controls::PictureRef ExitIcon();
// A monochrome hand pointing up, hot spot at (5, 0).
controls::PictureRef HandCursor();

// The program's own icon (the update arrow) at any size, and as a window icon with the usual
// sizes; the package's icon files are made from it.
QImage AppIconImage(int size);
QIcon AppIcon();

} // namespace app
