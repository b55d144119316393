#include "WindowTest.h"

#include "FormWindow.h"
#include "MessageDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

DialogAnswers::DialogAnswers(const QStringList &answers) : m_answers(answers)
{
    MessageDialog::setObserver([this](QMessageBox &box) {
        Box seen{box.windowTitle(), box.text(), box.icon(), {}};
        for (QAbstractButton *b : box.buttons())
            seen.buttons << b->text();
        m_boxes << seen;
        if (!m_answers.isEmpty()) {
            const QString wanted = m_answers.takeFirst();
            for (QAbstractButton *b : box.buttons()) {
                if (b->text() == wanted) {
                    b->click();
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
    auto *timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, inside] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        inside(modal);
        if (modal->isVisible())
            modal->close();
    });
    timer->start();
}
