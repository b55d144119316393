#include "BoundEdit.h"
#include "BoundImage.h"
#include "BoundMemo.h"
#include "DataGrid.h"
#include "Metafiles.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UTiposDeHabitacion.h"
#include "WindowTest.h"

#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The room types window over a fresh database with three types, one of them
// used by a room and holding a photo.
class TestTiposDeHabitacion : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<QTemporaryDir> m_files;
    QByteArray m_originalPhoto;

    static TFTiposHabitacion &w() { return *FTiposHabitacion; }
    static Cursor &types() { return *DM->TTiposDeHabitacion; }

    // A small picture with distinct pixels, so that a wrong or scaled copy shows.
    static QImage sample(int width, int height, QColor tint)
    {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixelColor(x, y, QColor((x * 7 + tint.red()) % 256, (y * 11 + tint.green()) % 256, tint.blue()));
        return image;
    }

    static QByteArray encoded(const QImage &image, const char *format)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    }

    // Writes a picture file; an empty format writes bytes that are no picture.
    QString pictureFile(const QString &name, const QByteArray &format)
    {
        const QString path = m_files->filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(format.isEmpty() ? QByteArray("not a picture at all") : encoded(sample(40, 30, Qt::darkCyan), format));
        return path;
    }

    static bool browseFace()
    {
        return w().pnlOperaciones->isVisibleTo(&w()) && !w().pnlEdicion->isVisibleTo(&w()) && w().DBGrid1->isEnabled()
               && !w().dbImgFoto->isEnabled() && w().size() == QSize(644, 185 + 54);
    }

    static bool editFace()
    {
        return !w().pnlOperaciones->isVisibleTo(&w()) && w().pnlEdicion->isVisibleTo(&w()) && !w().DBGrid1->isEnabled()
               && w().dbImgFoto->isEnabled() && w().size() == QSize(644, 185 + 168);
    }

    static void goTo(const QString &name) { QVERIFY(types().locate(QStringLiteral("Nombre"), name)); }

    QVariant storedPhoto(const QString &name)
    {
        return m_db->scalar(QStringLiteral("SELECT Foto FROM TiposDeHabitacion WHERE Nombre = ?"), {name});
    }

    QStringList storedNames()
    {
        QStringList names;
        const int n = m_db->scalar(QStringLiteral("SELECT count(*) FROM TiposDeHabitacion")).toInt();
        for (int i = 0; i < n; ++i)
            names << m_db->scalar(QStringLiteral("SELECT Nombre FROM TiposDeHabitacion ORDER BY Nombre LIMIT 1 OFFSET ?"), {i})
                         .toString();
        return names;
    }

    // Clicks the photo with the dialog answered by `path` (empty: cancelled).
    static void choosePicture(const QString &path)
    {
        w().runDlgOpen = [path] { return path; };
        QTest::mouseClick(w().dbImgFoto, Qt::LeftButton);
    }

    static QImage shown() { return w().dbImgFoto->picture().convertToFormat(QImage::Format_RGB32); }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_files = std::make_unique<QTemporaryDir>();
        m_db->addRoomType(QStringLiteral("Simple"), money("100"), 1);
        const qint64 doble = m_db->addRoomType(QStringLiteral("Doble"), money("150"), 2);
        m_db->addRoomType(QStringLiteral("Suite"), money("300"), 4);
        m_db->addRoom(QStringLiteral("101"), doble);
        m_originalPhoto = encoded(sample(32, 24, Qt::darkRed), "BMP");
        m_db->exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ? WHERE IdTipo = ?"), {m_originalPhoto, doble});
        Startup::createAll(m_db->target());
        if (!FTiposHabitacion)
            FTiposHabitacion = new TFTiposHabitacion(FPrincipal);
        // Regional settings are read again at start-up.
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        delete FTiposHabitacion;
        FTiposHabitacion = nullptr;
        Startup::destroyAll();
        m_files.reset();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(w().windowTitle(), QStringLiteral("Tipos de Habitación del Hotel"));
        QVERIFY(browseFace());
        QCOMPARE(w().pnlDatos->height(), 185);
        QCOMPARE(w().DBGrid1->width(), 401);
        QVERIFY(!w().DBGrid1->isReadOnly());
        using O = DataGrid::Option;
        QCOMPARE(w().DBGrid1->options(), O::Titles | O::Indicator | O::ColumnResize | O::ColumnLines | O::RowLines
                                             | O::Tabs | O::RowSelect | O::AlwaysShowSelection);
        const QStringList titles{"Nombre", "Precio", "Descripcion"};
        const QList<int> widths{102, 58, 205};
        QCOMPARE(w().DBGrid1->columnCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w().DBGrid1->column(i).title, titles[i]);
            QCOMPARE(w().DBGrid1->column(i).width, widths[i]);
        }
        QCOMPARE(w().DBGrid1->column(0).cellAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(w().dbImgFoto->geometry(), QRect(408, 23, 233, 150));
        QCOMPARE(w().btAgregar->text(), QStringLiteral(" Agregar"));
        QCOMPARE(w().btAceptar->text(), QStringLiteral(" Aceptar"));
        QCOMPARE(w().DBEdit2->maxLength(), 8);
        QCOMPARE(w().DBEdit3->maxLength(), 1);
        // The grid shows prices in the user's currency format.
        goTo(QStringLiteral("Doble"));
        QCOMPARE(w().DBGrid1->cellText(types().recNo(), 1), QStringLiteral("$ 150,00"));
    }

    void editCycle_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("add, accept") << true << true << QStringList{"Doble", "Familiar", "Simple", "Suite"};
        QTest::newRow("add, cancel") << true << false << QStringList{"Doble", "Simple", "Suite"};
        QTest::newRow("modify, accept") << false << true << QStringList{"Doble", "Familiar", "Simple"};
        QTest::newRow("modify, cancel") << false << false << QStringList{"Doble", "Simple", "Suite"};
    }

    void editCycle()
    {
        QFETCH(bool, add);
        QFETCH(bool, accept);
        QFETCH(QStringList, names);
        goTo(QStringLiteral("Suite"));
        const int rows = types().recordCount();
        DialogAnswers answers;
        showModalAnd(&w(), [&] {
            QTest::mouseClick(add ? w().btAgregar : w().btModificar, Qt::LeftButton);
            QVERIFY(editFace());
            QCOMPARE(types().state(), add ? Cursor::State::Insert : Cursor::State::Edit);
            QCOMPARE(types().recordCount(), add ? rows + 1 : rows);
            w().DBEdit1->setFocus();
            w().DBEdit1->selectAll();
            QTest::keyClicks(w().DBEdit1, QStringLiteral("Familiar"));
            QTest::mouseClick(accept ? w().btAceptar : w().btCancelar, Qt::LeftButton);
            QVERIFY(browseFace());
            QCOMPARE(types().state(), Cursor::State::Browse);
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(storedNames(), names);
        QCOMPARE(types().recordCount(), names.size());
    }

    void refusedPostKeepsEditFace()
    {
        // Names are cut to their column while typed; the file refuses this one.
        if (m_db->isServer()) {
            m_db->exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                      "IF NEW.Nombre = 'Nadie' THEN RAISE EXCEPTION 'Nombre not taken'; END IF; "
                                      "RETURN NEW; END $$"));
            m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TiposDeHabitacion FOR EACH ROW "
                                      "EXECUTE FUNCTION refuse()"));
        } else {
            m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON TiposDeHabitacion WHEN NEW.Nombre = 'Nadie' "
                                      "BEGIN SELECT RAISE(ABORT, 'Nombre not taken'); END"));
        }
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [&] {
            QTest::mouseClick(w().btAgregar, Qt::LeftButton);
            QTest::keyClicks(w().DBEdit1, QStringLiteral("Nadie"));
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(editFace());
            QCOMPARE(types().state(), Cursor::State::Insert);
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("Administración de Hotel")});
        QVERIFY2(answers.texts().constFirst().contains(QStringLiteral("Nombre")), qPrintable(answers.texts().constFirst()));
        QCOMPARE(storedNames(), QStringList({"Doble", "Simple", "Suite"}));
    }

    void typingLimits_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<qlonglong>("stored");
        QTest::newRow("price of 9 digits") << "Precio" << "123456789" << "12345678" << 12345678LL * 10000;
        QTest::newRow("capacity of 10") << "Capacidad" << "10" << "1" << 1LL;
        QTest::newRow("letters in the capacity") << "Capacidad" << "x7" << "7" << 7LL;
    }

    void typingLimits()
    {
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(qlonglong, stored);
        showModalAnd(&w(), [&] {
            QTest::mouseClick(w().btAgregar, Qt::LeftButton);
            QTest::keyClicks(w().DBEdit1, QStringLiteral("Triple"));
            BoundEdit *edit = column == u"Precio" ? w().DBEdit2 : w().DBEdit3;
            edit->setFocus();
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), kept);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT %1 FROM TiposDeHabitacion WHERE Nombre = 'Triple'").arg(column)).toLongLong(),
                 stored);
    }

    void photo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format"); // "EMF" and "WMF": a metafile
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<bool>("asItIs"); // the file's own bytes are stored
        const QSize small(40, 30);
        QTest::newRow("bitmap") << "photo.bmp" << QByteArray("BMP") << small << small << true;
        QTest::newRow("bitmap, upper-case extension") << "PHOTO.BMP" << QByteArray("BMP") << small << small << true;
        QTest::newRow("bitmap larger than 1024 x 768") << "large.bmp" << QByteArray("BMP") << QSize(2048, 1024)
                                                       << QSize(1024, 512) << false;
        QTest::newRow("JPEG") << "photo.jpg" << QByteArray("JPEG") << small << small << false;
        QTest::newRow("JPEG larger than 1024 x 768") << "large.jpeg" << QByteArray("JPEG") << QSize(1200, 1600)
                                                     << QSize(576, 768) << false;
        QTest::newRow("icon") << "photo.ico" << QByteArray("ICO") << small << small << false;
        QTest::newRow("TIFF") << "photo.tif" << QByteArray("TIFF") << small << small << false;
        QTest::newRow("enhanced metafile") << "drawing.emf" << QByteArray("EMF") << QSize(240, 160) << QSize(240, 160)
                                           << false;
        QTest::newRow("Windows metafile") << "drawing.wmf" << QByteArray("WMF") << QSize(240, 160) << QSize(240, 160)
                                          << false;
    }

    // The picture shows at once; on accept the row keeps a bitmap of what
    // showed: a bitmap that fits as it is, anything else as a 24-bit bitmap,
    // scaled down to fit 1024 x 768.
    void photo()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QFETCH(QSize, stored);
        QFETCH(bool, asItIs);
        const bool metafile = format == "EMF" || format == "WMF";
        QByteArray bytes;
        if (metafile)
            bytes = format == "EMF" ? Metafiles::enhanced(size, Metafiles::sampleShapes(size))
                                    : Metafiles::windows(size, Metafiles::sampleShapes(size));
        else
            bytes = encoded(sample(size.width(), size.height(), Qt::darkCyan), format);
        const QString path = m_files->filePath(file);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        goTo(QStringLiteral("Doble"));
        DialogAnswers answers;
        QImage seen;
        showModalAnd(&w(), [&] {
            QCOMPARE(shown(), QImage::fromData(m_originalPhoto).convertToFormat(QImage::Format_RGB32));
            QTest::mouseClick(w().btModificar, Qt::LeftButton);
            choosePicture(path);
            seen = shown();
            QVERIFY(types().isModified());
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QVERIFY(answers.boxes().isEmpty());
        const QByteArray kept = storedPhoto(QStringLiteral("Doble")).toByteArray();
        QVERIFY(kept.startsWith("BM"));
        if (asItIs)
            QCOMPARE(kept, bytes);
        else
            QCOMPARE(quint8(kept[28]) | (quint8(kept[29]) << 8), 24); // bits per pixel
        const QImage back = QImage::fromData(kept).convertToFormat(QImage::Format_RGB32);
        QVERIFY2(qAbs(back.width() - stored.width()) <= 1 && qAbs(back.height() - stored.height()) <= 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(back.width()).arg(back.height())));
        // What is stored is what was shown.
        QCOMPARE(back.size(), seen.size());
        if (metafile) {
            QCOMPARE(QColor(back.pixel(back.width() / 10, back.height() / 10)), QColor(Qt::blue));
            QCOMPARE(QColor(back.pixel(back.width() / 2, back.height() / 2)), QColor(Qt::red));
        } else {
            QCOMPARE(back, seen);
        }
        // Coming back to the row shows what was stored.
        goTo(QStringLiteral("Suite"));
        goTo(QStringLiteral("Doble"));
        QCOMPARE(shown(), back);
    }

    void photoNotLoaded_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("errors");
        QTest::newRow("dialog cancelled") << QString() << 0;
        QTest::newRow("text named as a metafile") << "drawing.wmf" << 1;
        QTest::newRow("text named as an enhanced metafile") << "drawing.emf" << 1;
        QTest::newRow("metafile cut short") << "cut.wmf" << 1;
        QTest::newRow("enhanced metafile cut short") << "cut.emf" << 1;
        QTest::newRow("damaged bitmap") << "damaged.bmp" << 1;
        QTest::newRow("no extension") << "photo" << 1;
    }

    // Nothing chosen, or a file that cannot be shown: the old photo stays, on
    // the screen and in the row.
    void photoNotLoaded()
    {
        QFETCH(QString, file);
        QFETCH(int, errors);
        QString path = file.isEmpty() ? QString() : pictureFile(file, QByteArray());
        if (file.startsWith(u"cut")) {
            // A real metafile whose records stop half-way.
            const QSize size(80, 60);
            const QByteArray whole = file.endsWith(u"emf") ? Metafiles::enhanced(size, Metafiles::sampleShapes(size))
                                                           : Metafiles::windows(size, Metafiles::sampleShapes(size));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(whole.left(whole.size() / 3));
        }
        goTo(QStringLiteral("Doble"));
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [&] {
            const QImage before = shown();
            QTest::mouseClick(w().btModificar, Qt::LeftButton);
            choosePicture(path);
            QCOMPARE(shown(), before);
            QVERIFY(!types().isModified());
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QCOMPARE(answers.boxes().size(), errors);
        if (errors)
            QCOMPARE(answers.titles().constFirst(), QStringLiteral("Administración de Hotel"));
        QCOMPARE(storedPhoto(QStringLiteral("Doble")).toByteArray(), m_originalPhoto);
    }

    void photoDiscardedByCancel()
    {
        const QString path = pictureFile(QStringLiteral("new.bmp"), "BMP");
        goTo(QStringLiteral("Doble"));
        showModalAnd(&w(), [&] {
            const QImage before = shown();
            QTest::mouseClick(w().btModificar, Qt::LeftButton);
            choosePicture(path);
            QVERIFY(shown() != before);
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
            QCOMPARE(shown(), before);
        });
        QCOMPARE(storedPhoto(QStringLiteral("Doble")).toByteArray(), m_originalPhoto);
    }

    // Left on its edit face while another window settled the pending edit, the
    // window still stores a chosen picture instead of showing it and dropping it.
    void photoAfterPendingEditWasSettled()
    {
        const QString path = pictureFile(QStringLiteral("new.bmp"), "BMP");
        goTo(QStringLiteral("Doble"));
        showModalAnd(&w(), [] { QTest::mouseClick(w().btModificar, Qt::LeftButton); });
        QCOMPARE(types().state(), Cursor::State::Edit);
        goTo(QStringLiteral("Suite"));
        QCOMPARE(types().state(), Cursor::State::Browse);
        showModalAnd(&w(), [&] {
            QVERIFY(editFace());
            choosePicture(path);
            QCOMPARE(types().state(), Cursor::State::Edit);
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(storedPhoto(QStringLiteral("Suite")).toByteArray(), f.readAll());
        QCOMPARE(storedPhoto(QStringLiteral("Doble")).toByteArray(), m_originalPhoto);
    }

    // The real dialog: its filter offers every kind the program knows, the
    // preview shows the file under the selection, and its choice is loaded.
    void openPictureDialog()
    {
        const QString path = pictureFile(QStringLiteral("photo.bmp"), "BMP");
        QStringList filters;
        bool previewShown = false;
        auto *timer = new QTimer(this);
        timer->setInterval(1);
        connect(timer, &QTimer::timeout, this, [&, timer] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer->stop();
            filters = dialog->nameFilters();
            emit dialog->currentChanged(path);
            auto *preview = dialog->findChild<QLabel *>(QStringLiteral("preview"));
            previewShown = preview && !preview->pixmap().isNull();
            // The path typed into the file name box, then the Open button's action.
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(path);
            static_cast<QDialog *>(dialog)->accept();
            if (dialog->isVisible())
                dialog->reject();
        });
        goTo(QStringLiteral("Suite"));
        showModalAnd(&w(), [&] {
            QTest::mouseClick(w().btModificar, Qt::LeftButton);
            timer->start();
            QTest::mouseClick(w().dbImgFoto, Qt::LeftButton);
            QVERIFY(!shown().isNull());
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
        });
        delete timer;
        QVERIFY(!filters.isEmpty());
        for (const char *suffix : {"*.bmp", "*.jpg", "*.jpeg", "*.ico", "*.wmf", "*.emf", "*.tif", "*.tiff"})
            QVERIFY2(filters.constFirst().contains(QLatin1String(suffix)), suffix);
        QCOMPARE(filters.size(), 7);
        QVERIFY(previewShown);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(storedPhoto(QStringLiteral("Suite")).toByteArray(), f.readAll());
    }

    void remove_data()
    {
        const QString question = QStringLiteral("¿Confirma la eliminación del tipo de habitación seleccionado?");
        const QString refusal = QStringLiteral("No se puede eliminar. Verifique que no haya habitaciones asociadas.");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("unused type, yes") << "Suite" << "&Yes" << QStringList{question} << QStringList{"Doble", "Simple"};
        QTest::newRow("unused type, no") << "Suite" << "&No" << QStringList{question}
                                         << QStringList{"Doble", "Simple", "Suite"};
        QTest::newRow("type used by a room") << "Doble" << "&Yes" << QStringList{question, refusal}
                                             << QStringList{"Doble", "Simple", "Suite"};
        QTest::newRow("empty table") << QString() << "&Yes" << QStringList{question, refusal} << QStringList();
    }

    void remove()
    {
        QFETCH(QString, name);
        QFETCH(QString, answer);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, remaining);
        if (name.isEmpty()) {
            while (!DM->THabitaciones->isEmpty())
                DM->THabitaciones->remove();
            while (!types().isEmpty())
                types().remove();
        } else {
            goTo(name);
        }
        DialogAnswers answers({answer, QStringLiteral("OK")});
        showModalAnd(&w(), [] {
            QTest::mouseClick(w().btEliminar, Qt::LeftButton);
            QVERIFY(browseFace());
        });
        QCOMPARE(answers.texts(), texts);
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.boxes().constFirst().title, QStringLiteral("Confirm"));
        QCOMPARE(answers.boxes().constFirst().buttons, QStringList({"&Yes", "&No"}));
        if (texts.size() > 1) {
            QCOMPARE(answers.boxes().constLast().title, QStringLiteral("Error"));
            QCOMPARE(answers.boxes().constLast().buttons, QStringList{QStringLiteral("OK")});
        }
        QCOMPARE(storedNames(), remaining);
        QCOMPARE(types().recordCount(), remaining.size());
        QCOMPARE(types().state(), Cursor::State::Browse);
    }

    void ctrlDeleteDeletesAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("unused type") << "Suite" << 0 << QStringList{"Doble", "Simple"};
        QTest::newRow("refused by the database") << "Doble" << 1 << QStringList{"Doble", "Simple", "Suite"};
    }

    void ctrlDeleteDeletesAtOnce()
    {
        QFETCH(QString, name);
        QFETCH(int, errors);
        QFETCH(QStringList, remaining);
        goTo(name);
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [] {
            w().DBGrid1->setFocus();
            QTest::keyClick(w().DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        });
        QCOMPARE(answers.boxes().size(), errors);
        if (errors)
            QCOMPARE(answers.titles().constFirst(), QStringLiteral("Administración de Hotel"));
        QCOMPARE(storedNames(), remaining);
    }

    void pendingEditSurvivesClosing()
    {
        goTo(QStringLiteral("Suite"));
        showModalAnd(&w(), [] {
            QTest::mouseClick(w().btModificar, Qt::LeftButton);
            QTest::keyClicks(w().DBEdit1, QStringLiteral(" Real"));
            w().DBMemo1->setFocus();
        });
        QCOMPARE(types().state(), Cursor::State::Edit);
        showModalAnd(&w(), [] {
            QVERIFY(editFace());
            QCOMPARE(w().DBEdit1->text(), QStringLiteral("Suite Real"));
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
        });
        QCOMPARE(storedNames(), QStringList({"Doble", "Simple", "Suite Real"}));
    }
};

QTEST_MAIN(TestTiposDeHabitacion)
#include "tst_tiposdehabitacion.moc"
