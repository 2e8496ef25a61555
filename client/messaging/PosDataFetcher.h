#pragma once

#include <QByteArray>
#include <QJSValue>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;

// Fetches the point-of-sale texts of a recording from its gateway ("pos-data") and reads them
// off the GUI thread, with bounds: at most maxBytes of the answer are read (a larger one is
// cut, and the texts before the cut kept), the texts are bounded by PosDataParser, and a
// request that has not ended after `timeout` ms fails. Whatever the gateway does, the answer
// arrives, once per fetch(), as `finished(answer)` and through the fetch's callback:
//   {failed: false, error, hasFrom, from, hasTo, hasArr, times: [ms], texts: [string],
//    withoutTime, withoutText, cut, more, next, truncated}
//   (cut: texts were left out, by the gateway or by a bound here; more: the gateway capped its
//    answer, the rest starts at `next`; truncated: a bound here left texts out)
//   {failed: true, reason}
class PosDataFetcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY timeoutChanged)

public:
    static constexpr int kDefaultTimeout = 10000;
    static constexpr qint64 kMaxBytes = 8 * 1024 * 1024;
    // Lines kept of each text when the whole of it matters (searches, the timeline's cache).
    static constexpr int kWholeTextLines = 1000;

    explicit PosDataFetcher(QObject *parent = nullptr);
    ~PosDataFetcher() override;

    int timeout() const { return m_timer.interval(); }
    void setTimeout(int milliseconds);
    // Lines kept of each text, its last ones: an overlay shows 20; a search wants them all.
    int maxLines() const { return m_maxLines; }
    void setMaxLines(int lines) { m_maxLines = qMax(1, lines); }

    // Ends the fetch in progress, if any, without its answer.
    Q_INVOKABLE void cancel();
    // `callback`, a function of QML, is called with the answer as well.
    Q_INVOKABLE void fetch(const QString &url, const QJSValue &callback = QJSValue());

signals:
    void timeoutChanged();
    void finished(const QVariantMap &answer);

private:
    void readAvailable();
    void handleFinished();
    void handleTimeout();
    void parseOffThread(bool cut);
    void deliver(quint64 generation, const QVariantMap &answer, const QStringList &warnings);
    void fail(const QString &reason);
    void dropReply();

    QNetworkAccessManager *m_manager = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer m_timer;
    QByteArray m_body;
    QString m_url;
    QJSValue m_callback;
    // Counts fetches: an answer parsed for an earlier one is dropped.
    quint64 m_generation = 0;
    int m_maxLines = 20;
};
