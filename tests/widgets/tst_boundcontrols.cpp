#include "BoundChoiceList.h"
#include "BoundEdit.h"
#include "BoundImage.h"
#include "BoundMemo.h"
#include "BoundText.h"
#include "DataError.h"
#include "FormWindow.h"
#include "MessageDialog.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "WindowTest.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Bound edit, memo, text, choice list and image over the real data module.
class TestBoundControls : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QWidget> m_window;
    qint64 m_type = 0;

    // A shown, active window holding the control and a second edit to move the focus to.
    template<typename Control> Control *place(DataSource *source, const QString &field)
    {
        m_window = std::make_unique<QWidget>();
        auto *control = new Control(m_window.get());
        control->setGeometry(0, 0, 200, 24);
        control->setDataSource(source);
        control->setDataField(field);
        auto *other = new QLineEdit(m_window.get());
        other->setObjectName(QStringLiteral("other"));
        other->setGeometry(0, 30, 200, 24);
        m_window->show();
        m_window->activateWindow();
        [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(m_window.get());
        control->setFocus();
        return control;
    }

    void focusElsewhere() { m_window->findChild<QLineEdit *>(QStringLiteral("other"))->setFocus(); }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_type = m_db->addRoomType(QStringLiteral("Doble"), money("1234.5"), 2);
        m_db->addRoom(QStringLiteral("101"), m_type, 1, QStringLiteral("Mar"));
        m_db->addGuest(QStringLiteral("Ana"), QStringLiteral("111"));
        m_dm = std::make_unique<TDM>(m_db->target());
        m_dm->DataModuleCreate();
    }

    void cleanup()
    {
        m_window.reset();
        m_dm.reset();
        m_db.reset();
    }

    void editShowsDisplayThenEditText()
    {
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, QStringLiteral("Precio"));
        focusElsewhere();
        QCOMPARE(edit->text(), QStringLiteral("$ 1.234,50"));
        edit->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("1234,50"));
        QTest::keyClick(edit, Qt::Key_End);
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Browse);
        QTest::keyClick(edit, Qt::Key_Backspace);
        // The first change put the cursor in edit mode and showed the plain number.
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Edit);
        QCOMPARE(edit->text(), QStringLiteral("1234,5"));
        QTest::keyClicks(edit, QStringLiteral("9"));
        m_dm->TTiposDeHabitacion->post(); // writes the typed text first
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Precio FROM TiposDeHabitacion")).toLongLong(), qint64(12345900));
        focusElsewhere();
        QCOMPARE(edit->text(), QStringLiteral("$ 1.234,59"));
    }

    void numericKeysAreFiltered_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter in a whole number") << "Capacidad" << "a" << "2";
        QTest::newRow("digit in a whole number") << "Capacidad" << "3" << "23";
        QTest::newRow("separator in a whole number") << "Capacidad" << "," << "2";
        QTest::newRow("sign") << "Capacidad" << "-" << "2-";
        QTest::newRow("separator in money") << "Precio" << "," << "1234,50,";
        QTest::newRow("letter in money") << "Precio" << "x" << "1234,50";
        QTest::newRow("letter in text") << "Nombre" << "x" << "Doblex";
        // Only the ten digits convert; other scripts' digits are refused like letters.
        QTest::newRow("Arabic-Indic digit in a whole number") << "Capacidad" << QString(QChar(0x0663)) << "2";
        QTest::newRow("Devanagari digit in money") << "Precio" << QString(QChar(0x0969)) << "1234,50";
        QTest::newRow("full-width digit in money") << "Precio" << QString(QChar(0xFF13)) << "1234,50";
        QTest::newRow("Arabic-Indic digit in text") << "Nombre" << QString(QChar(0x0663))
                                                    << QStringLiteral("Doble") + QChar(0x0663);
    }

    void storedValuesShowWhole_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("price longer than its limit") << "Precio" << 8 << QVariant::fromValue(money("123456.78"))
                                                     << "123456,78";
        QTest::newRow("capacity of two digits") << "Capacidad" << 1 << QVariant(10) << "10";
        QTest::newRow("name longer than its limit") << "Nombre" << 3 << QVariant(QStringLiteral("Doble")) << "Doble";
    }

    // The limit is on typing: what the field holds shows whole, and a record
    // accepted without touching the edit keeps it.
    void storedValuesShowWhole()
    {
        QFETCH(QString, field);
        QFETCH(int, limit);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        Cursor &types = *m_dm->TTiposDeHabitacion;
        types.edit();
        types.setValue(field, value);
        types.post();
        const QVariant stored = m_db->scalar(QStringLiteral("SELECT %1 FROM TiposDeHabitacion").arg(field));
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, field);
        edit->setMaxLength(limit);
        QCOMPARE(edit->text(), shown);
        // Typing more is refused; after a deletion there is room again.
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, QStringLiteral("7"));
        QCOMPARE(edit->text(), shown);
        types.post();
        focusElsewhere();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT %1 FROM TiposDeHabitacion").arg(field)), stored);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), shown.chopped(1));
        edit->setMaxLength(int(shown.size()));
        QTest::keyClicks(edit, QStringLiteral("7"));
        QCOMPARE(edit->text(), shown.chopped(1) + u'7');
    }

    void largestAmounts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qlonglong>("stored");
        QTest::newRow("the largest") << "99999999,99" << 999999999900LL;
        QTest::newRow("the largest below zero") << "-99999999,99" << -999999999900LL;
        QTest::newRow("a plain large price") << "45000000" << 450000000000LL;
    }

    void largestAmounts()
    {
        QFETCH(QString, typed);
        QFETCH(qlonglong, stored);
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, QStringLiteral("Precio"));
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        m_dm->TTiposDeHabitacion->post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Precio FROM TiposDeHabitacion")).toLongLong(), stored);
    }

    void numericKeysAreFiltered()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, field);
        m_dm->TTiposDeHabitacion->edit();
        QTest::keyClick(edit, Qt::Key_End);
        for (QChar ch : typed) {
            // QTest types only Latin-1; other characters come as a keyboard sends them.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(edit, &press);
            QApplication::sendEvent(edit, &release);
        }
        QCOMPARE(edit->text(), shown);
    }

    void refusedKeyDoesNotStartEditing()
    {
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, QStringLiteral("Capacidad"));
        QTest::keyClicks(edit, QStringLiteral("a"));
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Browse);
        QCOMPARE(edit->text(), QStringLiteral("2"));
    }

    // A character beyond the 16-bit range arrives as one key press carrying
    // both halves; it starts editing like any other, or is refused by a
    // numeric field, and is stored whole or not at all, typed or pasted.
    void charactersBeyondTheBasicPlane_data()
    {
        QTest::addColumn<bool>("memo");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("room");   // 16-bit units left below the length limit; -1: no limit
        QTest::addColumn<QString>("pasted"); // empty: the character is typed
        QTest::addColumn<QString>("stored"); // empty: refused, nothing edited
        const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("text edit") << false << "Nombre" << -1 << QString() << QStringLiteral("Doble") + smile;
        QTest::newRow("memo") << true << "Comodidades" << -1 << QString() << smile;
        QTest::newRow("whole number") << false << "Capacidad" << -1 << QString() << QString();
        QTest::newRow("money") << false << "Precio" << -1 << QString() << QString();
        QTest::newRow("text edit, one place left") << false << "Nombre" << 1 << QString() << QString();
        QTest::newRow("memo, one place left") << true << "Comodidades" << 1 << QString() << QString();
        QTest::newRow("pasted, cut before the character") << false << "Nombre" << 3 << "ab" + smile + "c"
                                                          << QStringLiteral("Dobleab");
        QTest::newRow("pasted into a memo, cut before the character")
            << true << "Comodidades" << 3 << "ab" + smile + "c" << QStringLiteral("ab");
        QTest::newRow("pasted whole") << false << "Nombre" << 4 << "ab" + smile << QStringLiteral("Dobleab") + smile;
    }

    void charactersBeyondTheBasicPlane()
    {
        QFETCH(bool, memo);
        QFETCH(QString, field);
        QFETCH(int, room);
        QFETCH(QString, pasted);
        QFETCH(QString, stored);
        QWidget *control = nullptr;
        if (memo) {
            auto *m = place<BoundMemo>(m_dm->DTiposDeHabitacion, field);
            if (room >= 0)
                m->setMaxLength(room);
            control = m;
        } else {
            auto *e = place<BoundEdit>(m_dm->DTiposDeHabitacion, field);
            if (room >= 0)
                e->setMaxLength(int(e->text().size()) + room);
            control = e;
        }
        QTest::keyClick(control, Qt::Key_End);
        if (pasted.isEmpty()) {
            const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, smile);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, smile);
            QApplication::sendEvent(control, &press);
            QApplication::sendEvent(control, &release);
        } else {
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(control, Qt::Key_V, Qt::ControlModifier);
        }
        Cursor &types = *m_dm->TTiposDeHabitacion;
        if (stored.isEmpty()) {
            // A full memo takes the cursor into editing and then refuses the key,
            // as it does for any character.
            if (!memo)
                QCOMPARE(types.state(), Cursor::State::Browse);
            const QString shown = memo ? static_cast<BoundMemo *>(control)->toPlainText()
                                       : static_cast<BoundEdit *>(control)->text();
            QVERIFY2(std::none_of(shown.cbegin(), shown.cend(), [](QChar c) { return c.isSurrogate(); }),
                     qPrintable(shown));
            return;
        }
        QCOMPARE(types.state(), Cursor::State::Edit);
        types.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT %1 FROM TiposDeHabitacion").arg(field)).toString(), stored);
    }

    void conversionErrorOnFocusLoss_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        // The message ends in a quote, which comes before the full stop: none is added.
        QTest::newRow("whole number") << "Capacidad" << "1-" << "'1-' is not a valid integer value for field 'Capacidad'";
        QTest::newRow("money") << "Precio" << "1-2" << "'1-2' is not a valid floating point value for field 'Precio'";
        // Amounts beyond what the documents add up exactly are refused by name.
        const QString tooLarge = QStringLiteral(
            "El importe '%1' no es válido para el campo 'Precio': debe estar entre -99.999.999,99 y 99.999.999,99.");
        QTest::newRow("money just beyond the largest") << "Precio" << "99999999,991" << tooLarge.arg("99999999,991");
        QTest::newRow("money of nine digits") << "Precio" << "100000000" << tooLarge.arg("100000000");
        QTest::newRow("money far too large") << "Precio" << "900000000000000" << tooLarge.arg("900000000000000");
        QTest::newRow("money too large below zero") << "Precio" << "-100000000" << tooLarge.arg("-100000000");
    }

    void conversionErrorOnFocusLoss()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        auto *edit = place<BoundEdit>(m_dm->DTiposDeHabitacion, field);
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        DialogAnswers answers({QStringLiteral("OK")});
        focusElsewhere();
        QCOMPARE(answers.texts(), QStringList({message}));
        QCOMPARE(answers.boxes().front().title, QStringLiteral("Administración de Hotel"));
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Edit);
        // The same failure stops a post.
        QVERIFY_THROWS_EXCEPTION(DataError, m_dm->TTiposDeHabitacion->post());
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Edit);
    }

    void emptyTextMakesNullAndEscapeRestores()
    {
        auto *edit = place<BoundEdit>(m_dm->DHuespedes, QStringLiteral("DNI"));
        edit->setMaxLength(8);
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, QStringLiteral("2233445566"));
        QCOMPARE(edit->text(), QStringLiteral("11122334")); // at most 8 characters
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QStringLiteral("111"));
        QCOMPARE(edit->selectedText(), QStringLiteral("111"));
        QTest::keyClick(edit, Qt::Key_Delete);
        focusElsewhere();
        m_dm->THuespedes->post();
        QVERIFY(m_db->scalar(QStringLiteral("SELECT DNI IS NULL FROM Huespedes")).toBool());
    }

    void closedCursorShowsNothingAndIgnoresKeys()
    {
        m_dm->THuespedes->close();
        auto *edit = place<BoundEdit>(m_dm->DHuespedes, QStringLiteral("Nombre"));
        QCOMPARE(edit->text(), QString());
        QTest::keyClicks(edit, QStringLiteral("abc"));
        QCOMPARE(edit->text(), QString());
    }

    void memoText()
    {
        auto *memo = place<BoundMemo>(m_dm->DTiposDeHabitacion, QStringLiteral("Comodidades"));
        QCOMPARE(memo->toPlainText(), QString());
        QTest::keyClicks(memo, QStringLiteral("Wifi"));
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, QStringLiteral("TV"));
        QCOMPARE(m_dm->TTiposDeHabitacion->state(), Cursor::State::Edit);
        m_dm->TTiposDeHabitacion->post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Comodidades FROM TiposDeHabitacion")).toString(),
                 QStringLiteral("Wifi\nTV"));
    }

    void textFollowsTheRecord()
    {
        m_db->addGuest(QStringLiteral("Beto"));
        m_dm->THuespedes->close();
        m_dm->THuespedes->open();
        auto *text = place<BoundText>(m_dm->DHuespedes, QStringLiteral("Nombre"));
        QCOMPARE(text->text(), QStringLiteral("Ana"));
        m_dm->THuespedes->next();
        QCOMPARE(text->text(), QStringLiteral("Beto"));
        m_dm->THuespedes->close();
        QCOMPARE(text->text(), QString());
    }

    void choiceList()
    {
        auto *floor = place<BoundChoiceList>(m_dm->DHabitaciones, QStringLiteral("Piso"));
        floor->setItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        QCOMPARE(floor->currentText(), QStringLiteral("1"));
        // A value outside the items shows nothing.
        m_db->exec(QStringLiteral("UPDATE Habitaciones SET Piso = 4"));
        m_dm->THabitaciones->refresh();
        QCOMPARE(floor->currentIndex(), -1);
        QCOMPARE(m_dm->THabitaciones->state(), Cursor::State::Browse);
        // Picking puts the cursor in edit mode and writes the converted value.
        emit floor->activated(2);
        QCOMPARE(m_dm->THabitaciones->state(), Cursor::State::Edit);
        m_dm->THabitaciones->post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Piso FROM Habitaciones")).toInt(), 3);
        QCOMPARE(floor->currentText(), QStringLiteral("3"));
    }

    void imageStoresABitmapOfWhatShows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("asItIs"); // the file's own bytes
        QTest::newRow("bitmap") << "foto.bmp" << QByteArray("BMP") << true;
        QTest::newRow("jpeg") << "foto.jpg" << QByteArray("JPEG") << false;
        QTest::newRow("png") << "foto.png" << QByteArray("PNG") << false;
    }

    // A bitmap is stored as it is; any other picture as a 24-bit bitmap of
    // what shows, never an empty photo.
    void imageStoresABitmapOfWhatShows()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, format);
        QFETCH(bool, asItIs);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(path, format.constData()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();

        m_db->exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ?"), {QByteArray("BMold")});
        m_dm->TTiposDeHabitacion->refresh();
        auto *image = place<BoundImage>(m_dm->DTiposDeHabitacion, QStringLiteral("Foto"));
        m_dm->TTiposDeHabitacion->edit();
        image->loadPicture(path);
        QCOMPARE(image->picture().size(), QSize(40, 30)); // shown at once
        QVERIFY(m_dm->TTiposDeHabitacion->isModified());
        m_dm->TTiposDeHabitacion->cancel();
        m_dm->TTiposDeHabitacion->edit();
        image->loadPicture(path);
        const QImage shown = image->picture().convertToFormat(QImage::Format_RGB32);
        m_dm->TTiposDeHabitacion->post();
        const QByteArray written = m_db->scalar(QStringLiteral("SELECT Foto FROM TiposDeHabitacion")).toByteArray();
        QVERIFY(written.startsWith("BM"));
        if (asItIs)
            QCOMPARE(written, bytes);
        else
            QCOMPARE(quint8(written[28]), quint8(24)); // bits per pixel
        QCOMPARE(QImage::fromData(written).convertToFormat(QImage::Format_RGB32), shown);
        QCOMPARE(image->picture().convertToFormat(QImage::Format_RGB32), shown);
    }

    void imageRefusesUnknownOrDamagedFiles()
    {
        QTemporaryDir dir;
        QFile bad(dir.filePath(QStringLiteral("foto.bmp")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        auto *image = place<BoundImage>(m_dm->DTiposDeHabitacion, QStringLiteral("Foto"));
        m_dm->TTiposDeHabitacion->edit();
        QVERIFY_THROWS_EXCEPTION(DataError, image->loadPicture(dir.filePath(QStringLiteral("foto.bmp"))));
        QVERIFY_THROWS_EXCEPTION(DataError, image->loadPicture(dir.filePath(QStringLiteral("foto.xyz"))));
        QVERIFY(!m_dm->TTiposDeHabitacion->isModified());
    }

    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "closed dataset" << "closed dataset.";
        QTest::newRow("digit") << "error 5" << "error 5.";
        QTest::newRow("question mark") << "why?" << "why?.";
        QTest::newRow("colon") << "see:" << "see:.";
        QTest::newRow("full stop") << "done." << "done.";
        QTest::newRow("exclamation") << "stop!" << "stop!";
        QTest::newRow("parenthesis") << "(failed)" << "(failed)";
        QTest::newRow("empty") << "" << "";
    }

    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(MessageDialog::withFullStop(message), shown);
    }

    void dialogKindsAndButtons()
    {
        DialogAnswers answers({QStringLiteral("&No"), QStringLiteral("Cancel"), QStringLiteral("OK")});
        QCOMPARE(MessageDialog::show(QStringLiteral("a"), MessageDialog::Kind::Confirmation,
                                     MessageDialog::Buttons::YesNo),
                 MessageDialog::Result::No);
        QCOMPARE(MessageDialog::show(QStringLiteral("b"), MessageDialog::Kind::Confirmation,
                                     MessageDialog::Buttons::OkCancel),
                 MessageDialog::Result::Cancel);
        MessageDialog::information(QStringLiteral("c"));
        // Closing a question without an answer counts as No.
        QVERIFY(!MessageDialog::confirm(QStringLiteral("d")));
        QCOMPARE(answers.boxes().size(), 4);
        QCOMPARE(answers.boxes()[0].title, QStringLiteral("Confirm"));
        QCOMPARE(answers.boxes()[0].buttons, QStringList({"&Yes", "&No"}));
        QCOMPARE(answers.boxes()[1].buttons, QStringList({"OK", "Cancel"}));
        QCOMPARE(answers.boxes()[2].title, QStringLiteral("Information"));
        QCOMPARE(answers.boxes()[2].icon, QMessageBox::Information);
        QCOMPARE(answers.unexpected(), 1);
    }

    void formWindowModalResult()
    {
        FormWindow w;
        QCOMPARE(showModalAnd(&w, [] {}), int(FormWindow::mrCancel));
        QCOMPARE(showModalAnd(&w, [&w] { w.setModalResult(FormWindow::mrOk); }), int(FormWindow::mrOk));
        // Escape does not close the window.
        QCOMPARE(showModalAnd(&w, [&w] {
                     QTest::keyClick(&w, Qt::Key_Escape);
                     QVERIFY(w.isVisible());
                 }),
                 int(FormWindow::mrCancel));
    }
};

QTEST_MAIN(TestBoundControls)
#include "tst_boundcontrols.moc"
