// Which stream a live cell plays: the camera's "profiles" setting as the server writes it
// (well-formed or not), the choice by the cell's size, the settings that force a profile, and the
// chooser that waits for a size to settle before it switches, logging each choice.
#include "LogCapture.h"
#include "ProfileChooser.h"
#include "StreamProfiles.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString twoProfiles = QStringLiteral("[{\"name\":\"main\",\"width\":640,\"height\":360,"
                                           "\"url\":\"http://gw/live/11[[?profile{EQU}main]]\"},"
                                           "{\"name\":\"sub\",\"width\":320,\"height\":180,\"url\":"
                                           "\"http://gw/live/11[[?profile{EQU}sub]]\"}]");

QStringList names(const QVector<StreamProfile> &profiles)
{
    QStringList list;
    for (const StreamProfile &profile : profiles)
        list << profile.name;
    return list;
}

} // namespace

class TestStreamProfiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().remove(QStringLiteral("Video/streamProfile")); }

    void parses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("problem");

        QTest::newRow("two profiles, sorted smallest first")
            << twoProfiles << QStringList{"sub", "main"} << false;
        QTest::newRow("not JSON") << "main,sub" << QStringList() << true;
        QTest::newRow("an object, not a list") << "{\"name\":\"main\"}" << QStringList() << true;
        QTest::newRow("empty list") << "[]" << QStringList() << false;
        QTest::newRow("entries without size, name or url are skipped")
            << "[{\"name\":\"a\",\"width\":0,\"height\":10,\"url\":\"http://h/a\"}, "
               "{\"name\":\"\",\"width\":10,\"height\":10,\"url\":\"http://h/b\"}, "
               "{\"name\":\"c\",\"width\":10,\"height\":10,\"url\":\"\"}, "
               "{\"name\":\"d\",\"width\":\"10\",\"height\":10,\"url\":\"http://h/d\"}, "
               "{\"name\":\"e\",\"width\":10.5,\"height\":10,\"url\":\"http://h/e\"}, "
               "{\"name\":\"f\",\"width\":1e12,\"height\":10,\"url\":\"http://h/f\"}, \"g\", "
               "{\"name\":\"h\",\"width\":16,\"height\":9,\"url\":\"http://h/h\"}]"
            << QStringList{"h"} << true;
        QTest::newRow("a template whose sections all vanish leaves no address")
            << "[{\"name\":\"x\",\"width\":4,\"height\":3,\"url\":\"[[nothing]]\"}]"
            << QStringList() << true;
    }

    void parses()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(bool, problem);
        QString why;
        const QVector<StreamProfile> profiles = StreamProfiles::parse(text, &why);
        QCOMPARE(names(profiles), expected);
        QCOMPARE(!why.isEmpty(), problem);
    }

    void expandsAddresses()
    {
        const QVector<StreamProfile> profiles = StreamProfiles::parse(twoProfiles);
        QCOMPARE(profiles.size(), 2);
        QCOMPARE(profiles.at(0).address, QStringLiteral("http://gw/live/11?profile=sub"));
        QCOMPARE(profiles.at(1).address, QStringLiteral("http://gw/live/11?profile=main"));
        QCOMPARE(StreamProfiles::fromVariantList(StreamProfiles::toVariantList(profiles)).size(),
                 2);
    }

    void picks_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("expected");

        // The demo's windows: 4x4 in 640x480 (148x120), a 1280x960 4x4 (307x240), one cell
        // alone, and an 8x8 in 1280x960.
        QTest::newRow("small cell") << 148 << 120 << "sub";
        QTest::newRow("exactly the sub picture") << 320 << 180 << "sub";
        QTest::newRow("wider than sub") << 321 << 100 << "main";
        QTest::newRow("taller than sub") << 307 << 240 << "main";
        QTest::newRow("larger than every profile") << 1230 << 960 << "main";
        QTest::newRow("no size yet") << 0 << 0 << "sub";
    }

    void picks()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, expected);
        const QVector<StreamProfile> profiles = StreamProfiles::parse(twoProfiles);
        QCOMPARE(profiles.at(StreamProfiles::pick(profiles, width, height)).name, expected);
        QCOMPARE(StreamProfiles::pick({}, width, height), -1);
    }

    // A cell created at its size chooses at once; a resize switches once it has settled, and
    // both are logged with the cell and the profiles.
    void choosesBySizeAndSettles()
    {
        LogCapture log;
        ProfileChooser chooser;
        chooser.classBegin();
        chooser.setSettleMs(100);
        chooser.setCellName(QStringLiteral("cell 2 (\"Till\")"));
        chooser.setFallbackUrl(QStringLiteral("http://gw/live/11?profile=main"));
        chooser.setProfiles(StreamProfiles::toVariantList(StreamProfiles::parse(twoProfiles)));
        QVERIFY(chooser.url().isEmpty());
        chooser.componentComplete();
        QVERIFY2(chooser.url().isEmpty(), "nothing is chosen before the cell has a size");

        chooser.setPixelWidth(148);
        chooser.setPixelHeight(120);
        QCOMPARE(chooser.profile(), QStringLiteral("sub"));
        QCOMPARE(chooser.url(), QStringLiteral("http://gw/live/11?profile=sub"));
        QVERIFY(
            log.contains(QStringLiteral("Stream profile of cell 2 (\"Till\"): sub (148x120 px)")));

        QSignalSpy choices(&chooser, &ProfileChooser::choiceChanged);
        // An animation passes through many sizes: one switch, at the end.
        for (int w = 160; w <= 590; w += 30) {
            chooser.setPixelWidth(w);
            chooser.setPixelHeight(w * 480 / 590);
        }
        QCOMPARE(chooser.profile(), QStringLiteral("sub"));
        QVERIFY(choices.wait(1000));
        QCOMPARE(choices.size(), 1);
        QCOMPARE(chooser.profile(), QStringLiteral("main"));
        QVERIFY(log.contains(
            QStringLiteral("Stream profile of cell 2 (\"Till\"): sub -> main (580x471 px)")));

        // The same profile at another size is no switch.
        chooser.setPixelWidth(600);
        QVERIFY(!choices.wait(300));
        QCOMPARE(choices.size(), 1);
    }

    void forcedAndFallback()
    {
        QSettings().setValue(QStringLiteral("Video/streamProfile"), QStringLiteral("main"));
        ProfileChooser forced;
        forced.setProfiles(StreamProfiles::toVariantList(StreamProfiles::parse(twoProfiles)));
        forced.setPixelWidth(100);
        forced.setPixelHeight(100);
        QCOMPARE(forced.profile(), QStringLiteral("main"));

        // A profile the camera does not offer is warned about once; the size decides.
        LogCapture log;
        QSettings().setValue(QStringLiteral("Video/streamProfile"), QStringLiteral("hd"));
        ProfileChooser unknown;
        unknown.setCellName(QStringLiteral("cell 1"));
        unknown.setPixelWidth(100);
        unknown.setPixelHeight(100);
        unknown.setProfiles(StreamProfiles::toVariantList(StreamProfiles::parse(twoProfiles)));
        unknown.setPixelWidth(101);
        QTRY_COMPARE(unknown.profile(), QStringLiteral("sub"));
        QCOMPARE(log.lines(QtWarningMsg).size(), 1);

        // A camera without profiles plays its "url" and names no profile.
        QSettings().setValue(QStringLiteral("Video/streamProfile"), QStringLiteral("auto"));
        ProfileChooser single;
        single.setFallbackUrl(QStringLiteral("rtsp://cam/1"));
        QCOMPARE(single.url(), QStringLiteral("rtsp://cam/1"));
        QCOMPARE(single.profile(), QString());
    }
};

QTEST_GUILESS_MAIN(TestStreamProfiles)
#include "tst_streamprofiles.moc"
