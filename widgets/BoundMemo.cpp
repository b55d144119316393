#include "BoundMemo.h"

#include "Cursor.h"
#include "Guard.h"

#include <QKeyEvent>
#include <QMimeData>

BoundMemo::BoundMemo(QWidget *parent) : QPlainTextEdit(parent), m_link(this, [this] { refresh(); }, this)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_refreshing)
            m_typed = true;
    });
}

BoundMemo::~BoundMemo() = default;

void BoundMemo::refresh()
{
    QString text;
    if (m_link.hasRecord())
        text = field()->asString();
    m_refreshing = true;
    if (text != toPlainText())
        setPlainText(text);
    m_refreshing = false;
    m_typed = false;
}

void BoundMemo::updateRecord()
{
    if (!m_typed)
        return;
    Field *f = field();
    if (!f || !f->cursor().isEditing())
        return;
    f->setAsString(toPlainText());
    m_typed = false;
}

void BoundMemo::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        refresh();
        selectAll();
        event->accept();
        return;
    }
    const bool changesText = (TypedText::isPrintable(event->text()) || event->key() == Qt::Key_Return
                              || event->key() == Qt::Key_Enter)
                             || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete
                             || event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut);
    if (changesText) {
        if (!m_link.startEditing(window())) {
            event->accept();
            return;
        }
        const bool grows = !event->text().isEmpty() && event->key() != Qt::Key_Backspace
                           && event->key() != Qt::Key_Delete;
        const qsizetype kept = toPlainText().size() - textCursor().selectedText().size();
        const int limit = maxLength();
        if (grows && limit > 0 && kept + event->text().size() > limit) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void BoundMemo::insertFromMimeData(const QMimeData *source)
{
    if (!m_link.startEditing(window()))
        return;
    QString text = source->text();
    if (const int limit = maxLength(); limit > 0) {
        const qsizetype room = limit - (toPlainText().size() - textCursor().selectedText().size());
        text = TypedText::fitting(text, room);
    }
    textCursor().insertText(text);
}

void BoundMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    // Written when the focus moves to another control; not when the window
    // goes away or a popup or dialog takes the focus for a moment.
    if (m_typed && event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        guarded(window(), [this] { updateRecord(); });
}
