#include "HotelPicture.h"
#include "ImageList16.h"

#include <QGuiApplication>
#include <QSet>
#include <QtTest>

namespace {

const QList<int> UsedIcons = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15, 16, 17, 18, 34, 35, 36};

int opaquePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    return count;
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void everyIconIsSixteenPixels();
    void usedIconsShowSomethingAndUnusedOnesNothing();
    void usedIconsDifferFromEachOther();
    void boxShapedIconsSitOnThePixelGrid_data();
    void boxShapedIconsSitOnThePixelGrid();
    void highRatioPixmapsAreRenderedAtTheirSize();
    void iconOffersSharpPixmapsForEachRatio();
    void indexOutsideTheListGivesNull_data();
    void indexOutsideTheListGivesNull();
    void imagesAreRenderedOnce();
    void hotelPictureIsFullSizeAndNotBlank();
    void hotelPictureRendersAtPrintSize();
};

void TestPictures::everyIconIsSixteenPixels()
{
    QCOMPARE(ImageList16::Count, 37);
    for (int i = 0; i < ImageList16::Count; ++i) {
        const QImage image = ImageList16::image(i);
        QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("icon %1").arg(i)));
        QCOMPARE(image.size(), QSize(16, 16));
        QVERIFY(image.hasAlphaChannel());
        QVERIFY2(ImageList16::svg(i).startsWith("<svg"), qPrintable(QStringLiteral("icon %1").arg(i)));
    }
}

void TestPictures::usedIconsShowSomethingAndUnusedOnesNothing()
{
    for (int i = 0; i < ImageList16::Count; ++i) {
        const int opaque = opaquePixels(ImageList16::image(i));
        if (UsedIcons.contains(i))
            QVERIFY2(opaque >= 30, qPrintable(QStringLiteral("icon %1 has %2 opaque pixels").arg(i).arg(opaque)));
        else
            QVERIFY2(opaque == 0, qPrintable(QStringLiteral("unused icon %1 is not empty").arg(i)));
    }
}

void TestPictures::usedIconsDifferFromEachOther()
{
    for (qsizetype a = 0; a < UsedIcons.size(); ++a) {
        for (qsizetype b = a + 1; b < UsedIcons.size(); ++b) {
            const int diff = differingPixels(ImageList16::image(UsedIcons[a]), ImageList16::image(UsedIcons[b]));
            QVERIFY2(diff >= 12, qPrintable(QStringLiteral("icons %1 and %2 differ in only %3 pixels")
                                                .arg(UsedIcons[a]).arg(UsedIcons[b]).arg(diff)));
        }
    }
}

void TestPictures::boxShapedIconsSitOnThePixelGrid_data()
{
    QTest::addColumn<int>("index");
    for (int i : {2, 3, 5, 6, 9, 10, 12, 15})
        QTest::addRow("%d", i) << i;
}

// Straight-edged pictures drawn on whole pixels have no half-covered edge
// pixels; a half-pixel shift would blur every edge.
void TestPictures::boxShapedIconsSitOnThePixelGrid()
{
    QFETCH(int, index);
    const QImage image = ImageList16::image(index);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            QVERIFY2(alpha == 0 || alpha == 255,
                     qPrintable(QStringLiteral("pixel %1,%2 has alpha %3").arg(x).arg(y).arg(alpha)));
        }
}

void TestPictures::highRatioPixmapsAreRenderedAtTheirSize()
{
    const QPixmap one = ImageList16::pixmap(16, 1.0);
    QCOMPARE(one.size(), QSize(16, 16));
    QCOMPARE(one.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), ImageList16::image(16));

    const QPixmap two = ImageList16::pixmap(16, 2.0);
    QCOMPARE(two.size(), QSize(32, 32));
    QCOMPARE(two.devicePixelRatio(), 2.0);
    QCOMPARE(two.deviceIndependentSize(), QSizeF(16, 16));
    // Rendered from the drawing, not enlarged from the 16-pixel image.
    const QImage enlarged = ImageList16::image(16).scaled(32, 32, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QVERIFY(differingPixels(two.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), enlarged) > 50);

    const QPixmap oneAndHalf = ImageList16::pixmap(16, 1.5);
    QCOMPARE(oneAndHalf.size(), QSize(24, 24));
    QCOMPARE(oneAndHalf.devicePixelRatio(), 1.5);
}

void TestPictures::iconOffersSharpPixmapsForEachRatio()
{
    const QIcon icon = ImageList16::icon(5);
    QVERIFY(!icon.isNull());
    const QImage atTwo = icon.pixmap(QSize(16, 16), 2.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(atTwo.size(), QSize(32, 32));
    QCOMPARE(atTwo, ImageList16::pixmap(5, 2.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    const QImage atOne = icon.pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(atOne, ImageList16::image(5));
    QVERIFY(!icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).isNull());
}

void TestPictures::indexOutsideTheListGivesNull_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("-1") << -1;
    QTest::newRow("37") << 37;
    QTest::newRow("1000") << 1000;
}

void TestPictures::indexOutsideTheListGivesNull()
{
    QFETCH(int, index);
    QVERIFY(ImageList16::image(index).isNull());
    QVERIFY(ImageList16::pixmap(index).isNull());
    QVERIFY(ImageList16::pixmap(index, 2.0).isNull());
    QVERIFY(ImageList16::icon(index).isNull());
    QVERIFY(ImageList16::svg(index).isEmpty());
}

void TestPictures::imagesAreRenderedOnce()
{
    QCOMPARE(ImageList16::image(7).cacheKey(), ImageList16::image(7).cacheKey());
    QCOMPARE(ImageList16::pixmap(7, 2.0).cacheKey(), ImageList16::pixmap(7, 2.0).cacheKey());
    QCOMPARE(HotelPicture::image().cacheKey(), HotelPicture::image().cacheKey());
}

void TestPictures::hotelPictureIsFullSizeAndNotBlank()
{
    const QImage image = HotelPicture::image();
    QCOMPARE(image.size(), QSize(505, 400));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() > 200, qPrintable(QStringLiteral("only %1 colours").arg(colours.size())));
    // Sky above: the top row is blue rather than any other colour.
    const QColor sky = image.pixelColor(image.width() / 2, 2);
    QVERIFY2(sky.blue() > sky.red() + 30 && sky.blue() > sky.green(), qPrintable(sky.name()));
    QVERIFY(HotelPicture::svg().contains("viewBox=\"0 0 505 400\""));
}

void TestPictures::hotelPictureRendersAtPrintSize()
{
    const QImage print = HotelPicture::image(QSize(305, 203));
    QCOMPARE(print.size(), QSize(305, 203));
    const QImage reference = HotelPicture::image().scaled(305, 203, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The same picture: on average, colours close to a scaled copy of the full one.
    qint64 total = 0;
    for (int y = 0; y < print.height(); ++y)
        for (int x = 0; x < print.width(); ++x) {
            const QRgb a = print.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            total += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    const double mean = double(total) / (print.width() * print.height() * 3);
    QVERIFY2(mean < 12, qPrintable(QString::number(mean)));
    QVERIFY(HotelPicture::image(QSize()).isNull());
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
