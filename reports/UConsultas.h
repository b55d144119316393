#pragma once

#include "FormWindow.h"

class DataGrid;
class LookupCombo;
class QComboBox;
class QFrame;
class QLabel;
class QTabWidget;

// The queries window, on two tabs: the invoiced stays of one guest (chosen in a
// lookup combo over the shared guests cursor, as filtered and ordered by the
// guests window) and the rooms of one view ranked by the days of all their
// stays. Each choice closes the tab's query of the data module, sets its
// parameter and opens it again; nothing runs until the user chooses, and the
// choices and results stay as they are between openings. The result grids are
// read-only: the queries cannot be written and the window offers no way to save.
class TFConsultas : public FormWindow
{
    Q_OBJECT

public:
    explicit TFConsultas(QWidget *parent = nullptr);

    QTabWidget *PageControl1;

    QWidget *tsEstadiaHuesped;
    QFrame *pnlHuesped;
    QLabel *Label3;
    LookupCombo *dblcxHuesped;
    DataGrid *dbgEstadiasHuesped;

    QWidget *tsHabitacionesPedidas;
    QFrame *pnlVista;
    QLabel *Label1;
    QComboBox *cbxVista;
    DataGrid *DBGrid1;

public slots:
    // Runs QEstadiasDeHuesped for the chosen guest (null before any choice).
    void dblcxHuespedClick();
    // Runs QHabitaconesMasPedidas for the view shown in cbxVista.
    void cbxVistaChange();
};

extern TFConsultas *FConsultas;
