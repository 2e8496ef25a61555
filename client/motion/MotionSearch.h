#pragma once

#include "KeyframeIndex.h"
#include "MotionArea.h"
#include "MotionMoments.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <QVariantList>

#include <atomic>
#include <memory>

class QNetworkReply;
class StreamHistory;

// Finds the moments something moved in a marked area of one stream's recordings over a range.
// The history (StreamHistory) lists the recordings, ChunkJoin says which one holds each moment;
// each recording's index is read once from its head (KeyframeIndex, parsed on the pool), then
// only its keyframes are fetched, with HTTP byte ranges (keyframes lying close share a range),
// in blocks of about a minute, each block compared on small grey pictures (MotionDecoder,
// MotionDetector) on a pool of its own, at most as many threads as cores less one. Newest
// recordings first, so that the list (newest first) fills from its top; moments go into
// `moments` as they are found. A recording the gateway refuses, that is not H.264, or whose
// request sends nothing for kRequestTimeoutMs, is named in `problems` and the search goes on;
// so is a part that does not decode. Cancel stops at once: replies are aborted and the threads
// stop after the keyframe in hand.
class MotionSearch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(StreamHistory *history READ history WRITE setHistory NOTIFY historyChanged)
    // The marked area: normalised rectangles ({x, y, width, height} of 0..1).
    Q_PROPERTY(QVariantList areas READ areas WRITE setAreas NOTIFY areasChanged)
    // 0 low, 1 medium, 2 high.
    Q_PROPERTY(int sensitivity READ sensitivity WRITE setSensitivity NOTIFY sensitivityChanged)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(double hoursDone READ hoursDone NOTIFY progressChanged)
    Q_PROPERTY(double hoursTotal READ hoursTotal NOTIFY progressChanged)
    Q_PROPERTY(qint64 bytesRead READ bytesRead NOTIFY progressChanged)
    // Why the last search was refused or ended early, for the operator; empty when it was not.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    // Recordings of the last search that could not be read, whole or in part, and what of each.
    Q_PROPERTY(int unreadable READ unreadable NOTIFY problemsChanged)
    Q_PROPERTY(QStringList problems READ problems NOTIFY problemsChanged)
    Q_PROPERTY(MotionMoments *moments READ moments CONSTANT)
    // The stream of the last search (its moments are of that stream); empty before any.
    Q_PROPERTY(QString searchedStream READ searchedStream NOTIFY runningChanged)

public:
    static constexpr qint64 kMaxRangeMs = 7 * 24 * 3600 * 1000LL;
    static constexpr int kRequestTimeoutMs = 15000;
    // Keyframes per block searched on one thread.
    static constexpr int kBlockKeyframes = 60;
    // Keyframes fewer bytes apart than this are fetched in one range, of at most kMaxRangeBytes.
    static constexpr qint64 kJoinGapBytes = 16 * 1024;
    static constexpr qint64 kMaxRangeBytes = 16 * 1024 * 1024;
    static constexpr int kRequestsInFlight = 6;
    static constexpr int kPictureWidth = 160;

    explicit MotionSearch(QObject *parent = nullptr);
    ~MotionSearch() override;

    StreamHistory *history() const;
    void setHistory(StreamHistory *history);
    QVariantList areas() const { return m_areas; }
    void setAreas(const QVariantList &areas);
    int sensitivity() const { return m_sensitivity; }
    void setSensitivity(int sensitivity);
    bool running() const { return m_running; }
    double hoursDone() const { return m_doneMs / 3600000.0; }
    double hoursTotal() const { return m_totalMs / 3600000.0; }
    qint64 bytesRead() const { return m_bytesRead; }
    QString message() const { return m_message; }
    int unreadable() const { return m_unreadable.size(); }
    QStringList problems() const { return m_problems; }
    MotionMoments *moments() { return &m_moments; }
    QString searchedStream() const { return m_stream; }

    // Threads of the search's pool still at work (a cancelled search's end within moments).
    int activeThreads() const { return m_pool.activeThreadCount(); }
    // The threads a search decodes on: the cores less one, at least one.
    static int threadCount();
    // The range of a choice, as {from, to}: "view" the given view, "hour" the last hour before
    // `now`, "today" from local midnight to `now`.
    Q_INVOKABLE static QVariantMap rangeFor(const QString &choice, qint64 viewStart, qint64 viewEnd,
                                            qint64 now);

    // Searches [from, to) of the history's stream in the marked area, the moments of the
    // search before thrown away. False, saying why in `message`, when refused: no stream, no
    // gateway, no area or one of zero size, an empty range or one over kMaxRangeMs.
    Q_INVOKABLE bool start(qint64 from, qint64 to);
    Q_INVOKABLE void cancel();

signals:
    void historyChanged();
    void areasChanged();
    void sensitivityChanged();
    void runningChanged();
    void progressChanged();
    void messageChanged();
    void problemsChanged();
    // The search ended, by itself or cancelled.
    void finished();

private:
    struct Segment
    {
        QString url;
        qint64 chunkStart = 0; // the file's 0 ms, ms since the epoch
        qint64 offset = 0;     // of the part searched, into the file
        qint64 from = 0;
        qint64 to = 0;
    };
    struct Block
    {
        std::shared_ptr<const KeyframeIndex> index;
        QString url;
        qint64 chunkStart = 0;
        QVector<KeyframeIndex::Keyframe> keyframes;
        qint64 weightMs = 0;      // of the range's time, for the progress
        QVector<QByteArray> data; // each keyframe's bytes, as they come
        int waiting = 0;          // ranges on their way
        QString failure;
    };
    // A byte range [from, to) of a block, keyframes first to last.
    struct Piece
    {
        int block = 0;
        int first = 0;
        int last = 0;
        QString url;
        qint64 from = 0;
        qint64 to = 0;
    };
    struct Found;

    bool refuse(const QString &why);
    void listed();
    void plan();
    void pump();
    void fetchHead(qint64 from, qint64 to);
    void headArrived(QNetworkReply *reply);
    void skipSegment(const QString &why);
    void indexRead(const std::shared_ptr<const KeyframeIndex> &index, const QString &why);
    void splitIntoBlocks(const std::shared_ptr<const KeyframeIndex> &index);
    void fetchBlock(Block block);
    void request();
    void pieceArrived(QNetworkReply *reply);
    void blockFetched(int id);
    void blockSearched(int generation, const Block &block, const Found &found);
    void addProblem(const QString &url, qint64 at, const QString &why);
    void addDone(qint64 ms);
    void finish();
    void setRunning(bool running);
    QNetworkReply *get(const QString &url, qint64 from, qint64 to);

    QPointer<StreamHistory> m_history;
    QVariantList m_areas;
    int m_sensitivity = 1;
    bool m_running = false;
    qint64 m_from = 0;
    qint64 m_to = 0;
    QString m_stream;
    qint64 m_totalMs = 0;
    qint64 m_doneMs = 0;
    qint64 m_bytesRead = 0;
    QString m_message;
    QSet<QString> m_unreadable;
    QStringList m_problems;
    MotionMoments m_moments;

    int m_generation = 0;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    MotionArea m_area;
    QTimer m_listWait;
    QVector<QMetaObject::Connection> m_listing;
    bool m_listFailed = false;
    QVector<Segment> m_segments; // to fetch, newest first
    Segment m_segment;           // whose head is being read
    QByteArray m_head;
    QPointer<QNetworkReply> m_headReply;
    QVector<Block> m_blocks; // to fetch, newest first
    bool m_parsing = false;
    QHash<QNetworkReply *, Piece> m_pieces;
    QVector<Piece> m_queued;
    QHash<int, Block> m_fetching;
    int m_lastBlockId = 0;
    int m_decoding = 0;
    QNetworkAccessManager m_network;
    QThreadPool m_pool;
};
