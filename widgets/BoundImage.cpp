#include "BoundImage.h"

#include "Cursor.h"
#include "DataError.h"
#include "Database.h"
#include "PictureFile.h"

#include <QFile>
#include <QFileInfo>
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
    return PictureFile::toBitmap(image, largest());
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
    QString error;
    const QImage image = PictureFile::read(path, largest(), &error);
    if (image.isNull())
        throw DataError(error);

    Field *f = field();
    if (f && f->cursor().isEditing()) {
        // What is stored is what shows: a bitmap that fits as it is (unless
        // every picture is converted), any other picture as a 24-bit bitmap of
        // what was read; never an empty photo.
        QByteArray stored;
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (!m_convert && (suffix == u"bmp" || suffix == u"dib")) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                throw DataError(QStringLiteral("The picture '%1' cannot be read: %2").arg(QFileInfo(path).fileName(), file.errorString()));
            stored = file.readAll();
        }
        if (!PictureFile::isBitmapWithin(stored, largest()))
            stored = bitmapBytes(image);
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
