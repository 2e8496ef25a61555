#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <limits>
#include <string>

// Reads a gateway's "pos-data" answer, {"from": ms, "to": ms, "arr": [{"time": ms, "text": s}]}
// and, when the gateway capped it, "cut": true and "next": the time of the first text left out,
// as a stream of JSON events: no document is built, so the memory it takes is that of the
// texts it keeps, whatever the answer holds. The texts kept are bounded in number, and each
// text in lines and characters, like the live texts of a cell. Safe to run on any thread.
class PosDataParser
{
public:
    struct Limits
    {
        int maxEntries = 50000;
        // A cell shows at most 20 lines of texts; the first lines of a longer one are kept.
        int maxLines = 20;
        int maxChars = 64 * 1024;
    };

    struct Result
    {
        bool hasFrom = false;
        bool hasTo = false;
        bool hasArr = false;
        // A number, a text (the page converts it), or NaN for anything else.
        QVariant from;
        QVector<double> times;
        QStringList texts;
        // Why the answer is not JSON; empty when it is, or when it was cut on purpose.
        QString error;
        int withoutTime = 0;
        int withoutText = 0;
        // Texts after the first maxEntries, left out.
        int beyondLimit = 0;
        // Texts cut to maxLines lines or maxChars characters.
        int shortened = 0;
        // The gateway capped its answer ("cut": true): the rest starts at `next` (NaN when the
        // answer gives no number there).
        bool gatewayCut = false;
        double next = std::numeric_limits<double>::quiet_NaN();
    };

    // `cut`: the body ends early on purpose (the answer was too large); the texts read before
    // its end are kept. A body that is not JSON otherwise gives nothing but `error`.
    static Result parse(const QByteArray &body, bool cut, const Limits &limits);
    static Result parse(const QByteArray &body, bool cut) { return parse(body, cut, Limits()); }

    // The last maxLines lines of a UTF-8 text, at most maxChars characters of them: a
    // receipt's total is at its end, and a live cell too shows the newest lines.
    static QString shorten(const std::string &utf8, const Limits &limits, bool *shortened);
};
