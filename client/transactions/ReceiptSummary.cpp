#include "ReceiptSummary.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>

#include <cmath>
#include <limits>

namespace {

// The line starts with the word: "TOTAL 3.00", "Total:", not "TOTALLY".
bool startsWithWord(const QString &line, const QString &word)
{
    if (!line.startsWith(word, Qt::CaseInsensitive))
        return false;
    return line.size() == word.size() || !line.at(word.size()).isLetterOrNumber();
}

} // namespace

ReceiptSummary ReceiptSummary::read(const QString &text)
{
    ReceiptSummary summary;
    summary.m_total = std::numeric_limits<double>::quiet_NaN();
    bool noSale = false;
    bool refund = false;
    bool voided = false;
    for (const QStringRef &raw : text.splitRef(QLatin1Char('\n'))) {
        const QString line = raw.trimmed().toString();
        if (line.compare(QLatin1String("NO SALE"), Qt::CaseInsensitive) == 0)
            noSale = true;
        else if (startsWithWord(line, QStringLiteral("REFUND")))
            refund = true;
        else if (startsWithWord(line, QStringLiteral("VOID")))
            voided = true;
        else if (startsWithWord(line, QStringLiteral("TOTAL")))
            summary.m_total = readAmount(line.mid(5));
    }
    summary.m_kind = noSale   ? QStringLiteral("NO SALE")
                     : refund ? QStringLiteral("REFUND")
                     : voided ? QStringLiteral("VOID")
                              : QStringLiteral("sale");
    return summary;
}

double ReceiptSummary::readAmount(const QString &written)
{
    // [sign] digits (grouped by "," or "." in threes) [decimal separator, one or two digits]
    // [sign]; the last such amount of the text counts.
    static const QRegularExpression amount(QStringLiteral(
        "([-\u2212])?\\s*(\\d+(?:[,.]\\d{3})*)(?:[.,](\\d{1,2}))?(?!\\d)\\s*([-\u2212])?"));
    const double none = std::numeric_limits<double>::quiet_NaN();
    QRegularExpressionMatch last;
    auto matches = amount.globalMatch(written);
    while (matches.hasNext())
        last = matches.next();
    if (!last.hasMatch())
        return none;
    // What follows the amount must not be more of a number ("12.345" is not 12.34 and 5).
    const QString after = written.mid(last.capturedEnd(0)).trimmed();
    if (!after.isEmpty() && after.at(0).isDigit())
        return none;
    QString whole = last.captured(2);
    whole.remove(QLatin1Char(','));
    whole.remove(QLatin1Char('.'));
    if (whole.size() >= 15)
        return none;
    const QString cents = last.captured(3);
    bool ok = false;
    double value = whole.toDouble(&ok);
    if (!ok)
        return none;
    if (!cents.isEmpty())
        value += cents.toDouble() / (cents.size() == 1 ? 10.0 : 100.0);
    const bool negative = !last.captured(1).isEmpty() || !last.captured(4).isEmpty();
    return negative ? -value : value;
}
