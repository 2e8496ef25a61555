#include "TimeScale.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr qint64 second = 1000;
constexpr qint64 minute = 60 * second;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;
// Pixels kept free between two labels, whatever their priority.
constexpr double minLabelGap = 6;
// Date labels start this far right of their day line.
constexpr double dateInset = 3;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

bool overlaps(const TimeLabel &a, const TimeLabel &b)
{
    return a.x < b.x + b.width + minLabelGap && b.x < a.x + a.width + minLabelGap;
}

} // namespace

TimeScale::TimeScale(qint64 viewStart, qint64 viewEnd, double width, const QFont &font,
                     const QLocale &locale)
    : m_viewStart(viewStart)
    , m_viewEnd(viewEnd)
    , m_width(width)
    , m_locale(locale)
{
    if (viewEnd <= viewStart || width < 1)
        return;
    const double pxPerMs = width / double(viewEnd - viewStart);
    m_minorStep = steps().last();
    for (qint64 step : steps()) {
        if (double(step) * pxPerMs >= minTickSpacing) {
            m_minorStep = step;
            break;
        }
    }
    const QFontMetricsF metrics(font);
    m_majorStep = chooseMajorStep(metrics);
    buildTicks();
    buildLabels(metrics);
}

const QVector<qint64> &TimeScale::steps()
{
    static const QVector<qint64> all = {second,     5 * second,  10 * second, 30 * second, minute,
                                        5 * minute, 10 * minute, 30 * minute, hour,        3 * hour,
                                        6 * hour,   12 * hour,   day};
    return all;
}

QString TimeScale::dateText(qint64 time, const QLocale &locale)
{
    return locale.toString(QDateTime::fromMSecsSinceEpoch(time).date(),
                           QStringLiteral("ddd d MMM"));
}

QString TimeScale::timeFormat(const QLocale &locale, bool seconds)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (seconds && !format.contains(QLatin1Char('s')))
        format.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    // Some locales' short format has seconds (the C locale's "HH:mm:ss"): noise on a scale of
    // whole minutes and hours.
    if (!seconds)
        format.remove(QRegularExpression(QStringLiteral("[:.]ss")));
    return format;
}

double TimeScale::xAt(qint64 t) const
{
    return double(t - m_viewStart) * m_width / double(m_viewEnd - m_viewStart);
}

// The smallest step above the minor one whose labels, at their widest, stay labelGap apart.
qint64 TimeScale::chooseMajorStep(const QFontMetricsF &metrics) const
{
    const double pxPerMs = m_width / double(m_viewEnd - m_viewStart);
    const QDate sampleDate(2026, 9, 30);
    for (qint64 step : steps()) {
        if (step <= m_minorStep && step != steps().last())
            continue;
        double labelWidth = 0;
        if (step >= day) {
            labelWidth = metrics.horizontalAdvance(
                dateText(QDateTime(sampleDate, QTime(12, 0)).toMSecsSinceEpoch(), m_locale));
        } else {
            const QString format = timeFormat(m_locale, step < minute);
            for (const QTime &sample : {QTime(10, 58, 58), QTime(20, 58, 58)})
                labelWidth = std::max(labelWidth,
                                      metrics.horizontalAdvance(m_locale.toString(sample, format)));
        }
        if (double(step) * pxPerMs >= labelWidth + labelGap)
            return step;
    }
    return steps().last();
}

// The round local times of `step` in the view. Steps up to an hour are counted in absolute
// time from a local round time (daylight-saving shifts are whole hours where the console is
// used, so the ticks stay round); longer steps are hours of each local day, so that a day of
// 23 or 25 hours still gets its ticks at 00:00, 03:00, 06:00 and so on.
QVector<qint64> TimeScale::roundTimes(qint64 step) const
{
    QVector<qint64> times;
    if (step <= hour) {
        const qint64 offset =
            qint64(QDateTime::fromMSecsSinceEpoch(m_viewStart).offsetFromUtc()) * second;
        qint64 t = floorDiv(m_viewStart + offset, step) * step - offset;
        if (t < m_viewStart)
            t += step;
        for (; t < m_viewEnd; t += step)
            times.append(t);
        return times;
    }
    const int stepHours = int(step / hour);
    const QDate last = QDateTime::fromMSecsSinceEpoch(m_viewEnd).date();
    for (QDate d = QDateTime::fromMSecsSinceEpoch(m_viewStart).date(); d <= last;
         d = d.addDays(1)) {
        for (int h = 0; h < 24; h += stepHours) {
            const QDateTime local =
                h == 0 ? d.startOfDay() : QDateTime(d, QTime(h, 0), Qt::LocalTime);
            const qint64 t = local.toMSecsSinceEpoch();
            if (local.isValid() && t >= m_viewStart && t < m_viewEnd &&
                (times.isEmpty() || t > times.last()))
                times.append(t);
        }
    }
    return times;
}

void TimeScale::buildTicks()
{
    QVector<TimeTick> all;
    const auto add = [&](qint64 step, TimeTick::Kind kind) {
        for (qint64 t : roundTimes(step))
            all.append({t, xAt(t), kind});
    };
    add(m_minorStep, TimeTick::Minor);
    add(m_majorStep, TimeTick::Major);
    add(day, TimeTick::Day);
    // One tick per time, of the strongest kind that falls there.
    std::sort(all.begin(), all.end(), [](const TimeTick &a, const TimeTick &b) {
        return a.time < b.time || (a.time == b.time && a.kind > b.kind);
    });
    for (const TimeTick &tick : all) {
        if (m_ticks.isEmpty() || m_ticks.last().time != tick.time)
            m_ticks.append(tick);
    }
}

// Dates first (each day line's, then the view start's at the left edge), then times; a label
// that would meet one already placed, or leave the width, is left out.
void TimeScale::buildLabels(const QFontMetricsF &metrics)
{
    QVector<TimeLabel> dates, times;
    const QString format = timeFormat(m_locale, m_majorStep < minute);
    for (const TimeTick &tick : m_ticks) {
        if (tick.kind == TimeTick::Day) {
            const QString text = dateText(tick.time, m_locale);
            dates.append(
                {tick.time, tick.x + dateInset, metrics.horizontalAdvance(text), text, true});
        } else if (tick.kind == TimeTick::Major) {
            const QString text =
                m_locale.toString(QDateTime::fromMSecsSinceEpoch(tick.time).time(), format);
            const double w = metrics.horizontalAdvance(text);
            times.append({tick.time, tick.x - w / 2, w, text, false});
        }
    }
    const QString startDate = dateText(m_viewStart, m_locale);
    dates.append({m_viewStart, 2, metrics.horizontalAdvance(startDate), startDate, true});

    for (const QVector<TimeLabel> *group : {&dates, &times}) {
        for (const TimeLabel &label : *group) {
            if (label.x < 0 || label.x + label.width > m_width)
                continue;
            const bool free = std::none_of(m_labels.cbegin(), m_labels.cend(),
                                           [&](const TimeLabel &l) { return overlaps(l, label); });
            if (free)
                m_labels.append(label);
        }
    }
    std::sort(m_labels.begin(), m_labels.end(),
              [](const TimeLabel &a, const TimeLabel &b) { return a.x < b.x; });
}
