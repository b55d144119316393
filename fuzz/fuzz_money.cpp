// Money as the user types it and as the program prints it: parsing in both
// separators, the regional currency and edit formats, number masks, and the
// arithmetic of invoices. Parsing and printing must agree with each other, and
// arithmetic must either be exact or refuse with DataError.
#include "DataError.h"
#include "FuzzSupport.h"
#include "Money.h"
#include "NumberMask.h"
#include "Regional.h"

#include <algorithm>
#include <limits>

namespace {

void checkRoundTrip(Money m, QStringView separator)
{
    const QString plain = m.toPlain(Money::Decimals, separator);
    const auto back = Money::parse(plain, separator);
    if (!back || *back != m)
        FuzzSupport::broken("four-decimal text does not read back", plain);
}

void checkPrinting(Money m, const QString &mask)
{
    const RegionalSettings &rs = Regional::settings();
    const QString edit = rs.formatPlainMoney(m);
    const auto back = rs.parseMoney(edit);
    // The edit text holds the currency decimals: it reads back as the rounded amount.
    if (!back || *back != m.rounded(rs.currencyDecimals))
        FuzzSupport::broken("edit text does not read back", edit);
    try {
        const QString shown = rs.formatCurrency(m);
        if (shown.isEmpty())
            FuzzSupport::broken("empty currency text");
    } catch (const DataError &) {
        // Only the one amount whose magnitude has no 64-bit form may refuse.
        if (m.raw() != std::numeric_limits<qint64>::min())
            FuzzSupport::broken("currency text refused", edit);
    }
    // A mask of plain decimals prints the amount's own digits, then zeros.
    for (int n : {0, 2, 4, 18, 20, 24}) {
        try {
            const QString shown = NumberMask::format(m, QStringLiteral("0.") + QString(n, u'0'), u".", u",");
            const int own = std::min(n, int(Money::Decimals));
            const QString expected = m.toPlain(own, u".") + QString(n - own, u'0');
            if (shown != expected)
                FuzzSupport::broken("plain decimals misprinted", shown + QStringLiteral(" instead of ") + expected);
        } catch (const DataError &) {
        }
    }
    for (const QString &k : {mask, QStringLiteral("$ 0,.00"), QStringLiteral("0.00")}) {
        try {
            (void)NumberMask::format(m, k, u",", u".");
            (void)NumberMask::format(m, k, u".", u",");
        } catch (const DataError &) {
        }
    }
}

void checkArithmetic(Money a, Money b)
{
    try {
        const Money sum = a + b;
        if (sum - b != a)
            FuzzSupport::broken("a + b - b differs from a");
    } catch (const DataError &) {
    }
    try {
        const Money product = a.times(b);
        if (b == Money::fromUnits(1) && product != a)
            FuzzSupport::broken("a times one differs from a");
    } catch (const DataError &) {
    }
    try {
        (void)a.dividedBy(b);
    } catch (const DataError &) {
    }
    try {
        (void)(a * 365);
        (void)(-a);
    } catch (const DataError &) {
    }
    // A rounded amount lies within half a step of the amount, or is refused.
    for (int d = -1; d <= 5; ++d) {
        try {
            const Money r = a.rounded(d);
            __int128 step = 1;
            for (int k = std::clamp(d, 0, Money::Decimals); k < Money::Decimals; ++k)
                step *= 10;
            const __int128 off = static_cast<__int128>(r.raw()) - a.raw();
            if (2 * off > step || -2 * off > step)
                FuzzSupport::broken("rounding moved the amount by more than half a step");
        } catch (const DataError &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::initialize();
    const QByteArray input = FuzzSupport::bytes(data, size);
    // Up to a line break: the amount; after it: a number mask.
    const qsizetype cut = input.indexOf('\n');
    const QString text = QString::fromUtf8(cut < 0 ? input : input.left(cut));
    const QString mask = cut < 0 ? QStringLiteral("$ 0,.00") : QString::fromUtf8(input.mid(cut + 1));

    std::vector<Money> amounts = {Money(), Money::fromRaw(std::numeric_limits<qint64>::max()),
                                  Money::fromRaw(std::numeric_limits<qint64>::min()), Money::fromRaw(-5000)};
    for (QStringView separator : {QStringView(u","), QStringView(u".")}) {
        if (const auto m = Money::parse(text, separator)) {
            checkRoundTrip(*m, separator);
            amounts.push_back(*m);
        }
    }
    // The raw bytes as a stored amount, as another program might have written it.
    if (size >= 8) {
        qint64 raw = 0;
        memcpy(&raw, data, sizeof raw);
        amounts.push_back(Money::fromRaw(raw));
    }
    for (Money m : amounts)
        checkPrinting(m, mask);
    for (Money a : amounts)
        checkArithmetic(a, amounts.back());
    return 0;
}
