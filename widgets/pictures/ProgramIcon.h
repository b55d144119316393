#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

// The program's icon: its windows, the menu entry and the package's icon files
// all come from the one SVG drawing.
namespace ProgramIcon {

// Square, transparent outside the drawing; a null image for a size below 1.
QImage image(int size);

// The icon at the usual sizes, for the program's windows.
QIcon icon();

// The SVG source (viewBox 0 0 256 256), installed as the scalable icon.
QByteArray svg();

} // namespace ProgramIcon
