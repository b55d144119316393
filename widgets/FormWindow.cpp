#include "FormWindow.h"

#include <QPushButton>
#include <QToolButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>

FormWindow::FormWindow(QWidget *parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setModal(true);
}

int FormWindow::ShowModal()
{
    m_modalResult = mrNone;
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect frame = frameGeometry();
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    exec();
    if (m_modalResult == mrNone)
        m_modalResult = mrCancel;
    return m_modalResult;
}

void FormWindow::setModalResult(int result)
{
    m_modalResult = result;
    if (result != mrNone)
        done(result);
}

void FormWindow::setClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void FormWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Enter on a focused button presses it, as on the desktop. Buttons are made
    // without auto-default, so that Enter in an edit never presses one; the
    // keys a focused button leaves unused arrive here.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        QAbstractButton *button = qobject_cast<QPushButton *>(focusWidget());
        if (!button)
            button = qobject_cast<QToolButton *>(focusWidget());
        if (button && button->isVisible() && button->isEnabled() && isAncestorOf(button)) {
            button->click();
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    if (m_modalResult == mrNone)
        m_modalResult = mrCancel;
    QDialog::closeEvent(event);
}
