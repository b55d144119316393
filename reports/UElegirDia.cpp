#include "UElegirDia.h"

#include "DatePicker.h"
#include "DateTimes.h"
#include "Guard.h"
#include "Widgets.h"

TFElegirDia *FElegirDia = nullptr;

TFElegirDia::TFElegirDia(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("FElegirDia"));
    Label1 = Widgets::label(this, QStringLiteral("Día"), 8, 8);
    dtpDia = new DatePicker(this);
    dtpDia->setObjectName(QStringLiteral("dtpDia"));
    dtpDia->setFormat(QStringLiteral("dddd dd/MM/yyyy"));
    dtpDia->setGeometry(8, 24, 236, 21);
    Label1->setBuddy(dtpDia);
    Widgets::name(dtpDia, Label1->text());
    btAceptar = Widgets::button(this, QStringLiteral(" Aceptar"), 1, QRect(8, 54, 114, 26));
    btAceptar->setObjectName(QStringLiteral("btAceptar"));
    btAceptar->setDefault(true);
    btCancelar = Widgets::button(this, QStringLiteral(" Cancelar"), 0, QRect(130, 54, 114, 26));
    btCancelar->setObjectName(QStringLiteral("btCancelar"));
    setClientSize(252, 88);

    connect(btAceptar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btAceptarClick(); }); });
    connect(btCancelar, &QPushButton::clicked, this, [this] { guarded(this, [this] { btCancelarClick(); }); });
}

bool TFElegirDia::ElegirDia(const QString &caption, QDate &dia)
{
    setWindowTitle(caption);
    dtpDia->setDate(DateTimes::make(DateTimes::today()));
    dtpDia->setFocus();
    if (ShowModal() != mrOk)
        return false;
    dia = dtpDia->date().date();
    return true;
}

void TFElegirDia::btAceptarClick()
{
    setModalResult(mrOk);
}

void TFElegirDia::btCancelarClick()
{
    setModalResult(mrCancel);
}
