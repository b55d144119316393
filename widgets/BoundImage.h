#pragma once

#include "FieldLink.h"

#include <QFrame>
#include <QImage>

class Field;

// Shows the picture held in a BLOB field of the current record (nothing for an
// empty field or bytes that are no picture), stretched to the control when asked.
// loadPicture() puts a picture file into it while the cursor is editing: the
// record counts as changed and the picture shows at once; the field then holds
// the file's bytes when the file is a Windows bitmap and is empty for any other
// kind of picture, unless the control converts every picture to a bitmap. The
// kind is chosen by the file's extension.
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
    // loadPicture() stores every kind of picture, as bitmapBytes() of it.
    void setConvertToBitmap(bool convert) { m_convert = convert; }

    // A picture as the bytes of a 24-bit Windows bitmap file: transparent parts
    // on white, scaled down to fit 1024 x 768 when larger (proportions kept).
    static QByteArray bitmapBytes(const QImage &image);
    static constexpr int MaxBitmapWidth = 1024;
    static constexpr int MaxBitmapHeight = 768;

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
