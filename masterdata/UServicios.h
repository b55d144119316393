#pragma once

#include "FormWindow.h"

class BoundEdit;
class DataGrid;
class QFrame;
class QLabel;
class RecordNavigator;

// The services window: lists the services (name and unit price) in a read-only
// grid and adds, changes and deletes them through the main navigator. The
// window keeps its size (265 x 348); insert and edit open the edit panel docked
// at the bottom, which shortens the grid, and stop only the grid: the main
// navigator keeps working while a record is pending. Only post and cancel on
// the edit navigator close the panel.
class TFServcios : public FormWindow
{
    Q_OBJECT

public:
    explicit TFServcios(QWidget *parent = nullptr);

    QFrame *Panel2;
    DataGrid *DBGrid1;
    RecordNavigator *DBNavigator1; // buttons 0 to 6

    QFrame *Panel1; // the edit panel, 84 pixels high
    QLabel *Label2;
    BoundEdit *DBEdit2; // Nombre
    QLabel *Label3;
    BoundEdit *DBEdit3; // Precio
    RecordNavigator *DBNavigator2; // post and cancel

public slots:
    // Insert and edit open the edit panel and stop the grid; other buttons change nothing.
    void DBNavigator1Click(int button);
    // Post and cancel close the edit panel and let the grid take input again.
    void DBNavigator2Click(int button);
};

extern TFServcios *FServcios;
