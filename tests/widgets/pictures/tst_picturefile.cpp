#include "Metafiles.h"
#include "PictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

// Picture files as a user chooses them: metafiles drawn by Debian's libraries
// from real files written record by record, the others through Qt's readers,
// and the 24-bit bitmaps stored for them.
class TestPictureFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QByteArray metafile(const QString &kind, QSize size)
    {
        const auto shapes = Metafiles::sampleShapes(size);
        return kind == u"emf" ? Metafiles::enhanced(size, shapes) : Metafiles::windows(size, shapes);
    }

    static QByteArray encoded(const QImage &image, const char *format)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    }

    // Bits per pixel of a Windows bitmap file (biBitCount).
    static int bitsPerPixel(const QByteArray &bmp)
    {
        return bmp.size() > 29 ? quint8(bmp[28]) | (quint8(bmp[29]) << 8) : -1;
    }

private slots:
    void metafilesAreDrawn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("fit");
        QTest::addColumn<QSize>("drawn");
        QTest::newRow("enhanced metafile") << "emf" << QSize(200, 100) << QSize(1024, 768) << QSize(200, 100);
        QTest::newRow("Windows metafile") << "wmf" << QSize(200, 100) << QSize(1024, 768) << QSize(200, 100);
        QTest::newRow("enhanced, larger than the box") << "emf" << QSize(3000, 1000) << QSize(1024, 768)
                                                       << QSize(1024, 341);
        QTest::newRow("Windows, larger than the box") << "wmf" << QSize(2000, 3000) << QSize(1024, 768)
                                                      << QSize(512, 768);
        QTest::newRow("enhanced, long and thin") << "emf" << QSize(3000, 2) << QSize(1024, 768) << QSize(1024, 1);
    }

    // Blue all over, red in the middle: the records were read, not guessed.
    void metafilesAreDrawn()
    {
        QFETCH(QString, kind);
        QFETCH(QSize, size);
        QFETCH(QSize, fit);
        QFETCH(QSize, drawn);
        const QString path = write(QStringLiteral("drawing.") + kind, metafile(kind, size));
        QCOMPARE(PictureFile::kindOf(path), kind == u"emf" ? PictureFile::Kind::Enhanced : PictureFile::Kind::Metafile);
        QString error;
        const QImage image = PictureFile::read(path, fit, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        // The libraries' frames may differ by a pixel at the far edges.
        QVERIFY2(qAbs(image.width() - drawn.width()) <= 1 && qAbs(image.height() - drawn.height()) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(image.width()).arg(image.height())));
        const int w = image.width(), h = image.height();
        if (h < 20)
            return; // too thin for colours to sit clear of the edges
        for (const QPoint p : {QPoint(w / 10, h / 10), QPoint(w - w / 10, h - h / 10), QPoint(w / 10, h - h / 10)})
            QCOMPARE(QColor(image.pixel(p)), QColor(Qt::blue));
        for (const QPoint p : {QPoint(w / 2, h / 2), QPoint(w / 2 - w / 8, h / 2), QPoint(w / 2, h / 2 + h / 8)})
            QCOMPARE(QColor(image.pixel(p)), QColor(Qt::red));
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray wmf = metafile(QStringLiteral("wmf"), QSize(80, 60));
        const QByteArray emf = metafile(QStringLiteral("emf"), QSize(80, 60));
        const QString damaged = QStringLiteral("The picture '%1' cannot be read: it is not a metafile, or it is damaged");
        QTest::newRow("text named as a Windows metafile") << "text.wmf" << QByteArray("not a picture at all")
                                                          << damaged.arg(QStringLiteral("text.wmf"));
        QTest::newRow("text named as an enhanced metafile") << "text.emf" << QByteArray("not a picture at all")
                                                            << damaged.arg(QStringLiteral("text.emf"));
        QTest::newRow("Windows metafile cut after its headers") << "cut.wmf" << wmf.left(40)
                                                                << damaged.arg(QStringLiteral("cut.wmf"));
        QTest::newRow("enhanced metafile cut inside its header") << "cut.emf" << emf.left(60)
                                                                 << damaged.arg(QStringLiteral("cut.emf"));
        QByteArray greedy = wmf; // the largest record said to be of a gigaword
        greedy[22 + 12] = 0;
        greedy[22 + 13] = 0;
        greedy[22 + 14] = 0;
        greedy[22 + 15] = 0x40;
        QTest::newRow("metafile whose header asks for a huge record") << "greedy.wmf" << greedy
                                                                      << damaged.arg(QStringLiteral("greedy.wmf"));
        QTest::newRow("empty enhanced metafile") << "empty.emf" << QByteArray()
                                                 << damaged.arg(QStringLiteral("empty.emf"));
        QTest::newRow("unknown extension") << "drawing.xyz" << wmf << "Unknown picture file extension (.xyz)";
        QTest::newRow("no extension") << "drawing" << emf << "Unknown picture file extension (.)";
    }

    void unreadableFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QString said;
        const QImage image = PictureFile::read(write(name, bytes), QSize(1024, 768), &said);
        QVERIFY(image.isNull());
        QCOMPARE(said, error);
    }

    void rasterPicturesFit_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("small JPEG keeps its size") << QByteArray("JPEG") << QSize(40, 30) << QSize(40, 30);
        QTest::newRow("wide JPEG") << QByteArray("JPEG") << QSize(3000, 1000) << QSize(1024, 341);
        QTest::newRow("tall TIFF") << QByteArray("TIFF") << QSize(600, 1536) << QSize(300, 768);
        QTest::newRow("bitmap exactly the box") << QByteArray("BMP") << QSize(1024, 768) << QSize(1024, 768);
        QTest::newRow("a long thin bitmap keeps a row") << QByteArray("BMP") << QSize(5000, 1) << QSize(1024, 1);
        QTest::newRow("a tall thin JPEG keeps a column") << QByteArray("JPEG") << QSize(2, 4000) << QSize(1, 768);
    }

    void rasterPicturesFit()
    {
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(QSize, expected);
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(10, 120, 200));
        const QString path = write(QStringLiteral("photo.") + QString::fromLatin1(format).toLower(), encoded(image, format));
        QString error;
        const QImage read = PictureFile::read(path, QSize(1024, 768), &error);
        QVERIFY2(!read.isNull(), qPrintable(error));
        QCOMPARE(read.size(), expected);
    }

    void storedBitmaps_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QSize>("stored");
        QTest::newRow("opaque, small") << QSize(40, 30) << false << QSize(40, 30);
        QTest::newRow("transparent parts turn white") << QSize(40, 30) << true << QSize(40, 30);
        QTest::newRow("larger than the box") << QSize(2048, 1024) << false << QSize(1024, 512);
    }

    // Always a 24-bit bitmap, which any program reads, of what was shown.
    void storedBitmaps()
    {
        QFETCH(QSize, size);
        QFETCH(bool, transparent);
        QFETCH(QSize, stored);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(QColor(200, 30, 60));
        if (transparent)
            image.setPixelColor(0, 0, Qt::transparent);
        const QByteArray bytes = PictureFile::toBitmap(image, QSize(1024, 768));
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(bitsPerPixel(bytes), 24);
        const QImage back = QImage::fromData(bytes, "BMP");
        QCOMPARE(back.size(), stored);
        QCOMPARE(QColor(back.pixel(back.width() / 2, back.height() / 2)), QColor(200, 30, 60));
        QCOMPARE(QColor(back.pixel(0, 0)), transparent ? QColor(Qt::white) : QColor(200, 30, 60));
        QVERIFY(PictureFile::isBitmapWithin(bytes, QSize(1024, 768)));
    }

    void bitmapsWithin_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("within");
        QImage small(100, 100, QImage::Format_RGB32);
        small.fill(Qt::gray);
        QImage large(1025, 10, QImage::Format_RGB32);
        large.fill(Qt::gray);
        QTest::newRow("a small bitmap") << encoded(small, "BMP") << true;
        QTest::newRow("a bitmap wider than the box") << encoded(large, "BMP") << false;
        QTest::newRow("a JPEG") << encoded(small, "JPEG") << false;
        QTest::newRow("nothing") << QByteArray() << false;
        QTest::newRow("a damaged bitmap") << QByteArray("BM and nothing more") << false;
    }

    void bitmapsWithin()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, within);
        QCOMPARE(PictureFile::isBitmapWithin(bytes, QSize(1024, 768)), within);
    }

    // libemf2svg brings a library that exports a function of the same name as
    // one that libwmf calls within itself; libwmf's own must be the one bound.
    void metafileLibrariesBindTheirOwnFunctions()
    {
        void *bound = dlsym(RTLD_DEFAULT, "wmf_free");
        QVERIFY(bound);
        Dl_info info{};
        QVERIFY(dladdr(bound, &info) != 0);
        QVERIFY2(QByteArray(info.dli_fname).contains("libwmflite"), info.dli_fname);
    }
};

QTEST_MAIN(TestPictureFile)
#include "tst_picturefile.moc"
