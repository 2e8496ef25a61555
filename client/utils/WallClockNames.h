#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

// Gateways name recordings by the local wall-clock time of their start, to the second. Where
// clocks go back, the repeated hour's names stand for two moments each, and a recording asked by
// name may be the other hour's: the console does not guess. This tells which moments have such
// names, in the console's time zone (TZ, as the gateway's).
class WallClockNames
{
    Q_DECLARE_TR_FUNCTIONS(WallClockNames)

public:
    struct Span
    {
        qint64 from = 0; // ms since the epoch
        qint64 to = 0;   // exclusive
    };

    // Whether the wall-clock second of `ms` names another moment too.
    static bool isAmbiguous(qint64 ms);
    // Whether any moment of [from, to) has such a name.
    static bool touchesAmbiguous(qint64 from, qint64 to);
    // The spans of [from, to) whose names repeat: each repeated hour twice, the first time
    // through and the second, as one span.
    static QVector<Span> ambiguousSpans(qint64 from, qint64 to);
    // What the operator is told where playback or export of such a moment is refused.
    static QString refusal();
};
