#include "TimeScale.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QTest>

namespace {

qint64 local(const char *text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate).toMSecsSinceEpoch();
}

QFont scaleFont()
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    return font;
}

// True when `wanted` appear in `texts` in this order, others between them allowed.
bool inOrder(const QStringList &texts, const QStringList &wanted)
{
    int at = 0;
    for (const QString &text : texts) {
        if (at < wanted.size() && text == wanted.at(at))
            ++at;
    }
    return at == wanted.size();
}

} // namespace

class TestTimeScale : public QObject
{
    Q_OBJECT

private slots:
    void scaleStaysRoundAndReadable_data();
    void scaleStaysRoundAndReadable();
};

void TestTimeScale::scaleStaysRoundAndReadable_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("expected"); // labels shown, in this order
    QTest::addColumn<QStringList>("absent");   // labels that must not be shown

    const auto row = [](const char *name, const char *from, const char *to, double width,
                        const char *locale, QStringList expected, QStringList absent = {}) {
        QTest::newRow(name) << local(from) << local(to) << width << QString::fromLatin1(locale)
                            << expected << absent;
    };
    row("minute", "2026-12-08T09:30:00", "2026-12-08T09:31:00", 1280, "en_GB",
        {"Tue 8 Dec", "09:30:30"});
    row("minute, narrow", "2026-12-08T09:30:00", "2026-12-08T09:31:00", 240, "en_GB",
        {"Tue 8 Dec"});
    row("minute, 12 hours", "2026-12-08T13:30:00", "2026-12-08T13:31:00", 1280, "en_US",
        {"Tue 8 Dec", "1:30:30 PM"});
    row("hour, 12 hours", "2026-12-08T09:00:00", "2026-12-08T10:00:00", 640, "en_US", {"9:30 AM"});
    row("hour over midnight", "2026-12-07T23:30:00", "2026-12-08T00:30:00", 1280, "en_GB",
        {"Mon 7 Dec", "23:45", "Tue 8 Dec", "00:15"});
    row("day", "2026-12-08T00:00:00", "2026-12-09T00:00:00", 1280, "en_GB",
        {"Tue 8 Dec", "06:00", "12:00", "18:00"});
    row("week", "2026-12-07T00:00:00", "2026-12-14T00:00:00", 1280, "en_GB",
        {"Mon 7 Dec", "12:00", "Tue 8 Dec", "Wed 9 Dec", "Thu 10 Dec", "Fri 11 Dec", "Sat 12 Dec",
         "Sun 13 Dec"});
    row("week, narrow", "2026-12-07T00:00:00", "2026-12-14T00:00:00", 300, "en_GB", {"Mon 7 Dec"});
    row("week, 12 hours", "2026-12-07T12:00:00", "2026-12-14T12:00:00", 1280, "en_US",
        {"Mon 7 Dec", "Tue 8 Dec"});
    // The clocks go forward from 02:00 to 03:00 on the last Sunday of March.
    row("spring forward", "2026-03-29T00:00:00", "2026-03-29T06:00:00", 640, "en_GB",
        {"Sun 29 Mar", "01:00", "03:00", "04:00"}, {"02:00", "02:30"});
    row("spring forward, days", "2026-03-28T00:00:00", "2026-03-31T00:00:00", 1280, "en_GB",
        {"Sat 28 Mar", "Sun 29 Mar", "06:00", "Mon 30 Mar", "06:00"}, {"02:00"});
    // ... and back from 03:00 to 02:00 on the last Sunday of October: 02:00 comes twice.
    row("fall back", "2026-10-25T00:00:00", "2026-10-25T05:00:00", 640, "en_GB",
        {"Sun 25 Oct", "01:00", "02:00", "02:00", "03:00", "04:00"});
    row("fall back, days", "2026-10-24T00:00:00", "2026-10-27T00:00:00", 1280, "en_GB",
        {"Sat 24 Oct", "Sun 25 Oct", "06:00", "Mon 26 Oct"});
}

// Whatever the zoom: ticks at round local times, in order, none missing; labels that fit,
// never meet, and are at round times of the labelled step.
void TestTimeScale::scaleStaysRoundAndReadable()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(double, width);
    QFETCH(QString, locale);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);

    const TimeScale scale(from, to, width, scaleFont(), QLocale(locale));
    const QVector<TimeTick> &ticks = scale.ticks();
    QVERIFY(scale.majorStep() > scale.minorStep() ||
            scale.majorStep() == TimeScale::steps().last());
    QVERIFY(double(scale.minorStep()) * width / double(to - from) >= TimeScale::minTickSpacing);
    QVERIFY(ticks.size() >= 2);
    for (int i = 0; i < ticks.size(); ++i) {
        const TimeTick &tick = ticks.at(i);
        QVERIFY(tick.time >= from && tick.time < to);
        QVERIFY(tick.x >= 0 && tick.x <= width);
        if (i > 0)
            QVERIFY2(tick.time > ticks.at(i - 1).time && tick.x > ticks.at(i - 1).x,
                     qPrintable(QString::number(i)));
        const QTime time = QDateTime::fromMSecsSinceEpoch(tick.time).time();
        const qint64 step = tick.kind == TimeTick::Day     ? TimeScale::steps().last()
                            : tick.kind == TimeTick::Major ? scale.majorStep()
                                                           : scale.minorStep();
        QVERIFY2(time.msecsSinceStartOfDay() % std::min<qint64>(step, 24 * 3600 * 1000LL) == 0,
                 qPrintable(time.toString()));
        QCOMPARE(tick.kind == TimeTick::Day, time.msecsSinceStartOfDay() == 0);
    }
    // None missing: absolute time between ticks is the step, or a step an hour shorter or
    // longer across a change of the clocks.
    const qint64 expectedTicks = (to - from) / scale.minorStep();
    QVERIFY2(qAbs(ticks.size() - expectedTicks) <= 3,
             qPrintable(QStringLiteral("%1 ticks for %2").arg(ticks.size()).arg(expectedTicks)));

    const QVector<TimeLabel> &labels = scale.labels();
    QStringList texts;
    for (int i = 0; i < labels.size(); ++i) {
        const TimeLabel &label = labels.at(i);
        QVERIFY(!label.text.isEmpty());
        QVERIFY2(label.x >= 0 && label.x + label.width <= width, qPrintable(label.text));
        if (i > 0)
            QVERIFY2(labels.at(i - 1).x + labels.at(i - 1).width < label.x,
                     qPrintable(labels.at(i - 1).text + QLatin1String(" meets ") + label.text));
        if (!label.date)
            QCOMPARE(QDateTime::fromMSecsSinceEpoch(label.time).time().msecsSinceStartOfDay() %
                         scale.majorStep(),
                     0);
        texts << label.text;
    }
    QVERIFY2(texts.size() >= 3 || width < 300, qPrintable(texts.join(QLatin1String(" | "))));
    QVERIFY2(inOrder(texts, expected), qPrintable(texts.join(QLatin1String(" | "))));
    for (const QString &text : absent)
        QVERIFY2(!texts.contains(text), qPrintable(texts.join(QLatin1String(" | "))));
}

QTEST_MAIN(TestTimeScale)
#include "tst_timescale.moc"
