#include "Widgets.h"

#include "ImageList16.h"

#include <QGroupBox>

namespace Widgets {

QFont windowFont(bool bold)
{
    QFont f(QStringLiteral("MS Sans Serif"), 8);
    f.setBold(bold);
    return f;
}

QLabel *label(QWidget *parent, const QString &text, int x, int y, bool bold)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    QFont f = parent ? parent->font() : windowFont();
    f.setBold(bold);
    l->setFont(f);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QPushButton *button(QWidget *parent, const QString &caption, int icon, const QRect &bounds, bool bold)
{
    auto *b = new QPushButton(caption, parent);
    QFont f = parent ? parent->font() : windowFont();
    f.setBold(bold);
    b->setFont(f);
    if (icon >= 0) {
        b->setIcon(ImageList16::icon(icon));
        b->setIconSize(QSize(16, 16));
    }
    b->setGeometry(bounds);
    b->setAutoDefault(false);
    return b;
}

void name(QWidget *control, const QString &name)
{
    for (QWidget *w = control; w; w = w->focusProxy())
        w->setAccessibleName(name);
}

void nameIconButton(QAbstractButton *button, const QString &what)
{
    button->setAccessibleName(what);
    button->setToolTip(what);
}

QGroupBox *groupBox(QWidget *parent, const QString &caption, const QRect &bounds)
{
    auto *g = new QGroupBox(caption, parent);
    g->setGeometry(bounds);
    // The caption is bold; the controls inside keep the window's regular font.
    g->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; }"));
    return g;
}

QFrame *panel(QWidget *parent, const QRect &bounds, bool lowered)
{
    auto *p = new QFrame(parent);
    p->setGeometry(bounds);
    if (lowered)
        p->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return p;
}

} // namespace Widgets
