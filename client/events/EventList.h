#pragma once

#include "EventRecord.h"
#include "ZarnObjectsRepository.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

class EventArchive;

// The console's events, newest first: those the event server pushes and those the console's
// own rules raise, each new until an operator acknowledges it. Kept in the local store across
// runs, at most EventStore::kMaxEvents and 30 days. Arrivals are taken in batches (one model
// change per batch however fast they come), so a flood keeps the screens responsive.
class EventList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int newCount READ newCount NOTIFY newCountChanged)
    // Who acknowledges: the signed-in user.
    Q_PROPERTY(QString user READ user WRITE setUser NOTIFY userChanged)
    // The classes of events an operator must not miss (setting Events/alarmClasses): while new
    // they sound, come first and keep their cells flashing until acknowledged.
    Q_PROPERTY(
        QStringList alarmClasses READ alarmClasses WRITE setAlarmClasses NOTIFY alarmClassesChanged)
    // Grows each time the sources with a new alarm change; bindings on hasNewAlarm() follow it.
    Q_PROPERTY(int alarmRevision READ alarmRevision NOTIFY newAlarmsChanged)

public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        TimeRole,
        ServerIdRole,
        SourceIdRole,
        SourceRole,
        SourcePathRole,
        ClassRole,
        TextRole,
        IsNewRole,
        AckTimeRole,
        AckByRole,
        // When the console received it (ms since the epoch), by its own clock.
        ArrivalRole,
        // Its class is one of alarmClasses.
        IsAlarmRole,
    };
    Q_ENUM(Role)

    // The alarm classes when the settings name none.
    static QStringList defaultAlarmClasses() { return {QStringLiteral("door.FORCED")}; }

    // How long arrivals gather before they enter the list.
    static constexpr int kBatchMs = 50;
    // How often events past the age the console keeps leave the list and the store.
    static constexpr int kAgeCheckMs = 3600000;

    // `fileName` empty keeps nothing on disk.
    explicit EventList(const QString &fileName = QStringLiteral("data.sqlite"),
                       QObject *parent = nullptr);
    ~EventList() override;

    void setRepository(ZarnObjectsRepository *repository);
    ZarnObjectsRepository *repository() const { return m_repository; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return m_events.size(); }
    int newCount() const { return m_newCount; }
    QString user() const { return m_user; }
    void setUser(const QString &user);
    const EventRecord &at(int row) const { return m_events.at(row); }
    QStringList alarmClasses() const { return m_alarmClasses; }
    void setAlarmClasses(const QStringList &classes);
    bool isAlarm(const EventRecord &e) const { return m_alarmClasses.contains(e.cls); }
    int alarmRevision() const { return m_alarmRevision; }
    // Whether a new (unacknowledged) event of an alarm class came from one of these sources.
    Q_INVOKABLE bool hasNewAlarm(const QStringList &sourceIds) const;
    // The row of a key, -1 when it is not in the list.
    int rowOfKey(qint64 key) const;

    // An event pushed by the server, as the event client emits it.
    void addServerEvent(const QVariantMap &event);
    // An event of the console's own (a rule), from a source, now.
    Q_INVOKABLE void addLocal(const QString &sourceId, const QString &cls, const QString &text);
    // An event the console raised of what the signed-in operator did: acknowledged by them at once.
    void addDone(const QString &sourceId, const QString &cls, const QString &text);
    Q_INVOKABLE void acknowledge(qint64 key);
    Q_INVOKABLE void acknowledgeAll();
    void acknowledgeKeys(const QVector<qint64> &keys);
    // The distinct classes and sources (each {"id", "name"}) of the listed events, for filters.
    Q_INVOKABLE QStringList classes() const;
    Q_INVOKABLE QVariantList sources() const;
    // The stream that shows an event's source; empty when none does.
    Q_INVOKABLE QString streamFor(const QString &sourceId) const;
    // The gateway (device) a stream belongs to, for opening its recordings.
    Q_INVOKABLE QString deviceOf(const QString &streamId) const;

    // Arrivals not yet in the list enter it now.
    void flush();

signals:
    void countChanged();
    void newCountChanged();
    void userChanged();
    // New events entered the list from these sources (each named once per batch).
    void arrived(QStringList sourceIds);
    // Among them, events of an alarm class, of these classes (each named once per batch).
    void alarmsArrived(QStringList classes);
    void alarmClassesChanged();
    void newAlarmsChanged();

private:
    // An event the console raises itself, now, its class and text made one line.
    static EventRecord localRecord(const QString &sourceId, const QString &cls,
                                   const QString &text);
    void enqueue(EventRecord record);
    void dropExpired();
    void onLoaded(const EventRecords &stored);
    void dropBeyondLimit();
    // Names the sources that were only ids when their events arrived, now that the tree
    // knows them (an event can come while the tree is still loading).
    void nameUnnamedSources();
    void setAcknowledged(int row, const QString &by, qint64 when);
    qint64 nextKey();
    // Finds again which sources have a new alarm; says so when that changed.
    void recountAlarms();

    EventRecords m_events;
    EventRecords m_pending;
    QTimer m_batch;
    QTimer m_ageCheck;
    // Until the store has said what it keeps, arrivals wait: their keys must follow its keys.
    bool m_loaded = true;
    int m_newCount = 0;
    qint64 m_lastKey = 0;
    QString m_user;
    QStringList m_alarmClasses = defaultAlarmClasses();
    // Source id -> its new events of an alarm class.
    QHash<QString, int> m_newAlarms;
    int m_alarmRevision = 0;
    QPointer<ZarnObjectsRepository> m_repository;
    EventArchive *m_archive = nullptr;
};
