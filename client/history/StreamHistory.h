#pragma once

#include "ChunkSearches.h"
#include "GatewayAddress.h"
#include "RecordingIndex.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

class ZarnClient;
class ZarnObjectsRepository;

// What one stream of one event server has recorded, shared by every screen that shows or
// plays its past (the recorded page, each cell of the layout playback, the receipt and event
// jumps). It owns the stream's recording index and its chunk searches, under one rule
// (ChunkSearches): a range counts as searched once its answer came; what was still being
// recorded is asked again as time passes, at most once per 10 s; a search unanswered after
// 10 s counts as failed; failed ranges stay marked in the index (drawn hatched) and are asked
// again. It also knows where the stream's gateway is (GatewayAddress, refined by the address
// the server reports for the stream), and plays a moment once what holds it is known.
// Times are in ms since the epoch.
class StreamHistory : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString streamId READ streamId CONSTANT)
    // "host:port" of the event server the stream belongs to.
    Q_PROPERTY(QString server READ server CONSTANT)
    Q_PROPERTY(RecordingIndex *index READ index CONSTANT)
    // Searches asked and not yet answered.
    Q_PROPERTY(int searching READ searching NOTIFY searchingChanged)
    // The gateway's HTTP service, "http://host:port", and the same as the operator reads it.
    Q_PROPERTY(QString gateway READ gateway NOTIFY gatewayChanged)
    Q_PROPERTY(QString gatewayHostPort READ gatewayHostPort NOTIFY gatewayChanged)
    // False until the gateway's address is settled: named by a setting, reported by the
    // server, or not reported within kGatewayWaitMs.
    Q_PROPERTY(bool gatewayKnown READ gatewayKnown NOTIFY gatewayChanged)
    Q_PROPERTY(qint64 firstRecorded READ firstRecorded NOTIFY recordingsChanged)
    Q_PROPERTY(qint64 lastRecorded READ lastRecorded NOTIFY recordingsChanged)
    // The moment waiting to be played once its chunks are known; -1 for none.
    Q_PROPERTY(qint64 pendingMoment READ pendingMoment NOTIFY pendingChanged)
    // The moment being played, for asking again what is recorded near the present; -1 for none.
    Q_PROPERTY(qint64 playhead READ playhead WRITE setPlayhead NOTIFY playheadChanged)

public:
    // What is searched around a moment to play, and before and after a range shown.
    static constexpr qint64 kAroundMs = 3600 * 1000;
    // How often a range shown or played near the present is asked again (the rule decides
    // whether anything is actually searched), and how near "near" is.
    static constexpr int kFollowMs = 5000;
    static constexpr qint64 kNearPresentMs = 15 * 60 * 1000;
    static constexpr int kGatewayWaitMs = 10000;
    // End plays from this long before the last recorded moment.
    static constexpr qint64 kEndLeadMs = 10000;
    // Searches of the stream in flight at most; what is wanted beyond waits for an answer.
    static constexpr int kMaxSearches = 4;

    StreamHistory(const QString &server, const QString &streamId, ZarnClient *client,
                  ZarnObjectsRepository *repository, QObject *parent = nullptr);
    ~StreamHistory() override;

    QString streamId() const { return m_streamId; }
    QString server() const { return m_server; }
    RecordingIndex *index() { return &m_index; }
    int searching() const { return m_searches.running(); }
    QString gateway() const { return m_gateway.httpBase(); }
    QString gatewayHostPort() const { return m_gateway.hostPort(); }
    bool gatewayKnown() const { return m_gatewayKnown; }
    qint64 firstRecorded() const { return m_index.firstRecorded(); }
    qint64 lastRecorded() const { return m_index.lastRecorded(); }
    qint64 pendingMoment() const { return m_pending; }
    qint64 playhead() const { return m_playhead; }
    void setPlayhead(qint64 t);

    // Searches what the rule says is to be searched (again) of [from, to), while fewer than
    // kMaxSearches are in flight.
    Q_INVOKABLE void search(qint64 from, qint64 to);
    // Whether a search answered for the moment `t`.
    Q_INVOKABLE bool knows(qint64 t) const;
    // A screen shows [from, to): it and as much again on each side are searched, and asked
    // again now and then while it reaches the present or holds failed ranges. (0, 0): none.
    Q_INVOKABLE void showRange(qint64 from, qint64 to);
    // Emits momentReady(t) once the gateway and the chunks around `t` are known: now when
    // they are, else after the searches it asks. A later call replaces it.
    Q_INVOKABLE void playWhenKnown(qint64 t);
    // Home (`last` false) and End: the whole stream is searched, then momentReady() with its
    // first recorded moment, or kEndLeadMs before its last (the present when none is known).
    Q_INVOKABLE void playEdge(bool last);
    Q_INVOKABLE void cancelPending();
    // The gateway as GatewayAddress finds it with the address `reported` by the server:
    // {base, host, port, hostPort, source}.
    Q_INVOKABLE QVariantMap gatewayFor(const QString &reported) const;
    // Where the gateway publishes the stream's channel texts: {host, hostSource, port,
    // portSet}; the port GatewayAddress::kDefaultPosPort when the gateway names none.
    Q_INVOKABLE QVariantMap posChannel() const;
    // What is known is thrown away and asked again (a gateway back after a fault, or moved).
    Q_INVOKABLE void forget();

    // From the registry: the answers and failures of this stream's searches, the stream's
    // information, a reloaded object tree.
    void onAnswered(qint64 from, qint64 to, const QVariantList &chunks);
    void onFailed(qint64 from, qint64 to);
    void onStreamInfo(const QString &deviceId, const QString &reported);
    void onTreeReloaded();

signals:
    void searchingChanged();
    void gatewayChanged();
    void recordingsChanged();
    void pendingChanged();
    void playheadChanged();
    // The moment asked by playWhenKnown() or playEdge() can be played now.
    void momentReady(qint64 t);
    // Every answer and failure of the stream's searches, for whoever draws them together.
    void chunksAnswered(qint64 from, qint64 to, const QVariantList &chunks);
    void searchFailed(qint64 from, qint64 to);

private:
    enum class Edge { None, First, Last };

    void expire();
    void follow();
    // Asks again what is wanted now: the range shown, the moment waited for, the edges.
    void askWanted();
    void playPending();
    void setPending(qint64 t, Edge edge);
    void setGateway(const GatewayAddress &gateway, bool known);
    void updateFollowing();

    QString m_server;
    QString m_streamId;
    QPointer<ZarnClient> m_client;
    QPointer<ZarnObjectsRepository> m_repository;
    RecordingIndex m_index;
    ChunkSearches m_searches;
    GatewayAddress m_gateway;
    QString m_reported;
    bool m_gatewayKnown = false;
    qint64 m_pending = -1;
    Edge m_edge = Edge::None;
    qint64 m_edgeAskedAt = 0;
    qint64 m_viewFrom = 0;
    qint64 m_viewTo = 0;
    qint64 m_playhead = -1;
    // A search was held back by kMaxSearches: asked again at the next answer.
    bool m_deferred = false;
    QTimer m_expiry;
    QTimer m_follow;
    QTimer m_gatewayWait;
};
