// What the operator types to find receipts: words, quoted phrases, a minimum amount; case,
// accents and spacing ignored; the amounts a receipt holds.
#include "ReceiptQuery.h"

#include <QTest>

#include <cmath>

class TestReceiptQuery : public QObject
{
    Q_OBJECT

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("minimum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        const QVariant none;
        const QString receipt = QStringLiteral("SALE #0042\nCrème fraîche      1.49\n"
                                               "Café au lait       1.80\nTOTAL       49.99\nCARD");
        QTest::newRow("empty") << "" << none << receipt << true;
        QTest::newRow("only spaces") << "   " << none << "" << true;
        QTest::newRow("accent folded") << "creme" << none << receipt << true;
        QTest::newRow("upper case, accent in text") << "CAFE" << none << receipt << true;
        QTest::newRow("accent typed") << "crème FRAÎCHE" << none << receipt << true;
        QTest::newRow("every word") << "sale card total" << none << receipt << true;
        QTest::newRow("one word missing") << "sale refund" << none << receipt << false;
        QTest::newRow("phrase") << "\"cafe  au\tlait\"" << none << receipt << true;
        QTest::newRow("phrase across spacing") << "\"fraiche 1.49\"" << none << receipt << true;
        QTest::newRow("phrase in other order") << "\"lait au\"" << none << receipt << false;
        QTest::newRow("words and phrase") << "card \"au lait\"" << none << receipt << true;
        QTest::newRow("unclosed quote") << "\"total 49" << none << receipt << true;
        QTest::newRow("minimum met") << "" << QVariant(49.99) << receipt << true;
        QTest::newRow("minimum text") << "" << QVariant("49,99") << receipt << true;
        QTest::newRow("minimum above") << "" << QVariant(50) << receipt << false;
        QTest::newRow("minimum of nothing") << "" << QVariant("abc") << receipt << true;
        QTest::newRow("minimum empty text") << "" << QVariant("") << "no amount" << true;
        QTest::newRow("minimum, no amount") << "" << QVariant(0) << "Till 1 x10 500 g" << false;
        QTest::newRow("thousands") << "" << QVariant("1000") << "TOTAL 1,234.50" << true;
        QTest::newRow("negative only") << "" << QVariant(-13) << "REFUND -12.00" << true;
        QTest::newRow("negative under") << "" << QVariant(-11) << "REFUND -12.00" << false;
        QTest::newRow("not an amount: 3 decimals") << "" << QVariant(1) << "x 12.345" << false;
        QTest::newRow("not an amount: glued") << "" << QVariant(1) << "AB12.34" << false;
        QTest::newRow("markup is text") << "<b>" << none << "<b>SALE</b>" << true;
        QTest::newRow("word and minimum")
            << "coffee" << QVariant(49) << "Coffee machine  49.99" << true;
    }

    void matches()
    {
        QFETCH(QString, typed);
        QFETCH(QVariant, minimum);
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(ReceiptQuery(typed, minimum).matches(text), expected);
    }

    void receiptFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("largest"); // -1: none
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<int>("lines");
        QTest::newRow("receipt") << "\n  SALE #1  \nBread  2.49\n2 x Milk  2.38\nTOTAL  4.87\n"
                                 << 4.87 << "SALE #1" << 5;
        QTest::newRow("refund") << "REFUND\nSoap  -1.19\nCASH -1.19" << -1.19 << "REFUND" << 3;
        QTest::newRow("thousands and sentence end")
            << "Total 1,234.50." << 1234.5 << "Total 1,234.50." << 1;
        QTest::newRow("bad grouping") << "12,34.50 1,2345.00" << -1.0 << "12,34.50 1,2345.00" << 1;
        QTest::newRow("empty") << "" << -1.0 << "" << 0;
        QTest::newRow("only breaks") << "\n\n" << -1.0 << "" << 2;
    }

    void receiptFields()
    {
        QFETCH(QString, text);
        QFETCH(double, largest);
        QFETCH(QString, firstLine);
        QFETCH(int, lines);
        const double amount = ReceiptQuery::largestAmount(text);
        QCOMPARE(std::isnan(amount) ? -1.0 : amount, largest);
        QCOMPARE(ReceiptQuery::firstLine(text), firstLine);
        QCOMPARE(ReceiptQuery::lineCount(text), lines);
    }

    void parsedQuery()
    {
        const ReceiptQuery query(QStringLiteral(" Crème  \"AU   Lait\" crème "),
                                 QStringLiteral("12.5"));
        QCOMPARE(query.words(), QStringList({"creme"}));
        QCOMPARE(query.phrases(), QStringList({"au lait"}));
        QVERIFY(query.hasMinimum() && qFuzzyCompare(query.minimum(), 12.5));
        QVERIFY(ReceiptQuery().isEmpty() && !query.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReceiptQuery)
#include "tst_receiptquery.moc"
