#include "StreamHistory.h"

#include "StreamHistories.h"
#include "ZarnClient.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <QDateTime>
#include <QDebug>

#include <algorithm>

namespace {

qint64 present()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString parentOf(const ZarnObjectsRepository *repository, const QString &streamId)
{
    const ZarnObject *stream = repository ? repository->objectById(streamId) : nullptr;
    return stream ? stream->parentId() : QString();
}

} // namespace

StreamHistory::StreamHistory(const QString &server, const QString &streamId, ZarnClient *client,
                             ZarnObjectsRepository *repository, QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_streamId(streamId)
    , m_client(client)
    , m_repository(repository)
{
    m_index.setStreamId(streamId);
    connect(&m_index, &RecordingIndex::changed, this, [this] {
        emit recordingsChanged();
        playPending();
    });
    connect(&m_searches, &ChunkSearches::runningChanged, this, [this] {
        if (m_searches.running() > 0 && !m_expiry.isActive())
            m_expiry.start();
        emit searchingChanged();
    });
    m_expiry.setInterval(1000);
    connect(&m_expiry, &QTimer::timeout, this, &StreamHistory::expire);
    m_follow.setInterval(kFollowMs);
    connect(&m_follow, &QTimer::timeout, this, &StreamHistory::follow);
    m_gatewayWait.setSingleShot(true);
    m_gatewayWait.setInterval(kGatewayWaitMs);
    connect(&m_gatewayWait, &QTimer::timeout, this, [this] {
        qWarning().noquote() << QStringLiteral("No stream information for stream %1 after %2 s")
                                    .arg(m_streamId)
                                    .arg(kGatewayWaitMs / 1000);
        setGateway(m_gateway, true);
    });
    onTreeReloaded();
}

StreamHistory::~StreamHistory() = default;

void StreamHistory::setPlayhead(qint64 t)
{
    if (m_playhead == t)
        return;
    m_playhead = t;
    updateFollowing();
    emit playheadChanged();
}

void StreamHistory::search(qint64 from, qint64 to)
{
    // The client signed in to another server since: its answers would be that server's.
    if (!m_client || StreamHistories::serverOf(m_client) != m_server)
        return;
    if (m_searches.running() >= kMaxSearches) {
        m_deferred = true;
        return;
    }
    for (const TimeRange &r : m_searches.take(m_streamId, from, to, present()))
        m_client->searchRecordedChunks(m_streamId, r.from, r.to);
}

bool StreamHistory::knows(qint64 t) const
{
    return m_index.missingRanges(t, t + 1).isEmpty();
}

void StreamHistory::showRange(qint64 from, qint64 to)
{
    m_viewFrom = from;
    m_viewTo = std::max(from, to);
    updateFollowing();
    if (m_viewTo > m_viewFrom) {
        const qint64 span = m_viewTo - m_viewFrom;
        search(m_viewFrom - span, m_viewTo + span);
    }
}

void StreamHistory::playWhenKnown(qint64 t)
{
    setPending(t, Edge::None);
    playPending();
    if (m_pending >= 0)
        search(t - kAroundMs, t + kAroundMs);
}

void StreamHistory::playEdge(bool last)
{
    m_edgeAskedAt = present();
    setPending(-1, last ? Edge::Last : Edge::First);
    search(0, m_edgeAskedAt + 24 * kAroundMs);
    playPending();
}

void StreamHistory::cancelPending()
{
    setPending(-1, Edge::None);
}

void StreamHistory::setPending(qint64 t, Edge edge)
{
    const bool changed = m_pending != t;
    m_pending = t;
    m_edge = edge;
    updateFollowing();
    if (changed)
        emit pendingChanged();
}

void StreamHistory::playPending()
{
    if (!m_gatewayKnown)
        return;
    if (m_edge != Edge::None) {
        // Known from the start of time to when it was asked: what was recorded after that
        // shows up as the growing end is asked again.
        if (!m_index.missingRanges(0, m_edgeAskedAt).isEmpty())
            return;
        const Edge edge = m_edge;
        qint64 t = present();
        if (m_index.firstRecorded() >= 0)
            t = edge == Edge::First
                    ? m_index.firstRecorded()
                    : std::max(m_index.firstRecorded(), m_index.lastRecorded() - kEndLeadMs);
        setPending(-1, Edge::None);
        emit momentReady(t);
        return;
    }
    if (m_pending < 0 || !knows(m_pending))
        return;
    const qint64 t = m_pending;
    setPending(-1, Edge::None);
    emit momentReady(t);
}

void StreamHistory::expire()
{
    for (const auto &expired : m_searches.expire(present())) {
        qWarning().noquote() << QStringLiteral(
                                    "Searching the recordings of stream %1 took too long")
                                    .arg(m_streamId);
        m_index.markFailed(m_streamId, expired.second.from, expired.second.to);
        emit searchFailed(expired.second.from, expired.second.to);
    }
    if (m_searches.running() == 0)
        m_expiry.stop();
    askWanted();
}

// Asked again as the rule allows: a range shown or played near the present (what is being
// recorded grows), a range shown that holds failed searches, a moment still waited for.
void StreamHistory::follow()
{
    const qint64 now = present();
    if (m_viewTo > m_viewFrom) {
        const qint64 span = m_viewTo - m_viewFrom;
        if (m_viewTo > now - 60000 || !m_index.failedBetween(m_viewFrom, m_viewTo).isEmpty())
            search(m_viewFrom - span, m_viewTo + span);
    }
    if (m_playhead >= 0 && m_playhead > now - kNearPresentMs)
        search(m_playhead - 60000, m_playhead + kAroundMs);
    if (m_pending >= 0)
        search(m_pending - kAroundMs, m_pending + kAroundMs);
    if (m_edge != Edge::None)
        search(0, m_edgeAskedAt + 24 * kAroundMs);
    updateFollowing();
}

void StreamHistory::updateFollowing()
{
    const qint64 now = present();
    const bool wanted = (m_viewTo > m_viewFrom) || m_pending >= 0 || m_edge != Edge::None ||
                        (m_playhead >= 0 && m_playhead > now - kNearPresentMs);
    if (wanted && !m_follow.isActive())
        m_follow.start();
    else if (!wanted)
        m_follow.stop();
}

QVariantMap StreamHistory::gatewayFor(const QString &reported) const
{
    const GatewayAddress gateway =
        GatewayAddress::ofDevice(m_repository, parentOf(m_repository, m_streamId), reported);
    return {{QStringLiteral("base"), gateway.httpBase()},
            {QStringLiteral("host"), gateway.host()},
            {QStringLiteral("port"), gateway.port()},
            {QStringLiteral("hostPort"), gateway.hostPort()},
            {QStringLiteral("source"), gateway.hostSource()}};
}

QVariantMap StreamHistory::posChannel() const
{
    const GatewayAddress gateway =
        GatewayAddress::ofDevice(m_repository, parentOf(m_repository, m_streamId));
    const bool portSet = gateway.posPort() > 0;
    return {{QStringLiteral("host"), gateway.host()},
            {QStringLiteral("hostSource"), gateway.hostSource()},
            {QStringLiteral("port"), portSet ? gateway.posPort() : GatewayAddress::kDefaultPosPort},
            {QStringLiteral("portSet"), portSet}};
}

void StreamHistory::forget()
{
    m_searches.forgetAnswered(m_streamId);
    m_index.forgetStream(m_streamId);
    if (m_viewTo > m_viewFrom)
        showRange(m_viewFrom, m_viewTo);
}

void StreamHistory::onAnswered(qint64 from, qint64 to, const QVariantList &chunks)
{
    const qint64 now = present();
    m_searches.answered(m_streamId, from, to, RecordingIndex::openChunkStart(chunks, now), now);
    m_index.addChunks(m_streamId, from, to, chunks);
    emit chunksAnswered(from, to, chunks);
    askWanted();
}

void StreamHistory::onFailed(qint64 from, qint64 to)
{
    m_searches.failed(m_streamId, from, to, present());
    m_index.markFailed(m_streamId, from, to);
    emit searchFailed(from, to);
    askWanted();
}

void StreamHistory::askWanted()
{
    if (!m_deferred)
        return;
    m_deferred = false;
    if (m_pending >= 0)
        search(m_pending - kAroundMs, m_pending + kAroundMs);
    if (m_edge != Edge::None)
        search(0, m_edgeAskedAt + 24 * kAroundMs);
    if (m_viewTo > m_viewFrom) {
        const qint64 span = m_viewTo - m_viewFrom;
        search(m_viewFrom - span, m_viewTo + span);
    }
}

void StreamHistory::onStreamInfo(const QString &deviceId, const QString &reported)
{
    m_reported = reported;
    m_gatewayWait.stop();
    setGateway(GatewayAddress::ofDevice(m_repository, deviceId, reported), true);
}

// The gateway's settings may have changed: its address is looked up again; a setting names
// it at once, else the server is asked where the stream is served from (until the tree is
// loaded neither is known: the address waits for it, or for kGatewayWaitMs).
void StreamHistory::onTreeReloaded()
{
    const QString device = parentOf(m_repository, m_streamId);
    const GatewayAddress gateway = GatewayAddress::ofDevice(m_repository, device, m_reported);
    const bool settled = gateway.hostSource() != QLatin1String("fallback");
    if (!settled && m_client && !device.isEmpty())
        m_client->getStreamGatewayInfo(device, m_streamId);
    if (!settled && !m_gatewayKnown)
        m_gatewayWait.start();
    setGateway(gateway, settled || m_gatewayKnown);
}

void StreamHistory::setGateway(const GatewayAddress &gateway, bool known)
{
    const bool moved = gateway.httpBase() != m_gateway.httpBase();
    if (!moved && known == m_gatewayKnown)
        return;
    const bool wasKnown = m_gatewayKnown;
    m_gateway = gateway;
    m_gatewayKnown = known;
    if (moved && wasKnown) {
        qInfo().noquote() << QStringLiteral("The gateway of stream %1 is now at %2")
                                 .arg(m_streamId, m_gateway.hostPort());
        // What the old address refused says nothing of the new one.
        forget();
    }
    emit gatewayChanged();
    playPending();
}
