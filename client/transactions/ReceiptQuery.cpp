#include "ReceiptQuery.h"

#include <QVector>

#include <cmath>
#include <limits>

namespace {

constexpr ushort kDrop = 0;
constexpr ushort kSpace = 0xFFFF;

// The folded form of each UTF-16 unit: accents dropped through the canonical decomposition,
// then lower case; combining marks dropped; white space marked. Made once, read on any thread.
QVector<ushort> makeFoldTable()
{
    QVector<ushort> table(0x10000);
    for (int unit = 0; unit < 0x10000; ++unit) {
        QChar c(static_cast<ushort>(unit));
        if (c.isSurrogate()) {
            table[unit] = ushort(unit);
            continue;
        }
        if (c.isSpace()) {
            table[unit] = kSpace;
            continue;
        }
        if (c.category() == QChar::Mark_NonSpacing) {
            table[unit] = kDrop;
            continue;
        }
        while (c.decompositionTag() == QChar::Canonical && !c.decomposition().isEmpty())
            c = c.decomposition().at(0);
        table[unit] = c.toLower().unicode();
    }
    return table;
}

const ushort *foldTable()
{
    static const QVector<ushort> table = makeFoldTable();
    return table.constData();
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// Reads an amount starting at the digit at `i` ("1,234.50", "49.99"); `end` gets the index
// after what was read (the whole run of digits and separators when it is no amount).
bool readAmount(const QString &text, int i, double *value, int *end)
{
    const int size = text.size();
    int j = i;
    qint64 units = 0;
    int group = 0;
    bool grouped = false;
    bool ok = true;
    for (; j < size; ++j) {
        const QChar c = text.at(j);
        if (isDigit(c)) {
            units = units * 10 + (c.unicode() - '0');
            ++group;
            ok = ok && units < (qint64(1) << 50);
        } else if (c == QLatin1Char(',') && j + 1 < size && isDigit(text.at(j + 1))) {
            ok = ok && group > 0 && (grouped ? group == 3 : group <= 3);
            grouped = true;
            group = 0;
        } else {
            break;
        }
    }
    ok = ok && (!grouped || group == 3);
    *end = j;
    const bool decimals = j + 2 < size && text.at(j) == QLatin1Char('.') &&
                          isDigit(text.at(j + 1)) && isDigit(text.at(j + 2)) &&
                          (j + 3 >= size || !text.at(j + 3).isLetterOrNumber());
    if (!ok || !decimals)
        return false;
    *value = double(units) +
             ((text.at(j + 1).unicode() - '0') * 10 + (text.at(j + 2).unicode() - '0')) / 100.0;
    *end = j + 3;
    return true;
}

QStringList splitTyped(const QString &typed, QStringList *phrases)
{
    QStringList words;
    const QStringList parts = typed.split(QLatin1Char('"'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString folded = ReceiptQuery::fold(parts.at(i));
        if (folded.isEmpty())
            continue;
        // Odd parts sit between quotes (an unclosed quote runs to the end).
        if (i % 2 == 1)
            phrases->append(folded);
        else
            words += folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return words;
}

} // namespace

ReceiptQuery::ReceiptQuery(const QString &typed, const QVariant &minAmount)
{
    m_words = splitTyped(typed, &m_phrases);
    m_words.removeDuplicates();
    m_hasMinimum = toAmount(minAmount, &m_minimum);
}

bool ReceiptQuery::isEmpty() const
{
    return m_words.isEmpty() && m_phrases.isEmpty() && !m_hasMinimum;
}

bool ReceiptQuery::matches(const QString &text) const
{
    if (!m_words.isEmpty() || !m_phrases.isEmpty()) {
        const QString folded = fold(text);
        for (const QString &word : m_words) {
            if (!folded.contains(word))
                return false;
        }
        for (const QString &phrase : m_phrases) {
            if (!folded.contains(phrase))
                return false;
        }
    }
    return !m_hasMinimum || largestAmount(text) >= m_minimum;
}

QString ReceiptQuery::fold(const QString &text)
{
    const ushort *table = foldTable();
    QString folded(text.size(), Qt::Uninitialized);
    QChar *out = folded.data();
    int length = 0;
    bool space = true; // drops leading white space
    for (const QChar c : text) {
        const ushort f = table[c.unicode()];
        if (f == kDrop)
            continue;
        if (f == kSpace) {
            if (!space)
                out[length++] = QLatin1Char(' ');
            space = true;
            continue;
        }
        out[length++] = QChar(f);
        space = false;
    }
    if (length > 0 && space)
        --length;
    folded.truncate(length);
    return folded;
}

double ReceiptQuery::largestAmount(const QString &text)
{
    double largest = std::numeric_limits<double>::quiet_NaN();
    const int size = text.size();
    for (int i = 0; i < size;) {
        if (!isDigit(text.at(i))) {
            ++i;
            continue;
        }
        // A number glued to a word ("x10", "A4") is no amount.
        const bool glued =
            i > 0 && (text.at(i - 1).isLetter() || text.at(i - 1) == QLatin1Char('.'));
        const bool negative = i > 0 && text.at(i - 1) == QLatin1Char('-');
        double value = 0;
        int end = i;
        if (readAmount(text, i, &value, &end) && !glued) {
            value = negative ? -value : value;
            if (std::isnan(largest) || value > largest)
                largest = value;
        }
        i = end;
    }
    return largest;
}

QString ReceiptQuery::firstLine(const QString &text)
{
    int start = 0;
    while (start <= text.size()) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const QString line = text.mid(start, end - start).trimmed();
        if (!line.isEmpty())
            return line;
        start = end + 1;
    }
    return QString();
}

int ReceiptQuery::lineCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const int breaks = text.count(QLatin1Char('\n'));
    return text.endsWith(QLatin1Char('\n')) ? breaks : breaks + 1;
}

bool ReceiptQuery::toAmount(const QVariant &value, double *amount)
{
    bool ok = false;
    double number = 0;
    switch (value.userType()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toDouble(&ok);
        break;
    case QMetaType::QString: {
        QString text = value.toString().trimmed();
        if (text.contains(QLatin1Char('.')))
            text.remove(QLatin1Char(','));
        else
            text.replace(QLatin1Char(','), QLatin1Char('.'));
        number = text.toDouble(&ok);
        break;
    }
    default:
        break;
    }
    if (!ok || !std::isfinite(number))
        return false;
    *amount = number;
    return true;
}
