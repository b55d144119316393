#include "MessageDialog.h"

#include "ChangeFeed.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace MessageDialog {

namespace {

Observer &observer()
{
    static Observer o;
    return o;
}

QMessageBox::Icon iconOf(Kind kind)
{
    switch (kind) {
    case Kind::Error:
        return QMessageBox::Critical;
    case Kind::Information:
        return QMessageBox::Information;
    case Kind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString titleOf(Kind kind)
{
    switch (kind) {
    case Kind::Error:
        return QStringLiteral("Error");
    case Kind::Information:
        return QStringLiteral("Information");
    case Kind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return QString();
}

// Runs the box centred on the screen, whatever window asked, after telling the
// observer.
void execCentred(QMessageBox &box)
{
    box.adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    if (observer()) {
        QTimer::singleShot(0, &box, [&box] {
            if (observer())
                observer()(box);
        });
    }
    // A handler asking the user goes on with the record it asked about: other
    // desks' commits wait until the box is answered.
    const ChangeFeed::Hold hold;
    box.exec();
}

Result run(const QString &title, const QString &text, QMessageBox::Icon icon, Buttons buttons, QWidget *parent)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton *ok = nullptr, *cancel = nullptr, *yes = nullptr, *no = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        break;
    case Buttons::YesNo:
        yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(cancel);
        break;
    }
    execCentred(box);
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked == ok)
        return Result::Ok;
    if (clicked && clicked == yes)
        return Result::Yes;
    if (buttons == Buttons::YesNo)
        return Result::No;
    if (buttons == Buttons::OkCancel)
        return Result::Cancel;
    return Result::Ok;
}

} // namespace

Result show(const QString &text, Kind kind, Buttons buttons, QWidget *parent)
{
    return run(titleOf(kind), text, iconOf(kind), buttons, parent);
}

void error(const QString &text, QWidget *parent)
{
    show(text, Kind::Error, Buttons::Ok, parent);
}

void information(const QString &text, QWidget *parent)
{
    show(text, Kind::Information, Buttons::Ok, parent);
}

bool confirm(const QString &text, QWidget *parent)
{
    return show(text, Kind::Confirmation, Buttons::YesNo, parent) == Result::Yes;
}

int choose(const QString &text, const QString &details, const QStringList &choices, int escape, QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, applicationTitle(), text, QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(details);
    QList<QAbstractButton *> buttons;
    for (const QString &choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    if (!buttons.isEmpty())
        box.setDefaultButton(static_cast<QPushButton *>(buttons.first()));
    if (escape >= 0 && escape < buttons.size())
        box.setEscapeButton(buttons[escape]);
    execCentred(box);
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen >= 0 ? int(chosen) : escape;
}

QString withFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString applicationTitle()
{
    return QStringLiteral("Administración de Hotel");
}

void showDefaultError(const QString &message, QWidget *parent)
{
    run(applicationTitle(), withFullStop(message), QMessageBox::Critical, Buttons::Ok, parent);
}

void setObserver(Observer o)
{
    observer() = std::move(o);
}

} // namespace MessageDialog
