#pragma once

#include <QHash>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <memory>

class StreamHistory;
class ZarnClient;
class ZarnObjectsRepository;

// The one StreamHistory of each stream of each event server, made when first asked for and
// kept for the console's life, so that every screen showing the past of a stream shares what
// is known of it. A history belongs to the server signed in to when it was made ("host:port"):
// a second site whose stream ids are the same small numbers gets histories of its own. The
// client's answers to chunk searches and stream information go to the history of the stream on
// the server signed in to now.
class StreamHistories : public QObject
{
    Q_OBJECT

public:
    explicit StreamHistories(QObject *parent = nullptr);
    ~StreamHistories() override;

    void setClient(ZarnClient *client);
    void setRepository(ZarnObjectsRepository *repository);

    // "host:port" of the event server the client signs in to.
    QString server() const;
    static QString serverOf(const ZarnClient *client);
    // The history of `streamId` on the current server; null for an empty id. Owned here.
    Q_INVOKABLE StreamHistory *of(const QString &streamId);
    // The same for a given server, whatever the client is signed in to.
    StreamHistory *of(const QString &server, const QString &streamId);

private:
    StreamHistory *current(const QString &streamId) const;

    QPointer<ZarnClient> m_client;
    QPointer<ZarnObjectsRepository> m_repository;
    QHash<QPair<QString, QString>, StreamHistory *> m_histories;
};
