#include "ReportTestSupport.h"

#include "DataError.h"
#include "Field.h"
#include "ReportProducer.h"
#include "TextLayout.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

#include <functional>

using Mutation = std::function<void(ReportDefinition &)>;
Q_DECLARE_METATYPE(Mutation)
Q_DECLARE_METATYPE(DocRect)

namespace {

const QDateTime Now = DateTimes::make(QDate(2024, 3, 5), QTime(14, 30, 15));

ReportDocument produce(const ReportDefinition &def)
{
    static const FixedTextMeasurer measurer;
    ReportProducer producer(def, measurer);
    producer.setNow(Now);
    return producer.produce();
}

// Rows "Fila 1".."Fila n" on a page with exactly 280 mm for bands: title 20 mm,
// column header 10 mm, detail 10 mm, summary 20 mm. Page 1 holds 25 details,
// later pages 27.
struct Listing
{
    MemoryCursor rows{QStringLiteral("Filas")};
    ReportDefinition def;

    explicit Listing(int n, bool withSummary = true)
    {
        rows.addField(QStringLiteral("Nombre"), Field::Kind::Text, 40);
        rows.addField(QStringLiteral("Numero"), Field::Kind::Integer);
        for (int i = 1; i <= n; ++i)
            rows.addRow({QStringLiteral("Fila %1").arg(i), whole(i)});
        rows.open();
        def.name = QStringLiteral("Prueba");
        def.mainCursor = &rows;
        def.page.topMargin = 10;
        def.page.bottomMargin = 7;
        def.title = ReportBand(20);
        def.title->add(ReportElement::label(QStringLiteral("Titulo"), {0, 0, 50, 5}));
        def.columnHeader = ReportBand(10);
        def.columnHeader->add(ReportElement::label(QStringLiteral("Encabezado"), {0, 0, 50, 5}));
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {0, 0, 60, 5}));
        if (withSummary) {
            def.summary = ReportBand(20);
            def.summary->add(ReportElement::label(QStringLiteral("Resumen"), {0, 0, 50, 5}));
        }
    }
};

// Consumptions of one stay, with the stay read from a second cursor.
struct Invoice
{
    MemoryCursor lines{QStringLiteral("Consumos")};
    MemoryCursor stays{QStringLiteral("Estadias")};
    ReportDefinition def;

    Invoice()
    {
        lines.addField(QStringLiteral("Servicio"), Field::Kind::Text, 40);
        lines.addField(QStringLiteral("Cantidad"), Field::Kind::Integer);
        lines.addField(QStringLiteral("Precio"), Field::Kind::Money).setCurrency(true);
        stays.addField(QStringLiteral("Huesped"), Field::Kind::Text, 40);
        stays.addField(QStringLiteral("PrecioFinal"), Field::Kind::Money).setCurrency(true);
        stays.addRow({QStringLiteral("Ana"), cash("300")});
        stays.addRow({QStringLiteral("Luis"), cash("450")});

        def.mainCursor = &lines;
        def.title = ReportBand(20);
        def.title->add(ReportElement::label(QStringLiteral("Factura"), {0, 0, 50, 5}));
        def.columnHeader = ReportBand(20);
        def.columnHeader->add(ReportElement::fieldText(&stays, QStringLiteral("Huesped"), {0, 0, 50, 5}));
        def.detail = ReportBand(6.3);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Servicio"), {0, 0, 60, 5}));
        def.detail->add(ReportElement::fieldText(&stays, QStringLiteral("Huesped"), {60, 0, 40, 5}));
        def.detail->add(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {150, 0, 30, 5},
                                                      QStringLiteral("$ 0.00"))
                            .withAlignment(TextAlignment::Right));
        def.summary = ReportBand(18);
        def.summary->add(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {150, 0, 30, 5},
                                                       QStringLiteral("$ 0,.00"), true)
                             .withAlignment(TextAlignment::Right));
        def.summary->add(ReportElement::fieldText(&stays, QStringLiteral("PrecioFinal"), {150, 8, 30, 5}));
    }

    void open()
    {
        lines.open();
        stays.open();
    }
};

ReportDocument produceParts(std::vector<const ReportDefinition *> parts)
{
    static const FixedTextMeasurer measurer;
    ReportProducer producer(std::move(parts), measurer);
    producer.setNow(Now);
    return producer.produce();
}

// A second part for Listing's pages: title 10 mm, column header 10 mm, detail
// 10 mm, a no-data line of 10 mm and a summary of 10 mm.
struct Part
{
    MemoryCursor rows{QStringLiteral("Parte")};
    ReportDefinition def;

    explicit Part(int n)
    {
        rows.addField(QStringLiteral("Nombre"), Field::Kind::Text, 40);
        for (int i = 1; i <= n; ++i)
            rows.addRow({QStringLiteral("B%1").arg(i)});
        rows.open();
        def.name = QStringLiteral("Parte B");
        def.mainCursor = &rows;
        // Not used: the first part's paper holds every part.
        def.page.landscape = true;
        def.title = ReportBand(10);
        def.title->add(ReportElement::label(QStringLiteral("TituloB"), {0, 0, 50, 5}));
        def.columnHeader = ReportBand(10);
        def.columnHeader->add(ReportElement::label(QStringLiteral("EncabezadoB"), {0, 0, 50, 5}));
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {0, 0, 60, 5}));
        def.noData = ReportBand(10);
        def.noData->add(ReportElement::label(QStringLiteral("SinFilasB"), {0, 0, 50, 5}));
        def.summary = ReportBand(10);
        def.summary->add(ReportElement::label(QStringLiteral("ResumenB"), {0, 0, 50, 5}));
    }
};

QByteArray pngBytes(QColor colour)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

int countOf(const QStringList &texts, const QString &prefix)
{
    int n = 0;
    for (const QString &t : texts)
        n += t.startsWith(prefix) ? 1 : 0;
    return n;
}

} // namespace

// Producing documents: values, expressions, sums, band order, pagination, text
// layout and pictures, with fixed text metrics.
class TestReportProducer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useSpanishSettings(); }

    void fieldText_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("currency");
        QTest::addColumn<QString>("displayFormat");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");

        const int money = int(Field::Kind::Money);
        const int integer = int(Field::Kind::Integer);
        const int text = int(Field::Kind::Text);
        const int date = int(Field::Kind::DateTime);
        const QVariant day = DateTimes::make(QDate(2024, 3, 5));
        const QVariant moment = DateTimes::make(QDate(2024, 3, 5), QTime(14, 30, 0));

        QTest::newRow("currency, no mask") << money << true << "" << cash("1234.5") << "" << "$ 1.234,50";
        QTest::newRow("negative currency") << money << true << "" << cash("-1234.5") << "" << "-$ 1.234,50";
        QTest::newRow("mask without grouping") << money << true << "" << cash("1234.5") << "$ 0.00" << "$ 1234,50";
        QTest::newRow("mask with grouping") << money << true << "" << cash("1234.5") << "$ 0,.00" << "$ 1.234,50";
        QTest::newRow("plain mask") << money << true << "" << cash("12.5") << "0.00" << "12,50";
        QTest::newRow("mask rounds half up") << money << true << "" << cash("2.345") << "0.00" << "2,35";
        QTest::newRow("mask rounds down") << money << true << "" << cash("2.344") << "0.00" << "2,34";
        QTest::newRow("negative through mask") << money << true << "" << cash("-1234.5") << "$ 0.00" << "-$ 1234,50";
        QTest::newRow("whole number") << integer << false << "" << whole(1234) << "" << "1234";
        QTest::newRow("whole number through mask") << integer << false << "" << whole(1234) << "0,.00" << "1.234,00";
        QTest::newRow("text as stored") << text << false << "" << QVariant(QStringLiteral("Café  doble")) << ""
                                        << "Café  doble";
        QTest::newRow("text ignores a mask") << text << false << "" << QVariant(QStringLiteral("12")) << "0.00" << "12";
        QTest::newRow("empty field") << money << true << "" << QVariant() << "" << "";
        QTest::newRow("empty field with mask") << money << true << "" << QVariant() << "$ 0.00" << "";
        QTest::newRow("day date") << date << false << "" << day << "" << "05/03/2024";
        QTest::newRow("date and time") << date << false << "" << moment << "" << "05/03/2024 14:30:00";
        QTest::newRow("display format") << date << false << "dd/mm/yyyy hh:nn" << moment << "" << "05/03/2024 14:30";
        QTest::newRow("date mask") << date << false << "" << moment << "yyyy-mm-dd" << "2024-03-05";
    }

    void fieldText()
    {
        QFETCH(int, kind);
        QFETCH(bool, currency);
        QFETCH(QString, displayFormat);
        QFETCH(QVariant, value);
        QFETCH(QString, mask);
        QFETCH(QString, expected);

        MemoryCursor c(QStringLiteral("Valores"));
        c.addField(QStringLiteral("Valor"), Field::Kind(kind), 40).setCurrency(currency).setDisplayFormat(displayFormat);
        c.addRow({value});
        c.open();
        ReportDefinition def;
        def.mainCursor = &c;
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("valor"), {0, 0, 80, 5}, mask));

        const ReportDocument doc = produce(def);
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(doc.pageTexts(0), QStringList{expected});
    }

    void expression_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QVariant>("quantity");
        QTest::addColumn<QVariant>("price");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");

        QTest::newRow("whole times currency") << "Cantidad*Precio" << whole(2) << cash("15") << "$ 0.00" << "$ 30,00";
        QTest::newRow("decimal price") << "Cantidad*Precio" << whole(1) << cash("40.5") << "$ 0.00" << "$ 40,50";
        QTest::newRow("no grouping in line mask") << "Cantidad*Precio" << whole(1) << cash("1234.5") << "$ 0.00"
                                                  << "$ 1234,50";
        QTest::newRow("grouping mask") << "Cantidad*Precio" << whole(1) << cash("1234.5") << "$ 0,.00" << "$ 1.234,50";
        QTest::newRow("whole stays whole") << "(Cantidad + 1) * 2" << whole(2) << cash("0") << "" << "6";
        QTest::newRow("decimal without mask") << "Precio*Precio" << whole(0) << cash("1.5") << "" << "2,25";
        QTest::newRow("quotient to four decimals") << "Precio/3" << whole(0) << cash("10") << "" << "3,3333";
        QTest::newRow("whole quotient is decimal") << "Cantidad/4" << whole(6) << cash("0") << "0.00" << "1,50";
        QTest::newRow("decimal literal") << "Precio*1.1" << whole(0) << cash("15") << "0.00" << "16,50";
        QTest::newRow("unary minus") << "-Precio" << whole(0) << cash("15") << "$ 0.00" << "-$ 15,00";
        QTest::newRow("names in any case") << "cantidad*PRECIO" << whole(3) << cash("2") << "0" << "6";
        QTest::newRow("empty fields count as zero") << "Cantidad*Precio+1" << QVariant() << QVariant() << "0.00"
                                                    << "1,00";
        QTest::newRow("division by zero") << "Precio/Cantidad" << whole(0) << cash("5") << "$ 0.00" << "#¡DIV/0!";
        QTest::newRow("whole overflow") << "Cantidad*Cantidad*Cantidad" << whole(3000000000) << cash("0") << ""
                                        << "#¡NUM!";
        QTest::newRow("money overflow") << "Precio*Precio" << whole(0) << cash("900000000000") << "" << "#¡NUM!";
    }

    void expression()
    {
        QFETCH(QString, expression);
        QFETCH(QVariant, quantity);
        QFETCH(QVariant, price);
        QFETCH(QString, mask);
        QFETCH(QString, expected);

        MemoryCursor c(QStringLiteral("Consumos"));
        c.addField(QStringLiteral("Cantidad"), Field::Kind::Integer);
        c.addField(QStringLiteral("Precio"), Field::Kind::Money).setCurrency(true);
        c.addRow({quantity, price});
        c.open();
        ReportDefinition def;
        def.mainCursor = &c;
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::expressionText(expression, {0, 0, 80, 5}, mask));
        QCOMPARE(produce(def).pageTexts(0), QStringList{expected});
    }

    void definitionErrors_data()
    {
        QTest::addColumn<Mutation>("mutation");
        QTest::addColumn<QString>("message");

        QTest::newRow("no main cursor") << Mutation([](ReportDefinition &d) { d.mainCursor = nullptr; })
                                        << "no tiene cursor principal";
        QTest::newRow("two columns") << Mutation([](ReportDefinition &d) { d.page.columns = 2; }) << "una columna";
        QTest::newRow("unknown field") << Mutation([](ReportDefinition &d) {
            d.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nada"), {}));
        }) << "Filas: Field 'Nada' not found";
        QTest::newRow("unknown group field") << Mutation([](ReportDefinition &d) {
            d.groups.push_back({QStringLiteral("Nada"), ReportBand(5), ReportBand(5)});
        }) << "Field 'Nada' not found";
        QTest::newRow("text in an expression") << Mutation([](ReportDefinition &d) {
            d.summary->add(ReportElement::expressionText(QStringLiteral("Nombre*2"), {}));
        }) << "el campo «Nombre» no es numérico";
        QTest::newRow("unknown name in an expression") << Mutation([](ReportDefinition &d) {
            d.summary->add(ReportElement::expressionText(QStringLiteral("Numero+Otro"), {}));
        }) << "campo desconocido «Otro»";
        QTest::newRow("missing operand") << Mutation([](ReportDefinition &d) {
            d.detail->add(ReportElement::expressionText(QStringLiteral("Numero*"), {}));
        }) << "falta un operando";
        QTest::newRow("unclosed parenthesis") << Mutation([](ReportDefinition &d) {
            d.detail->add(ReportElement::expressionText(QStringLiteral("(Numero+1"), {}));
        }) << "falta «)»";
        QTest::newRow("stray character") << Mutation([](ReportDefinition &d) {
            d.detail->add(ReportElement::expressionText(QStringLiteral("Numero $ 2"), {}));
        }) << "carácter inesperado «$»";
        QTest::newRow("picture from a text field") << Mutation([](ReportDefinition &d) {
            d.detail->add(ReportElement::fieldPicture(nullptr, QStringLiteral("Nombre"), {}));
        }) << "no contiene imágenes";
        QTest::newRow("no room between margins") << Mutation([](ReportDefinition &d) { d.page.topMargin = 290; })
                                                 << "márgenes";
    }

    // A faulty definition is refused before the main cursor moves.
    void definitionErrors()
    {
        QFETCH(Mutation, mutation);
        QFETCH(QString, message);

        Listing l(3);
        l.rows.moveTo(1);
        mutation(l.def);
        try {
            produce(l.def);
            QFAIL("no error");
        } catch (const DataError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QCOMPARE(l.rows.recNo(), 1);
    }

    void closedCursorIsReported()
    {
        Invoice inv;
        inv.lines.open();
        try {
            produce(inv.def);
            QFAIL("no error");
        } catch (const DataError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Estadias: ")), qPrintable(e.message()));
        }
    }

    void sums_data()
    {
        QTest::addColumn<QVariantList>("quantities");
        QTest::addColumn<QVariantList>("prices");
        QTest::addColumn<QStringList>("lineTotals");
        QTest::addColumn<QString>("total");

        QTest::newRow("two lines") << QVariantList{whole(2), whole(1)} << QVariantList{cash("15"), cash("40.5")}
                                   << QStringList{"$ 30,00", "$ 40,50"} << "$ 70,50";
        QTest::newRow("grouping only in the total") << QVariantList{whole(1)} << QVariantList{cash("1234.5")}
                                                    << QStringList{"$ 1234,50"} << "$ 1.234,50";
        QTest::newRow("negative total") << QVariantList{whole(-3), whole(1)} << QVariantList{cash("1000"), cash("0.5")}
                                        << QStringList{"-$ 3000,00", "$ 0,50"} << "-$ 2.999,50";
    }

    void sums()
    {
        QFETCH(QVariantList, quantities);
        QFETCH(QVariantList, prices);
        QFETCH(QStringList, lineTotals);
        QFETCH(QString, total);

        Invoice inv;
        for (qsizetype i = 0; i < quantities.size(); ++i)
            inv.lines.addRow({QStringLiteral("S%1").arg(i), quantities[i], prices[i]});
        // A sum standing before the details prints the same total.
        inv.def.title->add(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {100, 0, 50, 5},
                                                         QStringLiteral("$ 0,.00"), true));
        inv.open();
        const QStringList texts = produce(inv.def).pageTexts(0);

        QStringList expected{QStringLiteral("Factura"), total, QStringLiteral("Ana")};
        for (qsizetype i = 0; i < lineTotals.size(); ++i)
            expected << QStringLiteral("S%1").arg(i) << QStringLiteral("Ana") << lineTotals[i];
        expected << total << QStringLiteral("$ 300,00");
        QCOMPARE(texts, expected);
    }

    // No records: title, one empty detail whose expression counts as zero, summary.
    void emptyCursor()
    {
        Invoice inv;
        inv.def.groups.push_back({QStringLiteral("Servicio"), ReportBand(10), ReportBand(10)});
        inv.def.groups[0].header.add(ReportElement::label(QStringLiteral("Grupo"), {0, 0, 40, 5}));
        inv.def.groups[0].footer.add(ReportElement::label(QStringLiteral("Fin"), {0, 0, 40, 5}));
        inv.open();
        const ReportDocument doc = produce(inv.def);

        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(doc.pageTexts(0),
                 (QStringList{"Factura", "", "", "$ 0,00", "$ 0,00", "$ 300,00"}));
        const TextItem *line = findText(doc, 0, QStringLiteral("$ 0,00"));
        QVERIFY(line);
        // The detail follows the title directly: 12.7 mm margin + 20 mm title.
        QCOMPARE(line->box.top, 1270 + 2000);

        inv.def.printIfEmpty = false;
        QCOMPARE(produce(inv.def).pageCount(), 0);
    }

    // The main cursor is walked to its end and left on its last record; other
    // cursors keep their record.
    void cursorsAfterProducing()
    {
        Invoice inv;
        for (int i = 0; i < 3; ++i)
            inv.lines.addRow({QStringLiteral("S%1").arg(i), whole(1), cash("1")});
        inv.open();
        inv.stays.moveTo(1);
        const ReportDocument doc = produce(inv.def);

        QVERIFY(inv.lines.atEnd());
        QCOMPARE(inv.lines.recNo(), 2);
        QCOMPARE(inv.stays.recNo(), 1);
        QCOMPARE(countOf(doc.pageTexts(0), QStringLiteral("Luis")), 4);
    }

    void pagination_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("summary");
        QTest::addColumn<QList<int>>("rowsPerPage");
        QTest::addColumn<int>("summaryPage");

        QTest::newRow("one row") << 1 << true << QList<int>{1} << 1;
        QTest::newRow("rows exactly fill page 1") << 25 << false << QList<int>{25} << 0;
        QTest::newRow("one row more") << 26 << false << QList<int>{25, 1} << 0;
        QTest::newRow("rows exactly fill page 2") << 52 << false << QList<int>{25, 27} << 0;
        QTest::newRow("summary just fits") << 23 << true << QList<int>{23} << 1;
        QTest::newRow("summary does not fit") << 24 << true << QList<int>{24, 0} << 2;
        QTest::newRow("summary after a full page") << 25 << true << QList<int>{25, 0} << 2;
        QTest::newRow("three pages") << 60 << true << QList<int>{25, 27, 8} << 3;
    }

    void pagination()
    {
        QFETCH(int, rows);
        QFETCH(bool, summary);
        QFETCH(QList<int>, rowsPerPage);
        QFETCH(int, summaryPage);

        Listing l(rows, summary);
        const ReportDocument doc = produce(l.def);
        QCOMPARE(doc.pageCount(), rowsPerPage.size());
        int next = 1;
        for (int p = 0; p < doc.pageCount(); ++p) {
            const QStringList texts = doc.pageTexts(p);
            QStringList expected;
            if (p == 0)
                expected << QStringLiteral("Titulo");
            expected << QStringLiteral("Encabezado");
            for (int i = 0; i < rowsPerPage[p]; ++i)
                expected << QStringLiteral("Fila %1").arg(next++);
            if (summaryPage == p + 1)
                expected << QStringLiteral("Resumen");
            QCOMPARE(texts, expected);
            QCOMPARE(doc.pages[size_t(p)].width, 21000);
            QCOMPARE(doc.pages[size_t(p)].height, 29700);
        }
        // Details follow the header without gaps, also on later pages.
        QCOMPARE(findText(doc, 0, QStringLiteral("Fila 1"))->box.top, 1000 + 2000 + 1000);
        if (rowsPerPage.value(0) == 25)
            QCOMPARE(findText(doc, 0, QStringLiteral("Fila 25"))->box.top, 28000);
        if (rowsPerPage.value(1) > 0)
            QCOMPARE(findText(doc, 1, QStringLiteral("Fila 26"))->box.top, 1000 + 1000);
    }

    // A band that cannot fit even on a page of its own still ends pagination.
    void bandTallerThanPage_data()
    {
        QTest::addColumn<double>("headerHeight");
        QTest::addColumn<double>("detailHeight");
        QTest::addColumn<QString>("flow");

        QTest::newRow("detail") << 10.0 << 300.0
                                << "Titulo Encabezado # Encabezado Fila 1 # Encabezado Fila 2 # Encabezado Resumen";
        QTest::newRow("column header") << 300.0 << 10.0
                                       << "Titulo # Encabezado Fila 1 # Encabezado Fila 2 # Encabezado Resumen";
    }

    void bandTallerThanPage()
    {
        QFETCH(double, headerHeight);
        QFETCH(double, detailHeight);
        QFETCH(QString, flow);

        Listing l(2);
        l.def.columnHeader->height = headerHeight;
        l.def.detail->height = detailHeight;
        QCOMPARE(flowOf(produce(l.def)), flow);
    }

    // Consecutive records with the same group value are one group, wherever they
    // come from; the footer shows the group's last record.
    void groups()
    {
        MemoryCursor rooms(QStringLiteral("Habitaciones"));
        rooms.addField(QStringLiteral("IdTipo"), Field::Kind::Integer);
        rooms.addField(QStringLiteral("Nombre"), Field::Kind::Text, 40);
        rooms.addField(QStringLiteral("Numero"), Field::Kind::Text, 10);
        rooms.addRow({whole(1), QStringLiteral("Doble"), QStringLiteral("101")});
        rooms.addRow({whole(1), QStringLiteral("Doble"), QStringLiteral("102")});
        rooms.addRow({whole(2), QStringLiteral("Simple"), QStringLiteral("201")});
        rooms.addRow({whole(3), QStringLiteral("Simple"), QStringLiteral("301")});
        rooms.addRow({whole(4), QStringLiteral("Suite"), QStringLiteral("401")});
        rooms.open();

        ReportDefinition def;
        def.mainCursor = &rooms;
        def.columnHeader = ReportBand(10);
        def.columnHeader->add(ReportElement::label(QStringLiteral("Listado"), {0, 0, 40, 5}));
        ReportGroup group{QStringLiteral("Nombre"), ReportBand(20), ReportBand(5)};
        group.header.add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {0, 0, 40, 5}));
        group.footer.add(ReportElement::label(QStringLiteral("Fin"), {0, 0, 10, 4}));
        group.footer.add(ReportElement::fieldText(nullptr, QStringLiteral("Numero"), {10, 0, 20, 4}));
        def.groups.push_back(group);
        def.detail = ReportBand(5);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Numero"), {0, 0, 20, 4}));
        def.summary = ReportBand(10);
        def.summary->add(ReportElement::label(QStringLiteral("Total"), {0, 0, 20, 4}));

        QCOMPARE(flowOf(produce(def)),
                 QStringLiteral("Listado Doble 101 102 Fin 102 Simple 201 301 Fin 301 Suite 401 Fin 401 Total"));
        QVERIFY(rooms.atEnd());
        QCOMPARE(rooms.recNo(), 4);
    }

    // A group header never stays alone at a page's foot, and is not repeated
    // where its group goes on on the next page.
    void groupHeaderAtPageFoot_data()
    {
        QTest::addColumn<int>("firstGroupRows");
        QTest::addColumn<QString>("pageOneEnd");
        QTest::addColumn<QString>("pageTwoStart");

        // 21 rows leave exactly the header's 30 mm: the header moves with its first row.
        QTest::newRow("header would be alone") << 21 << "A21" << "Encabezado B B1";
        QTest::newRow("header and row fit") << 20 << "B B1" << "Encabezado B2";
        QTest::newRow("group goes on") << 30 << "A24" << "Encabezado A25";
    }

    void groupHeaderAtPageFoot()
    {
        QFETCH(int, firstGroupRows);
        QFETCH(QString, pageOneEnd);
        QFETCH(QString, pageTwoStart);

        MemoryCursor rows(QStringLiteral("Filas"));
        rows.addField(QStringLiteral("Grupo"), Field::Kind::Text, 10);
        rows.addField(QStringLiteral("Nombre"), Field::Kind::Text, 10);
        for (int i = 1; i <= firstGroupRows; ++i)
            rows.addRow({QStringLiteral("A"), QStringLiteral("A%1").arg(i)});
        for (int i = 1; i <= 5; ++i)
            rows.addRow({QStringLiteral("B"), QStringLiteral("B%1").arg(i)});
        rows.open();

        ReportDefinition def;
        def.mainCursor = &rows;
        def.page.topMargin = 10;
        def.page.bottomMargin = 7;
        def.columnHeader = ReportBand(10);
        def.columnHeader->add(ReportElement::label(QStringLiteral("Encabezado"), {0, 0, 50, 5}));
        ReportGroup group{QStringLiteral("Grupo"), ReportBand(30), ReportBand(0)};
        group.header.add(ReportElement::fieldText(nullptr, QStringLiteral("Grupo"), {0, 0, 50, 5}));
        def.groups.push_back(group);
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Nombre"), {0, 0, 50, 5}));

        const QStringList pages = flowOf(produce(def)).split(QStringLiteral(" # "));
        QVERIFY(pages.size() >= 2);
        QVERIFY2(pages[0].endsWith(pageOneEnd), qPrintable(pages[0]));
        QVERIFY2(pages[1].startsWith(pageTwoStart), qPrintable(pages[1]));
    }

    void textLayout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthChars");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("clip");

        // 10 pt: characters 2 mm wide, first line 3.6 mm tall, then 4 mm each.
        QTest::newRow("fits") << "Hola mundo" << 20 << 400 << true << "Hola mundo" << false;
        QTest::newRow("breaks at blanks") << "uno dos tres cuatro" << 8 << 2000 << true << "uno dos|tres|cuatro" << false;
        QTest::newRow("blanks at a break go") << "uno    dos" << 4 << 2000 << true << "uno|dos" << false;
        QTest::newRow("long word") << "abcdefghijkl" << 5 << 2000 << true << "abcde|fghij|kl" << false;
        QTest::newRow("long word after a short one") << "ab cdefghijkl" << 5 << 2000 << true << "ab|cdefg|hijkl"
                                                     << false;
        QTest::newRow("newlines in data") << "uno\ndos\r\ntres\rcuatro" << 20 << 2000 << true << "uno|dos|tres|cuatro"
                                          << false;
        QTest::newRow("empty line kept") << "uno\n\ntres" << 20 << 2000 << true << "uno||tres" << false;
        QTest::newRow("tab prints as a blank") << "a\tb" << 20 << 400 << true << "a b" << false;
        QTest::newRow("cut at the box's height") << "uno dos tres cuatro" << 4 << 800 << true << "uno|dos" << false;
        QTest::newRow("one line more needs 4 mm") << "uno dos tres cuatro" << 4 << 1160 << true << "uno|dos|tres"
                                                  << false;
        QTest::newRow("first line always") << "uno dos" << 4 << 100 << true << "uno" << false;
        QTest::newRow("without wrap: clipped") << "uno dos tres" << 4 << 2000 << false << "uno dos tres" << true;
        QTest::newRow("without wrap: lines kept") << "uno\ndos" << 4 << 2000 << false << "uno|dos" << false;
        QTest::newRow("empty text") << "" << 4 << 2000 << true << "" << false;
    }

    void textLayout()
    {
        QFETCH(QString, text);
        QFETCH(int, widthChars);
        QFETCH(int, height);
        QFETCH(bool, wrap);
        QFETCH(QString, lines);
        QFETCH(bool, clip);

        const FixedTextMeasurer m;
        const DocRect box{1000, 3000, widthChars * 200, height};
        const TextItem t = TextLayout::layout(m, ReportFont(), text, box, TextAlignment::Left, wrap, false);
        QStringList got;
        for (const TextLine &l : t.lines)
            got << l.text;
        QCOMPARE(got.join(u'|'), lines);
        QCOMPARE(t.clip, clip);
        QCOMPARE(t.box, box);
        for (size_t i = 0; i < t.lines.size(); ++i) {
            QCOMPARE(t.lines[i].x, 1000);
            QCOMPARE(t.lines[i].baseline, 3000 + 280 + int(i) * 400);
        }
    }

    void numberLayout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthChars"); // of 10 pt, 2 mm each
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("printed");
        QTest::newRow("fits") << "$ 123,45" << 10 << 10.0 << "$ 123,45";
        QTest::newRow("fills the box exactly") << "1234567890" << 10 << 10.0 << "1234567890";
        QTest::newRow("a little wider: a smaller size") << "$ 1234567,89" << 10 << 8.3 << "$ 1234567,89";
        QTest::newRow("the size steps down by tenths of a point") << "$ 1234567890" << 9 << 7.5 << "$ 1234567890";
        QTest::newRow("far wider: a row of marks") << "$ 123456789012,34" << 10 << 10.0 << "##########";
        QTest::newRow("an error mark too wide") << "#¡NUM!" << 3 << 10.0 << "###";
    }

    // A number is never broken or cut: a piece of it reads as another number.
    void numberLayout()
    {
        QFETCH(QString, text);
        QFETCH(int, widthChars);
        QFETCH(double, points);
        QFETCH(QString, printed);
        const FixedTextMeasurer m;
        const DocRect box{1000, 3000, widthChars * 200, 500};
        const TextItem t = TextLayout::layoutNumber(m, ReportFont(), text, box, TextAlignment::Right, false);
        QCOMPARE(t.lines.size(), size_t(1));
        QCOMPARE(t.lines[0].text, printed);
        QCOMPARE(t.text, printed);
        QCOMPARE(t.font.points, points);
        QVERIFY(t.lines[0].width <= box.width);
        QCOMPARE(t.lines[0].x, box.right() - t.lines[0].width);
        QVERIFY(!t.clip);
        QCOMPARE(t.box, box);
    }

    void numbersInDocuments_data()
    {
        QTest::addColumn<QVariant>("price");
        QTest::addColumn<QString>("unitPrice");
        QTest::addColumn<QString>("lineTotal");
        QTest::newRow("the largest price a user types, 999 times") << cash("99999999.99") << "$ 99.999.999,99"
                                                                  << "$ 99899999990,01";
        QTest::newRow("a total beyond the money type") << cash("900000000000000") << "$ 900.000.000.000.000,00"
                                                       << "#¡NUM!";
    }

    // In a document the amounts print whole (smaller when needed) or as marks,
    // never as a piece that reads as another amount.
    void numbersInDocuments()
    {
        QFETCH(QVariant, price);
        QFETCH(QString, unitPrice);
        QFETCH(QString, lineTotal);
        MemoryCursor c(QStringLiteral("Consumos"));
        c.addField(QStringLiteral("Cantidad"), Field::Kind::Integer);
        c.addField(QStringLiteral("Precio"), Field::Kind::Money).setCurrency(true);
        c.addRow({whole(999), price});
        c.open();
        ReportDefinition def;
        def.mainCursor = &c;
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldText(nullptr, QStringLiteral("Precio"), {0, 0, 25.7, 5.3})
                            .withAlignment(TextAlignment::Right));
        def.detail->add(ReportElement::expressionText(QStringLiteral("Cantidad*Precio"), {30, 0, 25.8, 5.3},
                                                      QStringLiteral("$ 0.00"))
                            .withAlignment(TextAlignment::Right));
        const QStringList texts = produce(def).pageTexts(0);
        QCOMPARE(texts.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QString whole = i == 0 ? unitPrice : lineTotal;
            QVERIFY2(texts[i] == whole || (!texts[i].isEmpty() && texts[i] == QString(texts[i].size(), u'#')),
                     qPrintable(texts[i]));
        }
    }

    void alignmentAndAutoSize_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<int>("boxWidth");
        QTest::addColumn<QList<int>>("xs");

        QTest::newRow("left") << int(TextAlignment::Left) << false << 2000 << QList<int>{1000, 1000};
        QTest::newRow("centre") << int(TextAlignment::Center) << false << 2000 << QList<int>{1700, 1500};
        QTest::newRow("right") << int(TextAlignment::Right) << false << 2000 << QList<int>{2400, 2000};
        // The box takes the widest line's width; the left edge stays.
        QTest::newRow("auto-size") << int(TextAlignment::Left) << true << 1000 << QList<int>{1000, 1000};
    }

    void alignmentAndAutoSize()
    {
        QFETCH(int, alignment);
        QFETCH(bool, autoSize);
        QFETCH(int, boxWidth);
        QFETCH(QList<int>, xs);

        const FixedTextMeasurer m;
        const DocRect box{1000, 0, 2000, 2000};
        const TextItem t = TextLayout::layout(m, ReportFont(), QStringLiteral("abc\nabcde"), box,
                                              TextAlignment(alignment), true, autoSize);
        QCOMPARE(t.box.left, 1000);
        QCOMPARE(t.box.width, autoSize ? boxWidth : 2000);
        QCOMPARE(t.lines.size(), size_t(2));
        QCOMPARE(t.lines[0].x, xs[0]);
        QCOMPARE(t.lines[1].x, xs[1]);
    }

    // An auto-size element's background and frame follow its text.
    void autoSizeElement()
    {
        Listing l(1, false);
        l.def.title->elements.clear();
        l.def.title->add(ReportElement::label(QStringLiteral("Hotel"), {10, 2, 85.3, 13.6})
                             .withAutoSize()
                             .withFrame(FrameLines::all()));
        const ReportDocument doc = produce(l.def);
        const ReportPage &page = doc.pages[0];
        const DocRect expected{1270 + 1000, 1000 + 200, 5 * 200, 1360};
        QCOMPARE(std::get<FillItem>(page.items[0]).box, expected);
        QCOMPARE(std::get<TextItem>(page.items[1]).box, expected);
        QCOMPARE(std::get<LineItem>(page.items[2]), (LineItem{2270, 1200, 3270, 1200, 26}));
        QCOMPARE(std::get<LineItem>(page.items[5]), (LineItem{3270, 1200, 3270, 2560, 26}));
    }

    void systemData_data()
    {
        QTest::addColumn<int>("system");
        QTest::addColumn<QString>("leading");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("expected");

        const int dateTime = int(ReportElement::System::DateTime);
        const int count = int(ReportElement::System::DetailCount);
        QTest::newRow("date and time") << dateTime << "" << 3 << "05/03/2024 14:30:15";
        QTest::newRow("leading text") << dateTime << "Impreso: " << 3 << "Impreso: 05/03/2024 14:30:15";
        QTest::newRow("detail count") << count << "" << 3 << "3";
        QTest::newRow("count with text") << count << "Cantidad: " << 1234 << "Cantidad: 1234";
        QTest::newRow("no records") << count << "" << 0 << "0";
    }

    void systemData()
    {
        QFETCH(int, system);
        QFETCH(QString, leading);
        QFETCH(int, rows);
        QFETCH(QString, expected);

        Listing l(rows);
        l.def.summary->elements.clear();
        l.def.summary->add(ReportElement::systemData(ReportElement::System(system), {0, 0, 80, 5}, leading));
        const ReportDocument doc = produce(l.def);
        QCOMPARE(doc.pageTexts(doc.pageCount() - 1).last(), expected);
    }

    // Pictures are stored once; a damaged or missing one prints nothing.
    void pictures()
    {
        MemoryCursor c(QStringLiteral("Tipos"));
        c.addField(QStringLiteral("Foto"), Field::Kind::Blob);
        const QByteArray red = pngBytes(Qt::red);
        QByteArray damaged = red;
        damaged.truncate(30);
        for (int i = 0; i < 40; ++i)
            c.addRow({i % 4 == 0 ? QVariant(red) : i % 4 == 1 ? QVariant(damaged)
                      : i % 4 == 2 ? QVariant(QByteArray("no es una imagen")) : QVariant()});
        c.open();
        QImage logo(8, 8, QImage::Format_ARGB32);
        logo.fill(Qt::blue);

        ReportDefinition def;
        def.mainCursor = &c;
        def.columnHeader = ReportBand(20);
        def.columnHeader->add(ReportElement::fixedPicture(logo, {0, 0, 20, 15}));
        def.detail = ReportBand(10);
        def.detail->add(ReportElement::fieldPicture(nullptr, QStringLiteral("Foto"), {0, 0, 12, 9}));

        const ReportDocument doc = produce(def);
        QVERIFY(doc.pageCount() >= 2);
        QCOMPARE(doc.pictures.size(), size_t(2));
        int shown = 0;
        for (const ReportPage &page : doc.pages) {
            QCOMPARE(std::get<PictureItem>(page.items[1]).picture, 0); // the logo atop each page
            shown += countItems<PictureItem>(page) - 1;
        }
        QCOMPARE(shown, 10);
        QCOMPARE(doc.pictures[1].pixel(0, 0), QColor(Qt::red).rgb());
        QCOMPARE(doc.pictures[0].format(), QImage::Format_ARGB32);
        QCOMPARE(doc.pictures[1].format(), QImage::Format_RGB32);
    }

    // Parts of one document follow one another; each part's title prints where
    // it begins, its column header atop each page it runs on, and a part
    // without rows prints its no-data line instead of its details.
    void parts_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("flow");

        auto rows = [](const char *prefix, int from, int to) {
            QStringList out;
            for (int i = from; i <= to; ++i)
                out << QString::fromLatin1(prefix) + QString::number(i);
            return out.join(u' ');
        };
        // Page 1 holds 280 mm: title 20, header 10, then 10 mm per band.
        QTest::newRow("both on one page")
            << 2 << 2 << "Titulo Encabezado Fila 1 Fila 2 Resumen TituloB EncabezadoB B1 B2 ResumenB";
        QTest::newRow("an empty second part says so")
            << 2 << 0 << "Titulo Encabezado Fila 1 Fila 2 Resumen TituloB SinFilasB ResumenB";
        QTest::newRow("an empty first part")
            << 0 << 1 << "Titulo Resumen TituloB EncabezadoB B1 ResumenB";
        // 20 rows and the summary leave 30 mm: title, header and a detail fit.
        QTest::newRow("the second part's opening just fits")
            << 20 << 2
            << "Titulo Encabezado " + rows("Fila ", 1, 20) + " Resumen TituloB EncabezadoB B1 # EncabezadoB B2 ResumenB";
        // 21 rows and the summary leave 20 mm: the second part starts a page.
        QTest::newRow("the second part starts a new page")
            << 21 << 1 << "Titulo Encabezado " + rows("Fila ", 1, 21) + " Resumen # TituloB EncabezadoB B1 ResumenB";
        QTest::newRow("the second part runs over pages with its own header")
            << 1 << 30
            << "Titulo Encabezado Fila 1 Resumen TituloB EncabezadoB " + rows("B", 1, 20) + " # EncabezadoB "
                   + rows("B", 21, 30) + " ResumenB";
    }

    void parts()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, flow);

        Listing a(first);
        Part b(second);
        const ReportDocument doc = produceParts({&a.def, &b.def});
        QCOMPARE(flowOf(doc), flow);
        QCOMPARE(doc.title, QStringLiteral("Prueba"));
        for (const ReportPage &page : doc.pages)
            QCOMPARE(page.width, 21000);
        QVERIFY(b.rows.atEnd());
        // A single part is the document a definition makes alone.
        QCOMPARE(produceParts({&a.def}), produce(a.def));
    }

    // A drawing element draws, per record and within its box, what the data
    // tells; it draws nothing for the empty detail of a cursor without rows.
    void drawingElement()
    {
        Listing l(2, false);
        Cursor *rows = &l.rows;
        int calls = 0;
        l.def.detail->add(ReportElement::drawing({100, 1, 50, 8}, [&, rows](ReportCanvas &c) {
            ++calls;
            const qint64 n = rows->fieldByName(QStringLiteral("Numero")).asInteger();
            c.fill({n * 10.0, 0, 10, 4}, QColor(0xd5, 0x5e, 0x00));
            c.text({n * 10.0, 4, 20, 4}, QStringLiteral("Barra %1").arg(n), ReportFont{}, TextAlignment::Right);
            c.frame({0, 0, 50, 8}, {.bottom = true}, 0.1);
        }));
        l.def.detail->add(ReportElement::label(QStringLiteral("Gris"), {170, 0, 10, 5}).withBackground(Qt::lightGray));
        const ReportDocument doc = produce(l.def);
        QCOMPARE(calls, 2);
        // Detail 1 starts at 10 + 20 + 10 mm, detail 2 ten below; the box at 12.7 + 100 mm.
        for (int n = 1; n <= 2; ++n) {
            const int top = 4000 + (n - 1) * 1000 + 100;
            const int left = 1270 + 10000;
            bool fill = false;
            bool line = false;
            for (const PageItem &item : doc.pages[0].items) {
                if (const auto *f = std::get_if<FillItem>(&item); f && f->colour == qRgb(0xd5, 0x5e, 0x00)
                                                                 && f->box == DocRect{left + n * 1000, top, 1000, 400})
                    fill = true;
                if (const auto *li = std::get_if<LineItem>(&item);
                    li && *li == LineItem{left, top + 800, left + 5000, top + 800, 10})
                    line = true;
            }
            QVERIFY2(fill, qPrintable(QStringLiteral("bar %1").arg(n)));
            QVERIFY2(line, qPrintable(QStringLiteral("line %1").arg(n)));
            const TextItem *t = findText(doc, 0, QStringLiteral("Barra %1").arg(n));
            QVERIFY(t);
            QCOMPARE(t->box, (DocRect{left + n * 1000, top + 400, 2000, 400}));
            QCOMPARE(t->alignment, TextAlignment::Right);
        }
        const TextItem *grey = findText(doc, 0, QStringLiteral("Gris"));
        QVERIFY(grey);
        bool greyFill = false;
        for (const PageItem &item : doc.pages[0].items)
            if (const auto *f = std::get_if<FillItem>(&item); f && f->box == grey->box)
                greyFill = f->colour == QColor(Qt::lightGray).rgba();
        QVERIFY(greyFill);

        calls = 0;
        Listing empty(0, false);
        empty.def.detail = l.def.detail;
        produce(empty.def);
        QCOMPARE(calls, 0);
    }

    void frameLines()
    {
        Listing l(1, false);
        l.def.detail->frame = {.top = true, .bottom = true};
        l.def.detail->elements[0].frame = {.left = true};
        const ReportDocument doc = produce(l.def);
        const auto &items = doc.pages[0].items;
        const int y = 1000 + 2000 + 1000; // top margin, title, column header
        QCOMPARE(countItems<LineItem>(doc.pages[0]), 3);
        QCOMPARE(std::get<LineItem>(items[items.size() - 3]), (LineItem{1270, y, 1270, y + 500, 26}));
        QCOMPARE(std::get<LineItem>(items[items.size() - 2]), (LineItem{1270, y, 21000 - 1270, y, 53}));
        QCOMPARE(std::get<LineItem>(items[items.size() - 1]),
                 (LineItem{1270, y + 1000, 21000 - 1270, y + 1000, 53}));
        QCOMPARE(countItems<FillItem>(doc.pages[0]), 3);
        l.def.detail->elements[0].transparent = true;
        QCOMPARE(countItems<FillItem>(produce(l.def).pages[0]), 2);
    }

    // Data that may be missing: a fallback prints in place of a blank field, a
    // missing or unreadable picture, a closed cursor or one without a record; a
    // field list joins the fields given and prints nothing at all when none is.
    void fallbacks_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QVariantList>("row"); // Nombre, Domicilio, Telefono, Logo; empty: no row
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QRgb>("picture");

        const QRgb fallback = QColor(Qt::blue).rgb();
        const QRgb stored = QColor(Qt::red).rgb();
        QByteArray damaged = pngBytes(Qt::red);
        damaged.truncate(30);
        QTest::newRow("closed cursor") << false << QVariantList{} << QStringList{"Hotel Velmira"} << fallback;
        QTest::newRow("no record") << true << QVariantList{} << QStringList{"Hotel Velmira"} << fallback;
        QTest::newRow("empty record") << true << QVariantList{QVariant(), QVariant(), QVariant(), QVariant()}
                                      << QStringList{"Hotel Velmira"} << fallback;
        QTest::newRow("blanks") << true << QVariantList{"   ", " ", "", QByteArray()} << QStringList{"Hotel Velmira"}
                                << fallback;
        QTest::newRow("all given") << true << QVariantList{"Hotel del Sur", "Calle 1", " 555-1234 ", pngBytes(Qt::red)}
                                   << QStringList{"Hotel del Sur", "Calle 1 · 555-1234"} << stored;
        QTest::newRow("one given") << true << QVariantList{"Hotel del Sur", QVariant(), "555", damaged}
                                   << QStringList{"Hotel del Sur", "555"} << fallback;
    }

    void fallbacks()
    {
        QFETCH(bool, open);
        QFETCH(QVariantList, row);
        QFETCH(QStringList, texts);
        QFETCH(QRgb, picture);

        MemoryCursor datos(QStringLiteral("Datos"));
        datos.addField(QStringLiteral("Nombre"), Field::Kind::Text, 60);
        datos.addField(QStringLiteral("Domicilio"), Field::Kind::Text, 60);
        datos.addField(QStringLiteral("Telefono"), Field::Kind::Text, 60);
        datos.addField(QStringLiteral("Logo"), Field::Kind::Blob);
        if (!row.isEmpty())
            datos.addRow({row[0], row[1], row[2], row[3]});
        if (open)
            datos.open();
        QImage program(6, 6, QImage::Format_RGB32);
        program.fill(Qt::blue);

        Listing l(1, false);
        l.def.title->elements.clear();
        l.def.title->add(ReportElement::fieldPicture(&datos, QStringLiteral("Logo"), {0, 0, 20, 15}).withFallback(program));
        l.def.title->add(
            ReportElement::fieldText(&datos, QStringLiteral("Nombre"), {25, 0, 50, 8}).withFallback(QStringLiteral("Hotel Velmira")));
        l.def.title->add(ReportElement::fieldList(&datos, {QStringLiteral("Domicilio"), QStringLiteral("Telefono")},
                                                  QStringLiteral(" · "), {25, 10, 80, 4})
                             .withOmitWhenEmpty());
        const ReportDocument doc = produce(l.def);
        QCOMPARE(doc.pageTexts(0).mid(0, texts.size()), texts);
        QCOMPARE(doc.pageTexts(0).at(texts.size()), QStringLiteral("Encabezado"));
        // Picture, name and list each with a white background, the list only when it prints.
        int titleFills = 0;
        for (const PageItem &item : doc.pages[0].items)
            if (const auto *f = std::get_if<FillItem>(&item); f && f->box.top < 1000 + 2000) // the title band
                ++titleFills;
        QCOMPARE(titleFills, 1 + texts.size());
        const auto &pictureItem = std::get<PictureItem>(doc.pages[0].items[1]);
        QCOMPARE(doc.pictures.at(size_t(pictureItem.picture)).pixel(0, 0), picture);
        QCOMPARE(pictureItem.box, (DocRect{1270, 1000, 2000, 1500}));
    }

    // Without a fallback, a closed cursor is still an error.
    void closedCursorWithoutFallback()
    {
        MemoryCursor datos(QStringLiteral("Datos"));
        datos.addField(QStringLiteral("Nombre"), Field::Kind::Text, 60);
        Listing l(1, false);
        l.def.title->add(ReportElement::fieldText(&datos, QStringLiteral("Nombre"), {25, 0, 50, 8}));
        VERIFY_DATA_ERROR(produce(l.def), "Datos: Cannot perform this operation on a closed dataset");
    }

    // A one-line text wider than its fit width prints whole at a smaller size of
    // the same font, centred on the height the full line took. Fixed metrics: a
    // character is points * 20 wide, a line points * 36 high (ascent 28).
    void fitWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("fitWidth");
        QTest::addColumn<bool>("autoSize");
        QTest::addColumn<double>("points");

        QTest::newRow("fits") << "abcdefghij" << 30.0 << true << 10.0;
        QTest::newRow("exactly") << "abcdefghij" << 20.0 << true << 10.0;
        QTest::newRow("shrinks") << "abcdefghij" << 15.0 << true << 7.5;
        QTest::newRow("tenths") << "abcdefghij" << 14.9 << true << 7.4;
        QTest::newRow("widest paragraph") << "abc\nabcdefghij" << 10.0 << true << 5.0;
        QTest::newRow("very long") << QString(300, u'x') << 5.0 << true << 1.0;
        QTest::newRow("not auto-size") << "abcdefghij" << 15.0 << false << 10.0;
        QTest::newRow("off") << "abcdefghij" << 0.0 << true << 10.0;
    }

    void fitWidth()
    {
        QFETCH(QString, text);
        QFETCH(double, fitWidth);
        QFETCH(bool, autoSize);
        QFETCH(double, points);

        Listing l(1, false);
        l.def.title->elements.clear();
        const ReportFont font{QStringLiteral("Cambria"), 10, true, true};
        l.def.title->add(ReportElement::label(text, {10, 2, 60, 8})
                             .withFont(font)
                             .withAutoSize(autoSize)
                             .withWordWrap(false)
                             .withFitWidth(fitWidth));
        const ReportDocument doc = produce(l.def);
        const auto &t = std::get<TextItem>(doc.pages[0].items[1]);
        QCOMPARE(t.font.family, font.family);
        QVERIFY(t.font.bold && t.font.italic);
        QCOMPARE(t.font.points, points);
        QCOMPARE(qsizetype(t.lines.size()), text.count(u'\n') + 1);
        QCOMPARE(t.lines.back().text, text.section(u'\n', -1));
        if (autoSize && fitWidth > 0)
            QVERIFY(t.box.width <= DocUnits::fromMm(fitWidth) || points == 1.0);
        const int top = 1000 + 200; // the top margin, then the element's place in the band
        const int shift = (360 - (qRound(points * 28) + qRound(points * 8))) / 2;
        QCOMPARE(t.lines[0].baseline, top + qRound(points * 28) + shift);
    }

    // A picture that keeps its proportions is centred in its box; without the
    // flag, or for the fallback, it fills the box.
    void keepAspect_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<DocRect>("box");

        const int x = 1270; // the margins
        const int y = 1000;
        // A 4 x 3 picture in a 20 x 20 mm box.
        QTest::newRow("kept") << true << true << DocRect{x, y + 250, 2000, 1500};
        QTest::newRow("stretched") << false << true << DocRect{x, y, 2000, 2000};
        QTest::newRow("fallback stretched") << true << false << DocRect{x, y, 2000, 2000};
    }

    void keepAspect()
    {
        QFETCH(bool, keep);
        QFETCH(bool, stored);
        QFETCH(DocRect, box);

        MemoryCursor datos(QStringLiteral("Datos"));
        datos.addField(QStringLiteral("Logo"), Field::Kind::Blob);
        datos.addRow({stored ? QVariant(pngBytes(Qt::red)) : QVariant()});
        datos.open();
        QImage program(4, 3, QImage::Format_RGB32);
        program.fill(Qt::blue);
        Listing l(1, false);
        l.def.title->elements.clear();
        l.def.title->add(ReportElement::fieldPicture(&datos, QStringLiteral("Logo"), {0, 0, 20, 20})
                             .withFallback(program)
                             .withKeepAspect(keep));
        const ReportDocument doc = produce(l.def);
        QCOMPARE(std::get<FillItem>(doc.pages[0].items[0]).box, (DocRect{1270, 1000, 2000, 2000}));
        QCOMPARE(std::get<PictureItem>(doc.pages[0].items[1]).box, box);
    }
};

QTEST_MAIN(TestReportProducer)
#include "tst_reportproducer.moc"
