#pragma once

#include "FormWindow.h"

#include <functional>

class BoundEdit;
class BoundImage;
class BoundMemo;
class DataGrid;
class PictureDialog;
class QFrame;
class QLabel;
class QPushButton;

// The room types window: lists the room types and adds, changes and deletes
// them on the shared room types cursor, photo included. It has two faces:
// browse (operations panel, grid enabled, photo disabled) and edit (edit
// panel, grid disabled, photo enabled); each handler switches the face only
// after its cursor operation succeeded, so a refused post keeps the edit face.
// The window is as tall as its visible panels and 644 pixels wide.
class TFTiposHabitacion : public FormWindow
{
    Q_OBJECT

public:
    explicit TFTiposHabitacion(QWidget *parent = nullptr);

    QFrame *pnlDatos;
    DataGrid *DBGrid1;
    QLabel *Label5;
    BoundImage *dbImgFoto;

    QFrame *pnlOperaciones;
    QPushButton *btAgregar;
    QPushButton *btModificar;
    QPushButton *btEliminar;

    QFrame *pnlEdicion;
    QLabel *Label1;
    BoundEdit *DBEdit1; // Nombre
    QLabel *Label2;
    BoundEdit *DBEdit2; // Precio, at most 8 characters
    QLabel *Label6;
    BoundEdit *DBEdit3; // Capacidad, one character
    QLabel *Label7;
    QLabel *Label3;
    BoundMemo *DBMemo2; // Descripcion
    QLabel *Label4;
    BoundMemo *DBMemo1; // Comodidades
    QPushButton *btAceptar;
    QPushButton *btCancelar;

    // The open-picture dialog, filtered to the picture kinds the program knows.
    PictureDialog *dlgOpen;
    // Runs dlgOpen and returns the chosen file, or an empty string when the
    // user cancels. Tests replace it to answer without showing the dialog.
    std::function<QString()> runDlgOpen;

public slots:
    void btAgregarClick();
    void btModificarClick();
    void btAceptarClick();
    void btCancelarClick();
    // Asks first; any failure of the delete shows one fixed message and keeps the row.
    void btEliminarClick();
    // Loads the chosen picture into the photo of the record being edited; it is
    // stored on the next accept, as a bitmap of what shows (see BoundImage). A
    // file that cannot be read is refused and the photo stays as it was.
    void dbImgFotoClick();

private:
    void showEditFace(bool editing);
};

extern TFTiposHabitacion *FTiposHabitacion;
