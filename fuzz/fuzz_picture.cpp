// The picture loading of the room types window: a file of any kind and
// contents is either shown or refused with DataError, and the bytes stored for
// a photo are shown or ignored.
#include "BoundImage.h"
#include "DataError.h"
#include "FuzzSupport.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::initialize();
    static QTemporaryDir dir;
    static BoundImage image;
    if (size == 0)
        return 0;
    // The first byte picks the file's extension, the rest is its contents.
    static const char *const suffixes[] = {"bmp", "jpg", "jpeg", "ico", "tif", "tiff", "png", "emf", "wmf", "gif", ""};
    const char *suffix = suffixes[data[0] % (sizeof suffixes / sizeof *suffixes)];
    const QByteArray contents = FuzzSupport::bytes(data + 1, size - 1);
    const QString path = dir.filePath(QStringLiteral("photo.") + QLatin1String(suffix));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(contents) != contents.size())
            return 0;
    }
    try {
        image.loadPicture(path);
        if (image.picture().isNull())
            FuzzSupport::broken("a picture was accepted but shows nothing", path);
    } catch (const DataError &e) {
        if (e.message().isEmpty())
            FuzzSupport::broken("refusal without a message");
    }
    // What refresh() does with the stored photo.
    (void)QImage::fromData(contents);
    return 0;
}
