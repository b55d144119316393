#pragma once

#include "Money.h"

#include <QByteArray>
#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <Qt>

class Cursor;

// One named value of a cursor's records. A field knows its kind and its display
// properties; its value is read from and written to the cursor's current record.
// Values in memory: whole numbers as qlonglong, money as Money, date-times as
// naive QDateTime (see DateTimes), texts as QString, BLOBs as QByteArray; null is
// an invalid QVariant.
class Field
{
public:
    enum class Kind { AutoKey, Integer, SmallInt, Text, Memo, Money, DateTime, Blob };

    // A read-only field that shows `resultField` of the row of `cursor` whose
    // `lookupKeyField` equals this record's `keyField`.
    struct LookupDef
    {
        QString keyField;
        QPointer<Cursor> cursor;
        QString lookupKeyField;
        QString resultField;
    };

    Field(Cursor &cursor, QString name, Kind kind, int size, int index, int physicalIndex);

    Cursor &cursor() const { return m_cursor; }
    const QString &name() const { return m_name; }
    Kind kind() const { return m_kind; }
    int size() const { return m_size; }
    // Position among the cursor's fields.
    int index() const { return m_index; }
    // Position among the stored values of a row; -1 for a lookup field.
    int physicalIndex() const { return m_physicalIndex; }

    bool isLookup() const { return m_lookup != nullptr; }
    const LookupDef *lookupDef() const { return m_lookup.get(); }
    void setLookup(LookupDef def);

    bool isNumeric() const;
    bool isWholeNumber() const;
    bool isTextual() const { return m_kind == Kind::Text || m_kind == Kind::Memo; }
    bool isReadOnly() const { return m_readOnly || isLookup() || m_kind == Kind::AutoKey; }
    Field &setReadOnly(bool readOnly) { m_readOnly = readOnly; return *this; }

    // Display properties.
    int displayWidth() const;
    Field &setDisplayWidth(int chars) { m_displayWidth = chars; return *this; }
    Qt::Alignment alignment() const;
    Field &setAlignment(Qt::Alignment alignment) { m_alignment = alignment; return *this; }
    bool isCurrency() const { return m_currency; }
    Field &setCurrency(bool currency) { m_currency = currency; return *this; }
    const QString &displayFormat() const { return m_displayFormat; }
    Field &setDisplayFormat(QString picture) { m_displayFormat = std::move(picture); return *this; }
    const QString &displayLabel() const { return m_name; }

    // The current record's value.
    QVariant value() const;
    bool isNull() const { return !value().isValid(); }
    QString asString() const;
    qint64 asInteger() const;
    Money asMoney() const;
    QDateTime asDateTime() const;
    QByteArray asBytes() const;
    QString displayText() const { return displayTextOf(value()); }
    QString editText() const { return editTextOf(value()); }

    // The largest amount, either way, that a user may type into a money field:
    // 99.999.999,99, the most the room types window's eight-character price edit
    // takes. Amounts of this size, times any quantity or number of days and
    // added up over thousands of lines, stay exact in the money type.
    static constexpr Money LargestTypedAmount = Money::fromRaw(999'999'999'900);

    // Writing needs the cursor to be editing. setValue converts to this field's
    // kind; setAsString reads text the way a user typed it (empty text is null),
    // and refuses a typed amount beyond LargestTypedAmount with a message that
    // names the field and the range.
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void clear() { setValue(QVariant()); }

    // Formatting and conversion of any value of this field.
    QString displayTextOf(const QVariant &value) const;
    QString editTextOf(const QVariant &value) const;
    static QString plainText(const QVariant &value);
    // Converts to this field's kind; throws DataError with the user's message.
    QVariant normalized(const QVariant &value) const;
    QVariant fromText(const QString &text) const;

private:
    Cursor &m_cursor;
    QString m_name;
    Kind m_kind;
    int m_size;
    int m_index;
    int m_physicalIndex;
    bool m_readOnly = false;
    int m_displayWidth = 0;
    Qt::Alignment m_alignment;
    bool m_currency = false;
    QString m_displayFormat;
    std::unique_ptr<LookupDef> m_lookup;
};
