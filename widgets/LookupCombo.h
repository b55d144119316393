#pragma once

#include "LookupDrawing.h"

#include <QWidget>

class LookupDropDown;
class QStyleOptionComboBox;

// A lookup combo: a closed box that shows the first list field of the chosen
// row, and a drop-down with the list cursor's rows, its list fields side by
// side. The settings, the key value and what it does to the cursors are those
// of LookupBinding (kind Combo): a key that is null or matches no visible row
// shows empty text and leaves the list cursor where it is; an unbound combo
// loses its choice when its list cursor moves while at its beginning.
//
// The user chooses by a click in the drop-down or Enter in it; Escape, Tab or a
// click outside closes it without a choice, while Alt+Up, Alt+Down or F4 close
// it taking the highlighted row, as they open it when it is closed. While it is
// closed, Up and Down step to the previous or next row of the list cursor (to
// its first row when the key matches none), and typing searches the first list
// field (see LookupBinding::searchKey). In the open drop-down the arrow keys and
// typing only move its highlight, which starts on the chosen row.
//
// Events: clicked() after every choice by the user (the key is set, or written
// into the bound field, before it fires, and it fires even when the same row is
// chosen again); closeUp() whenever the drop-down closes, after clicked() when
// a row was chosen. Setting the key by program fires neither.
class LookupCombo : public QWidget
{
    Q_OBJECT

public:
    explicit LookupCombo(QWidget *parent = nullptr);
    ~LookupCombo() override;

    void setListSource(DataSource *source) { m_binding.setListSource(source); }
    DataSource *listSource() const { return m_binding.listSource(); }
    void setKeyField(const QString &field) { m_binding.setKeyField(field); }
    const QString &keyField() const { return m_binding.keyField(); }
    // Field names joined by semicolons, for example "Nombre;DNI".
    void setListFields(const QString &fields) { m_binding.setListFields(fields); }
    QString listFields() const { return m_binding.listFields(); }
    void setDataSource(DataSource *source) { m_binding.setDataSource(source); }
    DataSource *dataSource() const { return m_binding.dataSource(); }
    void setDataField(const QString &field) { m_binding.setDataField(field); }
    const QString &dataField() const { return m_binding.dataField(); }

    // Null (invalid) when nothing is chosen.
    QVariant keyValue() const { return m_binding.keyValue(); }
    // By program: locates a new key, fires no event; may throw DataError when
    // the list cursor cannot leave a record it is editing.
    void setKeyValue(const QVariant &key) { m_binding.setKeyValue(key); }
    // What the closed box shows.
    QString text() const;

    // Rows the drop-down shows at once (7 unless set).
    int dropDownRows() const { return m_dropDownRows; }
    void setDropDownRows(int rows);
    // Width of the drop-down in pixels; 0 (the default) means the combo's width.
    int dropDownWidth() const { return m_dropDownWidth; }
    void setDropDownWidth(int width);

    bool isDroppedDown() const;
    void dropDown();
    // Closes the drop-down; with accept, its highlighted row is chosen (as by
    // Enter). Fires closeUp() (and clicked() first for a choice).
    void closeDropDown(bool accept);
    // The drop-down's rows, created on first use; for tests and styling.
    LookupRowsView *dropDownList();

    // The clock of the typed search (tests); empty restores the steady clock.
    void setSearchClock(TypedSearch::Clock clock) { m_binding.search().setClock(std::move(clock)); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void clicked();
    void closeUp();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class LookupDropDown;

    void initStyleOption(QStyleOptionComboBox *option) const;
    void step(int delta);
    void chooseByUser(int row);
    bool dropDownKey(QKeyEvent *event);
    // The drop-down closed without our asking (a click outside it).
    void dropDownHidden();
    void finishCloseUp(int chosenRow);

    LookupBinding m_binding;
    LookupDropDown *m_dropDown = nullptr;
    int m_dropDownRows = 7;
    int m_dropDownWidth = 0;
    bool m_closing = false;
};
