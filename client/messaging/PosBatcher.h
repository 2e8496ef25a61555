#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <mutex>

// Gathers channel texts on the thread that receives them and hands them over to another
// thread in batches. Per channel only the last maxLines lines are kept (a cell shows no more),
// each cut to maxLineLength characters; ready() goes out at most once per interval, and not
// again before take() has collected the batch before. Whatever a publisher sends, the taking
// thread gets a bounded number of calls and lines.
class PosBatcher : public QObject
{
    Q_OBJECT
public:
    struct Text
    {
        QString channel;
        QString text; // the kept lines, joined by '\n'
    };

    explicit PosBatcher(int intervalMs = 100, QObject *parent = nullptr);

    // On the batcher's thread.
    void add(const QString &channel, const QString &text);
    // On any thread: the texts gathered since the last take, one per channel, in the order
    // their channels first sent.
    QVector<Text> take();

    // The last lines of a text, at most maxLines, each cut to maxLineLength characters. Reads
    // only as far back into the text as it keeps.
    static QStringList lastLines(const QString &text);

    static constexpr int maxLines = 20;
    static constexpr int maxLineLength = 256;

signals:
    // Emitted on the batcher's thread; connect it queued to the taking side.
    void ready();

private:
    struct Pending
    {
        QString channel;
        QStringList lines;
    };
    void flush();

    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceReady;
    // A standard mutex rather than a QMutex: ThreadSanitizer sees its ordering.
    std::mutex m_mutex;
    // Guarded by m_mutex.
    QVector<Pending> m_pending;
    bool m_untaken = false;
};
