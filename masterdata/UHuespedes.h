#pragma once

#include "FormWindow.h"

class DataGrid;
class RecordNavigator;
class BoundEdit;
class QFrame;
class QLabel;
class QLineEdit;

// The guests window: lists the guests by name, narrows the list by a part of
// the name, and adds, edits and deletes guests through its two navigators. It
// works on the shared guests cursor; what is current when it closes is what the
// booking dialog takes as its guest.
class TFHuespedes : public FormWindow
{
    Q_OBJECT

public:
    explicit TFHuespedes(QWidget *parent = nullptr);

    DataGrid *DBGrid1;
    QFrame *pnlOperaciones;
    QLabel *Label1;
    QLineEdit *edFiltro;
    RecordNavigator *DBNavigator1;
    QFrame *pnlEdiciones;
    BoundEdit *DBEdit1; // Nombre
    BoundEdit *DBEdit2; // DNI
    BoundEdit *DBEdit3; // Domicilio
    BoundEdit *DBEdit4; // EMail
    BoundEdit *DBEdit5; // Telefono
    RecordNavigator *DBNavigator2;

public slots:
    void edFiltroChange();
    void DBNavigator1Click(int button);
    void DBNavigator2Click(int button);
};

extern TFHuespedes *FHuespedes;
