// The address template language: variables, sections, and the search that starts again from
// the beginning after every replacement.
#include "LogCapture.h"
#include "UrlTemplate.h"

#include <QTest>

class TestUrlTemplate : public QObject
{
    Q_OBJECT

private slots:
    void expands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("warnings");

        const QStringList none;
        const QStringList unknownX{QStringLiteral("Unkow variable ' \"X\" '!")};
        QTest::newRow("variables in and out of sections") << "a{EQU}b[[{SMC}c]][[d]]"
                                                          << "a=b;c" << none;
        QTest::newRow("unknown variable outside sections") << "p{X}q"
                                                           << "pq" << unknownX;
        QTest::newRow("section with only an unknown variable") << "[[{X}]]r"
                                                               << "r" << unknownX;
        QTest::newRow("no markup") << "rtsp://10.0.0.5:554/live?ch=1"
                                   << "rtsp://10.0.0.5:554/live?ch=1" << none;
        QTest::newRow("plain section disappears") << "[[abc]]"
                                                  << "" << none;
        QTest::newRow("plain and variable sections") << "[[x]]y[[{EQU}]]"
                                                     << "y=" << none;
        QTest::newRow("first ]] closes, then search restarts") << "[[a[[b{EQU}]]c]]"
                                                               << "a" << none;
        QTest::newRow("section mixing known and unknown") << "[[{X}{SMC}]]"
                                                          << ";" << unknownX;
        QTest::newRow("empty") << ""
                               << "" << none;
        QTest::newRow("empty braces and brackets are text") << "{}[[]]"
                                                            << "{}[[]]" << none;
        QTest::newRow("names are case-sensitive")
            << "{equ}"
            << "" << QStringList{QStringLiteral("Unkow variable ' \"equ\" '!")};
        QTest::newRow("name characters only") << "{E-Q}{EQU }"
                                              << "{E-Q}{EQU }" << none;
        QTest::newRow("a line break ends no section") << "[[a\n{EQU}]]"
                                                      << "[[a\n=]]" << none;
        QTest::newRow("carriage return too") << "[[{SMC}\r]]"
                                             << "[[;\r]]" << none;
        QTest::newRow("nested braces resolve inside out") << "{{EQU}}"
                                                          << "{=}" << none;
        QTest::newRow("non-ASCII text is kept")
            << QString::fromUtf8("c\xc3\xa2mera[[{EQU}\xe2\x82\xac]]")
            << QString::fromUtf8("c\xc3\xa2mera=\xe2\x82\xac") << none;
        QTest::newRow("address of the kind the server stores")
            << "rtsp://h:554/s[[?user{EQU}op{SMC}]]x{EQU}1"
            << "rtsp://h:554/s?user=op;x=1" << none;
    }

    void expands()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(QStringList, warnings);
        LogCapture log;
        QCOMPARE(UrlTemplate::expand(text), expected);
        QCOMPARE(log.lines(QtWarningMsg), warnings);
        QCOMPARE(log.lines().size(), warnings.size());
    }

    void countsOnlyKnownVariables()
    {
        LogCapture log;
        QString text = QStringLiteral("{EQU}{X}{SMC}{EQU}");
        QCOMPARE(UrlTemplate::expandVariables(text), 3);
        QCOMPARE(text, QStringLiteral("=;="));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("Unkow variable ' \"X\" '!")});
    }

    void sectionsLeaveOutsideVariables()
    {
        QString text = QStringLiteral("{EQU}[[{SMC}]][[{X}]]");
        LogCapture log;
        UrlTemplate::expandSections(text);
        QCOMPARE(text, QStringLiteral("{EQU};"));
        QCOMPARE(log.count(QStringLiteral("Unkow variable ' \"X\" '!")), 1);
    }

    // Long inputs stay linear in stack use: a backtracking engine that recursed per character
    // would overflow here.
    void longTextsDoNotOverflow()
    {
        const QString body(200000, QLatin1Char('a'));
        QCOMPARE(UrlTemplate::expand(QStringLiteral("[[") + body + QStringLiteral("{EQU}]]")),
                 body + QStringLiteral("="));
        QCOMPARE(UrlTemplate::expand(QStringLiteral("[[") + body), QStringLiteral("[[") + body);
    }
};

QTEST_APPLESS_MAIN(TestUrlTemplate)
#include "tst_urltemplate.moc"
