#include "TimelinePlayback.h"

#include "ChunkJoin.h"
#include "MpvObject.h"
#include "WallClockNames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QQmlEngine>

#include <algorithm>
#include <limits>

namespace {

void registerTimelinePlayback()
{
    qmlRegisterType<TimelinePlayback>("Native", 1, 0, "TimelinePlayback");
}
Q_COREAPP_STARTUP_FUNCTION(registerTimelinePlayback)

// How long a page just opened may wait for its player's first frame, in steps of 50 ms.
constexpr int kContextWaits = 100;
constexpr int kContextWaitMs = 50;

// A later chunk that starts within this of the previous one's end follows it without a gap.
constexpr qint64 kContiguousMs = 1000;

RecordedSpan spanFrom(const QVariantMap &map)
{
    RecordedSpan span;
    span.start = map.value(QStringLiteral("start")).toLongLong();
    span.end = map.value(QStringLiteral("end")).toLongLong();
    span.size = map.value(QStringLiteral("size")).toLongLong();
    span.unavailable = map.value(QStringLiteral("unavailable")).toBool();
    span.open = map.value(QStringLiteral("open")).toBool();
    return span;
}

QString gapText(qint64 ms)
{
    const qint64 minutes = (ms + 30000) / 60000;
    if (minutes >= 120)
        return QCoreApplication::translate("TimelinePlayback", "Gap: %1 h %2 min skipped")
            .arg(minutes / 60)
            .arg(minutes % 60);
    if (minutes >= 1)
        return QCoreApplication::translate("TimelinePlayback", "Gap: %1 min skipped").arg(minutes);
    return QCoreApplication::translate("TimelinePlayback", "Gap: %1 s skipped")
        .arg((ms + 500) / 1000);
}

} // namespace

TimelinePlayback::TimelinePlayback(QObject *parent)
    : QObject(parent)
{
    // A skipped gap is told for a few seconds; notes that ask for a choice stay.
    m_noteExpiry.setSingleShot(true);
    m_noteExpiry.setInterval(5000);
    connect(&m_noteExpiry, &QTimer::timeout, this, [this] { setNote(QString()); });
    m_extend.setSingleShot(true);
    m_extend.setInterval(1000);
    connect(&m_extend, &QTimer::timeout, this, &TimelinePlayback::queueNext);
    m_contextRetry.setSingleShot(true);
    m_contextRetry.setInterval(kContextWaitMs);
    connect(&m_contextRetry, &QTimer::timeout, this, [this] {
        const qint64 t = m_pendingAt;
        m_pendingAt = -1;
        if (t < 0)
            return;
        m_goingOn = m_pendingGoingOn;
        playAt(t);
        m_goingOn = false;
    });
    m_follow.setSingleShot(true);
    m_follow.setInterval(1000);
    connect(&m_follow, &QTimer::timeout, this, [this] {
        if (m_active && m_followFrom >= 0)
            followRecording(m_followFrom);
    });
}

void TimelinePlayback::setPlayer(MpvObject *player)
{
    if (m_player == player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (m_player) {
        connect(m_player, &MpvObject::entryStarted, this, &TimelinePlayback::onEntryStarted);
        connect(m_player, &MpvObject::entryEnded, this, &TimelinePlayback::onEntryEnded);
        connect(m_player, &MpvObject::positionChanged, this, &TimelinePlayback::onPosition);
        connect(m_player, &MpvObject::fileLoaded, this, &TimelinePlayback::onFileLoaded);
        // Paused by the operator, playback falls behind by choice: no catching up after it.
        connect(m_player, &MpvObject::pausedChanged, this, [this](bool paused) {
            if (paused)
                m_nearPresent = false;
        });
        connect(m_player, &MpvObject::playbackRestarted, this, [this] {
            if (m_handOver >= 0 && entryIndex(m_playingId) >= 0) {
                qDebug().noquote() << QStringLiteral("Recorded playback of stream %1: part from "
                                                     "%2 shows its first picture, %3 s behind")
                                          .arg(streamId(), clockText(m_time))
                                          .arg(behind(m_time) / 1000.0, 0, 'f', 1);
                m_handOver = -1;
            }
        });
    }
    emit playerChanged();
}

void TimelinePlayback::setIndex(RecordingIndex *index)
{
    if (m_index == index)
        return;
    if (m_index)
        disconnect(m_index, nullptr, this, nullptr);
    m_index = index;
    if (m_index)
        connect(m_index, &RecordingIndex::changed, this, &TimelinePlayback::onIndexChanged);
    emit indexChanged();
}

void TimelinePlayback::setGateway(const QString &gateway)
{
    if (m_gateway == gateway)
        return;
    m_gateway = gateway;
    emit gatewayChanged();
}

QString TimelinePlayback::streamId() const
{
    return m_index ? m_index->streamId() : QString();
}

QString TimelinePlayback::recordingUrl(qint64 chunkStart) const
{
    return m_index ? m_index->recordingUrl(m_gateway, chunkStart) : QString();
}

QString TimelinePlayback::clockText(qint64 t)
{
    return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
}

bool TimelinePlayback::playAt(qint64 t)
{
    if (!m_player || !m_index || m_gateway.isEmpty()) {
        qWarning() << "Recorded playback by time has no player, index or gateway yet";
        return false;
    }
    // Without a render context the player cannot start its video and the file would end at
    // once: a page just opened waits for its first frame.
    // One request waits at most: the newest moment asked replaces it, stop() drops it.
    if (m_player->hasPlayer() && !m_player->renderContext()) {
        if (++m_contextWaits <= kContextWaits) {
            m_pendingAt = t;
            m_pendingGoingOn = m_goingOn;
            if (!m_contextRetry.isActive())
                m_contextRetry.start();
            return true;
        }
        qWarning() << "The recorded player has no picture yet; playing without waiting";
    }
    m_contextRetry.stop();
    m_pendingAt = -1;
    m_contextWaits = 0;
    // Catching up belongs to following near the present: a moment chosen further back is
    // played as it is, however long the chunk being recorded runs on.
    if (!m_goingOn) {
        m_nearPresent = m_index->lastRecorded() - t <= kCatchUpMs;
        stopHurrying();
    }
    m_extend.stop();
    m_follow.stop();
    m_followFrom = -1;
    m_entries.clear();
    m_playingId = -1;
    m_waitingForChunks = false;
    const QVariantMap found = m_index->chunkAt(t);
    RecordedSpan chunk = spanFrom(found);
    if (!found.isEmpty() && !chunk.unavailable && WallClockNames::isAmbiguous(chunk.start))
        return refuseAmbiguous(t, chunk);
    if (found.isEmpty() || chunk.unavailable) {
        m_player->command(QVariantList{QStringLiteral("stop")});
        setActive(false);
        setTime(t);
        const qint64 next = m_index->nextRecordedAfter(found.isEmpty() ? t : chunk.end);
        setNote(found.isEmpty() ? tr("No recording at %1").arg(clockText(t))
                                : tr("The recording at %1 is unavailable").arg(clockText(t)),
                next);
        qInfo().noquote() << QStringLiteral("Recorded playback of stream %1: %2, next recorded "
                                            "moment %3")
                                 .arg(streamId(), m_note)
                                 .arg(next);
        return false;
    }
    setNote(QString());
    qInfo().noquote() << QStringLiteral("Recorded playback of stream %1 from %2 (chunk %3, +%4 s)")
                             .arg(streamId(), clockText(t))
                             .arg(chunk.start)
                             .arg((t - chunk.start) / 1000.0, 0, 'f', 3);
    setTime(t);
    if (!enqueue(chunk, t - chunk.start, true)) {
        setActive(false);
        return false;
    }
    setActive(true);
    queueNext();
    return true;
}

bool TimelinePlayback::refuseAmbiguous(qint64 t, const RecordedSpan &chunk)
{
    m_player->command(QVariantList{QStringLiteral("stop")});
    setActive(false);
    setTime(t);
    setNote(WallClockNames::refusal(), m_index->nextRecordedAfter(chunk.end));
    qWarning().noquote() << QStringLiteral("Recorded playback of stream %1 at %2 refused: %3")
                                .arg(streamId(), clockText(t), m_note);
    return false;
}

bool TimelinePlayback::seekTo(qint64 t)
{
    const int at = entryIndex(m_playingId);
    if (!m_active || at < 0 || !m_player)
        return playAt(t);
    const RecordedSpan chunk = m_entries.at(at).chunk;
    const QVariantMap holder = m_index ? m_index->chunkAt(t) : QVariantMap();
    if (holder.value(QStringLiteral("start")).toLongLong() != chunk.start || t < chunk.start ||
        t >= chunk.end)
        return playAt(t);
    setNote(QString());
    m_nearPresent = m_index && m_index->lastRecorded() - t <= kCatchUpMs;
    if (!m_nearPresent)
        stopHurrying();
    qInfo().noquote() << QStringLiteral("Recorded playback of stream %1: seek to %2")
                             .arg(streamId(), clockText(t));
    m_player->command(QVariantList{QStringLiteral("seek"), (t - chunk.start) / 1000.0,
                                   QStringLiteral("absolute")});
    setTime(t);
    return true;
}

void TimelinePlayback::stop()
{
    stopHurrying();
    m_contextRetry.stop();
    m_pendingAt = -1;
    m_contextWaits = 0;
    m_extend.stop();
    m_follow.stop();
    m_followFrom = -1;
    if (!m_active && m_entries.isEmpty())
        return;
    m_entries.clear();
    m_playingId = -1;
    setActive(false);
    if (m_player)
        m_player->command(QVariantList{QStringLiteral("stop")});
}

bool TimelinePlayback::enqueue(const RecordedSpan &chunk, qint64 offsetMs, bool replace)
{
    const QString url = m_index ? m_index->readingUrl(m_gateway, chunk) : QString();
    // Each entry plays at the recorded pace, whatever frame rate the chunk list's player was
    // told to force, seeks exactly and has the next one opened before it ends. As options of the
    // entry they cost no further call into a player that may be busy opening (64 cells of a
    // layout starting at once wait for each such call in turn), and the player's own settings
    // come back once the entry is over.
    QString options = QStringLiteral("correct-pts=yes,hr-seek=yes,prefetch-playlist=yes");
    if (offsetMs > 0)
        options += QStringLiteral(",start=%1").arg(offsetMs / 1000.0, 0, 'f', 3);
    const QVariantList command{QStringLiteral("loadfile"), url,
                               replace ? QStringLiteral("replace") : QStringLiteral("append"),
                               options};
    // The player answers with the new entry's id.
    bool ok = false;
    const qint64 id = m_player->commandResult(command)
                          .toMap()
                          .value(QStringLiteral("playlist_entry_id"))
                          .toLongLong(&ok);
    if (!ok) {
        qWarning() << "The player did not take the recording" << command.at(1).toString();
        return false;
    }
    m_entries.append({id, chunk, false, chunk.open, false});
    if (chunk.open && !replace)
        qDebug().noquote() << QStringLiteral("Recorded playback of stream %1: the part %2–%3 "
                                             "asked, playing %4 s behind")
                                  .arg(streamId(), clockText(chunk.start + offsetMs),
                                       clockText(chunk.end))
                                  .arg(behind(m_time) / 1000.0, 0, 'f', 1);
    return true;
}

// The chunk that follows the last queued one, so that the player opens it before the
// current one ends. Chunks the gateway refused are passed over.
void TimelinePlayback::queueNext()
{
    if (!m_active || m_entries.isEmpty() || m_entries.size() > 1)
        return;
    const RecordedSpan last = m_entries.last().chunk;
    // A chunk being recorded goes on with what was recorded since it was loaded, queued from
    // where that ends once there is a second more of it, so the player opens it in time.
    if (m_entries.last().open) {
        if (!m_entries.last().loaded)
            return; // its real end is known once loaded
        RecordedSpan grown;
        for (const RecordedSpan &span : m_index->spansBetween(last.start, last.start + 1)) {
            if (span.start == last.start)
                grown = span;
        }
        if (grown.start == last.start && grown.end > last.end &&
            (!grown.open || grown.end - last.end >= 1000)) {
            enqueue(grown, last.end - grown.start, false);
            return;
        }
        if (grown.start == last.start && grown.open) {
            m_extend.start();
            return;
        }
        // Closed where the entry ends: what follows it, as after any chunk.
    }
    // What follows is what ChunkJoin puts after the last entry's end, as the export does:
    // an overlapping chunk goes on from where the last one ended, one the gateway refused is
    // passed over, a gap is skipped.
    const qint64 far = std::numeric_limits<qint64>::max();
    std::vector<RecordedSpan> spans;
    QVector<ChunkJoin::Chunk> chunks;
    for (const RecordedSpan &span : m_index->spansBetween(last.end, far)) {
        // A recording whose name the repeated hour of a clock change makes ambiguous is
        // passed over like one the gateway refused: the other hour's might come instead.
        if (span.unavailable || WallClockNames::isAmbiguous(span.start))
            continue;
        spans.push_back(span);
        chunks.append(ChunkJoin::Chunk{span.start, span.end, QString()});
    }
    const ChunkJoin::Result joined = ChunkJoin::join(chunks, last.end, far);
    if (joined.segments.isEmpty()) {
        m_waitingForChunks = true;
        emit needChunksAfter(last.end);
        return;
    }
    m_waitingForChunks = false;
    const ChunkJoin::Segment &next = joined.segments.first();
    enqueue(spans.at(static_cast<size_t>(next.source)), next.offset, false);
}

int TimelinePlayback::entryIndex(qint64 id) const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).id == id)
            return i;
    }
    return -1;
}

void TimelinePlayback::onEntryStarted(qint64 id)
{
    const int at = entryIndex(id);
    if (at < 0)
        return;
    // The gap is told from the last chunk that played: one refused on the way lies in it.
    int played = at - 1;
    while (played >= 0 && m_entries.at(played).failed)
        --played;
    if (played >= 0) {
        const RecordedSpan previous = m_entries.at(played).chunk;
        const RecordedSpan now = m_entries.at(at).chunk;
        if (now.start - previous.end > kContiguousMs) {
            setNote(gapText(now.start - previous.end));
            m_noteExpiry.start();
            qInfo().noquote()
                << QStringLiteral("Recorded playback of stream %1: %2").arg(streamId(), m_note);
        } else {
            setNote(QString());
        }
    }
    if (at > 0) {
        const RecordedSpan previous = m_entries.at(at - 1).chunk;
        const RecordedSpan now = m_entries.at(at).chunk;
        setTime(std::max(now.start, previous.end));
        // The entries played are dropped from the player's playlist as well.
        for (int i = 0; i < at; ++i)
            m_player->command(QVariantList{QStringLiteral("playlist-remove"), 0});
        m_entries.remove(0, at);
    }
    m_playingId = id;
    if (m_entries.at(0).open && at > 0) {
        m_handOver = m_time;
        qDebug().noquote() << QStringLiteral("Recorded playback of stream %1: the part from %2 "
                                             "starts, %3 s behind")
                                  .arg(streamId(), clockText(m_time))
                                  .arg(behind(m_time) / 1000.0, 0, 'f', 1);
        if (catchUp(m_time))
            return;
    }
    // The next part of a chunk being recorded is asked once this one's real end is known.
    if (!m_entries.at(0).open)
        queueNext();
}

void TimelinePlayback::onFileLoaded()
{
    const int at = entryIndex(m_playingId);
    if (at < 0 || !m_entries.at(at).open)
        return;
    // The gateway may serve a part of a chunk being recorded a little shorter than asked
    // (whole seconds): the next part begins where this one really ends, nothing skipped.
    bool ok = false;
    const double duration = m_player->getProperty(QStringLiteral("duration")).toDouble(&ok);
    Entry &entry = m_entries[at];
    entry.loaded = true;
    const qint64 end = entry.chunk.start + qint64(duration * 1000);
    if (ok && duration > 0 && end < entry.chunk.end && end > m_time - 1000)
        entry.chunk.end = end;
    qDebug().noquote() << QStringLiteral("Recorded playback of stream %1: the part to %2 "
                                         "loaded, %3 s behind")
                              .arg(streamId(), clockText(entry.chunk.end))
                              .arg(behind(m_time) / 1000.0, 0, 'f', 1);
    if (at == m_entries.size() - 1)
        queueNext();
}

qint64 TimelinePlayback::behind(qint64 t) const
{
    return QDateTime::currentMSecsSinceEpoch() - t;
}

bool TimelinePlayback::catchUp(qint64 t)
{
    if (!m_index || t < 0 || !m_nearPresent)
        return false;
    const qint64 end = m_index->lastRecorded();
    if (end - t <= kCatchUpMs)
        return false;
    const qint64 to = end - kCatchUpToMs;
    if (m_index->chunkAt(to).isEmpty())
        return false; // a chunk just begun: played on as it comes
    qInfo().noquote() << QStringLiteral("Recorded playback of stream %1: %2 s behind the "
                                        "recording, goes on at %3")
                             .arg(streamId())
                             .arg((end - t) / 1000.0, 0, 'f', 1)
                             .arg(clockText(to));
    m_goingOn = true;
    const bool playing = playAt(to);
    m_goingOn = false;
    return playing;
}

void TimelinePlayback::onEntryEnded(qint64 id, const QString &reason, const QString &error)
{
    const int at = entryIndex(id);
    if (at < 0)
        return;
    if (reason == QLatin1String("error")) {
        const RecordedSpan chunk = m_entries.at(at).chunk;
        qWarning().noquote() << QStringLiteral("The recording of stream %1 at %2 could not be "
                                               "played: %3")
                                    .arg(streamId(), clockText(chunk.start), error);
        m_entries[at].failed = true;
        setNote(tr("The recording of %1–%2 is unavailable")
                    .arg(clockText(chunk.start), clockText(chunk.end)));
        m_noteExpiry.start();
        emit chunkUnavailable(chunk.start, chunk.end, error);
        if (m_index)
            m_index->markUnavailable(streamId(), chunk.start);
    }
    // The end of what a chunk being recorded held: playback goes on with what came since.
    if (at == m_entries.size() - 1 && reason == QLatin1String("eof") && m_entries.at(at).open) {
        const RecordedSpan chunk = m_entries.at(at).chunk;
        m_entries.clear();
        m_playingId = -1;
        followRecording(std::max(m_time, chunk.start));
        return;
    }
    // The last entry ended and nothing follows: playback stops at the end of the recordings.
    if (at == m_entries.size() - 1 && reason != QLatin1String("stop") &&
        reason != QLatin1String("redirect")) {
        m_entries.clear();
        m_playingId = -1;
        if (m_waitingForChunks && m_note.isEmpty())
            setNote(tr("End of the recordings"));
        setActive(false);
    }
}

void TimelinePlayback::onPosition(double seconds)
{
    const int at = entryIndex(m_playingId);
    if (at < 0 || seconds < 0)
        return;
    const RecordedSpan &chunk = m_entries.at(at).chunk;
    setTime(chunk.start + qint64(seconds * 1000));
    // A long stall within a part counts as much as one between parts.
    if (m_entries.at(at).open) {
        keepUpWithPresent();
        catchUp(m_time);
    }
}

void TimelinePlayback::keepUpWithPresent()
{
    if (!m_mayHurry || !m_nearPresent || !m_player)
        return;
    const qint64 lag = behind(m_time);
    if (m_hurrying) {
        if (lag < kHurryToMs)
            stopHurrying();
        return;
    }
    // Another speed than the normal one is the operator's choice: left alone.
    if (lag <= kHurryFromMs || !qFuzzyCompare(m_player->speed(), 1.0))
        return;
    m_hurrying = true;
    m_player->set_speed(kHurrySpeed);
    qDebug().noquote() << QStringLiteral("Recorded playback of stream %1: %2 s behind the "
                                         "present, played faster until nearer")
                              .arg(streamId())
                              .arg(lag / 1000.0, 0, 'f', 1);
}

void TimelinePlayback::stopHurrying()
{
    if (!m_hurrying)
        return;
    m_hurrying = false;
    // Set back only when still ours: the operator may have chosen a speed meanwhile.
    if (m_player && qFuzzyCompare(m_player->speed(), kHurrySpeed))
        m_player->set_speed(1.0);
}

void TimelinePlayback::followRecording(qint64 t)
{
    m_follow.stop();
    m_followFrom = -1;
    if (!m_active || !m_index)
        return;
    const qint64 present = QDateTime::currentMSecsSinceEpoch();
    const QVariantMap holder = m_index->chunkAt(t);
    const RecordedSpan chunk = spanFrom(holder);
    const bool held = !holder.isEmpty() && !chunk.unavailable;
    // Nothing yet after `t` (a stop in recording), or too little of it, or the last reload
    // got no further (the chunk closed before the end the index gives it, until a search
    // says so): a second later, the recordings searched again as the caller allows.
    const bool stuck = t == m_lastFollow;
    if (stuck)
        m_lastFollow = -1; // waited once, then tried again
    if ((held && chunk.open && present - t < kBehindMs) || stuck ||
        (!held && m_index->chunkFrom(t).isEmpty())) {
        if (stuck || !held)
            emit needChunksAfter(t);
        m_followFrom = t;
        m_follow.start();
        return;
    }
    const qint64 next = held ? t : m_index->nextRecordedAfter(t);
    if (catchUp(next))
        return;
    m_lastFollow = next;
    m_goingOn = true;
    const bool playing = playAt(next);
    m_goingOn = false;
    if (playing && !held)
        qInfo().noquote() << QStringLiteral("Recorded playback of stream %1: the recording "
                                            "goes on at %2")
                                 .arg(streamId(), clockText(next));
}

void TimelinePlayback::onIndexChanged()
{
    if (m_waitingForChunks)
        queueNext();
}

void TimelinePlayback::setTime(qint64 t)
{
    if (m_time == t)
        return;
    m_time = t;
    emit timeChanged();
}

void TimelinePlayback::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    emit activeChanged();
}

void TimelinePlayback::setNote(const QString &note, qint64 nextMoment)
{
    if (m_note == note && m_nextMoment == nextMoment)
        return;
    m_noteExpiry.stop();
    m_note = note;
    m_nextMoment = nextMoment;
    emit noteChanged();
}
