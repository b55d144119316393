#pragma once

#include "FormWindow.h"
#include "ListBox.h"

#include <QDate>

#include <functional>

class DatePicker;
class LookupCombo;
class QGroupBox;
class QLabel;
class QPushButton;

// The booking dialog: lists the rooms of one type that are free over a range of
// days, and books the chosen one for a guest by posting one new row through the
// shared stays cursor, whatever filter that cursor carries. Two modes, which
// differ in caption, in the confirm button shown and in the state written:
// reservation ("Reservada") and assignment ("Ocupada").
//
// Between steps everything lives in the controls: the two days, the free rooms,
// the chosen type and guest, and the daily price as the text of lblCostoDia.
// Each opening resets the days, the list and the guest, and keeps the type.
class TFBusquedaHabitacion : public FormWindow
{
    Q_OBJECT

public:
    explicit TFBusquedaHabitacion(QWidget *parent = nullptr);

    // Reservation mode: resets, shows the dialog modally with btReservar, and
    // returns true exactly when a row was posted (closed with OK).
    bool AgregarReserva();
    // Assignment mode: the same with btAsignarHabitacion.
    bool AgregarEstadia();
    // Reservation mode for one room and day: after the reset, the room's type
    // is chosen, both days are `dia` (today or later), the search has run and
    // the room is selected when it is free. Returns like AgregarReserva.
    bool ReservarHabitacion(qint64 idHabitacion, QDate dia);

    QGroupBox *gbBusqueda;
    QLabel *Label4;
    DatePicker *dtpDesde;
    QLabel *Label5;
    DatePicker *dtpHasta;
    QLabel *Label1;
    LookupCombo *dblcbxTipoHabitacion;
    QPushButton *btBuscar;
    QGroupBox *gbSeleccion;
    QLabel *Label2;
    ListBox *lbxHabLibres;
    QLabel *Label3;
    LookupCombo *dblcbxHuesped;
    QPushButton *btHuespedes;
    QGroupBox *GroupBox1;
    QLabel *lblCostoDia1;
    QLabel *lblCostoDia;
    QLabel *lblCantDias1;
    QLabel *lblCantDias;
    QLabel *lblCostoTotal1;
    QLabel *lblCostoTotal;
    QPushButton *btReservar;          // "Tag" 0
    QPushButton *btAsignarHabitacion; // "Tag" 1

public slots:
    void btBuscarClick();
    // Shared by both confirm buttons; the sender's "Tag" property picks the
    // state written. Before anything is written, a room that has a stay
    // overlapping the days shown is refused with its own message.
    void btReservarClick(QObject *Sender);
    void btHuespedesClick();
    // Shows the chosen type's daily price; a free-room list of another type
    // is emptied, so that a room is always booked at its own type's price.
    void dblcbxTipoHabitacionClick();
    void dtpDesdeChange();
    void dtpHastaChange();

private:
    // `preset` runs after the reset, before the dialog shows.
    bool agregar(const QString &caption, QPushButton *button, const std::function<void()> &preset = {});
    void InicializarBusqueda();
    void CalcularTarifa();
    // The row of the selected free room, or -1.
    int selectedRoom() const;
};

extern TFBusquedaHabitacion *FBusquedaHabitacion;
