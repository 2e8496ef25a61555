#pragma once

#include "PosDataPaging.h"
#include "PosText.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class PosDataFetcher;

// Fetches the channel texts of one stream over [from, to) from its gateway's "pos-data", one
// answer after the other until the range is complete (PosDataPaging), each answer read off the
// GUI thread with PosDataFetcher's bounds and time limit. Used by the timeline's text cache
// and the transaction search; the export's blocking fetch follows the same paging.
class PosTextPager : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        QVector<PosText> texts; // in time order, each once
        // Every answer came whole and the last was not capped.
        bool complete = false;
        // An answer failed or was unreadable (`reason`); `unanswered`: it never came.
        bool failed = false;
        bool unanswered = false;
        QString reason;
        int outside = 0; // texts the answers held outside the range, left out
        int answers = 0;
    };

    explicit PosTextPager(QObject *parent = nullptr);
    ~PosTextPager() override;

    // How long one answer may take, in ms.
    void setTimeout(int milliseconds);
    // Lines kept of each text, its last ones.
    void setMaxLines(int lines);
    bool active() const { return m_paging != nullptr; }

    // Ends the fetch in progress, without its answer, and starts this one.
    void fetch(const QString &gateway, const QString &streamId, qint64 from, qint64 to);
    void cancel();

signals:
    // Once per fetch(); when not complete, `texts` holds those that came.
    void finished(const PosTextPager::Outcome &outcome);

private:
    void handleAnswer(const QVariantMap &answer);
    void askNext();

    PosDataFetcher *m_fetcher = nullptr;
    std::unique_ptr<PosDataPaging> m_paging;
    QString m_gateway;
    QString m_streamId;
    qint64 m_from = 0;
};

Q_DECLARE_METATYPE(PosTextPager::Outcome)
