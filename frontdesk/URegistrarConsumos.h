#pragma once

#include "FormWindow.h"

#include <optional>

class BoundText;
class DataGrid;
class LookupList;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The consumption entry window: lists the consumptions of the current stay (the
// current record of the shared stays cursor, which it never moves), records a
// new one from a service chosen in the list and a typed quantity (time stamp and
// the service's present price filled in), and deletes the selected one. Shown
// modally by the stays window only while a stay is current.
//
// Nothing is reset when it opens: the chosen service lasts for the whole run,
// and a window closed while adding opens again with the quantity panel shown
// and the grid and both buttons disabled, until accept or cancel.
class TFRegistrarConsumos : public FormWindow
{
    Q_OBJECT

public:
    explicit TFRegistrarConsumos(QWidget *parent = nullptr);

    // A typed quantity as a whole number: optional leading blanks, an optional
    // sign, then digits up to the end of the text. Anything else, the empty text
    // and blanks alone included, gives nullopt.
    static std::optional<int> quantityOf(const QString &text);

    QFrame *pnlTitulo;
    QLabel *Label1;
    BoundText *dbtHabitacion;
    QFrame *pnlServicios;
    QLabel *Label2;
    LookupList *dbllbxServicio;
    QFrame *pnlEdicion;
    QLabel *Label3;
    QLineEdit *edCant;
    QPushButton *btAceptar;
    QPushButton *btCancelar;
    QFrame *pnlConsumos;
    QLabel *Label4;
    DataGrid *DBGrid1;
    QPushButton *btAgregar;
    QPushButton *btEliminar;

public slots:
    // Opens the quantity panel; writes nothing yet.
    void btAgregarClick();
    // Checks the quantity, then the service, and records the consumption; any
    // failure on the way shows one fixed message and leaves the panel open.
    void btAceptarClick();
    // Drops a pending new row and closes the quantity panel.
    void btCancelarClick();
    // Deletes the selected consumption after a question.
    void btEliminarClick();

private:
    void setAdding(bool adding);
};

extern TFRegistrarConsumos *FRegistrarConsumos;
