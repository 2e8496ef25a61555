#pragma once

#include <QFont>
#include <QLocale>
#include <QString>
#include <QVector>

// One tick of the scale: a round local time inside the view, at `x` pixels from the left.
struct TimeTick
{
    enum Kind { Minor, Major, Day };
    qint64 time = 0;
    double x = 0;
    Kind kind = Minor;
};

// One label of the scale: its text, where its left edge is and how wide it is. `date` labels
// name a day ("Tue 8 Dec"); the others a time of day.
struct TimeLabel
{
    qint64 time = 0;
    double x = 0;
    double width = 0;
    QString text;
    bool date = false;
};

// The ticks and labels of a date and time scale over the view [viewStart, viewEnd) (ms since
// the epoch) drawn across `width` pixels. Ticks fall on round local times, so they stay round
// across daylight-saving changes; the step is the smallest that keeps minor ticks apart and
// labels from meeting. Day boundaries are always marked and labelled with the date, and the
// date of the view's start is labelled at the left edge. Labels never overlap and always fit
// inside the width.
class TimeScale
{
public:
    // Pixels between minor ticks at least, and between two labels at least.
    static constexpr double minTickSpacing = 6;
    static constexpr double labelGap = 12;

    TimeScale(qint64 viewStart, qint64 viewEnd, double width, const QFont &font,
              const QLocale &locale = QLocale());

    const QVector<TimeTick> &ticks() const { return m_ticks; }
    const QVector<TimeLabel> &labels() const { return m_labels; }
    qint64 minorStep() const { return m_minorStep; }
    qint64 majorStep() const { return m_majorStep; }

    // The steps the scale chooses from, in ms, smallest first.
    static const QVector<qint64> &steps();
    // "Tue 8 Dec" in the locale's names.
    static QString dateText(qint64 time, const QLocale &locale);
    // The locale's short time format ("HH:mm", "h:mm AP"), with seconds when asked.
    static QString timeFormat(const QLocale &locale, bool seconds);

private:
    double xAt(qint64 t) const;
    qint64 chooseMajorStep(const class QFontMetricsF &metrics) const;
    QVector<qint64> roundTimes(qint64 step) const;
    void buildTicks();
    void buildLabels(const QFontMetricsF &metrics);

    qint64 m_viewStart;
    qint64 m_viewEnd;
    double m_width;
    QLocale m_locale;
    qint64 m_minorStep = 0;
    qint64 m_majorStep = 0;
    QVector<TimeTick> m_ticks;
    QVector<TimeLabel> m_labels;
};
