#include "BoundEdit.h"
#include "BoundImage.h"
#include "PictureDialog.h"
#include "ReportEngine.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UDatosDelHotel.h"
#include "UPrincipal.h"
#include "UReporteFactura.h"
#include "WindowTest.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

TFDatosDelHotel &w()
{
    return *FDatosDelHotel;
}

Cursor &datos()
{
    return *DM->TDatosDelHotel;
}

// Runs the window's operation, acting inside it once it shows; closes it by its
// close box afterwards unless `inside` closed it.
void administrar(const std::function<void()> &inside)
{
    QTimer::singleShot(0, &w(), [inside] {
        inside();
        if (w().isVisible())
            w().close();
    });
    w().AdministrarDatos();
}

// Replaces the edit's text, typed key by key, accents included.
void type(BoundEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (QChar c : text) {
        const char16_t upper = c.toUpper().unicode();
        const Qt::Key key = upper < 0x80 ? Qt::Key(upper) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, edit, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, edit, key, QString(c), Qt::NoModifier);
    }
}

QImage bitmapOf(const QByteArray &bytes)
{
    return QImage::fromData(bytes, "BMP");
}

// Bits per pixel of a BMP file's bytes.
int bitsPerPixel(const QByteArray &bytes)
{
    return bytes.size() > 29 ? quint8(bytes[28]) | (quint8(bytes[29]) << 8) : 0;
}

const QString NameMissing = QStringLiteral(
    "Escriba el nombre del hotel: sin él, los documentos se imprimen con el nombre del programa.");

} // namespace

// The window of the hotel's own data over a fresh database file.
class TestDatosDelHotel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<QTemporaryDir> m_files;

    void start(const QString &folder)
    {
        Startup::createAll(folder);
        Regional::setSettings(spanishSettings());
    }

    QVariant stored(const char *column)
    {
        return m_db->scalar(QStringLiteral("SELECT %1 FROM DatosDelHotel").arg(QLatin1String(column)));
    }

    int rows() { return m_db->scalar(QStringLiteral("SELECT count(*) FROM DatosDelHotel")).toInt(); }

    void storeHotel(const QString &name, const QByteArray &logo = QByteArray())
    {
        m_db->exec(QStringLiteral("INSERT INTO DatosDelHotel (Nombre, Domicilio, Logo) VALUES (?, ?, ?)"),
                   {name, QStringLiteral("Calle Vieja 1"), logo.isNull() ? QVariant() : QVariant(logo)});
    }

    QString pictureFile(const QString &name, const QImage &image, const char *format)
    {
        const QString path = m_files->filePath(name);
        if (format) {
            image.save(path, format);
        } else {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("no es una imagen");
        }
        return path;
    }

    // Chooses a logo with the dialog answered by `path` (empty: cancelled).
    static void chooseLogo(const QString &path)
    {
        w().runDlgOpen = [path] { return path; };
        QTest::mouseClick(w().btElegirLogo, Qt::LeftButton);
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_files = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_files.reset();
        m_db.reset();
    }

    void layout()
    {
        start(m_db->target());
        QCOMPARE(w().windowTitle(), QStringLiteral("Datos del Hotel"));
        QVERIFY(!w().isVisible());
        QCOMPARE(w().parent(), FPrincipal);
        const QList<QPair<QLabel *, BoundEdit *>> fields{{w().Label1, w().DBEdit1}, {w().Label2, w().DBEdit2},
                                                         {w().Label3, w().DBEdit3}, {w().Label4, w().DBEdit4},
                                                         {w().Label5, w().DBEdit5}};
        const QStringList captions{"Nombre del Hotel", "Domicilio", "Teléfono", "Correo Electrónico", "Identificación Fiscal"};
        for (qsizetype i = 0; i < fields.size(); ++i) {
            QCOMPARE(fields[i].first->text(), captions[i]);
            QCOMPARE(fields[i].first->buddy(), fields[i].second);
            QCOMPARE(fields[i].second->maxLength(), 60);
            QCOMPARE(fields[i].second->accessibleName(), captions[i]);
        }
        QCOMPARE(w().btAceptar->text(), QStringLiteral(" Aceptar"));
        QCOMPARE(w().btCancelar->text(), QStringLiteral("Cancelar"));
        for (QWidget *c : std::initializer_list<QWidget *>{w().dbImgLogo, w().btElegirLogo, w().btQuitarLogo,
                                                            w().btAceptar, w().btCancelar})
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
        QCOMPARE(w().dlgOpen->nameFilters(), PictureDialog::pictureFilters());
        // Every control inside the window.
        for (QWidget *c : w().findChildren<QWidget *>())
            if (c->parentWidget() == &w() && !c->isHidden())
                QVERIFY2(QRect(QPoint(), w().size()).contains(c->geometry()), qPrintable(c->objectName()));
    }

    // " Aceptar" stores the record, new or not, and the documents print it at
    // once; the cursor ends browsing.
    void acceptStores_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("first record") << false;
        QTest::newRow("existing record") << true;
    }

    void acceptStores()
    {
        QFETCH(bool, existing);
        if (existing)
            storeHotel(QStringLiteral("Hotel Viejo"));
        start(m_db->target());
        DialogAnswers answers;
        administrar([&] {
            QCOMPARE(datos().state(), existing ? Cursor::State::Edit : Cursor::State::Insert);
            QVERIFY(w().DBEdit1->isEnabled());
            QCOMPARE(w().DBEdit1->text(), existing ? QStringLiteral("Hotel Viejo") : QString());
            type(w().DBEdit1, QStringLiteral("Hostería del Lago"));
            type(w().DBEdit3, QStringLiteral("+54 294 555-0101"));
            type(w().DBEdit4, QStringLiteral("reservas@lago.com.ar"));
            type(w().DBEdit5, QStringLiteral("CUIT 30-71234567-8"));
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(!w().isVisible());
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(w().modalResult(), int(FormWindow::mrOk));
        QCOMPARE(datos().state(), Cursor::State::Browse);
        QCOMPARE(rows(), 1);
        QCOMPARE(stored("Nombre").toString(), QStringLiteral("Hostería del Lago"));
        QCOMPARE(stored("Domicilio").toString(), existing ? QStringLiteral("Calle Vieja 1") : QString());
        QCOMPARE(stored("Telefono").toString(), QStringLiteral("+54 294 555-0101"));
        QCOMPARE(stored("EMail").toString(), QStringLiteral("reservas@lago.com.ar"));
        QCOMPARE(stored("IdentificacionFiscal").toString(), QStringLiteral("CUIT 30-71234567-8"));

        const ReportDocument invoice = ReportEngine::produce(FFactura->repFactura);
        QCOMPARE(invoice.pageTexts(0).mid(0, 2),
                 (QStringList{"Hostería del Lago",
                              existing ? "Calle Vieja 1  ·  +54 294 555-0101  ·  reservas@lago.com.ar  ·  CUIT 30-71234567-8"
                                       : "+54 294 555-0101  ·  reservas@lago.com.ar  ·  CUIT 30-71234567-8"}));
    }

    // "Cancelar" and the close box drop what was typed, picture included.
    void cancelDrops_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("new, cancelled") << false << false;
        QTest::newRow("new, closed") << false << true;
        QTest::newRow("existing, cancelled") << true << false;
        QTest::newRow("existing, closed") << true << true;
    }

    void cancelDrops()
    {
        QFETCH(bool, existing);
        QFETCH(bool, closeBox);
        if (existing)
            storeHotel(QStringLiteral("Hotel Viejo"));
        start(m_db->target());
        const QString logo = pictureFile(QStringLiteral("logo.bmp"), QImage(8, 8, QImage::Format_RGB32), "BMP");
        DialogAnswers answers;
        administrar([&] {
            type(w().DBEdit1, QStringLiteral("Otro Nombre"));
            chooseLogo(logo);
            QVERIFY(!w().dbImgLogo->picture().isNull());
            if (!closeBox)
                QTest::mouseClick(w().btCancelar, Qt::LeftButton);
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(w().modalResult(), int(FormWindow::mrCancel));
        QCOMPARE(datos().state(), Cursor::State::Browse);
        QCOMPARE(datos().recordCount(), existing ? 1 : 0);
        QCOMPARE(rows(), existing ? 1 : 0);
        if (existing) {
            QCOMPARE(stored("Nombre").toString(), QStringLiteral("Hotel Viejo"));
            QVERIFY(stored("Logo").isNull());
            QCOMPARE(datos().value(QStringLiteral("Nombre")).toString(), QStringLiteral("Hotel Viejo"));
        }
    }

    // A name is needed as soon as anything else is given; an entirely empty
    // record is accepted (the documents then print as without one).
    void nameRequired_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("logo");
        QTest::addColumn<bool>("refused");
        QTest::newRow("address without name") << "" << "San Martín 120" << false << true;
        QTest::newRow("blank name") << "   " << "San Martín 120" << false << true;
        QTest::newRow("logo without name") << "" << "" << true << true;
        QTest::newRow("nothing at all") << "" << "" << false << false;
        QTest::newRow("name alone") << "Hotel Sur" << "" << false << false;
    }

    void nameRequired()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(bool, logo);
        QFETCH(bool, refused);
        start(m_db->target());
        const QString file = pictureFile(QStringLiteral("logo.bmp"), QImage(8, 8, QImage::Format_RGB32), "BMP");
        DialogAnswers answers({QStringLiteral("OK")});
        administrar([&] {
            type(w().DBEdit1, name);
            type(w().DBEdit2, address);
            if (logo)
                chooseLogo(file);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QCOMPARE(w().isVisible(), refused);
            if (refused) {
                QCOMPARE(datos().state(), Cursor::State::Insert);
                QCOMPARE(w().focusWidget(), w().DBEdit1);
                // Corrected, it is accepted.
                type(w().DBEdit1, QStringLiteral("Hotel Sur"));
                QTest::mouseClick(w().btAceptar, Qt::LeftButton);
                QVERIFY(!w().isVisible());
            }
        });
        QCOMPARE(answers.texts(), refused ? QStringList{NameMissing} : QStringList());
        if (refused)
            QCOMPARE(answers.boxes().front().icon, QMessageBox::Critical);
        QCOMPARE(rows(), 1);
        QCOMPARE(stored("Nombre").toString(), refused ? QStringLiteral("Hotel Sur") : name);
        QCOMPARE(stored("Logo").isNull(), !logo);
    }

    // The edits take no more than their columns hold.
    void lengthLimits()
    {
        start(m_db->target());
        const QString longText(70, u'x');
        administrar([&] {
            for (BoundEdit *e : {w().DBEdit1, w().DBEdit2, w().DBEdit3, w().DBEdit4, w().DBEdit5})
                type(e, longText);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
        });
        for (const char *column : {"Nombre", "Domicilio", "Telefono", "EMail", "IdentificacionFiscal"})
            QCOMPARE(stored(column).toString(), QString(60, u'x'));
    }

    // Any picture the photo dialog offers becomes a 24-bit bitmap, transparent
    // parts on white, no larger than 1024 x 768; a file that is no picture, or
    // of an unknown kind, is reported and leaves the logo as it was.
    void logo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format"); // empty: bytes that are no picture
        QTest::addColumn<QSize>("size");        // of the picture written
        QTest::addColumn<QSize>("storedSize");  // invalid: refused, the old logo stays
        QTest::addColumn<QString>("error");     // the start of the message

        QTest::newRow("bitmap") << "logo.bmp" << QByteArray("BMP") << QSize(60, 40) << QSize(60, 40) << "";
        QTest::newRow("jpeg") << "logo.jpg" << QByteArray("JPEG") << QSize(60, 40) << QSize(60, 40) << "";
        QTest::newRow("tiff") << "logo.tif" << QByteArray("TIFF") << QSize(30, 50) << QSize(30, 50) << "";
        QTest::newRow("transparent png") << "logo.png" << QByteArray("PNG") << QSize(40, 40) << QSize(40, 40) << "";
        QTest::newRow("large") << "logo.bmp" << QByteArray("BMP") << QSize(2048, 1024) << QSize(1024, 512) << "";
        QTest::newRow("tall") << "logo.bmp" << QByteArray("BMP") << QSize(400, 1536) << QSize(200, 768) << "";
        QTest::newRow("unknown kind") << "logo.txt" << QByteArray("BMP") << QSize(8, 8) << QSize()
                                      << "Unknown picture file extension (.txt)";
        QTest::newRow("no picture") << "logo.bmp" << QByteArray() << QSize(8, 8) << QSize()
                                    << "The picture 'logo.bmp' cannot be read";
    }

    void logo()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(QSize, storedSize);
        QFETCH(QString, error);

        QImage old(10, 10, QImage::Format_RGB32);
        old.fill(Qt::green);
        storeHotel(QStringLiteral("Hotel Sur"), BoundImage::bitmapBytes(old));
        start(m_db->target());
        // Half transparent, half blue: transparent parts must come out white.
        QImage picture(size, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        if (format == "PNG")
            for (int y = 0; y < size.height(); ++y)
                for (int x = size.width() / 2; x < size.width(); ++x)
                    picture.setPixelColor(x, y, Qt::transparent);
        const QString path = pictureFile(file, format == "PNG" ? picture : picture.convertToFormat(QImage::Format_RGB32),
                                         format.isEmpty() ? nullptr : format.constData());
        DialogAnswers answers(QStringLiteral("OK"));
        administrar([&] {
            chooseLogo(path);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
        });
        QCOMPARE(answers.boxes().size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty()) {
            QVERIFY2(answers.texts().front().startsWith(error), qPrintable(answers.texts().front()));
            QCOMPARE(answers.titles().front(), QStringLiteral("Administración de Hotel"));
        }
        const QByteArray bytes = stored("Logo").toByteArray();
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(bitsPerPixel(bytes), 24);
        const QImage kept = bitmapOf(bytes);
        if (!storedSize.isValid()) {
            QCOMPARE(kept.pixelColor(5, 5), QColor(Qt::green));
            return;
        }
        QCOMPARE(kept.size(), storedSize);
        const QColor left = kept.pixelColor(2, kept.height() / 2);
        QVERIFY2(left.blue() > 200 && left.red() < 40 && left.green() < 40, qPrintable(left.name()));
        if (format == "PNG")
            QCOMPARE(kept.pixelColor(kept.width() - 2, kept.height() / 2), QColor(Qt::white));
    }

    // "Quitar Logo" empties the logo on " Aceptar"; "Cancelar" keeps it; a
    // cancelled dialog changes nothing.
    void removeLogo_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("kept");
        QTest::newRow("removed, accepted") << true << true << false;
        QTest::newRow("removed, cancelled") << true << false << true;
        QTest::newRow("dialog cancelled, accepted") << false << true << true;
    }

    void removeLogo()
    {
        QFETCH(bool, remove);
        QFETCH(bool, accept);
        QFETCH(bool, kept);
        QImage old(10, 10, QImage::Format_RGB32);
        old.fill(Qt::green);
        const QByteArray logo = BoundImage::bitmapBytes(old);
        storeHotel(QStringLiteral("Hotel Sur"), logo);
        start(m_db->target());
        DialogAnswers answers;
        administrar([&] {
            QVERIFY(!w().dbImgLogo->picture().isNull());
            if (remove)
                QTest::mouseClick(w().btQuitarLogo, Qt::LeftButton);
            else
                chooseLogo(QString());
            QCOMPARE(w().dbImgLogo->picture().isNull(), remove);
            QTest::mouseClick(accept ? w().btAceptar : w().btCancelar, Qt::LeftButton);
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(stored("Logo").toByteArray(), kept ? logo : QByteArray());
        QCOMPARE(stored("Logo").isNull(), !kept);
    }

    // Clicking the picture chooses a logo too.
    void clickingThePictureChooses()
    {
        start(m_db->target());
        QImage red(20, 10, QImage::Format_RGB32);
        red.fill(Qt::red);
        const QString path = pictureFile(QStringLiteral("logo.bmp"), red, "BMP");
        administrar([&] {
            type(w().DBEdit1, QStringLiteral("Hotel Sur"));
            w().runDlgOpen = [path] { return path; };
            QTest::mouseClick(w().dbImgLogo, Qt::LeftButton);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
        });
        QCOMPARE(bitmapOf(stored("Logo").toByteArray()).pixelColor(1, 1), QColor(Qt::red));
    }

    // Another desk stored the record after this one read the table: the
    // database keeps one record only, and the refusal reaches the user.
    void secondRecordRefused()
    {
        start(m_db->target());
        m_db->exec(QStringLiteral("INSERT INTO DatosDelHotel (Nombre) VALUES ('Hotel de Otra Mesa')"));
        DialogAnswers answers(QStringLiteral("OK"));
        administrar([&] {
            QCOMPARE(datos().state(), Cursor::State::Insert);
            type(w().DBEdit1, QStringLiteral("Hotel Sur"));
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(w().isVisible());
            QCOMPARE(datos().state(), Cursor::State::Insert);
        });
        QCOMPARE(answers.boxes().size(), 1);
        QVERIFY2(answers.texts().front().contains(QStringLiteral("DatosDelHotel holds one row only")),
                 qPrintable(answers.texts().front()));
        QCOMPARE(rows(), 1);
        QCOMPARE(stored("Nombre").toString(), QStringLiteral("Hotel de Otra Mesa"));
        QCOMPARE(datos().state(), Cursor::State::Browse);
    }

    // A file made before the table existed, or no database at all: the window
    // opens with its fields off, and " Aceptar" says what to do.
    void withoutTable_data()
    {
        QTest::addColumn<bool>("database");
        QTest::newRow("file without the table") << true;
        QTest::newRow("no database") << false;
    }

    void withoutTable()
    {
        QFETCH(bool, database);
        QTemporaryDir empty;
        DialogAnswers answers(QStringLiteral("OK"));
        if (database) {
            m_db->exec(QStringLiteral("DROP TABLE DatosDelHotel"));
            start(m_db->target());
            QCOMPARE(answers.boxes().size(), 0);
            QVERIFY(DM->TEstadias->isOpen());
        } else {
            start(empty.path());
            QCOMPARE(answers.boxes().size(), 1); // the start-up's own report
        }
        QVERIFY(!datos().isOpen());
        administrar([&] {
            for (QWidget *c : std::initializer_list<QWidget *>{w().DBEdit1, w().DBEdit5, w().btElegirLogo, w().btQuitarLogo})
                QVERIFY(!c->isEnabled());
            QVERIFY(w().btAceptar->isEnabled());
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(w().isVisible());
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
            QVERIFY(!w().isVisible());
        });
        const QString said = answers.texts().last();
        if (database) {
            QCOMPARE(said, TFDatosDelHotel::upgradeMessage(DM->databasePath()));
            QVERIFY(said.contains(QStringLiteral("hotel-createdb --upgrade ")));
            QCOMPARE(answers.boxes().last().icon, QMessageBox::Critical);
        } else {
            QCOMPARE(said, QStringLiteral("TDatosDelHotel: Cannot perform this operation on a closed dataset."));
        }
        QCOMPARE(answers.unexpected(), 0);
    }

    // The command in the message can be pasted into a shell as it is.
    void upgradeMessageNamesTheFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("word");
        QTest::newRow("plain") << "/srv/hotel/Hotel.db" << "/srv/hotel/Hotel.db";
        QTest::newRow("blank") << "/home/ana/Mis datos/Hotel.db" << "'/home/ana/Mis datos/Hotel.db'";
        QTest::newRow("quote") << "/home/d'arc/Hotel.db" << "'/home/d'\\''arc/Hotel.db'";
    }

    void upgradeMessageNamesTheFile()
    {
        QFETCH(QString, path);
        QFETCH(QString, word);
        const QString message = TFDatosDelHotel::upgradeMessage(path);
        QVERIFY2(message.contains(QStringLiteral("\nhotel-createdb --upgrade ") + word + u'\n'), qPrintable(message));
    }
};

QTEST_MAIN(TestDatosDelHotel)
#include "tst_datosdelhotel.moc"
