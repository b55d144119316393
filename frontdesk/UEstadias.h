#pragma once

#include "FormWindow.h"

class BoundText;
class DataGrid;
class DatePicker;
class LookupList;
class QGroupBox;
class QLabel;
class QPushButton;

// The stays window: the rooms of the occupied stays, and the guest, check-in
// day, daily price and consumptions of the current stay (the current record of
// the shared stays cursor). Its operations act on that stay only: move its
// check-out day with re-pricing, delete it with its consumptions, record
// consumptions, invoice it, and start a new occupation through the booking
// dialog.
//
// The window owns no data. The filter "Estado = 'Ocupada'" on the stays cursor
// exists only while the window is shown. The check-out picker is loaded only by
// a choice in the room list; until the first choice of a run it shows
// 16/04/2008.
class TFEstadias : public FormWindow
{
    Q_OBJECT

public:
    explicit TFEstadias(QWidget *parent = nullptr);

    // Narrows the stays to the occupied ones (the first becomes current), shows
    // the window modally, and when it closes removes the filter (the first stay
    // of the whole table becomes current) and empties its text.
    void AdministrarEstadias();
    // The same, with the stay `idEstadia` current (and its check-out day in the
    // picker) when it is listed.
    void MostrarEstadia(qint64 idEstadia);

    QGroupBox *GroupBox3;
    LookupList *dbllbxHabitaciones;
    QGroupBox *GroupBox1;
    QLabel *Label5;
    BoundText *DBText1; // Huesped
    QLabel *Label2;
    BoundText *DBText3; // PrecioDiario
    QLabel *Label6;
    BoundText *DBText2; // FechaIngreso
    QLabel *Label4;
    DatePicker *dtpEgreso;
    QPushButton *btEgreso;
    QGroupBox *GroupBox2;
    DataGrid *DBGrid1;
    QPushButton *btConsumos;
    QPushButton *btAgregar;
    QPushButton *btEliminar;
    QPushButton *btFacturar;

public slots:
    // Loads the picker with the chosen stay's check-out day.
    void dbllbxHabitacionesClick();
    // "Cambiar": the picker's day becomes the check-out day and the stay is
    // re-priced at its own daily price. A day before the check-in is refused; a
    // later check-out is refused when the room is booked for someone else on
    // one of the days up to it; a shorter stay always passes.
    void btEgresoClick();
    // Deletes the stay and its consumptions together: all or nothing.
    void btEliminarClick();
    void btConsumosClick();
    // Previews the invoice, then marks the stay "Facturada" whatever the user
    // did in the preview; the stay then leaves the list, and the next one is
    // chosen as a click on it would.
    void btFacturarClick();
    void btAgregarClick();

private:
    void abrir(qint64 idEstadia);
    // False, after telling the user, when no occupied stay is listed.
    bool hasStay();
    // Writes the stay being edited; a refused post leaves the stay as stored.
    void postStay();
};

extern TFEstadias *FEstadias;
