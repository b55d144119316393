#include "HotelPicture.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace {

const QString Resource = QStringLiteral(":/pictures/hotel.svg");

QSvgRenderer &renderer()
{
    static QSvgRenderer parsed(Resource);
    return parsed;
}

} // namespace

QImage HotelPicture::image()
{
    static const QImage cached = image(QSize(Width, Height));
    return cached;
}

QImage HotelPicture::image(const QSize &size)
{
    if (size.isEmpty())
        return {};
    QImage result(size, QImage::Format_RGB32);
    result.fill(Qt::white);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer().render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return result;
}

QByteArray HotelPicture::svg()
{
    QFile file(Resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
