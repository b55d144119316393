#include "UDatosDelHotel.h"

#include "BoundEdit.h"
#include "BoundImage.h"
#include "Guard.h"
#include "MessageDialog.h"
#include "PictureDialog.h"
#include "UDM.h"
#include "Widgets.h"

#include <QDir>
#include <QLabel>
#include <QRegularExpression>

TFDatosDelHotel *FDatosDelHotel = nullptr;

namespace {

constexpr int ClientWidth = 496;
constexpr int ClientHeight = 224;

// What a shell takes as one word, quoted only when it needs to be.
QString shellWord(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:+-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

} // namespace

TFDatosDelHotel::TFDatosDelHotel(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FDatosDelHotel"));
    setWindowTitle(QStringLiteral("Datos del Hotel"));
    setClientSize(ClientWidth, ClientHeight);

    auto edit = [this](const QString &field, const QString &caption, const QRect &bounds) {
        auto *e = new BoundEdit(this);
        e->setGeometry(bounds);
        e->setDataSource(DM->DDatosDelHotel);
        e->setDataField(field);
        // No more than the column holds.
        e->setMaxLength(DM->TDatosDelHotel->fieldByName(field).size());
        e->setAccessibleName(caption);
        return e;
    };
    Label1 = Widgets::label(this, QStringLiteral("Nombre del Hotel"), 8, 8);
    DBEdit1 = edit(QStringLiteral("Nombre"), Label1->text(), QRect(8, 23, 300, 21));
    Label2 = Widgets::label(this, QStringLiteral("Domicilio"), 8, 50);
    DBEdit2 = edit(QStringLiteral("Domicilio"), Label2->text(), QRect(8, 65, 300, 21));
    Label3 = Widgets::label(this, QStringLiteral("Teléfono"), 8, 92);
    DBEdit3 = edit(QStringLiteral("Telefono"), Label3->text(), QRect(8, 107, 130, 21));
    Label4 = Widgets::label(this, QStringLiteral("Correo Electrónico"), 146, 92);
    DBEdit4 = edit(QStringLiteral("EMail"), Label4->text(), QRect(146, 107, 162, 21));
    Label5 = Widgets::label(this, QStringLiteral("Identificación Fiscal"), 8, 134);
    DBEdit5 = edit(QStringLiteral("IdentificacionFiscal"), Label5->text(), QRect(8, 149, 300, 21));
    Label1->setBuddy(DBEdit1);
    Label2->setBuddy(DBEdit2);
    Label3->setBuddy(DBEdit3);
    Label4->setBuddy(DBEdit4);
    Label5->setBuddy(DBEdit5);

    Label6 = Widgets::label(this, QStringLiteral("Logo"), 320, 8);
    dbImgLogo = new BoundImage(this);
    dbImgLogo->setObjectName(QStringLiteral("dbImgLogo"));
    dbImgLogo->setGeometry(320, 23, 168, 112);
    dbImgLogo->setDataSource(DM->DDatosDelHotel);
    dbImgLogo->setDataField(QStringLiteral("Logo"));
    dbImgLogo->setStretch(true);
    dbImgLogo->setKeepAspect(true);
    // Every kind of picture is kept, as a bitmap, whatever file it came from.
    dbImgLogo->setConvertToBitmap(true);
    dbImgLogo->setAccessibleName(QStringLiteral("Logo del hotel"));
    dbImgLogo->setToolTip(QStringLiteral("Haga clic para elegir el logo"));
    btElegirLogo = Widgets::button(this, QStringLiteral("Elegir Logo"), -1, QRect(320, 143, 82, 26));
    btQuitarLogo = Widgets::button(this, QStringLiteral("Quitar Logo"), -1, QRect(406, 143, 82, 26));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 178, ClientWidth - 16, 2);
    btAceptar = Widgets::button(this, QStringLiteral(" Aceptar"), 1, QRect(295, 188, 89, 26));
    btCancelar = Widgets::button(this, QStringLiteral("Cancelar"), 0, QRect(399, 188, 89, 26));
    btAceptar->setObjectName(QStringLiteral("btAceptar"));
    btCancelar->setObjectName(QStringLiteral("btCancelar"));
    btElegirLogo->setObjectName(QStringLiteral("btElegirLogo"));
    btQuitarLogo->setObjectName(QStringLiteral("btQuitarLogo"));
    for (QPushButton *b : {btElegirLogo, btQuitarLogo, btAceptar, btCancelar})
        b->setAccessibleName(b->text().trimmed());

    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBEdit4);
    setTabOrder(DBEdit4, DBEdit5);
    setTabOrder(DBEdit5, btElegirLogo);
    setTabOrder(btElegirLogo, btQuitarLogo);
    setTabOrder(btQuitarLogo, btAceptar);
    setTabOrder(btAceptar, btCancelar);

    dlgOpen = new PictureDialog(this);
    dlgOpen->setObjectName(QStringLiteral("dlgOpen"));
    runDlgOpen = [this] { return dlgOpen->choose(); };

    auto on = [this](QPushButton *b, void (TFDatosDelHotel::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded(this, [&] { (this->*handler)(); }); });
    };
    on(btAceptar, &TFDatosDelHotel::btAceptarClick);
    on(btCancelar, &TFDatosDelHotel::btCancelarClick);
    on(btElegirLogo, &TFDatosDelHotel::btElegirLogoClick);
    on(btQuitarLogo, &TFDatosDelHotel::btQuitarLogoClick);
    connect(dbImgLogo, &BoundImage::clicked, this, [this] {
        if (btElegirLogo->isEnabled())
            guarded(this, [this] { btElegirLogoClick(); });
    });
}

void TFDatosDelHotel::enableFields(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, dbImgLogo,
                                                       btElegirLogo, btQuitarLogo})
        w->setEnabled(enabled);
}

QString TFDatosDelHotel::upgradeMessage(const QString &path)
{
    return QStringLiteral("Esta base de datos se creó con una versión anterior del programa y no tiene lugar para "
                          "los datos del hotel; mientras tanto, los documentos se imprimen con el nombre y la imagen "
                          "del programa.\n\n"
                          "Para agregarlo sin tocar los datos guardados, cierre el programa, ejecute\n\n"
                          "hotel-createdb --upgrade %1\n\n"
                          "y vuelva a abrir el programa.")
        .arg(shellWord(QDir::toNativeSeparators(path)));
}

void TFDatosDelHotel::AdministrarDatos()
{
    Cursor &datos = *DM->TDatosDelHotel;
    const bool available = datos.isOpen();
    if (available) {
        if (datos.isEmpty()) {
            datos.append();
        } else {
            datos.first();
            datos.edit();
        }
    }
    enableFields(available);
    if (available)
        DBEdit1->setFocus();
    else
        btCancelar->setFocus();
    ShowModal();
    // Closed by its close box: what was typed is dropped, so that no document
    // prints a record that was never stored.
    if (datos.isEditing())
        datos.cancel();
}

void TFDatosDelHotel::btAceptarClick()
{
    Cursor &datos = *DM->TDatosDelHotel;
    if (!datos.isOpen() && DM->Cnx.isOpen() && !DM->hasDatosDelHotel()) {
        MessageDialog::error(upgradeMessage(DM->databasePath()), this);
        return;
    }
    datos.checkActive();
    if (datos.isEditing()) {
        DM->DDatosDelHotel->updateRecord();
        bool given = !datos.fieldByName(QStringLiteral("Logo")).isNull();
        for (const char *name : {"Domicilio", "Telefono", "EMail", "IdentificacionFiscal"})
            given = given || !datos.fieldByName(QLatin1String(name)).asString().trimmed().isEmpty();
        // Without a name the documents would carry the program's own name beside
        // this hotel's address or logo.
        if (given && datos.fieldByName(QStringLiteral("Nombre")).asString().trimmed().isEmpty()) {
            MessageDialog::error(QStringLiteral("Escriba el nombre del hotel: sin él, los documentos se imprimen con "
                                                "el nombre del programa."),
                                 this);
            DBEdit1->setFocus();
            return;
        }
        datos.post();
    }
    setModalResult(mrOk);
}

void TFDatosDelHotel::btCancelarClick()
{
    Cursor &datos = *DM->TDatosDelHotel;
    if (datos.isOpen())
        datos.cancel();
    setModalResult(mrCancel);
}

void TFDatosDelHotel::btElegirLogoClick()
{
    const QString path = runDlgOpen();
    if (path.isEmpty())
        return;
    Cursor &datos = *DM->TDatosDelHotel;
    if (!datos.isEditing())
        datos.edit();
    dbImgLogo->loadPicture(path);
}

void TFDatosDelHotel::btQuitarLogoClick()
{
    Cursor &datos = *DM->TDatosDelHotel;
    if (!datos.isEditing())
        datos.edit();
    dbImgLogo->clearPicture();
}
