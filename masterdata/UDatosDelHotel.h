#pragma once

#include "FormWindow.h"

#include <functional>

class BoundEdit;
class BoundImage;
class PictureDialog;
class QLabel;
class QPushButton;

// The hotel's own data, printed on every document: name, address, phone,
// e-mail, tax identification and logo, one record of the shared cursor
// TDatosDelHotel. AdministrarDatos() starts editing that record (a new one when
// there is none) and shows the window modally; " Aceptar" stores it, "Cancelar"
// or the close box drops what was typed. A name is needed as soon as anything
// else is given; an entirely empty record keeps the documents as they print
// without one. When the file has no table for the record, the fields stay
// disabled and " Aceptar" says how to add it.
class TFDatosDelHotel : public FormWindow
{
    Q_OBJECT

public:
    explicit TFDatosDelHotel(QWidget *parent = nullptr);

    QLabel *Label1;
    BoundEdit *DBEdit1; // Nombre
    QLabel *Label2;
    BoundEdit *DBEdit2; // Domicilio
    QLabel *Label3;
    BoundEdit *DBEdit3; // Telefono
    QLabel *Label4;
    BoundEdit *DBEdit4; // EMail
    QLabel *Label5;
    BoundEdit *DBEdit5; // IdentificacionFiscal
    QLabel *Label6;
    BoundImage *dbImgLogo;
    QPushButton *btElegirLogo;
    QPushButton *btQuitarLogo;
    QPushButton *btAceptar;
    QPushButton *btCancelar;

    // The open-picture dialog of the room-type photo, for the logo.
    PictureDialog *dlgOpen;
    // Runs dlgOpen and returns the chosen file, or an empty string when the
    // user cancels. Tests replace it to answer without showing the dialog.
    std::function<QString()> runDlgOpen;

    // Edits the hotel's record in this window, shown modally; returns when it
    // closes, with the record stored or dropped.
    void AdministrarDatos();

    // What " Aceptar" says when the file at `path` has no table for the record.
    static QString upgradeMessage(const QString &path);

public slots:
    void btAceptarClick();
    void btCancelarClick();
    // Loads the chosen picture as the logo; stored, as a bitmap, on " Aceptar".
    void btElegirLogoClick();
    void btQuitarLogoClick();

private:
    void enableFields(bool enabled);
};

extern TFDatosDelHotel *FDatosDelHotel;
