#include "WindowTest.h"

#include "FormWindow.h"
#include "MessageDialog.h"

#include <QAbstractButton>
#include <QPointer>
#include <QApplication>
#include <QTest>
#include <QTimer>

DialogAnswers::DialogAnswers(const QStringList &answers) : m_answers(answers)
{
    install();
}

DialogAnswers::DialogAnswers(const QString &everyBox) : m_repeat(true), m_everyBox(everyBox)
{
    install();
}

void DialogAnswers::install()
{
    MessageDialog::setObserver([this](QMessageBox &box) {
        Box seen{box.windowTitle(), box.text(), box.icon(), {}};
        for (QAbstractButton *b : box.buttons())
            seen.buttons << b->text();
        m_boxes << seen;
        if (m_before)
            m_before(seen.text);
        if (m_repeat && m_everyBox.isEmpty()) {
            box.reject();
            return;
        }
        if (m_repeat || !m_answers.isEmpty()) {
            const QString wanted = m_repeat ? m_everyBox : m_answers.takeFirst();
            for (QAbstractButton *b : box.buttons()) {
                if (b->text() == wanted) {
                    QTest::mouseClick(b, Qt::LeftButton);
                    return;
                }
            }
        }
        ++m_unexpected;
        box.reject();
    });
}

DialogAnswers::~DialogAnswers()
{
    MessageDialog::setObserver({});
}

QStringList DialogAnswers::titles() const
{
    QStringList out;
    for (const Box &b : m_boxes)
        out << b.title;
    return out;
}

QStringList DialogAnswers::texts() const
{
    QStringList out;
    for (const Box &b : m_boxes)
        out << b.text;
    return out;
}

int showModalAnd(FormWindow *window, const std::function<void()> &inside)
{
    QTimer::singleShot(0, window, [window, inside] {
        inside();
        if (window->isVisible())
            window->close();
    });
    return window->ShowModal();
}

void whenModalOpens(const std::function<void(QWidget *)> &inside)
{
    // The window modal now is not the one awaited, nor are message boxes, which
    // DialogAnswers answers.
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto *timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, inside, before] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == before || qobject_cast<QMessageBox *>(modal))
            return;
        timer->stop();
        timer->deleteLater();
        inside(modal);
        if (modal->isVisible())
            modal->close();
    });
    timer->start();
}
