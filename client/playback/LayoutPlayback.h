#pragma once

#include "LayoutClock.h"
#include "RecordingIndex.h"
#include "StreamHistories.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <map>
#include <memory>

class EventList;
class MpvObject;
class StreamHistory;
class TimelinePlayback;

// A whole layout played back at one moment. Each camera cell registers its player; while
// playback is on, every cell plays its stream's recordings at the shared clock's moment and is
// kept in step with it: four times a second each cell's position is compared with the clock,
// a small drift corrected by nudging the player's speed, a larger one by a seek. A start or a
// seek holds the clock until every cell shows its first picture of that moment, so that they
// all start together. A cell without a recording at the moment waits for one; a cell whose
// gateway does not answer says so and is tried again now and then, the others playing on.
// What each cell's stream has recorded, and where its gateway is, comes from the stream's
// shared StreamHistory, the same the recorded page shows.
class LayoutPlayback : public QObject
{
    Q_OBJECT
    Q_PROPERTY(StreamHistories *histories READ histories WRITE setHistories NOTIFY historiesChanged)
    Q_PROPERTY(LayoutClock *clock READ clock CONSTANT)
    // Every cell's recorded spans under one stream key, for the shared timeline.
    Q_PROPERTY(RecordingIndex *index READ index CONSTANT)
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    // The operator's pause; the clock also stops while cells are brought to a new moment.
    Q_PROPERTY(bool paused READ paused NOTIFY pausedChanged)
    // Cell key -> "searching", "starting", "playing", "noRecording", "searchFailed" or
    // "gatewayDown".
    Q_PROPERTY(QVariantMap cellStates READ cellStates NOTIFY cellStatesChanged)
    // Counts the notices of cellStates: a cell binds it with stateOf(its key), which reads its
    // own state without the map of every cell's.
    Q_PROPERTY(int statesRevision READ statesRevision NOTIFY cellStatesChanged)

public:
    static constexpr qint64 kInStepMs = 200;

    explicit LayoutPlayback(QObject *parent = nullptr);
    ~LayoutPlayback() override;

    StreamHistories *histories() const { return m_histories; }
    void setHistories(StreamHistories *histories);
    LayoutClock *clock() { return &m_clock; }
    RecordingIndex *index() { return &m_merged; }
    bool active() const { return m_active; }
    bool paused() const { return m_userPaused; }
    QVariantMap cellStates() const;
    int statesRevision() const { return m_statesRevision; }
    // The state of the cell of `key` (as in cellStates), empty for none.
    Q_INVOKABLE QString stateOf(int key) const;

    // A camera cell taking part, by its key in the layout; registered again it is replaced.
    Q_INVOKABLE void addCell(int key, MpvObject *player, const QString &streamId);
    Q_INVOKABLE void removeCell(int key);

    Q_INVOKABLE void start(qint64 t);
    // Back to live: the cells' players are left stopped, at rate 1, unpaused.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void setRate(double rate);
    Q_INVOKABLE void seek(qint64 t);
    Q_INVOKABLE void stepFrame(int direction);
    // The moment a cell shows, -1 when it plays nothing.
    Q_INVOKABLE qint64 cellTime(int key) const;
    // "open" or "closed" after the last door.OPENED or door.CLOSED event of `sensorId` at or
    // before `t`; empty when the list holds none.
    Q_INVOKABLE static QString doorStateAt(EventList *events, const QString &sensorId, qint64 t);

signals:
    void historiesChanged();
    void activeChanged();
    void pausedChanged();
    void cellStatesChanged();

private:
    struct Cell;

    void cue(Cell &cell, qint64 t, bool held);
    void hold(qint64 t);
    void releaseIfReady();
    void release();
    void tick();
    void follow(Cell &cell, qint64 moment);
    void keepInStep(Cell &cell, qint64 moment);
    void waitForRecording(Cell &cell, qint64 moment);
    void noRecording(Cell &cell);
    // Searches what the stream's history says is to be searched (again) of [from, to).
    void search(Cell &cell, qint64 from, qint64 to);
    void onChunks(int key, qint64 from, qint64 to, const QVariantList &chunks);
    // A search of the cell's stream failed or took too long: the cell says so.
    void searchFailed(int key, qint64 from, qint64 to);
    void onUnavailable(int key);
    // Tells a gateway that is down from a recording it refused: a connection is tried.
    void probeGateway(Cell &cell);
    void setState(Cell &cell, const QString &state);
    void setActive(bool active);
    void setUserPaused(bool paused);
    qint64 now() const { return m_wall.elapsed(); }

    QPointer<StreamHistories> m_histories;
    LayoutClock m_clock;
    RecordingIndex m_merged;
    std::map<int, std::unique_ptr<Cell>> m_cells;
    bool m_active = false;
    bool m_userPaused = false;
    bool m_holding = false;
    QTimer m_step;
    QTimer m_holdLimit;
    QTimer m_statesNotice;
    int m_statesRevision = 0;
    QElapsedTimer m_wall;
};
