#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRect>

class QAbstractButton;
class QGroupBox;

// Small builders for the plain controls the windows place at fixed positions
// (pixels at 96 dots per inch, relative to the parent).
namespace Widgets {

// A label at (x, y), sized to its text; bold unless said otherwise.
QLabel *label(QWidget *parent, const QString &text, int x, int y, bool bold = true);
// A button with an optional icon of the shared list left of its caption.
QPushButton *button(QWidget *parent, const QString &caption, int icon, const QRect &bounds, bool bold = true);
// Names a control for assistive technology and test tools: the control and
// the inner control its focus goes to (date pickers, lookup lists) carry it.
void name(QWidget *control, const QString &name);
// An icon-only button: its accessible name and its tool tip say what it does.
void nameIconButton(QAbstractButton *button, const QString &what);
// A group box with a bold caption; its children keep the regular font.
QGroupBox *groupBox(QWidget *parent, const QString &caption, const QRect &bounds);
// A plain container; `lowered` draws a sunken bevel.
QFrame *panel(QWidget *parent, const QRect &bounds, bool lowered = false);

// The font the windows use: "MS Sans Serif" 8 points, optionally bold.
QFont windowFont(bool bold = false);

} // namespace Widgets
