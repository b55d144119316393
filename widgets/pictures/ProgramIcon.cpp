#include "ProgramIcon.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace ProgramIcon {

namespace {

const QString Resource = QStringLiteral(":/pictures/program.svg");

} // namespace

QImage image(int size)
{
    if (size < 1)
        return {};
    QImage result(size, size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QSvgRenderer renderer(Resource);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return result;
}

QIcon icon()
{
    QIcon out;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        out.addPixmap(QPixmap::fromImage(image(size)));
    return out;
}

QByteArray svg()
{
    QFile file(Resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace ProgramIcon
