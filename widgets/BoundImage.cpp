#include "BoundImage.h"

#include "Cursor.h"
#include "DataError.h"
#include "Database.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

BoundImage::BoundImage(QWidget *parent) : QFrame(parent), m_link(this, [this] { refresh(); })
{
    setFrameShape(QFrame::Box);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void BoundImage::setStretch(bool stretch)
{
    m_stretch = stretch;
    update();
}

void BoundImage::setKeepAspect(bool keep)
{
    m_keepAspect = keep;
    update();
}

QByteArray BoundImage::bitmapBytes(const QImage &image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, image);
    }
    if (flat.width() > MaxBitmapWidth || flat.height() > MaxBitmapHeight)
        flat = flat.scaled(MaxBitmapWidth, MaxBitmapHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    flat.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
    return bytes;
}

void BoundImage::refresh()
{
    const Field *f = field();
    if (m_pending && f && f->cursor().isEditing())
        return;
    m_pending = false;
    // Decoded when first shown or asked for: a hidden window's picture follows
    // every move of its cursor, and most of those moves are never seen.
    QByteArray bytes = m_link.hasRecord() ? f->asBytes() : QByteArray();
    if (!m_bytes.isEmpty() && bytes.isSharedWith(m_bytes))
        return; // the same photo: nothing to decode or repaint
    m_bytes = std::move(bytes);
    m_decoded = false;
    m_picture = QImage();
    update();
}

const QImage &BoundImage::picture() const
{
    if (!m_decoded) {
        m_picture = m_bytes.isEmpty() ? QImage() : QImage::fromData(m_bytes);
        m_decoded = true;
    }
    return m_picture;
}

void BoundImage::loadPicture(const QString &path)
{
    Database::refuseDatabaseFile(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QByteArray format = suffix == u"jpg" ? QByteArrayLiteral("jpeg") : suffix.toLatin1();
    if (suffix.isEmpty() || !QImageReader::supportedImageFormats().contains(format))
        throw DataError(QStringLiteral("Unknown picture file extension (.%1)").arg(suffix));
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    const QImage image = reader.read();
    if (image.isNull())
        throw DataError(QStringLiteral("The picture '%1' cannot be read: %2").arg(QFileInfo(path).fileName(), reader.errorString()));

    Field *f = field();
    if (f && f->cursor().isEditing()) {
        QVariant stored;
        if (m_convert) {
            stored = bitmapBytes(image);
        } else if (format == "bmp" || format == "dib") {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                throw DataError(QStringLiteral("The picture '%1' cannot be read: %2").arg(QFileInfo(path).fileName(), file.errorString()));
            stored = file.readAll();
        }
        m_pending = true;
        f->setValue(stored);
    }
    m_bytes.clear();
    m_picture = image;
    m_decoded = true;
    update();
}

void BoundImage::clearPicture()
{
    Field *f = field();
    if (!f || !f->cursor().isEditing())
        return;
    m_pending = true;
    f->clear();
    m_bytes.clear();
    m_picture = QImage();
    m_decoded = true;
    update();
}

void BoundImage::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QImage &shown = picture();
    if (shown.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = contentsRect();
    if (m_stretch && m_keepAspect) {
        QRect fitted(QPoint(), shown.size().scaled(area.size(), Qt::KeepAspectRatio));
        fitted.moveCenter(area.center());
        p.drawImage(fitted, shown);
    } else if (m_stretch) {
        p.drawImage(area, shown);
    } else {
        p.drawImage(area.topLeft(), shown);
    }
}

void BoundImage::mouseReleaseEvent(QMouseEvent *event)
{
    QFrame::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}
