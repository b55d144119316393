#pragma once

#include "FormWindow.h"
#include "ReportDefinition.h"

// The holder of the invoice. `repFactura` prints the current stay of TEstadias
// (guest, room, check-in and check-out days, days, daily price) over one line
// per consumption of that stay (TConsumosDeServicios through its master link,
// by time) with its line total, then the services total and the stay's own
// final price. A stay without consumptions still shows its data, one empty line
// with a zero total and the totals. Created once at start-up, after the data
// module; never shown itself.
class TFFactura : public FormWindow
{
    Q_OBJECT

public:
    explicit TFFactura(QWidget *parent = nullptr);

    ReportDefinition repFactura;

    // Produces the invoice of the current stay and shows it in the modal preview
    // at whole-page zoom; returns when the preview closes and tells nothing of
    // what happened there. Leaves TConsumosDeServicios on the stay's last
    // consumption and TEstadias on its record. Throws DataError when the invoice
    // cannot be produced (a closed cursor); no preview opens then. A null parent
    // centres the preview on this holder's parent.
    void Preview(QWidget *parent = nullptr);
};

extern TFFactura *FFactura;
