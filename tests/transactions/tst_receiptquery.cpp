// What the operator types to find receipts: words, quoted phrases, a minimum amount; case,
// accents and spacing ignored; the amounts a receipt holds; its kind and total.
#include "ReceiptQuery.h"
#include "ReceiptSummary.h"
#include "TransactionModel.h"

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

    // The kind and total the table shows, from receipts as tills print them and malformed ones.
    void kindAndTotal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("total"); // NaN: none
        const double none = qQNaN();
        QTest::newRow("sale") << "Till 2  receipt 0073\nTea 20 bags        1.99\nFlowers  5.99\n"
                                 "TOTAL             10.27\nCASH 20.00 / CHANGE 9.73"
                              << "sale" << 10.27;
        QTest::newRow("sale with a void")
            << "Till 2  receipt 0083\n4 x Chocolate      6.36\nVOID 4 x Chocolate  -6.36\n"
               "TOTAL             21.43\nCARD"
            << "VOID" << 21.43;
        QTest::newRow("refund") << "Till 2  receipt 0132\nREFUND\nTea 20 bags       -1.99\n"
                                   "TOTAL             -1.99\nCARD"
                                << "REFUND" << -1.99;
        QTest::newRow("no sale") << "Till 2  receipt 0118\nNO SALE"
                                 << "NO SALE" << none;
        QTest::newRow("no TOTAL line") << "Till 1\nBread  2.49"
                                       << "sale" << none;
        QTest::newRow("comma decimal") << "Total: 12,34 EUR"
                                       << "sale" << 12.34;
        QTest::newRow("grouped and comma decimal") << "TOTAL 1.234,50"
                                                   << "sale" << 1234.5;
        QTest::newRow("grouped thousands") << "TOTAL 1,234.50"
                                           << "sale" << 1234.5;
        QTest::newRow("minus sign") << "REFUND\nTOTAL \u221231.96"
                                    << "REFUND" << -31.96;
        QTest::newRow("minus after") << "refund\ntotal 0.59-"
                                     << "REFUND" << -0.59;
        QTest::newRow("huge number") << "TOTAL 99999999999999999999.99"
                                     << "sale" << none;
        QTest::newRow("three decimals") << "TOTAL 12.345"
                                        << "sale" << 12345.0;
        QTest::newRow("no number") << "TOTAL due\nCARD"
                                   << "sale" << none;
        QTest::newRow("the last TOTAL counts") << "TOTAL 1.00\nTOTAL 2.00"
                                               << "sale" << 2.0;
        QTest::newRow("a word starting so") << "TOTALLY 5.00\nREFUNDABLE\nVOIDED"
                                            << "sale" << none;
        QTest::newRow("empty") << ""
                               << "sale" << none;
    }

    void kindAndTotal()
    {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(double, total);
        const ReceiptSummary summary = ReceiptSummary::read(text);
        QCOMPARE(summary.kind(), kind);
        if (std::isnan(total))
            QVERIFY2(std::isnan(summary.total()), qPrintable(QString::number(summary.total())));
        else
            QCOMPARE(summary.total(), total);
        // the table's row: the total, else the largest amount; sorted by size
        const TransactionModel::Row row = TransactionModel::rowOf(1, "T", "s", text);
        QCOMPARE(row.kind, kind);
        if (!std::isnan(total))
            QCOMPARE(row.amount, total);
    }

    // "Amount" puts the largest first by size: a refund of -31.96 above one of -0.59 and a sale
    // of 5.00; no amount last.
    void amountSortsBySize()
    {
        TransactionModel model;
        model.append({TransactionModel::rowOf(1, "T", "s", "REFUND\nTOTAL -0.59"),
                      TransactionModel::rowOf(2, "T", "s", "NO SALE"),
                      TransactionModel::rowOf(3, "T", "s", "TOTAL 5.00"),
                      TransactionModel::rowOf(4, "T", "s", "REFUND\nTOTAL -31.96")});
        model.sort(TransactionModel::AmountColumn, Qt::DescendingOrder);
        QVector<qint64> order;
        for (int i = 0; i < model.count(); ++i)
            order << model.row(i).time;
        QCOMPARE(order, QVector<qint64>({4, 3, 1, 2}));
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
