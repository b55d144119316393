#include "BoundEdit.h"

#include "Cursor.h"
#include "Guard.h"
#include "Regional.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>

BoundEdit::BoundEdit(QWidget *parent) : QLineEdit(parent), m_link(this, [this] { refresh(); }, this)
{
    // A drop would change the text around the rules of typed keys.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!m_refreshing)
            m_typed = true;
    });
}

BoundEdit::~BoundEdit() = default;

void BoundEdit::refresh()
{
    // The edit text while editing and while the user is in the control, so that
    // what is selected there is what gets typed over.
    QString text;
    if (m_link.hasRecord()) {
        const Field *f = field();
        text = f->cursor().isEditing() || hasFocus() ? f->editText() : f->displayText();
    }
    m_refreshing = true;
    if (text != this->text())
        setText(text);
    m_refreshing = false;
    m_typed = false;
}

bool BoundEdit::accepts(QChar ch) const
{
    const Field *f = field();
    if (!f || !f->isNumeric())
        return true;
    // Only these ten digits convert; other scripts' digits are refused like letters.
    if ((ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'-')
        return true;
    return f->kind() == Field::Kind::Money && QString(ch) == Regional::settings().decimalSeparator;
}

void BoundEdit::updateRecord()
{
    if (!m_typed)
        return;
    Field *f = field();
    if (!f || !f->cursor().isEditing())
        return;
    const QString typed = text();
    f->setAsString(typed);
    m_typed = false;
}

void BoundEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        if (Field *f = field(); f && f->cursor().isOpen()) {
            m_refreshing = true;
            setText(f->cursor().isEditing() ? f->editText() : f->displayText());
            m_refreshing = false;
            m_typed = false;
            selectAll();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const bool types = TypedText::isPrintable(event->text()) && !event->matches(QKeySequence::Paste);
    const bool changesText = types || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete
                             || event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut);
    if (!changesText) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (types && !mayType(event->text())) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        pasteClipboard();
        event->accept();
        return;
    }
    if (!m_link.startEditing(window())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool BoundEdit::mayType(const QString &typed) const
{
    for (QChar ch : typed) {
        if (!accepts(ch)) {
            QApplication::beep();
            return false;
        }
    }
    // What does not fit whole is not typed at all (the line edit would keep the
    // first half of a character beyond the 16-bit range).
    const int limit = maxLength();
    return limit <= 0 || text().size() - selectedText().size() + typed.size() <= limit;
}

void BoundEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Text composed by an input method is typed text too.
    const QString committed = event->commitString();
    if (!committed.isEmpty() && (!mayType(committed) || !m_link.startEditing(window()))) {
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void BoundEdit::pasteClipboard()
{
    if (isReadOnly())
        return;
    const QString pasted = QApplication::clipboard()->text();
    for (QChar ch : pasted) {
        if (!accepts(ch)) {
            QApplication::beep();
            return;
        }
    }
    if (pasted.isEmpty() && !hasSelectedText())
        return;
    if (!m_link.startEditing(window()))
        return;
    // Cut to what fits, never inside a character beyond the 16-bit range.
    const int limit = maxLength();
    insert(limit <= 0 ? pasted : TypedText::fitting(pasted, limit - (text().size() - selectedText().size())));
    m_typed = true;
}

void BoundEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // The context menu's paste and cut go through the same rules as the keys.
    QMenu *menu = createStandardContextMenu();
    for (QAction *a : menu->actions()) {
        if (a->objectName() == QLatin1String("edit-paste") || a->objectName() == QLatin1String("edit-cut")
            || a->objectName() == QLatin1String("edit-delete")) {
            const bool paste = a->objectName() == QLatin1String("edit-paste");
            disconnect(a, nullptr, nullptr, nullptr);
            connect(a, &QAction::triggered, this, [this, paste, a] {
                if (paste) {
                    pasteClipboard();
                    return;
                }
                if (!m_link.startEditing(window()))
                    return;
                if (a->objectName() == QLatin1String("edit-cut"))
                    QLineEdit::cut();
                else
                    QLineEdit::del();
                m_typed = true;
            });
        }
    }
    menu->exec(event->globalPos());
    delete menu;
}

void BoundEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!m_typed)
        refresh();
}

void BoundEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!m_typed)
        refresh();
    // Written when the focus moves to another control; not when the window
    // goes away or a popup or dialog takes the focus for a moment.
    if (m_typed && event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        guarded(window(), [this] { updateRecord(); });
}
