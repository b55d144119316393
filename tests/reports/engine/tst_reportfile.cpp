#include "ReportTestSupport.h"

#include "DataError.h"
#include "ReportFile.h"

#include <QBuffer>
#include <QDataStream>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>

using Damage = std::function<void(QByteArray &)>;
Q_DECLARE_METATYPE(Damage)

namespace {

// A small document whose encoding the corruption table knows: title "T", one
// picture, one page holding a picture item and then a text item.
ReportDocument tinyDocument()
{
    ReportDocument doc;
    doc.title = QStringLiteral("T");
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::green);
    doc.pictures.push_back(image);
    ReportPage page{21000, 29700, {}};
    page.items.push_back(PictureItem{{100, 100, 500, 400}, 0});
    TextItem t;
    t.text = QStringLiteral("Hola");
    t.font = ReportFont{QStringLiteral("Arial"), 10, false, false};
    t.box = {1000, 1000, 3000, 500};
    t.lines.push_back({QStringLiteral("Hola"), 1000, 1300, 800});
    page.items.push_back(t);
    doc.pages.push_back(page);
    return doc;
}

// Offsets in the tiny document's bytes.
constexpr int TitleSize = 6;
constexpr int Copies = 11;
constexpr int PictureCount = 33;
constexpr int PictureSize = 37;
constexpr int PictureData = 41;
int pageAt(const QByteArray &bytes)
{
    return PictureData + int(qFromBigEndian<quint32>(bytes.constData() + PictureSize));
}
// From the page count: page width +4, height +8, item count +12; the picture
// item's kind +16, box +17, picture index +33; the text item's kind +37, text
// +38, font family +46, point size +55, bold +63, box +65, alignment +81; the
// end +107.

void put32(QByteArray &b, int at, quint32 v)
{
    qToBigEndian(v, b.data() + at);
}

ReportDocument richDocument()
{
    ReportDocument doc;
    doc.title = QStringLiteral("Listado de Habitaciones");
    doc.printer.copies = 2;
    doc.printer.fromPage = 1;
    doc.printer.toPage = 1;
    doc.printer.paperBin = 260;
    doc.printer.duplex = PrinterSettings::Duplex::Simplex;
    doc.printer.colour = PrinterSettings::Colour::Colour;
    doc.printer.paperCode = 9;
    QImage withAlpha(7, 5, QImage::Format_ARGB32);
    withAlpha.fill(QColor(10, 20, 30, 128));
    withAlpha.setPixel(3, 2, qRgba(200, 100, 50, 7));
    QImage opaque(3, 9, QImage::Format_RGB32);
    opaque.fill(QColor(250, 240, 10));
    doc.pictures = {withAlpha, opaque};
    for (int p = 0; p < 3; ++p) {
        ReportPage page{21000, 29700, {}};
        page.items.push_back(FillItem{{1270, 1270, 18460, 500}});
        page.items.push_back(FillItem{{1270, 1800, 3000, 450}, qRgba(213, 94, 0, 255)});
        page.items.push_back(PictureItem{{1270, 1270, 1750, 1120}, p % 2});
        TextItem t;
        t.text = QStringLiteral("Año %1\nCafé con leche — ñandú €").arg(p);
        t.font = ReportFont{QStringLiteral("Cambria"), 14.5, true, true};
        t.box = {3000, -20, 5000, 1200};
        t.alignment = TextAlignment::Center;
        t.clip = true;
        t.lines = {{QStringLiteral("Año %1").arg(p), 3100, 260, 900}, {QStringLiteral("Café con leche — ñandú €"), 3000, 760, 5400}};
        page.items.push_back(t);
        page.items.push_back(LineItem{1270, 2000, 19730, 2000, 53});
        doc.pages.push_back(page);
    }
    return doc;
}

} // namespace

// The engine's own document file: exact round trips, and refusals of anything
// damaged, truncated or foreign.
class TestReportFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip()
    {
        const ReportDocument doc = richDocument();
        QCOMPARE(ReportFile::fromBytes(ReportFile::toBytes(doc), QStringLiteral("x")), doc);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("listado.rdoc"));
        ReportFile::save(doc, path);
        const ReportDocument loaded = ReportFile::load(path);
        QCOMPARE(loaded, doc);
        QCOMPARE(loaded.pictures[0].pixel(3, 2), qRgba(200, 100, 50, 7));
    }

    // Files of the first version, which had white fills only, still load; a
    // coloured fill is written in the second.
    void versions()
    {
        QByteArray bytes = ReportFile::toBytes(tinyDocument());
        QCOMPARE(qFromBigEndian<quint16>(bytes.constData() + 4), ReportFile::Version);
        bytes[5] = 1;
        QCOMPARE(ReportFile::fromBytes(bytes, QStringLiteral("x")), tinyDocument());

        ReportDocument coloured = tinyDocument();
        coloured.pages[0].items.push_back(FillItem{{0, 0, 100, 100}, qRgb(86, 180, 233)});
        coloured.pages[0].items.push_back(FillItem{{0, 0, 100, 100}});
        const QByteArray colouredBytes = ReportFile::toBytes(coloured);
        // The white fill keeps its first-version form: 17 bytes against 21.
        QCOMPARE(colouredBytes.size(), bytes.size() + 21 + 17);
        QCOMPARE(ReportFile::fromBytes(colouredBytes, QStringLiteral("x")), coloured);
        VERIFY_DATA_ERROR(ReportFile::fromBytes(colouredBytes.left(colouredBytes.size() - 17 - 2), QStringLiteral("x")),
                          QStringLiteral("El archivo «x» está dañado o incompleto"));
    }

    void emptyDocumentRoundTrip()
    {
        const ReportDocument doc;
        QCOMPARE(ReportFile::fromBytes(ReportFile::toBytes(doc), QStringLiteral("x")), doc);
    }

    // The table's offsets must describe the real encoding, or its cases prove nothing.
    void tinyLayoutIsKnown()
    {
        const QByteArray b = ReportFile::toBytes(tinyDocument());
        const int page = pageAt(b);
        QCOMPARE(qFromBigEndian<quint32>(b.constData() + TitleSize), 1u);
        QCOMPARE(qFromBigEndian<qint32>(b.constData() + Copies), 1);
        QCOMPARE(qFromBigEndian<quint32>(b.constData() + PictureCount), 1u);
        QCOMPARE(b.mid(PictureData + 1, 3), QByteArray("PNG"));
        QCOMPARE(qFromBigEndian<quint32>(b.constData() + page), 1u);
        QCOMPARE(qFromBigEndian<qint32>(b.constData() + page + 4), 21000);
        QCOMPARE(qFromBigEndian<quint32>(b.constData() + page + 12), 2u);
        QCOMPARE(quint8(b[page + 16]), quint8(2));
        QCOMPARE(qFromBigEndian<qint32>(b.constData() + page + 33), 0);
        QCOMPARE(quint8(b[page + 37]), quint8(1));
        QCOMPARE(b.mid(page + 42, 4), QByteArray("Hola"));
        QCOMPARE(b.mid(page + 50, 5), QByteArray("Arial"));
        QCOMPARE(qFromBigEndian<qint32>(b.constData() + page + 65), 1000);
        QCOMPARE(quint8(b[page + 81]), quint8(0));
        QCOMPARE(b.size(), page + 107);
    }

    void damaged_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<QString>("message");

        const QString foreign = QStringLiteral("no es un documento de informe");
        const QString broken = QStringLiteral("está dañado o incompleto");
        auto at = [](std::function<int(const QByteArray &)> offset, quint32 value) {
            return Damage([=](QByteArray &b) { put32(b, offset(b), value); });
        };
        auto fixed = [](int offset) { return [offset](const QByteArray &) { return offset; }; };
        auto inPage = [](int offset) { return [offset](const QByteArray &b) { return pageAt(b) + offset; }; };

        QTest::newRow("empty file") << Damage([](QByteArray &b) { b.clear(); }) << foreign;
        QTest::newRow("foreign file") << Damage([](QByteArray &b) { b = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj"; })
                                      << foreign;
        QTest::newRow("other magic") << at(fixed(0), 0x52444F44) << foreign;
        QTest::newRow("magic only") << Damage([](QByteArray &b) { b.truncate(4); }) << broken;
        QTest::newRow("version zero") << Damage([](QByteArray &b) { b[4] = 0; b[5] = 0; }) << broken;
        QTest::newRow("newer version") << Damage([](QByteArray &b) { b[5] = 3; }) << "formato más nuevo (versión 3)";
        QTest::newRow("cut in the title") << Damage([](QByteArray &b) { b.truncate(10); }) << broken;
        QTest::newRow("cut in the picture") << Damage([](QByteArray &b) { b.truncate(PictureData + 20); }) << broken;
        QTest::newRow("cut in a text") << Damage([](QByteArray &b) { b.truncate(pageAt(b) + 48); }) << broken;
        QTest::newRow("last byte missing") << Damage([](QByteArray &b) { b.chop(1); }) << broken;
        QTest::newRow("bytes after the end") << Damage([](QByteArray &b) { b.append('x'); }) << broken;
        QTest::newRow("huge title") << at(fixed(TitleSize), 0x7FFFFFFF) << broken;
        QTest::newRow("negative copies") << at(fixed(Copies), 0xFFFFFFFF) << broken;
        QTest::newRow("huge picture count") << at(fixed(PictureCount), 0xFFFFFFFF) << broken;
        QTest::newRow("huge picture size") << at(fixed(PictureSize), 0xFFFFFFF0) << broken;
        QTest::newRow("picture data damaged") << Damage([](QByteArray &b) { b[PictureData + 30] = char(b[PictureData + 30] ^ 0x55); })
                                              << broken;
        QTest::newRow("giant picture declared") << at(fixed(PictureData + 16), 100000) << broken;
        QTest::newRow("huge page count") << at(inPage(0), 0xFFFFFFFF) << broken;
        QTest::newRow("page without width") << at(inPage(4), 0) << broken;
        QTest::newRow("huge item count") << at(inPage(12), 0xFFFFFFFF) << broken;
        QTest::newRow("unknown item kind") << Damage([](QByteArray &b) { b[pageAt(b) + 16] = 9; }) << broken;
        QTest::newRow("coordinate out of range") << at(inPage(17), 0x7FFFFFFF) << broken;
        QTest::newRow("picture index too large") << at(inPage(33), 1) << broken;
        QTest::newRow("negative picture index") << at(inPage(33), 0xFFFFFFFF) << broken;
        QTest::newRow("huge text") << at(inPage(38), 0x7FFFFFF0) << broken;
        QTest::newRow("unknown alignment") << Damage([](QByteArray &b) { b[pageAt(b) + 81] = 7; }) << broken;
        QTest::newRow("font size not a number") << Damage([](QByteArray &b) {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            quint64 bits;
            std::memcpy(&bits, &nan, sizeof bits);
            qToBigEndian(bits, b.data() + pageAt(b) + 55);
        }) << broken;
        QTest::newRow("flag not 0 or 1") << Damage([](QByteArray &b) { b[pageAt(b) + 63] = 2; }) << broken;
    }

    void damaged()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, message);

        QByteArray bytes = ReportFile::toBytes(tinyDocument());
        damage(bytes);
        try {
            ReportFile::fromBytes(bytes, QStringLiteral("prueba.rdoc"));
            QFAIL("a damaged file was accepted");
        } catch (const DataError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("«prueba.rdoc»")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");

        QTest::newRow("missing file") << "/nonexistent/informe.rdoc" << "No se puede abrir el archivo";
        QTest::newRow("a folder") << "/tmp" << "No se puede abrir el archivo";
        QTest::newRow("a device") << "/dev/zero" << "no es un documento de informe";
    }

    void fileErrors()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        try {
            ReportFile::load(path);
            QFAIL("loaded");
        } catch (const DataError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    void saveErrors()
    {
        QVERIFY_THROWS_EXCEPTION(DataError, ReportFile::save(tinyDocument(), QStringLiteral("/nonexistent/x.rdoc")));
    }
};

QTEST_MAIN(TestReportFile)
#include "tst_reportfile.moc"
