#pragma once

#include "ReportDocument.h"

#include <QByteArray>
#include <QString>

// The engine's own file of a produced document: the magic number, a format
// version, then the document through QDataStream (big-endian), each distinct
// picture once as PNG.
//
// A file is untrusted input: every count, size and index is checked against what
// the file can hold before anything is allocated, pictures are decoded only up to
// a fixed size, and anything damaged, truncated or foreign throws DataError with a
// message that names the file. Nothing is ever partly loaded.
namespace ReportFile {

constexpr quint32 Magic = 0x52444F43; // "RDOC"
// 2: fills may have a colour.
constexpr quint16 Version = 2;
constexpr qint64 MaxFileSize = qint64(128) * 1024 * 1024;
// The largest picture a document holds (the producer scales larger ones down).
constexpr qint64 MaxPicturePixels = 16'000'000;

// Replaces `path` only once the whole file is written. Throws DataError.
void save(const ReportDocument &document, const QString &path);
ReportDocument load(const QString &path);

QByteArray toBytes(const ReportDocument &document);
// `name` stands for the file in messages.
ReportDocument fromBytes(const QByteArray &bytes, const QString &name);

} // namespace ReportFile
