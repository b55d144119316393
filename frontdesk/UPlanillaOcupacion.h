#pragma once

#include "FormWindow.h"
#include "PlannerGrid.h"
#include "ReportDefinition.h"

#include <QColor>
#include <QDate>
#include <QHash>

#include <vector>

class DatePicker;
class QLabel;
class QPushButton;

// The occupancy planner: the rooms (by floor, then by number) over a run of
// days, each stay a bar from its check-in day to its check-out day coloured by
// its state. It shows DiasVisibles days, DiasAntes of them before the day it is
// anchored on; the buttons, Ctrl with the arrows (a week) and Ctrl with Page Up
// and Page Down (a month), the date picker and "Hoy" move that day.
//
// A double click (or Enter) on a free day from today on opens the booking
// dialog on that room and day; on a stay, the stays window ("Ocupada") or the
// reservations window ("Reservada") on it. The planner shows what they did as
// soon as they close. "Imprimir" previews the days shown through the report
// engine.
//
// The rooms come from QPlanillaHabitaciones, read at each opening; the stays
// from the shared stays cursor through its index by room and day, so that only
// the days shown are read. The window moves no shared cursor.
class TFPlanillaOcupacion : public FormWindow
{
    Q_OBJECT

public:
    static constexpr int DiasVisibles = 32;
    static constexpr int DiasAntes = 3;

    explicit TFPlanillaOcupacion(QWidget *parent = nullptr);

    // Opens on today, sized to the screen's available area; returns when the
    // window closes.
    void MostrarPlanilla();

    // The day the planner is anchored on.
    QDate dia() const { return m_dia; }
    // The room of a row of the grid, and the state of the stay of a bar.
    qint64 idHabitacion(int fila) const { return m_habitaciones[static_cast<size_t>(fila)]; }
    const QString &estadoDeBarra(int barra) const { return m_barras[static_cast<size_t>(barra)].estado; }
    // A bar's tool tip (guest, room, days, daily price, state) or accessible
    // name ("guest, state, dd/mm/yyyy a dd/mm/yyyy").
    QString describir(int barra, PlannerGrid::Description kind) const;

    // One palette for the states, readable by colour-blind users and in grey
    // print: yellow, vermilion and sky blue differ in lightness too.
    static QColor colorDeEstado(const QString &estado);
    static const QStringList &estados();

    // The printed planner of the days shown: landscape, the rooms one per
    // line, the days' header on every page.
    ReportDefinition repPlanilla() const;

    QPushButton *btMesAnterior;
    QPushButton *btSemanaAnterior;
    QPushButton *btDiaAnterior;
    QPushButton *btHoy;
    QPushButton *btDiaSiguiente;
    QPushButton *btSemanaSiguiente;
    QPushButton *btMesSiguiente;
    DatePicker *dtpDia;
    QLabel *lblRango;
    QPushButton *btImprimir;
    PlannerGrid *grdPlanilla;
    QWidget *pnlLeyenda;

public slots:
    void btMesAnteriorClick();
    void btSemanaAnteriorClick();
    void btDiaAnteriorClick();
    void btHoyClick();
    void btDiaSiguienteClick();
    void btSemanaSiguienteClick();
    void btMesSiguienteClick();
    void dtpDiaChange();
    // A free day from today on: the booking dialog; a stay: its window.
    void grdPlanillaActivated(int fila, QDate dia);
    void btImprimirClick();

private:
    // Anchors the planner on `dia` and reads the stays of the days shown.
    void mover(QDate dia);
    void CargarHabitaciones();
    void CargarEstadias();

    QDate m_dia;
    std::vector<qint64> m_habitaciones; // room key per row
    QHash<qint64, int> m_filas;         // row per room key
    // What a bar shows only on demand, per bar of the grid.
    struct Barra
    {
        QString estado;
        QVariant dias;
        QVariant precioDiario;
    };
    std::vector<Barra> m_barras;
};

extern TFPlanillaOcupacion *FPlanillaOcupacion;
