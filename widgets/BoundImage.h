#pragma once

#include "FieldLink.h"

#include <QFrame>
#include <QImage>

class Field;

// Shows the picture held in a BLOB field of the current record (nothing for an
// empty field or bytes that are no picture), stretched to the control when asked.
// loadPicture() puts a picture file into it while the cursor is editing: the
// record counts as changed and the picture shows at once; the field then holds
// a Windows bitmap of it: the file's own bytes when it is a bitmap that fits
// 1024 x 768 (unless the control converts every picture), otherwise the
// bitmapBytes() of the picture read (metafiles drawn, large pictures scaled
// down). The kind is chosen by the file's extension (PictureFile).
class BoundImage : public QFrame
{
    Q_OBJECT

public:
    explicit BoundImage(QWidget *parent = nullptr);

    void setDataSource(DataSource *source) { m_link.setDataSource(source); }
    void setDataField(const QString &field) { m_link.setDataField(field); }
    Field *field() const { return m_link.field(); }
    void setStretch(bool stretch);
    // Stretched pictures keep their proportions, centred in the control.
    void setKeepAspect(bool keep);
    // loadPicture() stores every picture as bitmapBytes() of it, bitmaps too.
    void setConvertToBitmap(bool convert) { m_convert = convert; }

    // A picture as the bytes of a 24-bit Windows bitmap file: transparent parts
    // on white, scaled down to fit 1024 x 768 when larger (proportions kept).
    static QByteArray bitmapBytes(const QImage &image);
    static constexpr int MaxBitmapWidth = 1024;
    static constexpr int MaxBitmapHeight = 768;
    static constexpr QSize largest() { return {MaxBitmapWidth, MaxBitmapHeight}; }

    // Throws DataError for an unknown extension or unreadable contents; the
    // control then keeps the picture it had.
    void loadPicture(const QString &path);
    // Empties the field of the record being edited; the control shows nothing.
    void clearPicture();
    // The picture shown; the field's bytes are decoded on first request.
    const QImage &picture() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void refresh();

    FieldLink m_link;
    QByteArray m_bytes;          // the field's bytes, kept until decoded
    mutable QImage m_picture;
    mutable bool m_decoded = true;
    bool m_pending = false; // a loaded picture shown until the record is posted or cancelled
    bool m_stretch = false;
    bool m_keepAspect = false;
    bool m_convert = false;
};
