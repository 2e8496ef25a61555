#pragma once

#include "RecordingIndex.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

class MpvObject;

// Plays a stream's recordings by time: a moment is played from the chunk that holds it, and
// when that chunk ends the next one follows without the operator doing anything. libmpv plays
// the gateway's recording addresses over HTTP (seeking with byte ranges), the next chunk
// queued on its playlist so that it is opened before the current one ends. Gaps are skipped
// with a note; a chunk the gateway refuses is marked unavailable in the index and skipped.
// A chunk still being recorded is served up to the moment it is asked for ("?to="): what was
// recorded since is queued from where that ends, the chunk's end growing in the index with the
// clock, so the player opens it before the first part ends; playback that reaches the end of
// what it had anyway is loaded again at the moment reached (after a second when that is within
// kBehindMs of the present). Either way it follows the recording without searching.
class TimelinePlayback : public QObject
{
    Q_OBJECT
    Q_PROPERTY(MpvObject *player READ player WRITE setPlayer NOTIFY playerChanged)
    Q_PROPERTY(RecordingIndex *index READ index WRITE setIndex NOTIFY indexChanged)
    // The gateway's base address, "http://host:port".
    Q_PROPERTY(QString gateway READ gateway WRITE setGateway NOTIFY gatewayChanged)
    // The moment shown, in ms since the epoch; -1 when nothing plays by time.
    Q_PROPERTY(qint64 time READ time NOTIFY timeChanged)
    // True from playAt() until stop() or the end of what is recorded.
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    // What the operator should know: a gap skipped, no recording at a moment, a chunk refused.
    Q_PROPERTY(QString note READ note NOTIFY noteChanged)
    // After "No recording at …": the next recorded moment, -1 when none is known.
    Q_PROPERTY(qint64 nextMoment READ nextMoment NOTIFY noteChanged)

public:
    // How near the present a reload of the chunk being recorded waits for more of it.
    static constexpr qint64 kBehindMs = 1500;
    // Following a chunk being recorded this far behind its recorded end (stalls of a loaded
    // machine add up), playback jumps to kCatchUpToMs before that end.
    static constexpr qint64 kCatchUpMs = 8000;
    static constexpr qint64 kCatchUpToMs = 2000;
    // Following the present at the normal speed, each part of the chunk being recorded costs
    // the player a moment to open: further behind than kHurryFromMs, playback runs at
    // kHurrySpeed until it is within kHurryToMs again, so that it stays a second or two behind
    // without skipping anything. Layout playback keeps its cells to its own clock instead.
    static constexpr qint64 kHurryFromMs = 3000;
    static constexpr qint64 kHurryToMs = 1800;
    static constexpr double kHurrySpeed = 1.25;

    // Whether following the present may speed the player up (off for layout playback's cells,
    // whose speed its clock sets).
    void setMayHurry(bool may) { m_mayHurry = may; }

    explicit TimelinePlayback(QObject *parent = nullptr);

    MpvObject *player() const { return m_player; }
    void setPlayer(MpvObject *player);
    RecordingIndex *index() const { return m_index; }
    void setIndex(RecordingIndex *index);
    QString gateway() const { return m_gateway; }
    void setGateway(const QString &gateway);
    qint64 time() const { return m_time; }
    bool active() const { return m_active; }
    QString note() const { return m_note; }
    qint64 nextMoment() const { return m_nextMoment; }

    // Plays the current stream of the index from `t`. False (with a note) when nothing
    // recorded holds `t`.
    Q_INVOKABLE bool playAt(qint64 t);
    // The same, but a moment inside the chunk playing is reached by a seek in it, without
    // opening the recording again.
    Q_INVOKABLE bool seekTo(qint64 t);
    Q_INVOKABLE void stop();
    // The player's address of a chunk's recording.
    Q_INVOKABLE QString recordingUrl(qint64 chunkStart) const;
    // "hh:mm:ss" of a moment in local time, as the notes show it.
    Q_INVOKABLE static QString clockText(qint64 t);

signals:
    void playerChanged();
    void indexChanged();
    void gatewayChanged();
    void timeChanged();
    void activeChanged();
    void noteChanged();
    // Playback reached the last chunk known after `t`: the caller may search further.
    void needChunksAfter(qint64 t);
    // A chunk's recording was refused by the gateway.
    void chunkUnavailable(qint64 start, qint64 end, const QString &reason);

private:
    struct Entry
    {
        qint64 id = 0; // the player's playlist entry id
        RecordedSpan chunk;
        bool failed = false; // the gateway refused it
        bool open = false;   // being recorded when loaded: it ends where the gateway was then
        bool loaded = false; // opened by the player: an open one's real end is known
    };

    void queueNext();
    bool enqueue(const RecordedSpan &chunk, qint64 offsetMs, bool replace);
    // Playback of a recording whose name cannot tell which of the repeated hour it is: refused.
    bool refuseAmbiguous(qint64 t, const RecordedSpan &chunk);
    void keepUpWithPresent();
    void stopHurrying();
    void onEntryStarted(qint64 id);
    void onEntryEnded(qint64 id, const QString &reason, const QString &error);
    void onPosition(double seconds);
    // The entry playing is open: a part of a chunk being recorded ends where its file does.
    void onFileLoaded();
    // Going on from `t`: jumps near the recorded end instead when `t` fell more than
    // kCatchUpMs behind it while following near the present.
    bool catchUp(qint64 t);
    qint64 behind(qint64 t) const;
    void onIndexChanged();
    // Playback reached `t`, the end of what a chunk being recorded held when loaded: goes on
    // from there, now or a little later.
    void followRecording(qint64 t);
    int entryIndex(qint64 id) const;
    void setTime(qint64 t);
    void setActive(bool active);
    void setNote(const QString &note, qint64 nextMoment = -1);
    QString streamId() const;

    QPointer<MpvObject> m_player;
    QPointer<RecordingIndex> m_index;
    QString m_gateway;
    QVector<Entry> m_entries; // the player's playlist, in order
    qint64 m_playingId = -1;
    qint64 m_time = -1;
    bool m_active = false;
    bool m_waitingForChunks = false;
    QString m_note;
    qint64 m_nextMoment = -1;
    QTimer m_noteExpiry;
    QTimer m_follow;
    QTimer m_extend; // looks again for more of the chunk being recorded

    qint64 m_followFrom = -1;
    qint64 m_lastFollow = -1; // where the last reload of a chunk being recorded began
    int m_contextWaits = 0;
    // While the player has no render context yet: the one moment asked that waits for it
    // (-1 for none), and whether it was asked to go on rather than by the operator.
    QTimer m_contextRetry;
    qint64 m_pendingAt = -1;
    bool m_pendingGoingOn = false;
    bool m_nearPresent = false; // the operator's moment was near the recorded end
    bool m_goingOn = false;     // playAt() called to go on, not by the operator
    bool m_hurrying = false;    // the player runs at kHurrySpeed to come nearer the present
    bool m_mayHurry = true;
    qint64 m_handOver = -1; // a part of a chunk being recorded started, no picture yet
};
