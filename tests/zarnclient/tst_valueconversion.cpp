// Values between QML's variants and the event-server library, both directions.
#include "LogCapture.h"
#include "Utils.h"
#include "ZarnClient.h"

#include <zarn/Value.h>
#include <zarn/ValuePtr.h>

#include <QDateTime>
#include <QTest>

using namespace ardix;

Q_DECLARE_METATYPE(ardix::zarn::ValuePtr)

class TestValueConversion : public QObject
{
    Q_OBJECT

private slots:
    void fromVariant_data()
    {
        QTest::addColumn<QVariant>("variant");
        QTest::addColumn<zarn::ValuePtr>("expected");

        auto v = [](const zarn::Value &value) { return zarn::ValuePtr(value); };
        QTest::newRow("bool") << QVariant(true) << v(zarn::BoolValue(true));
        QTest::newRow("int") << QVariant(-7) << v(zarn::IntValue(-7));
        QTest::newRow("long long 2^32+1 wraps to 1")
            << QVariant(qlonglong(4294967297LL)) << v(zarn::IntValue(1));
        QTest::newRow("uint max wraps to -1") << QVariant(4294967295U) << v(zarn::IntValue(-1));
        QTest::newRow("unsigned long long") << QVariant(qulonglong(42)) << v(zarn::IntValue(42));
        QTest::newRow("long") << QVariant::fromValue(long(-9)) << v(zarn::IntValue(-9));
        QTest::newRow("short") << QVariant::fromValue(short(-3)) << v(zarn::IntValue(-3));
        QTest::newRow("unsigned short")
            << QVariant::fromValue(ushort(65535)) << v(zarn::IntValue(65535));
        QTest::newRow("double") << QVariant(2.25) << v(zarn::FloatValue(2.25));
        QTest::newRow("float") << QVariant::fromValue(1.5f) << v(zarn::FloatValue(1.5));
        QTest::newRow("text") << QVariant(QStringLiteral("Gr\u00fc\u00dfe \u2713"))
                              << v(zarn::StringValue("Gr\xc3\xbc\xc3\x9f"
                                                     "e \xe2\x9c\x93"));
    }

    void fromVariant()
    {
        QFETCH(QVariant, variant);
        QFETCH(zarn::ValuePtr, expected);
        LogCapture log;
        const zarn::ValuePtr value = Utils::zarnValueFromQVariant(variant);
        QVERIFY(!value.isNull());
        QCOMPARE(value->kind(), expected->kind());
        QVERIFY(value.value() == expected.value());
        QVERIFY(log.lines().isEmpty());
    }

    void unhandledVariant_data()
    {
        QTest::addColumn<QVariant>("variant");
        QTest::addColumn<int>("type");
        QTest::newRow("invalid") << QVariant() << 0;
        QTest::newRow("map") << QVariant(QVariantMap{{"a", 1}}) << 8;
        QTest::newRow("date-time") << QVariant(QDateTime::currentDateTimeUtc()) << 16;
        QTest::newRow("list") << QVariant(QVariantList{1}) << 9;
        QTest::newRow("char") << QVariant(QChar('x')) << 7;
        QTest::newRow("signed char") << QVariant::fromValue<signed char>(1) << 40;
        QTest::newRow("unsigned char") << QVariant::fromValue<uchar>(1) << 37;
    }

    void unhandledVariant()
    {
        QFETCH(QVariant, variant);
        QFETCH(int, type);
        QCOMPARE(variant.userType(), type);
        LogCapture log;
        QVERIFY(Utils::zarnValueFromQVariant(variant).isNull());
        QCOMPARE(log.lines(QtWarningMsg),
                 (QStringList{"static ardix::zarn::ValuePtr Utils::zarnValueFromQVariant(const "
                              "QVariant&)",
                              QStringLiteral("  Unhandled type:  %1").arg(type)}));
    }

    void toVariant_data()
    {
        QTest::addColumn<zarn::ValuePtr>("value");
        QTest::addColumn<QVariant>("expected");
        auto v = [](const zarn::Value &value) { return zarn::ValuePtr(value); };
        QTest::newRow("bool") << v(zarn::BoolValue(false)) << QVariant(false);
        QTest::newRow("int") << v(zarn::IntValue(-5)) << QVariant(-5);
        QTest::newRow("int 2^32+1 is cut to 32 bits")
            << v(zarn::IntValue(4294967297LL)) << QVariant(1);
        QTest::newRow("float") << v(zarn::FloatValue(1.5)) << QVariant(1.5);
        QTest::newRow("text") << v(zarn::StringValue("Gr\xc3\xbc\xc3\x9f"
                                                     "e"))
                              << QVariant(QStringLiteral("Gr\u00fc\u00dfe"));
    }

    void toVariant()
    {
        QFETCH(zarn::ValuePtr, value);
        QFETCH(QVariant, expected);
        const QVariant variant = ZarnClient::zarnValToVariant(value.value());
        QCOMPARE(variant.userType(), expected.userType());
        QCOMPARE(variant, expected);
    }

    void textRoundTrip()
    {
        const QString text = QStringLiteral("\u0421\u043a\u043b\u0430\u0434, caf\u00e9 \U0001F6AA");
        const QVariant back =
            ZarnClient::zarnValToVariant(Utils::zarnValueFromQVariant(text).value());
        QCOMPARE(back, QVariant(text));
    }

    void unhandledKind_data()
    {
        QTest::addColumn<zarn::ValuePtr>("value");
        QTest::addColumn<int>("kind");
        auto v = [](const zarn::Value &value) { return zarn::ValuePtr(value); };
        QTest::newRow("none") << v(zarn::NoneValue()) << 10;
        QTest::newRow("date") << v(zarn::DateValue(3)) << 70;
        QTest::newRow("id") << v(zarn::IdValue(12)) << 110;
    }

    void unhandledKind()
    {
        QFETCH(zarn::ValuePtr, value);
        QFETCH(int, kind);
        LogCapture log;
        QVERIFY(!ZarnClient::zarnValToVariant(value.value()).isValid());
        QCOMPARE(log.lines(QtWarningMsg),
                 (QStringList{"static QVariant ZarnClient::zarnValToVariant(const "
                              "ardix::zarn::Value&)",
                              QStringLiteral("Unhandled type: %1").arg(kind)}));
    }
};

QTEST_GUILESS_MAIN(TestValueConversion)
#include "tst_valueconversion.moc"
