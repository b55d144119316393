#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMessageBox;
class QWidget;

// Every dialog box of the program goes through MessageDialog::show: a modal box
// centred on the screen, with the English title and buttons of its kind.
namespace MessageDialog {

enum class Kind { Error, Information, Confirmation };
enum class Buttons { Ok, YesNo, OkCancel };
enum class Result { Ok, Cancel, Yes, No };

// Shows the box and returns the button pressed. Closing the box another way
// counts as No (Yes/No) or Cancel (OK/Cancel). The default button is OK when
// present, else Yes.
Result show(const QString &text, Kind kind, Buttons buttons, QWidget *parent = nullptr);

// Shortcuts for the program's own messages.
void error(const QString &text, QWidget *parent = nullptr);
void information(const QString &text, QWidget *parent = nullptr);
// True only when the user answered Yes.
bool confirm(const QString &text, QWidget *parent = nullptr);

// A question with the program's own answers, titled with the application's
// title: one button per choice, in order, the first the default, with `escape`
// the button that Escape and the close box press. Returns the index of the
// choice made.
int choose(const QString &text, const QString &details, const QStringList &choices, int escape,
           QWidget *parent = nullptr);

// The application's title, "Administración de Hotel": the title of the
// default error dialog. It is not Qt's application display name, which the
// window system would append to the title of every window.
QString applicationTitle();

// The default error dialog: titled with the application's title, error icon,
// OK; the text is the message, with a full stop added when its last character
// comes after '.' in the character table (a letter, a digit, '?', ':').
void showDefaultError(const QString &message, QWidget *parent = nullptr);
QString withFullStop(const QString &message);

// Called with each box once its modal loop runs, before the user sees it; tests
// read it and press one of its buttons. Pass an empty function to remove it.
using Observer = std::function<void(QMessageBox &box)>;
void setObserver(Observer observer);

} // namespace MessageDialog
