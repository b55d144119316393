#pragma once

#include "FieldLink.h"

#include <QAbstractTableModel>
#include <QListView>
#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QVariant>

#include <functional>

class Cursor;
class DataSource;
class Field;
class QFontMetrics;
class QKeyEvent;
class QWidget;

// The shared parts of LookupCombo and LookupList: their settings and key logic
// (LookupBinding), the typed search (TypedSearch), the rows of the list cursor
// as a model (LookupRowModel), the painting of a row (LookupRowDelegate) and
// the view that shows the rows (LookupRowsView).

// Keys compare as the cursor compares them: null equals only null, numbers by
// value (5 equals 5L and "5" equals 5 when one side is text), texts exactly.
bool sameLookupKey(const QVariant &a, const QVariant &b);

// "Nombre;Precio" -> {"Nombre", "Precio"}; blanks around names are dropped.
QStringList parseListFields(const QString &text);

// The characters typed for a search. They are collected up to MaxLength; the
// collection restarts when more than PauseMs milliseconds passed since the
// previous character. The clock returns milliseconds from any fixed origin.
class TypedSearch
{
public:
    using Clock = std::function<qint64()>;
    static constexpr int MaxLength = 32;
    static constexpr qint64 PauseMs = 2000;

    TypedSearch();

    // Replaces the clock (tests); an empty function restores the steady clock.
    void setClock(Clock clock);
    const QString &text() const { return m_text; }
    void clear() { m_text.clear(); }
    // Starts a new character: the collection followed by `typed`, after the
    // restart rule; a null string when it would exceed MaxLength. The
    // collection itself changes only through keep().
    QString extended(const QString &typed);
    void keep(const QString &text) { m_text = text; }

private:
    Clock m_clock;
    QString m_text;
    qint64 m_last = 0;
    bool m_started = false;
};

// The settings and the key value of one lookup control, and what the key does
// to the cursors. Owned by its control, which it names as the parent of error
// dialogs.
//
// List source: the data source whose cursor is the list cursor. Key field: the
// list cursor's field whose value the control holds. List fields: the fields
// shown side by side; the first is shown in a closed combo and searched.
// Optional data source and data field make the control bound: from the moment
// both are set, and whether the control is visible or not, the key follows that
// field of the current record (moves, resets, state and field changes), and a
// choice by the user writes the key into it (the cursor is put into edit mode
// first). A setter that leaves a field named that its cursor lacks throws
// DataError ("<cursor>: Field '<name>' not found"), so that a misspelt name
// fails when the window is built.
//
// Whenever the key value changes, the key is located in the list cursor (its
// current record moves to the first visible row with that key). For a list, a
// null key or one that matches no row moves the list cursor to its first row;
// a combo leaves it where it is. An unbound combo loses its choice (the key
// becomes null) whenever its list cursor reports a move while it stands at its
// beginning (after first, open, a filter or master change); the control's own
// locates never count, since they leave the cursor off its beginning and are
// ignored while they run.
class LookupBinding : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Combo, List };

    LookupBinding(Kind kind, QWidget *owner);

    void setListSource(DataSource *source);
    DataSource *listSource() const { return m_listSource; }
    void setKeyField(const QString &field);
    const QString &keyField() const { return m_keyField; }
    // Field names joined by semicolons.
    void setListFields(const QString &fields);
    QString listFields() const { return m_listFields.join(u';'); }
    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_link.dataSource(); }
    void setDataField(const QString &field);
    const QString &dataField() const { return m_link.dataField(); }
    bool isBound() const { return m_link.dataSource() && !m_link.dataField().isEmpty(); }

    // The list cursor, while its source is set; its fields by name, or null.
    Cursor *listCursor() const;
    const Field *keyFieldOf() const;
    // Without list fields, the key field is the one list field.
    int listFieldCount() const;
    const Field *listField(int column) const;

    // Null (invalid) when nothing is chosen.
    const QVariant &keyValue() const { return m_key; }
    // Sets the key by program: locates it when it differs from the present one
    // and fires no event. A locate that has to end an edit of the list cursor
    // may throw DataError, which reaches the caller.
    void setKeyValue(const QVariant &key);

    // The visible row of the list cursor holding the key value; -1 when none.
    int keyRow() const;
    // The key of a visible row (null for a row being inserted).
    QVariant keyAt(int row) const;
    bool isKeyRow(int row) const;
    // The display text of a list field in a visible row.
    QString displayText(int row, int column) const;

    // A choice by the user: a bound control writes the key into its field, an
    // unbound one takes it; either way the key is then located, even when it
    // did not change, so that the list cursor stands on the chosen row.
    // Failures are shown in the default error dialog. Returns true when the
    // choice went through; the control then fires its click event.
    bool choose(const QVariant &key);
    bool chooseRow(int row);

    // The typed search, on a key press while the control has the focus:
    // Backspace and Escape empty the collection; a printable character is
    // added when the first list field is a text field, and the first visible
    // row whose first list field begins with the collection, ignoring case,
    // is found. A character that would leave no such row is not kept.
    struct SearchStep
    {
        bool consumed = false; // the key belonged to the search
        int row = -1;          // the row found, or -1
    };
    SearchStep searchKey(const QKeyEvent &event);
    bool canSearch() const;
    // First visible row whose first list field begins with text, any case.
    int findPrefix(const QString &text) const;
    TypedSearch &search() { return m_search; }

signals:
    // The key value changed.
    void keyValueChanged();
    // The list cursor's rows or state changed (what a closed combo shows may
    // differ even with the same key).
    void rowsChanged();
    // The list source, key field or list fields changed.
    void listChanged();

private:
    void takeKey(const QVariant &key);
    void followField(bool force = false);
    void listMoved();
    void locateKey();
    void relocateAfterSetup();
    void checkFields() const;

    Kind m_kind;
    QWidget *m_owner;
    QPointer<DataSource> m_listSource;
    QString m_keyField;
    QStringList m_listFields;
    FieldLink m_link;
    QVariant m_key;
    int m_ownMoves = 0;
    int m_locates = 0;
    TypedSearch m_search;
};

// The visible rows of a lookup control's list cursor, one column per list
// field. Nothing is copied: values are read from the cursor when asked for,
// and the model follows the cursor's row signals through the list source.
// Roles: DisplayRole, the field's display text; TextAlignmentRole, the field's
// alignment; KeyRole, the row's key.
class LookupRowModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole + 1 };

    explicit LookupRowModel(LookupBinding &binding, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void attach();
    void reset();
    bool inStep(int expectedRows) const;
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowMoved(int from, int to);
    void rowChanged(int row);

    LookupBinding &m_binding;
    QPointer<DataSource> m_source;
    int m_rows = 0;
    int m_columns = 0;
};

// Paints one row of a LookupRowModel with its columns side by side: every
// column but the last is (display width × width of '0' + 4) pixels wide, the
// last takes the rest of the view's width; a thin line separates the columns;
// each text is aligned by its field. The highlighted row (a callback decides
// which) is drawn in the highlight colours.
class LookupRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using Highlighted = std::function<bool(int row)>;

    LookupRowDelegate(const LookupBinding &binding, Highlighted highlighted, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Row height for a font: its line height plus 2 pixels.
    static int rowHeight(const QFontMetrics &metrics);
    // The column widths of a binding's list fields in a row `width` pixels wide.
    static QList<int> columnWidths(const LookupBinding &binding, const QFontMetrics &metrics, int width);

    // Draws the focus frame on the highlighted row while the view has the focus.
    void setFocusFrame(bool on) { m_focusFrame = on; }

private:
    const LookupBinding &m_binding;
    Highlighted m_highlighted;
    bool m_focusFrame = false;
};

// The rows of a lookup control: a LookupList's body and a LookupCombo's
// drop-down. It owns its model and delegate, keeps no selection of its own
// (the highlight callback decides which row is drawn highlighted), and hands
// keys and mouse presses to its owner's hooks.
class LookupRowsView : public QListView
{
    Q_OBJECT

public:
    LookupRowsView(LookupBinding &binding, LookupRowDelegate::Highlighted highlighted, QWidget *parent = nullptr);

    LookupRowModel *rowModel() const { return m_model; }
    LookupRowDelegate *rowDelegate() const { return m_delegate; }
    // The row under a point of the viewport; -1 when none.
    int rowAt(const QPoint &viewportPos) const;
    int rowHeight() const;
    // Rows that fit the viewport wholly (at least 1).
    int visibleRows() const;
    QRect visualRect(const QModelIndex &index) const override;

    // Returns true when it handled the key; otherwise QListView's own handling
    // runs (moving its current index).
    std::function<bool(QKeyEvent *event)> onKey;
    // Mouse presses (and double clicks), moves and releases with the row under
    // the mouse (-1 when none). Moves are reported with or without a button.
    std::function<void(int row)> onPress;
    std::function<void(int row)> onMove;
    std::function<void(int row)> onRelease;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    LookupRowModel *m_model;
    LookupRowDelegate *m_delegate;
};
