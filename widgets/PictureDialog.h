#pragma once

#include <QFileDialog>

class QLabel;

// The open-picture dialog of the windows that store pictures: Qt's own dialog
// (never a platform dialog inside the process), icons told by file name only,
// the picture kinds the program reads as its filter, and a preview of the
// picture under the selection beside the file list. The preview never reads a
// file of the open database.
class PictureDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit PictureDialog(QWidget *parent = nullptr);

    // The filter: all known kinds first, then one entry per kind.
    static QStringList pictureFilters();

    // Runs the dialog modally; the chosen file, or an empty string when the
    // user cancels.
    QString choose();

private:
    void showPreview(const QString &path);

    QLabel *m_preview;
};
