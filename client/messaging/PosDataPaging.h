#pragma once

#include "PosDataParser.h"
#include "PosText.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

// Gathers the channel texts of one stream over [from, to) from a gateway's "pos-data" answers,
// which hold at most a few thousand texts each: an answer the gateway capped ("cut": true) is
// followed by a request from its "next". Texts at the millisecond a request starts from that
// were answered before come again and are taken once. The texts are complete only when every
// answer came and the last was not capped. A failed answer ends the paging with the texts
// gathered so far; so does one cut here (larger than the fetcher's bounds: the fetcher warns),
// which is not complete either but no failure. The same rules serve the asynchronous fetch
// (PosTextPager) and the export's blocking one (PosTextDownload). Not thread-safe; any one thread.
class PosDataPaging
{
public:
    // Texts gathered at most; a range that holds more is not complete.
    static constexpr int kMaxTexts = 500000;

    enum class Step { More, Done, Failed };

    PosDataPaging(qint64 from, qint64 to);

    // The request of the next answer: the gateway's range includes its end.
    QString nextUrl(const QString &gateway, const QString &streamId) const;
    qint64 cursor() const { return m_cursor; }

    // An answer in PosDataFetcher's form.
    Step takeAnswer(const QVariantMap &answer);
    // An answer as PosDataParser read it; `truncated`: the body was cut here.
    Step takeResult(const PosDataParser::Result &result, bool truncated);
    Step takeFailure(const QString &reason);

    // In time order, each text once.
    const QVector<PosText> &texts() const { return m_texts; }
    QVector<PosText> takeTexts() { return std::move(m_texts); }
    bool complete() const { return m_state == Step::Done && !m_truncated; }
    // An answer failed or was unreadable (failure() says why); `unanswered`: it never came.
    bool failed() const { return m_state == Step::Failed; }
    bool unanswered() const { return m_unanswered; }
    QString failure() const { return m_failure; }
    int answers() const { return m_answers; }
    // Texts of the answers outside the range asked, left out.
    int outside() const { return m_outside; }

private:
    Step take(const QVector<double> &times, const QStringList &texts, bool capped, double next,
              bool truncated);
    Step fail(const QString &reason, bool unanswered = false);

    qint64 m_from;
    qint64 m_to;
    qint64 m_cursor;
    // Texts already taken at the millisecond of m_cursor: they may come again.
    QStringList m_atCursor;
    QVector<PosText> m_texts;
    Step m_state = Step::More;
    QString m_failure;
    bool m_unanswered = false;
    bool m_truncated = false;
    int m_answers = 0;
    int m_outside = 0;
};
