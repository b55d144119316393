#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <array>

class Cursor;
class DataSource;
class QAbstractButton;
class QToolButton;

// A row of picture buttons bound to one data source: first, prior, next, last,
// insert, delete, edit, post, cancel, refresh, numbered 0 to 9 in that order
// (the numbers the signals carry). Hidden buttons take no room; the visible ones
// share the width evenly, in number order.
//
// Enabled states are recomputed on every signal of the cursor: nothing while it
// is closed; first/prior unless the current record is the first; next/last
// unless it is at end; insert and refresh when it can be modified; delete when
// it can be modified and is not empty; edit when it can be modified and is not
// editing; post and cancel only while editing.
//
// Keys: Left and Right move the focused button among the visible ones; Space,
// Enter and keypad Enter press the focused button when it is enabled. The
// buttons carry accessible names (Spanish), and no tool tips. The navigator takes the focus
// with Tab, not with a click, so a click leaves the focus where it was.
class RecordNavigator : public QWidget
{
    Q_OBJECT

public:
    // Button numbers, as the signals and press() take them.
    enum Button { First = 0, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;
    static constexpr int DefaultHeight = 25;

    explicit RecordNavigator(QWidget *parent = nullptr);
    ~RecordNavigator() override;

    // The data source is not owned; the navigator forgets it when it is destroyed.
    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }

    // Numbers outside 0..9 and repeats are ignored. All ten are visible at first.
    void setVisibleButtons(const QList<int> &buttons);
    QList<int> visibleButtons() const;

    // The button widget of a number (null outside 0..9), for tests and pictures.
    QAbstractButton *button(int number) const;
    // The button that Space presses.
    int focusedButton() const { return m_focused; }

    // A press of button n, as a click on it: the before-action signal (only when
    // the cursor is open), the action, then the clicked signal. Delete asks
    // "Delete record?" first and deletes unless the answer is Cancel; the clicked
    // signal follows even when the answer was Cancel. A failure of the action
    // ends the press in the default error dialog and clicked is not emitted;
    // press then returns false; on a closed cursor every action fails so. press
    // does not look at the enabled states: a program may press a disabled button. Handlers of the signals must not throw
    // (Qt's signals do not carry exceptions); they guard their own work.
    bool press(int number);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void beforeAction(int button);
    void clicked(int button);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    Cursor *cursor() const;
    void updateButtons();
    void layoutButtons();
    void moveFocus(int step);
    static void act(Cursor &cursor, int number, QWidget *dialogParent);

    QPointer<DataSource> m_source;
    std::array<QToolButton *, ButtonCount> m_buttons{};
    std::array<bool, ButtonCount> m_visible{};
    int m_focused = 0;
};
