#include "FieldLink.h"

#include "Cursor.h"
#include "Guard.h"

FieldLink::FieldLink(QObject *owner, std::function<void()> refresh, RecordEditor *editor)
    : QObject(owner), m_refresh(std::move(refresh)), m_editor(editor)
{
}

FieldLink::~FieldLink()
{
    if (m_source && m_editor)
        m_source->removeEditor(m_editor);
}

void FieldLink::setDataSource(DataSource *source)
{
    if (m_source) {
        if (m_editor)
            m_source->removeEditor(m_editor);
        disconnect(m_source, nullptr, this, nullptr);
    }
    m_source = source;
    if (source) {
        if (m_editor)
            source->addEditor(m_editor);
        connect(source, &DataSource::currentChanged, this, [this] { m_refresh(); });
        connect(source, &DataSource::stateChanged, this, [this] { m_refresh(); });
        connect(source, &DataSource::rowsReset, this, [this] { m_refresh(); });
        connect(source, &DataSource::fieldChanged, this, [this](const Field *f) {
            if (f == field())
                m_refresh();
        });
    }
    m_refresh();
}

void FieldLink::setDataField(const QString &fieldName)
{
    m_field = fieldName;
    m_refresh();
}

Field *FieldLink::field() const
{
    Cursor *c = m_source ? m_source->cursor() : nullptr;
    return c && !m_field.isEmpty() ? c->findField(m_field) : nullptr;
}

bool FieldLink::hasRecord() const
{
    const Field *f = field();
    return f && f->cursor().isOpen() && f->cursor().recNo() >= 0;
}

int FieldLink::typingLimit(int ownLimit) const
{
    if (ownLimit > 0)
        return ownLimit;
    const Field *f = field();
    return f && f->isTextual() && f->size() > 0 ? f->size() : 0;
}

bool FieldLink::startEditing(QWidget *dialogParent) const
{
    Field *f = field();
    if (!f || f->isReadOnly())
        return false;
    Cursor &c = f->cursor();
    if (c.isEditing())
        return true;
    if (!c.isOpen() || !c.canModify())
        return false;
    return guarded(dialogParent, [&] { c.edit(); }) && c.isEditing();
}

namespace TypedText {

bool isPrintable(const QString &keyText)
{
    if (keyText.isEmpty())
        return false;
    const QChar first = keyText.front();
    if (first.isHighSurrogate() && keyText.size() > 1 && keyText.at(1).isLowSurrogate())
        return QChar::isPrint(QChar::surrogateToUcs4(first, keyText.at(1)));
    return first.isPrint();
}

QString fitting(const QString &text, qsizetype room)
{
    if (text.size() <= room)
        return text;
    QString out = text.left(std::max<qsizetype>(0, room));
    if (!out.isEmpty() && out.back().isHighSurrogate())
        out.chop(1);
    return out;
}

} // namespace TypedText
