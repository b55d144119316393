#pragma once

#include "LookupDrawing.h"

#include <QWidget>

// A lookup list: a list box of the list cursor's rows, its list fields side by
// side, the row whose key equals the key value highlighted. The settings, the
// key value and what it does to the cursors are those of LookupBinding (kind
// List): a key that is null or matches no visible row moves the list cursor to
// its first row.
//
// The user chooses by a click on a row, by the arrow keys, Page Up, Page Down,
// Home and End (relative to the chosen row, or the first row when the key
// matches none), and by typing, which searches the first list field (see
// LookupBinding::searchKey). clicked() fires after every choice by the user,
// the key set (or written into the bound field) first; setting the key by
// program fires nothing.
class LookupList : public QWidget
{
    Q_OBJECT

public:
    explicit LookupList(QWidget *parent = nullptr);

    void setListSource(DataSource *source) { m_binding.setListSource(source); }
    DataSource *listSource() const { return m_binding.listSource(); }
    void setKeyField(const QString &field) { m_binding.setKeyField(field); }
    const QString &keyField() const { return m_binding.keyField(); }
    // Field names joined by semicolons, for example "Nombre;Precio".
    void setListFields(const QString &fields) { m_binding.setListFields(fields); }
    QString listFields() const { return m_binding.listFields(); }
    void setDataSource(DataSource *source) { m_binding.setDataSource(source); }
    DataSource *dataSource() const { return m_binding.dataSource(); }
    void setDataField(const QString &field) { m_binding.setDataField(field); }
    const QString &dataField() const { return m_binding.dataField(); }

    // Null (invalid) when nothing is chosen.
    QVariant keyValue() const { return m_binding.keyValue(); }
    // By program: locates a new key (or moves the list cursor to its first row),
    // fires no event; may throw DataError when the list cursor cannot leave a
    // record it is editing.
    void setKeyValue(const QVariant &key) { m_binding.setKeyValue(key); }

    // The rows; for tests and styling.
    LookupRowsView *rowsView() const { return m_view; }

    // The clock of the typed search (tests); empty restores the steady clock.
    void setSearchClock(TypedSearch::Clock clock) { m_binding.search().setClock(std::move(clock)); }

signals:
    void clicked();

private:
    bool viewKey(QKeyEvent *event);
    void chooseByUser(int row);
    void showKeyRow();

    LookupBinding m_binding;
    LookupRowsView *m_view;
};
