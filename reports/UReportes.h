#pragma once

#include "FormWindow.h"
#include "ReportDefinition.h"

#include <QDate>

#include <vector>

// The holder of the two printed listings; never shown itself. Created once at
// start-up, after the data module.
//
// repServicios: every service of TServicios as the program holds it, by name,
// with its price in the currency format, and their count. Prints all pages.
//
// repHabitaciones: the rows of QHabitacionesPorTipo (every room joined with its
// type), one group per run of rows with the same type name, headed by the type's
// photo, description, amenities and tariff, then one line per room. Its stored
// printer settings print page 1 only unless the user widens the range in the
// preview's printer setup.
//
// repLlegadas, repSalidas, repOcupacion: the three parts of one document, the
// arrivals and departures of a day (QLlegadas, QSalidas) and the rooms taken
// and free that day (QOcupacionDelDia); a part without rows says so in one line.
//
// The engine walks the listing's cursor to its end and leaves it on its last row.
class TFReportes : public FormWindow
{
    Q_OBJECT

public:
    explicit TFReportes(QWidget *parent = nullptr);

    ReportDefinition repServicios;
    ReportDefinition repHabitaciones;
    ReportDefinition repLlegadas;
    ReportDefinition repSalidas;
    ReportDefinition repOcupacion;

    // Produce the listing and show it in the modal preview; return when the
    // preview closes. Throw DataError when the listing cannot be produced (for
    // the rooms listing, a query that is not open); no preview opens then. A
    // null parent centres the preview on this holder's parent.
    void PreviewServicios(QWidget *parent = nullptr);
    // Prints QHabitacionesPorTipo as it stands: the menu closes and reopens it
    // first, so that the listing shows what the file holds.
    void PreviewHabitaciones(QWidget *parent = nullptr);
    // Runs the day's queries afresh, titles the document "Llegadas y Salidas
    // del dd/mm/yyyy" and returns its parts, in order.
    std::vector<const ReportDefinition *> LlegadasSalidas(QDate dia);
    void PreviewLlegadasSalidas(QDate dia, QWidget *parent = nullptr);

private:
    size_t m_tituloLlegadas = 0; // the element of repLlegadas' title that names the day
};

extern TFReportes *FReportes;
