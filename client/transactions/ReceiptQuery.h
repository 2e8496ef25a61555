#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// What the operator typed to find receipts: words that must all appear, "quoted phrases" that
// must appear as such, and a minimum amount. Matching ignores case and accents ("creme" finds
// "Crème", "CAFE" finds "café") and treats any run of spaces, tabs or line breaks as one
// space. An amount is a number written with two decimals, as on a receipt: "49.99",
// "1,234.50", "-12.00"; quantities and weights ("2 x", "500 g", "1.5 l") are not amounts.
// Plain value type, safe to copy to and use on any thread (const use).
class ReceiptQuery
{
public:
    // Matches every text.
    ReceiptQuery() = default;
    // `minAmount`: a number, or a text of one ("49.99", "49,99", " 50 "); anything else
    // (null, undefined, "", "abc") means no minimum.
    explicit ReceiptQuery(const QString &typed, const QVariant &minAmount = QVariant());

    // True when it matches every text (no word, no phrase, no minimum).
    bool isEmpty() const;
    // The folded words and phrases, as matched.
    QStringList words() const { return m_words; }
    QStringList phrases() const { return m_phrases; }
    bool hasMinimum() const { return m_hasMinimum; }
    double minimum() const { return m_minimum; }

    bool matches(const QString &text) const;

    // Lower case, accents dropped, runs of white space as one space, ends trimmed.
    static QString fold(const QString &text);
    // The largest amount in the text; NaN when it holds none.
    static double largestAmount(const QString &text);
    // The first line that is not blank, trimmed (empty when there is none).
    static QString firstLine(const QString &text);
    // Lines of the text; a line break that ends the text starts no line of its own.
    static int lineCount(const QString &text);
    // A number or a text of one (decimal point or comma); false for anything else.
    static bool toAmount(const QVariant &value, double *amount);

private:
    QStringList m_words;
    QStringList m_phrases;
    bool m_hasMinimum = false;
    double m_minimum = 0;
};
