#include "FileIcons.h"

#include <QAbstractFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

class NameOnlyIconProvider : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }

    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return icon(Drive);
        if (info.isDir())
            return icon(Folder);
        const QIcon themed = QIcon::fromTheme(mimeType(info).iconName());
        return themed.isNull() ? icon(File) : themed;
    }

    QString type(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QStringLiteral("Unidad");
        if (info.isDir())
            return QStringLiteral("Carpeta");
        return mimeType(info).comment();
    }

private:
    // MatchExtension never opens the file.
    static QMimeType mimeType(const QFileInfo &info)
    {
        return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }
};

} // namespace

QAbstractFileIconProvider *FileIcons::withoutContents()
{
    static NameOnlyIconProvider provider;
    return &provider;
}
