#pragma once

#include "ZarnObjectsRepository.h"

#include <QObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

class EventList;
class PosReceiver;

// The console's transaction rules: every till text received live that holds one of the words
// of the setting "Events/posWords" (whole words, any case) becomes a "pos.RULE" event of its
// stream, with the receipt as its text. It listens to every stream whose gateway publishes
// texts, whether a cell shows it or not.
class PosRuleWatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject *receiver READ receiver WRITE setReceiver NOTIFY receiverChanged)
    Q_PROPERTY(EventList *events READ events WRITE setEvents NOTIFY eventsChanged)
    Q_PROPERTY(ZarnObjectsRepository *repository READ repository WRITE setRepository NOTIFY
                   repositoryChanged)
    Q_PROPERTY(QStringList words READ words NOTIFY wordsChanged)

public:
    static constexpr const char *kWordsKey = "Events/posWords";
    static constexpr const char *kDefaultWords = "VOID, REFUND, NO SALE";
    static constexpr const char *kClass = "pos.RULE";

    explicit PosRuleWatcher(QObject *parent = nullptr);
    ~PosRuleWatcher() override;

    QObject *receiver() const;
    void setReceiver(QObject *receiver);
    EventList *events() const { return m_events; }
    void setEvents(EventList *events);
    ZarnObjectsRepository *repository() const { return m_repository; }
    void setRepository(ZarnObjectsRepository *repository);
    QStringList words() const { return m_words; }

    // The word of the rules that the text holds; empty when none.
    QString match(const QString &text) const;
    // Reads the words from the settings again.
    Q_INVOKABLE void reloadWords();

signals:
    void receiverChanged();
    void eventsChanged();
    void repositoryChanged();
    void wordsChanged();

private:
    struct Channel
    {
        QString address;
        int port = 0;
        QString streamId;
        bool operator==(const Channel &o) const
        {
            return address == o.address && port == o.port && streamId == o.streamId;
        }
    };
    friend uint qHash(const Channel &c, uint seed) { return qHash(c.streamId, seed) ^ c.port; }

    void onText(const QString &channel, const QString &text);
    void subscribeAll();
    void unsubscribeAll();
    QSet<Channel> channelsOfSite() const;

    QPointer<PosReceiver> m_receiver;
    QPointer<EventList> m_events;
    QPointer<ZarnObjectsRepository> m_repository;
    QStringList m_words;
    QRegularExpression m_pattern;
    QSet<Channel> m_subscribed;
};
