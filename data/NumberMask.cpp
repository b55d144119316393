#include "NumberMask.h"

#include "Regional.h"

namespace NumberMask {

namespace {

QString groupDigits(const QString &intDigits, QStringView thousandSeparator)
{
    QString out;
    const qsizetype n = intDigits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += thousandSeparator;
        out += intDigits[i];
    }
    return out;
}

} // namespace

QString groupedDigits(Money magnitude, int decimals, QStringView dec, QStringView thou)
{
    const QString plain = magnitude.toPlain(decimals, u".");
    const qsizetype dot = plain.indexOf(u'.');
    const QString intPart = dot < 0 ? plain : plain.left(dot);
    QString out = groupDigits(intPart, thou);
    if (dot >= 0) {
        out += dec;
        out += QStringView(plain).mid(dot + 1);
    }
    return out;
}

QString format(Money value, QStringView mask, QStringView dec, QStringView thou)
{
    const qsizetype point = mask.indexOf(u'.');
    const QStringView intMask = point < 0 ? mask : mask.left(point);
    const QStringView fracMask = point < 0 ? QStringView() : mask.mid(point + 1);

    const int decimals = static_cast<int>(fracMask.count(u'0'));
    const int minIntDigits = std::max<int>(1, static_cast<int>(intMask.count(u'0')));
    const bool grouping = intMask.contains(u',');

    const Money rounded = value.rounded(std::min(decimals, Money::Decimals));
    const bool negative = rounded.raw() < 0;
    const Money magnitude = negative ? -rounded : rounded;
    const QString plain = magnitude.toPlain(decimals, u".");
    const qsizetype dot = plain.indexOf(u'.');
    QString intDigits = dot < 0 ? plain : plain.left(dot);
    const QString fracDigits = dot < 0 ? QString() : plain.mid(dot + 1);
    while (intDigits.size() < minIntDigits)
        intDigits.prepend(u'0');
    const QString intText = grouping ? groupDigits(intDigits, thou) : intDigits;

    // The integer part: literals keep their places; the whole digit run stands
    // at the leftmost digit position and the others consume digits from the right.
    QString intOut;
    {
        const qsizetype firstZero = intMask.indexOf(u'0');
        const qsizetype lastZero = intMask.lastIndexOf(u'0');
        if (firstZero < 0) {
            // no digit position: the digits follow the literals
            for (QChar c : intMask)
                if (c != u',')
                    intOut += c;
            intOut += intText;
        } else {
            // Digits other than the leftmost run, one per "0" to the right of the first.
            QString remaining = intText;
            QString tail;
            for (qsizetype i = lastZero; i > firstZero; --i) {
                const QChar c = intMask[i];
                if (c == u'0') {
                    if (!remaining.isEmpty()) {
                        // keep a grouping separator with its digit
                        QString piece(remaining.back());
                        remaining.chop(1);
                        while (!remaining.isEmpty() && !remaining.back().isDigit()) {
                            piece.prepend(remaining.back());
                            remaining.chop(1);
                        }
                        tail.prepend(piece);
                    }
                } else if (c != u',') {
                    tail.prepend(c);
                }
            }
            QString head;
            for (qsizetype i = 0; i < firstZero; ++i)
                if (intMask[i] != u',')
                    head += intMask[i];
            QString after;
            for (qsizetype i = lastZero + 1; i < intMask.size(); ++i)
                if (intMask[i] != u',')
                    after += intMask[i];
            intOut = head + remaining + tail + after;
        }
    }

    QString out = intOut;
    if (point >= 0) {
        if (decimals > 0)
            out += dec;
        qsizetype next = 0;
        for (QChar c : fracMask) {
            // Amounts have four decimals and the plain text at most 18: any
            // position beyond those is a zero.
            if (c == u'0')
                out += next < fracDigits.size() ? fracDigits[next++] : QChar(u'0');
            else
                out += c;
        }
    }
    if (negative)
        out.prepend(u'-');
    return out;
}

QString format(Money value, QStringView mask)
{
    const RegionalSettings &rs = Regional::settings();
    return format(value, mask, rs.decimalSeparator, rs.thousandSeparator);
}

} // namespace NumberMask
