#pragma once

#include "PosText.h"

#include <QString>
#include <QVector>

#include <atomic>

// The channel texts of one stream over [from, to), fetched from its gateway's "pos-data" on the
// calling thread (the export's worker), answer after answer until complete, by the same rules
// as PosTextPager (PosDataPaging). Each answer is read up to PosDataFetcher's byte bound, within
// `timeoutUs`; `cancelled`, when set, ends the fetch at once.
class PosTextDownload
{
public:
    struct Result
    {
        QVector<PosText> texts; // in time order, each once
        bool complete = false;
        bool cancelled = false;
        QString reason; // why not complete
        int answers = 0;
    };

    static Result fetch(const QString &gateway, const QString &streamId, qint64 from, qint64 to,
                        const std::atomic<bool> *cancelled, qint64 timeoutUs = 15000000);
};
