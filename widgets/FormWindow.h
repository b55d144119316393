#pragma once

#include <QDialog>

// A window of the program other than the main window: created once, hidden,
// and shown modally whenever needed; it keeps its controls' state between
// showings. Fixed single border with only the close box, centred on the screen,
// font "MS Sans Serif" 8 points.
class FormWindow : public QDialog
{
    Q_OBJECT

public:
    enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

    explicit FormWindow(QWidget *parent = nullptr);

    // Shows the window modally and returns mrOk when a handler set it, mrCancel
    // when the user closed the window.
    int ShowModal();
    // Setting mrOk (or any result but mrNone) closes the window.
    void setModalResult(int result);
    int modalResult() const { return m_modalResult; }

    // Fixes the client area to the given size (windows sized to their content).
    void setClientSize(int width, int height);

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape does not close the window; only the close box does. Enter and
    // keypad Enter press the focused button; elsewhere they press the default
    // button, if the window has one.
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_modalResult = mrNone;
};
