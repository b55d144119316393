#pragma once

#include "FormWindow.h"

class DataGrid;
class QAction;
class QLabel;
class QMenu;
class QPushButton;

// The reservations window: lists the pending reservations (the stays in the
// state "Reservada") through the shared stays cursor, turns the current one
// into an occupation or deletes it, and opens the booking dialog in either
// mode. The filter on the stays cursor lives exactly while the window shows.
class TFReservas : public FormWindow
{
    Q_OBJECT

public:
    explicit TFReservas(QWidget *parent = nullptr);

    // Narrows the stays cursor to the reservations, shows the window modally,
    // and removes the filter when it closes, whatever happened inside.
    void AdministrarReservas();
    // The same, with the reservation `idEstadia` current when it is listed.
    void MostrarReserva(qint64 idEstadia);

    QLabel *Label1;
    QPushButton *btAsignarSinReserva;
    DataGrid *DBGrid1;
    QPushButton *btAgregar;
    QPushButton *btAsignar;
    QPushButton *btEliminar;
    QMenu *PopupMenu1;
    QAction *AsignarHabitacion1; // same handler as btAsignar
    QAction *EliminarReserva1;   // same handler as btEliminar

public slots:
    void btAgregarClick();
    // The occupied stay booked here is not pending: it is not listed.
    void btAsignarSinReservaClick();
    // The assigned stay leaves the list at once; the next one becomes current.
    void btAsignarClick();
    void btEliminarClick();

private:
    void abrir(qint64 idEstadia);
};

extern TFReservas *FReservas;
