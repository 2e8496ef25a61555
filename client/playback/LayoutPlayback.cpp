#include "LayoutPlayback.h"

#include "EventList.h"
#include "GatewayAddress.h"
#include "MpvObject.h"
#include "StreamHistory.h"
#include "TimelinePlayback.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace {

void registerLayoutPlayback()
{
    qmlRegisterType<LayoutPlayback>("Native", 1, 0, "LayoutPlayback");
    qmlRegisterUncreatableType<LayoutClock>("Native", 1, 0, "LayoutClock",
                                            QStringLiteral("Held by LayoutPlayback"));
}
Q_COREAPP_STARTUP_FUNCTION(registerLayoutPlayback)

const QString kMergedKey = QStringLiteral("layout");
constexpr qint64 kMinute = 60000;
// What one search asks around the moment, and how long an unanswered one waits.
constexpr qint64 kSearchAround = 30 * kMinute;
// A cell further off than this is sought to the moment; a nearer one is nudged.
constexpr qint64 kSeekBeyondMs = 1500;
// After a seek or a start a cell settles before its position is judged.
constexpr qint64 kSettleMs = 1500;
// How long a gateway check waits for the connection.
constexpr int kProbeMs = 3000;
// A start or a seek waits at most this long for the slowest cell's first picture.
constexpr int kHoldLimitMs = 6000;
// Near the present what is recorded still changes (a chunk closes, recording stops or begins):
// a cell there has its stream searched again as often as its history's rule allows.
constexpr qint64 kNearPresentMs = 15 * kMinute;
constexpr qint64 kGatewayRetryMs = 10000;

// The chunks an index knows, as a search answers them.
QVariantList chunksOf(const RecordingIndex &index)
{
    QVariantList chunks;
    constexpr qint64 kAll = std::numeric_limits<qint64>::max() / 2;
    for (const RecordedSpan &span : index.spansBetween(-kAll, kAll))
        chunks.append(QVariantMap{{QStringLiteral("start"), span.start},
                                  {QStringLiteral("end"), span.end},
                                  {QStringLiteral("size"), span.size}});
    return chunks;
}

} // namespace

struct LayoutPlayback::Cell
{
    int key = 0;
    QPointer<MpvObject> player;
    QString streamId;
    QPointer<StreamHistory> history;
    std::unique_ptr<TimelinePlayback> playback;
    QString state = QStringLiteral("searching");
    // Set once the player showed its first picture since the last cue.
    bool ready = true;
    qint64 settleUntil = 0;
    qint64 retryAt = 0;
    // The gateway check under way, at most one.
    QPointer<QTcpSocket> probe;
};

LayoutPlayback::LayoutPlayback(QObject *parent)
    : QObject(parent)
{
    m_wall.start();
    m_merged.setStreamId(kMergedKey);
    m_step.setInterval(250);
    connect(&m_step, &QTimer::timeout, this, &LayoutPlayback::tick);
    m_holdLimit.setSingleShot(true);
    m_holdLimit.setInterval(kHoldLimitMs);
    connect(&m_holdLimit, &QTimer::timeout, this, &LayoutPlayback::release);
    // Every cell of a layout changes state in the same pass (a start cues them all), and each
    // cell's texts are bound to the states: told once per pass, 64 cells cost 64 reads of the
    // states instead of 64 times 64.
    m_statesNotice.setSingleShot(true);
    m_statesNotice.setInterval(0);
    connect(&m_statesNotice, &QTimer::timeout, this, [this] {
        ++m_statesRevision;
        emit cellStatesChanged();
    });
}

LayoutPlayback::~LayoutPlayback() = default;

void LayoutPlayback::setHistories(StreamHistories *histories)
{
    if (m_histories == histories)
        return;
    m_histories = histories;
    emit historiesChanged();
}

QVariantMap LayoutPlayback::cellStates() const
{
    QVariantMap states;
    for (const auto &entry : m_cells)
        states.insert(QString::number(entry.first), entry.second->state);
    return states;
}

QString LayoutPlayback::stateOf(int key) const
{
    const auto it = m_cells.find(key);
    return it == m_cells.end() ? QString() : it->second->state;
}

void LayoutPlayback::addCell(int key, MpvObject *player, const QString &streamId)
{
    StreamHistory *history = m_histories ? m_histories->of(streamId) : nullptr;
    // The same again (the object tree reloaded, nothing of this cell changed): it plays on; a
    // gateway that moved reaches it through the history.
    const auto known = m_cells.find(key);
    if (known != m_cells.end() && known->second->player == player &&
        known->second->history == history)
        return;
    removeCell(key);
    if (!player || !history)
        return;
    auto cell = std::make_unique<Cell>();
    cell->key = key;
    cell->player = player;
    cell->streamId = streamId;
    cell->history = history;
    cell->playback = std::make_unique<TimelinePlayback>();
    cell->playback->setPlayer(player);
    cell->playback->setMayHurry(false); // the layout's clock sets each cell's speed
    cell->playback->setIndex(history->index());
    cell->playback->setGateway(history->gateway());
    TimelinePlayback *playback = cell->playback.get();
    connect(history, &StreamHistory::gatewayChanged, playback,
            [playback, history] { playback->setGateway(history->gateway()); });
    connect(history, &StreamHistory::chunksAnswered, playback,
            [this, key](qint64 from, qint64 to, const QVariantList &chunks) {
                onChunks(key, from, to, chunks);
            });
    connect(history, &StreamHistory::searchFailed, playback,
            [this, key](qint64 from, qint64 to) { searchFailed(key, from, to); });
    connect(playback, &TimelinePlayback::needChunksAfter, history,
            [history](qint64 t) { history->search(t, t + kSearchAround); });
    connect(cell->playback.get(), &TimelinePlayback::chunkUnavailable, this,
            [this, key] { onUnavailable(key); });
    // The first picture after a cue: the cell is at its moment.
    connect(player, &MpvObject::playbackRestarted, cell->playback.get(), [this, key] {
        const auto it = m_cells.find(key);
        if (it == m_cells.end() || it->second->ready)
            return;
        it->second->ready = true;
        // Drift counts from the picture: a slow open must not look like a cell left behind.
        it->second->settleUntil = now() + kSettleMs;
        releaseIfReady();
    });
    // What is known of the stream already shows on the layout's timeline.
    m_merged.addChunks(kMergedKey, 0, 0, chunksOf(*history->index()));
    Cell &added = *cell;
    m_cells[key] = std::move(cell);
    if (m_active)
        cue(added, m_clock.moment(), m_holding);
    m_statesNotice.start();
}

void LayoutPlayback::removeCell(int key)
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end())
        return;
    if (m_active && it->second->player) {
        it->second->playback->stop();
        it->second->player->set_speed(1.0);
        it->second->player->set_paused(false);
    }
    m_cells.erase(it);
    m_statesNotice.start();
    releaseIfReady();
}

void LayoutPlayback::start(qint64 t)
{
    qInfo().noquote() << QStringLiteral("Layout playback from %1, %2 camera cells")
                             .arg(QDateTime::fromMSecsSinceEpoch(t).toString(Qt::ISODate))
                             .arg(m_cells.size());
    setUserPaused(false);
    // A new playback starts at the normal speed.
    m_clock.setRate(1.0);
    setActive(true);
    // The live streams stop at once: a live picture must not pass for a recorded one.
    for (auto &entry : m_cells) {
        if (entry.second->playback->active())
            entry.second->playback->stop();
        else if (entry.second->player)
            entry.second->player->command(QVariantList{QStringLiteral("stop")});
    }
    m_step.start();
    hold(t);
}

void LayoutPlayback::stop()
{
    if (!m_active)
        return;
    qInfo() << "Layout playback ended: back to live";
    m_step.stop();
    m_holdLimit.stop();
    m_holding = false;
    for (auto &entry : m_cells) {
        Cell &cell = *entry.second;
        cell.playback->stop();
        if (cell.player) {
            cell.player->set_speed(1.0);
            cell.player->set_paused(false);
        }
        cell.ready = true;
    }
    m_clock.setPaused(true);
    // The cells go back to live once they are no longer played from here.
    setActive(false);
}

void LayoutPlayback::play()
{
    if (!m_active || !m_userPaused)
        return;
    setUserPaused(false);
    hold(m_clock.moment());
}

void LayoutPlayback::pause()
{
    if (!m_active || m_userPaused)
        return;
    setUserPaused(true);
    m_clock.setPaused(true);
    // Every cell shows the same frame, the clock's.
    hold(m_clock.moment());
}

void LayoutPlayback::setRate(double rate)
{
    if (!LayoutClock::isRate(rate))
        return;
    m_clock.setRate(rate);
    for (auto &entry : m_cells) {
        if (entry.second->player)
            entry.second->player->set_speed(rate);
    }
}

void LayoutPlayback::seek(qint64 t)
{
    if (m_active)
        hold(t);
}

void LayoutPlayback::stepFrame(int direction)
{
    if (!m_active)
        return;
    setUserPaused(true);
    const qint64 t = m_clock.moment() + (direction < 0 ? -1 : 1) * LayoutClock::kFrameMs;
    hold(t);
}

qint64 LayoutPlayback::cellTime(int key) const
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end() || !it->second->playback->active())
        return -1;
    return it->second->playback->time();
}

QString LayoutPlayback::doorStateAt(EventList *events, const QString &sensorId, qint64 t)
{
    if (!events)
        return {};
    // Newest first: the first match at or before t is the last one before it.
    for (int row = 0; row < events->count(); ++row) {
        const EventRecord &e = events->at(row);
        if (e.sourceId != sensorId || e.time > t)
            continue;
        if (e.cls == QLatin1String("door.OPENED"))
            return QStringLiteral("open");
        if (e.cls == QLatin1String("door.CLOSED"))
            return QStringLiteral("closed");
    }
    return {};
}

// Every cell is brought to `t`, paused; the clock starts again once all show it.
void LayoutPlayback::hold(qint64 t)
{
    m_holding = true;
    m_clock.setPaused(true);
    m_clock.seek(t);
    for (auto &entry : m_cells)
        cue(*entry.second, t, true);
    m_holdLimit.start();
    releaseIfReady();
}

void LayoutPlayback::cue(Cell &cell, qint64 t, bool held)
{
    if (!cell.player || !cell.history)
        return;
    cell.ready = true;
    // A gateway found down is left alone until it is tried again.
    if (cell.state == QLatin1String("gatewayDown") && now() < cell.retryAt)
        return;
    cell.player->set_speed(m_clock.rate());
    if (t > QDateTime::currentMSecsSinceEpoch()) {
        noRecording(cell);
        return;
    }
    if (!cell.history->knows(t)) {
        // A start waits for the answer, and then for the picture.
        cell.ready = !held;
        // The old moment must not go on playing behind the cover.
        if (cell.playback->active())
            cell.playback->stop();
        setState(cell, QStringLiteral("searching"));
        search(cell, t - kSearchAround, t + kSearchAround);
        return;
    }
    const QVariantMap chunk = cell.history->index()->chunkAt(t);
    if (chunk.isEmpty() || chunk.value(QStringLiteral("unavailable")).toBool()) {
        noRecording(cell);
        return;
    }
    cell.player->set_paused(held || m_userPaused);
    cell.ready = false;
    cell.settleUntil = now() + kSettleMs;
    setState(cell, held ? QStringLiteral("starting") : QStringLiteral("playing"));
    if (!cell.playback->seekTo(t))
        cell.ready = true;
}

void LayoutPlayback::releaseIfReady()
{
    if (!m_holding)
        return;
    for (const auto &entry : m_cells) {
        if (!entry.second->ready)
            return;
    }
    release();
}

void LayoutPlayback::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_holdLimit.stop();
    for (auto &entry : m_cells) {
        Cell &cell = *entry.second;
        if (cell.state == QLatin1String("starting"))
            setState(cell, QStringLiteral("playing"));
        if (cell.player && cell.playback->active())
            cell.player->set_paused(m_userPaused);
        cell.settleUntil = now() + kSettleMs;
    }
    m_clock.setPaused(m_userPaused);
}

void LayoutPlayback::tick()
{
    if (m_holding)
        return;
    const qint64 moment = m_clock.moment();
    for (auto &entry : m_cells)
        follow(*entry.second, moment);
}

void LayoutPlayback::follow(Cell &cell, qint64 moment)
{
    if (!cell.player || !cell.history)
        return;
    if (cell.state == QLatin1String("gatewayDown")) {
        if (now() < cell.retryAt)
            return;
        // The gateway may be back: what it refused is asked again.
        cell.history->forget();
        setState(cell, QStringLiteral("searching"));
    }
    if (moment > QDateTime::currentMSecsSinceEpoch() - kNearPresentMs)
        search(cell, moment - kSearchAround, moment + kSearchAround);
    if (cell.state == QLatin1String("playing") && cell.playback->active())
        keepInStep(cell, moment);
    else
        waitForRecording(cell, moment);
}

// A cell without a picture of the moment: its recordings are searched, and it joins in when
// one holds the moment.
void LayoutPlayback::noRecording(Cell &cell)
{
    if (cell.playback->active())
        cell.playback->stop();
    setState(cell, QStringLiteral("noRecording"));
}

void LayoutPlayback::waitForRecording(Cell &cell, qint64 moment)
{
    // What is yet to come has no recording, whatever a search says.
    if (moment > QDateTime::currentMSecsSinceEpoch()) {
        noRecording(cell);
        return;
    }
    if (!cell.history->knows(moment)) {
        search(cell, moment - kSearchAround, moment + kSearchAround);
        return;
    }
    const QVariantMap chunk = cell.history->index()->chunkAt(moment);
    if (chunk.isEmpty() || chunk.value(QStringLiteral("unavailable")).toBool()) {
        noRecording(cell);
        // Near the present a recording may begin: asked again now and then.
        search(cell, moment - kSearchAround, moment + kSearchAround);
        return;
    }
    if (m_userPaused)
        return;
    qInfo().noquote() << QStringLiteral("Layout playback: stream %1 joins in at %2")
                             .arg(cell.streamId, TimelinePlayback::clockText(moment));
    cue(cell, moment, false);
}

void LayoutPlayback::keepInStep(Cell &cell, qint64 moment)
{
    if (m_userPaused || !cell.ready || now() < cell.settleUntil)
        return;
    const double rate = m_clock.rate();
    const qint64 drift = cell.playback->time() - moment;
    if (std::llabs(drift) > kSeekBeyondMs * std::max(1.0, rate / 2)) {
        // Ahead past a gap the clock has not reached, or far behind: the moment, exactly.
        const QVariantMap chunk = cell.history->index()->chunkAt(moment);
        if (chunk.isEmpty() || chunk.value(QStringLiteral("unavailable")).toBool()) {
            waitForRecording(cell, moment);
            return;
        }
        qInfo().noquote() << QStringLiteral("Layout playback: stream %1 off by %2 ms, sought")
                                 .arg(cell.streamId)
                                 .arg(drift);
        cue(cell, moment + qint64(250 * rate), false);
        return;
    }
    // A player tells its position frame by frame: within a frame of the clock is in step.
    const double fps = cell.player->fps();
    const double band = std::max(double(kInStepMs) / 2, fps > 0 ? 1000.0 / fps : 0.0);
    double speed = rate;
    if (std::llabs(drift) > band)
        speed = rate * (1.0 - std::clamp(double(drift) / (2000.0 * rate), -0.25, 0.25));
    if (!qFuzzyCompare(cell.player->speed(), speed))
        cell.player->set_speed(speed);
}

void LayoutPlayback::search(Cell &cell, qint64 from, qint64 to)
{
    if (cell.history)
        cell.history->search(from, to);
}

void LayoutPlayback::onChunks(int key, qint64 from, qint64 to, const QVariantList &chunks)
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end())
        return;
    m_merged.addChunks(kMergedKey, from, to, chunks);
    if (m_holding && it->second->state == QLatin1String("searching")) {
        cue(*it->second, m_clock.moment(), true);
        releaseIfReady();
    }
}

void LayoutPlayback::searchFailed(int key, qint64 from, qint64 to)
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end())
        return;
    qWarning().noquote() << QStringLiteral("Layout playback: the recordings of stream %1 could "
                                           "not be searched")
                                .arg(it->second->streamId);
    it->second->ready = true;
    if (it->second->state == QLatin1String("searching"))
        setState(*it->second, QStringLiteral("searchFailed"));
    m_merged.markFailed(kMergedKey, from, to);
    releaseIfReady();
}

// A recording that could not be played: either the gateway is down (say so, try again later)
// or it refused that chunk (no recording there).
void LayoutPlayback::onUnavailable(int key)
{
    const auto it = m_cells.find(key);
    if (it == m_cells.end())
        return;
    it->second->ready = true;
    if (!it->second->probe)
        probeGateway(*it->second);
    releaseIfReady();
}

void LayoutPlayback::probeGateway(Cell &cell)
{
    const QUrl gateway(cell.playback->gateway());
    auto *probe = new QTcpSocket(this);
    cell.probe = probe;
    const int key = cell.key;
    const auto down = [this, key, probe](const QString &reason) {
        probe->disconnect(this);
        probe->deleteLater();
        const auto found = m_cells.find(key);
        if (found == m_cells.end())
            return;
        qWarning().noquote() << QStringLiteral("Layout playback: the gateway of stream %1 does "
                                               "not answer (%2)")
                                    .arg(found->second->streamId, reason);
        found->second->playback->stop();
        found->second->retryAt = now() + kGatewayRetryMs;
        setState(*found->second, QStringLiteral("gatewayDown"));
    };
    connect(probe, &QTcpSocket::connected, probe, &QObject::deleteLater);
    connect(probe, &QTcpSocket::errorOccurred, this, [probe, down] { down(probe->errorString()); });
    // A gateway that drops what it is sent answers nothing: after a few seconds it is down.
    QTimer::singleShot(kProbeMs, this, [probe = QPointer<QTcpSocket>(probe), down] {
        // Still trying: neither connected nor already refused.
        if (probe && (probe->state() == QAbstractSocket::HostLookupState ||
                      probe->state() == QAbstractSocket::ConnectingState))
            down(QStringLiteral("no answer within %1 s").arg(kProbeMs / 1000));
    });
    probe->connectToHost(gateway.host(), quint16(gateway.port(GatewayAddress::kDefaultHttpPort)));
}

void LayoutPlayback::setState(Cell &cell, const QString &state)
{
    if (cell.state == state)
        return;
    cell.state = state;
    m_statesNotice.start();
}

void LayoutPlayback::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void LayoutPlayback::setUserPaused(bool paused)
{
    if (m_userPaused == paused)
        return;
    m_userPaused = paused;
    emit pausedChanged();
}
