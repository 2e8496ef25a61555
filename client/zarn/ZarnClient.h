#pragma once

#include <zarn/Client.h>
#include <zarn/Connection.h>
#include <zarn/Context.h>
#include <zarn/Event.h>
#include <zarn/HandlerError.h>
#include <zarn/Logger.h>
#include <zarn/Object.h>
#include <zarn/Value.h>
#include <zarn/ValuePtr.h>

#include "ConnectionWatch.h"
#include "ZarnObjectsRepository.h"

#include <QLoggingCategory>

// One info line per pushed value, always logged: "sensorChanged: id(" and "Actr changed: id("
// are the trace an operator follows to a door fault. A busy server pushes thousands a second;
// the log file's cap per second bounds them.
Q_DECLARE_LOGGING_CATEGORY(lcZarnValues)

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The console's one way to the event server: connection, sign-in, the object tree and the
// server operations. It lives on the GUI thread; the library calls back on its own I/O thread,
// so everything that touches Qt objects is posted back to this object's thread first.
class RepositoryBuilder;

class ZarnClient : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString host READ host WRITE setHost NOTIFY hostChanged)
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY usernameChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(ZarnObjectsRepository *repository READ repository WRITE setRepository NOTIFY
                   repositoryChanged)
    Q_PROPERTY(QString status READ status WRITE setStatus NOTIFY statusChanged)

public:
    enum CommonDynAttribId { AttrLayout = 1 };
    Q_ENUM(CommonDynAttribId)
    enum ConnectionState { Closed = 0, Opening = 1, Open = 2, Closing = 3 };
    Q_ENUM(ConnectionState)
    enum StreamBindingType { Proxy = 1, Storage = 2, ProxyStorage = 3 };
    Q_ENUM(StreamBindingType)
    enum ChunkSearchBy { START = 0, END = 1 };
    Q_ENUM(ChunkSearchBy)

    using Objects = std::vector<ardix::zarn::Object>;

    explicit ZarnClient(QObject *parent = nullptr);
    ~ZarnClient() override;

    QString host() const { return m_host; }
    void setHost(const QString &host);
    int port() const { return m_port; }
    void setPort(int port);
    QString username() const { return m_username; }
    void setUsername(const QString &username);
    QString password() const { return m_password; }
    void setPassword(const QString &password);
    ZarnObjectsRepository *repository() const { return m_repository; }
    void setRepository(ZarnObjectsRepository *repository);
    QString status() const { return m_status; }
    void setStatus(const QString &status);

    Q_INVOKABLE void connectToZarn();
    Q_INVOKABLE void login();
    Q_INVOKABLE void fetchObjects();

    Q_INVOKABLE void sendCtrlEvent(QString destId, QString cls, QVariantMap fields);
    Q_INVOKABLE void createAttr(QString objId, QString attr, QVariant value);
    Q_INVOKABLE void getAttr(QString objId, QString attr);
    Q_INVOKABLE void setAttr(QString objId, QString attr, QVariant value);
    Q_INVOKABLE void removeAttr(QString objId, QString attr);
    Q_INVOKABLE void bindStream(QString streamId, QString deviceId, StreamBindingType type);
    Q_INVOKABLE void unbindStream(QString streamId, QString deviceId);
    Q_INVOKABLE void searchChunks(QString streamId, int searchBy, qlonglong start, qlonglong end);
    Q_INVOKABLE void getStreamGatewayInfo(QString deviceId, QString streamId);
    // The chunks of a stream that meet [from, to): the answer names the stream and the range
    // it was asked for, and a failure is reported, so that several searches may run at once.
    Q_INVOKABLE void searchRecordedChunks(QString streamId, qlonglong from, qlonglong to);

    // A door actuator's state; the answer arrives like an actuator push.
    void getActrValue(const QString &id);
    // Commands an actuator; the object's value follows only when the server reports it.
    void setActrValue(const QString &id, bool value);

    // Pass-throughs to the library. They may be called from any thread: off this object's
    // thread the request is posted here first, because the library handles are replaced on
    // this thread by connectToZarn. ok/fail run on the library's I/O thread.
    void getObjects(ardix::zarn::Client::ObjectsOk success, ardix::zarn::Client::Fail failure);
    void getDynamicAttribute(qint64 objectId, const QString &name,
                             ardix::zarn::Client::AttributesOk success,
                             ardix::zarn::Client::Fail failure);
    // Loads the server's object tree into the repository. The objects are made part by part
    // as the list arrives and linked in slices, so that the screen keeps drawing through a
    // large site's load. `loaded` runs on this object's thread once the repository holds the
    // new tree; `failed` runs on the library's thread instead. A later load replaces this one.
    void loadObjects(std::function<void()> loaded, ardix::zarn::Client::Fail failed);
    // Loads an object list into the repository. Callable from any thread; the rebuild itself
    // always runs on this object's thread, after this call has returned when called elsewhere.
    void updateRepository(const Objects &objects, qint64 rootId);

    static QVariant zarnValToVariant(const ardix::zarn::Value &value);

    // How often the signed-in connection is probed and how long an answer may take.
    void setKeepAliveTimes(int intervalMs, int deadlineMs);

signals:
    void hostChanged();
    void portChanged();
    void usernameChanged();
    void passwordChanged();
    void repositoryChanged();
    void statusChanged();
    void connected();
    void connectError(QString message);
    void connectionStateChanged(int state, int prevState);
    void loggedIn(qlonglong id);
    void loginError(QString message);
    void loggedOut();
    void error(QString message);
    void signEventReceived(QVariantMap event);
    // The same event for the console's event list, with what the list needs besides: "time"
    // (the server's, ms since the epoch; 0 when it gave none) and "fieldsText" (the raw
    // "fields" text when it was not a JSON object, cut to 1000 characters).
    void eventArrived(QVariantMap event);
    void dynamicAttributeReceived(QString id, QVariantMap attrs);
    void streamChunksReceived(QVariantList chunks);
    void streamInfoReceived(QString deviceId, QString streamId, QString token, QString addr);
    void recordedChunksReceived(QString streamId, qlonglong from, qlonglong to,
                                QVariantList chunks);
    void recordedChunksFailed(QString streamId, qlonglong from, qlonglong to, QString reason);

private:
    void handleLibraryLog(const std::string &text, ardix::zarn::LogLevel level);
    void handleConnectionState(ardix::zarn::Connection::State state,
                               ardix::zarn::Connection::State previous);
    void handleConnectionError(const ardix::zarn::ConnectionError &error);
    // GUI-thread side of a connection that broke, closed or stopped answering.
    void connectionLost(quint64 session);
    void signedIn(qint64 id, quint64 session);
    void sendKeepAlive(quint64 token);
    void keepAliveExpired();
    void updateObjectData();
    void handleEvent(const ardix::zarn::Event &event);
    // session: the connectToZarn call whose library objects reported the value.
    void handleSensorValue(std::int64_t id, ardix::zarn::ValuePtr value, quint64 session);
    void handleActuatorValue(std::int64_t id, ardix::zarn::ValuePtr value, quint64 session);
    void operationError(const ardix::zarn::HandlerError &error, const std::string &text);

    // GUI-thread halves of the pushes and of the rebuild.
    void applySensorValue(qint64 id, const QVariant &value, quint64 session);
    void applyActuatorValue(qint64 id, const ardix::zarn::ValuePtr &value, quint64 session);
    void rebuild(const Objects &objects, qint64 rootId);
    void linkSlice(quint64 load);
    // Puts the finished tree in the repository and releases the previous one.
    void installTree();
    void releaseOldTree();
    void rememberValue(const QString &id, bool value);
    void restoreValues();

    QString m_host;
    int m_port = 0;
    QString m_username;
    QString m_password;
    ardix::zarn::Context m_context;
    ardix::zarn::Connection m_connection;
    ardix::zarn::Client m_client;
    ZarnObjectsRepository *m_repository = nullptr;
    QString m_status;
    // Last value the server reported per object id, so that a value pushed while a rebuild
    // was on its way survives onto the object of the new tree.
    QHash<QString, bool> m_lastValues;
    // Counts connectToZarn calls, so that a value still on its way from an earlier
    // connection is not remembered for the objects of the next one.
    quint64 m_session = 0;
    // Whether the current session has signed in and not lost its connection since.
    bool m_signedIn = false;
    ConnectionWatch *m_watch = nullptr;
    // The load of the tree under way, and its number: each load or rebuild takes the next.
    std::unique_ptr<RepositoryBuilder> m_builder;
    quint64 m_load = 0;
    // What loadObjects' callers asked to run once a tree is in.
    std::vector<std::function<void()>> m_whenLoaded;
    // Where a load links the new tree, and the previous tree while it is released.
    ZarnObjectsRepository m_staging;
    ZarnObjectsRepository m_retired;
};
