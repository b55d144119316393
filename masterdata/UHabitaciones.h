#pragma once

#include "FormWindow.h"

class BoundChoiceList;
class BoundEdit;
class DataGrid;
class LookupCombo;
class QFrame;
class QLabel;
class RecordNavigator;

// The rooms window: lists the rooms and adds, changes and deletes them on the
// shared rooms cursor. Browsing: only the data panel shows (client area
// 282 x 304). Editing: the edit panel shows at its right (400 x 304) and the
// whole data panel, main navigator included, takes no input.
//
// The type combo is bound to the room's type from the moment the window is
// created, shown or not: whenever the current room changes, wherever the change
// is made, it moves the room types cursor to that room's type.
class TFHabitaciones : public FormWindow
{
    Q_OBJECT

public:
    explicit TFHabitaciones(QWidget *parent = nullptr);

    QFrame *pnlDatos;
    DataGrid *DBGrid1;
    RecordNavigator *DBNavigator2; // buttons 0 to 6

    QFrame *pnlEdicion;
    QLabel *Label1;
    BoundEdit *DBEdit1; // NroHabitacion
    QLabel *Label3;
    BoundChoiceList *dbcbxPiso;
    QLabel *Label4;
    BoundChoiceList *dbcbxVista;
    QLabel *Label2;
    LookupCombo *dblucbxTipo;
    RecordNavigator *DBNavigator1; // post and cancel

public slots:
    // Before-action and click of the main navigator: insert and edit open the
    // edit panel and close the data panel; other buttons change nothing.
    void DBNavigator2Click(int button);
    // Click of the edit navigator (post or cancel): back to browsing.
    void DBNavigator1Click(int button);

private:
    void fitToPanels();
};

extern TFHabitaciones *FHabitaciones;
