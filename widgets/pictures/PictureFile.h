#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// The picture files a user may choose, read into images: what Qt's image readers
// take (bitmaps, JPEG, icons, TIFF and others), and the metafiles, enhanced
// (EMF, through libemf2svg) and plain (WMF, through libwmf), each turned into
// SVG by its library and drawn with Qt Svg. The kind is told by the extension.
namespace PictureFile {

enum class Kind { Unknown, Image, Enhanced, Metafile };

// The kind a file's extension names; Unknown when no reader takes it.
Kind kindOf(const QString &path);

// The picture in the file, scaled down to fit `fit` (aspect kept) when it is
// larger and `fit` is valid; a metafile is drawn at its own size, within `fit`.
// On failure: a null image, and `error` says why in a sentence naming the file
// ("Unknown picture file extension (.xyz)", "The picture 'a.wmf' cannot be
// read: ...").
QImage read(const QString &path, QSize fit, QString *error);

// A metafile's bytes drawn into an image (null on failure, `error` set).
QImage drawMetafile(const QByteArray &bytes, Kind kind, QSize fit, QString *error);

// The bytes of a 24-bit Windows bitmap file of `image`, scaled down to fit
// `fit` (aspect kept) when larger; transparent parts become white.
QByteArray toBitmap(const QImage &image, QSize fit);

// True when the bytes are those of a Windows bitmap file ("BM" header) whose
// picture fits `fit`.
bool isBitmapWithin(const QByteArray &bytes, QSize fit);

} // namespace PictureFile
