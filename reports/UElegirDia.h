#pragma once

#include "FormWindow.h"

#include <QDate>

class DatePicker;
class QLabel;
class QPushButton;

// A small dialog that asks for one day, for the listings of a day. Each
// opening starts on today.
class TFElegirDia : public FormWindow
{
    Q_OBJECT

public:
    explicit TFElegirDia(QWidget *parent = nullptr);

    // Shows the dialog with `caption` as its title; true, with the chosen day
    // in `dia`, when the user accepts, false when the dialog is closed otherwise.
    bool ElegirDia(const QString &caption, QDate &dia);

    QLabel *Label1;
    DatePicker *dtpDia;
    QPushButton *btAceptar;
    QPushButton *btCancelar;

public slots:
    void btAceptarClick();
    void btCancelarClick();
};

extern TFElegirDia *FElegirDia;
