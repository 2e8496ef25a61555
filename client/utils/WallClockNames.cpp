#include "WallClockNames.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>

namespace {

// Clock changes are looked for this far around the range asked (a name can repeat at most an
// offset change away, which is never more than a day).
constexpr qint64 kMargin = 24LL * 3600 * 1000;

} // namespace

QVector<WallClockNames::Span> WallClockNames::ambiguousSpans(qint64 from, qint64 to)
{
    QVector<Span> spans;
    if (to <= from)
        return spans;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    if (!zone.isValid() || !zone.hasTransitions())
        return spans;
    const auto transitions =
        zone.transitions(QDateTime::fromMSecsSinceEpoch(from - kMargin, Qt::UTC),
                         QDateTime::fromMSecsSinceEpoch(to + kMargin, Qt::UTC));
    for (const QTimeZone::OffsetData &t : transitions) {
        const qint64 at = t.atUtc.toMSecsSinceEpoch();
        const qint64 before = zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(at - 1, Qt::UTC));
        const qint64 back = (before - t.offsetFromUtc) * 1000;
        if (back <= 0)
            continue; // clocks went forward: an hour of names is skipped, none repeats
        const qint64 spanFrom = std::max(from, at - back);
        const qint64 spanTo = std::min(to, at + back);
        if (spanFrom < spanTo)
            spans.append({spanFrom, spanTo});
    }
    return spans;
}

bool WallClockNames::isAmbiguous(qint64 ms)
{
    return !ambiguousSpans(ms, ms + 1).isEmpty();
}

bool WallClockNames::touchesAmbiguous(qint64 from, qint64 to)
{
    return !ambiguousSpans(from, to).isEmpty();
}

QString WallClockNames::refusal()
{
    return tr("Recordings named in the repeated hour of the clock change cannot be told apart");
}
