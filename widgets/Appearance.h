#pragma once

class QApplication;

// The program's look, shared by the program and its launcher, set before any
// window exists: the desktop entry its windows belong to, the font
// substitutions, the application font and the program's icon. The application's
// title is MessageDialog's: as Qt's display name the window system would
// append it to every window's title.
namespace Appearance {

void apply(QApplication &app);

} // namespace Appearance
