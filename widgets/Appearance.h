#pragma once

class QApplication;

// The program's look, shared by the program and its launcher, set before any
// window exists: the application title "Administración de Hotel", the font
// substitutions, the application font and the program's icon.
namespace Appearance {

void apply(QApplication &app);

} // namespace Appearance
