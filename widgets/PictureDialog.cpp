#include "PictureDialog.h"

#include "Database.h"
#include "FileIcons.h"
#include "PictureFile.h"

#include <QGridLayout>
#include <QLabel>

PictureDialog::PictureDialog(QWidget *parent) : QFileDialog(parent)
{
    // Qt's own dialog on every platform, so that the preview can sit beside the list.
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(FileIcons::withoutContents());
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters(pictureFilters());
    // Room for the file columns beside the preview.
    resize(760, 440);
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(QStringLiteral("Vista previa de la imagen"));
    m_preview->setFixedSize(164, 124);
    m_preview->setFrameShape(QFrame::Box);
    m_preview->setAlignment(Qt::AlignCenter);
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(m_preview, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    connect(this, &QFileDialog::currentChanged, this, &PictureDialog::showPreview);
}

QStringList PictureDialog::pictureFilters()
{
    return {
        QStringLiteral("All (*.bmp *.jpg *.jpeg *.ico *.emf *.wmf *.tif *.tiff)"),
        QStringLiteral("Bitmaps (*.bmp)"),
        QStringLiteral("JPEG Image File (*.jpg *.jpeg)"),
        QStringLiteral("Icons (*.ico)"),
        QStringLiteral("Enhanced Metafiles (*.emf)"),
        QStringLiteral("Metafiles (*.wmf)"),
        QStringLiteral("TIFF Images (*.tif *.tiff)"),
    };
}

QString PictureDialog::choose()
{
    if (exec() != QDialog::Accepted || selectedFiles().isEmpty())
        return QString();
    return selectedFiles().constFirst();
}

// A picture of the file under the selection, fitted into the label; reading
// only at the size shown keeps large photos cheap to browse.
void PictureDialog::showPreview(const QString &path)
{
    if (Database::isDatabaseFile(path) || PictureFile::kindOf(path) == PictureFile::Kind::Unknown) {
        m_preview->clear();
        return;
    }
    QString error;
    const QImage image = PictureFile::read(path, m_preview->contentsRect().size(), &error);
    m_preview->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
}
