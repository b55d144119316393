#include "HotelIdentity.h"

#include "HotelPicture.h"
#include "UDM.h"

namespace HotelIdentity {

QString defaultName()
{
    return QStringLiteral("Hotel Velmira");
}

ReportElement logo(MmRect box)
{
    return ReportElement::fieldPicture(DM->TDatosDelHotel, QStringLiteral("Logo"), box)
        .withFallback(HotelPicture::image())
        .withKeepAspect();
}

ReportElement name(MmRect box, double points, double fitWidth)
{
    return ReportElement::fieldText(DM->TDatosDelHotel, QStringLiteral("Nombre"), box)
        .withFallback(defaultName())
        .withFont({QStringLiteral("Cambria"), points, true, true})
        .withAutoSize()
        .withFitWidth(fitWidth)
        .withTransparent();
}

ReportElement contactLine(MmRect box, double fitWidth)
{
    return ReportElement::fieldList(DM->TDatosDelHotel,
                                    {QStringLiteral("Domicilio"), QStringLiteral("Telefono"), QStringLiteral("EMail"),
                                     QStringLiteral("IdentificacionFiscal")},
                                    QStringLiteral("  ·  "), box)
        .withFont({QStringLiteral("Arial"), 7, false, false})
        .withAutoSize()
        .withFitWidth(fitWidth)
        .withTransparent()
        .withOmitWhenEmpty();
}

} // namespace HotelIdentity
