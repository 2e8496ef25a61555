#pragma once

#include <QString>

// What a till's receipt is, read from its lines: its kind and its total. The kind is "NO SALE"
// for a drawer opening (a line "NO SALE"), "REFUND" for a refund (a line starting with the word
// REFUND), "VOID" for a sale with a voided item (a line starting with the word VOID), else
// "sale". The total is the amount on the last line starting with the word TOTAL, written with
// a decimal point or comma ("21.43", "21,43", "1,234.50"), its minus sign as "-" or "−"
// (before or after the number); NaN when there is no such line, or its amount is not one or
// too large to be a till's (15 digits or more). Case does not matter. Plain value type.
class ReceiptSummary
{
public:
    static ReceiptSummary read(const QString &text);

    QString kind() const { return m_kind; }
    double total() const { return m_total; }

    static double readAmount(const QString &written);

private:
    QString m_kind;
    double m_total = 0;
};
