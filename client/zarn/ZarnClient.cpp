#include "ZarnClient.h"

#include "RepositoryBuilder.h"
#include "ThreadHandOver.h"
#include "Utils.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <zarn/BindingPair.h>
#include <zarn/ConnectionError.h>
#include <zarn/NameValueMap.h>
#include <zarn/StreamChunk.h>
#include <zarn/StreamInfo.h>

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlEngine>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <limits>
#include <unordered_map>

namespace zarn = ardix::zarn;

Q_LOGGING_CATEGORY(lcZarnValues, "zarn.values", QtInfoMsg)

namespace {

void registerZarnClient()
{
    qmlRegisterType<ZarnClient>("Native", 1, 0, "ZarnClient");
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QString errorText(const zarn::HandlerError &error)
{
    return fromUtf8(error.text());
}

const char *boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZarnClient)

ZarnClient::ZarnClient(QObject *parent)
    : QObject(parent)
    , m_watch(new ConnectionWatch([this](quint64 token) { sendKeepAlive(token); }, this))
{
    connect(m_watch, &ConnectionWatch::lost, this, &ZarnClient::keepAliveExpired);
}

void ZarnClient::setKeepAliveTimes(int intervalMs, int deadlineMs)
{
    m_watch->setTimes(intervalMs, deadlineMs);
}

ZarnClient::~ZarnClient() = default;

void ZarnClient::setHost(const QString &host)
{
    if (host == m_host)
        return;
    m_host = host;
    emit hostChanged();
}

void ZarnClient::setPort(int port)
{
    if (port == m_port)
        return;
    m_port = port;
    emit portChanged();
}

void ZarnClient::setUsername(const QString &username)
{
    if (username == m_username)
        return;
    m_username = username;
    emit usernameChanged();
}

void ZarnClient::setPassword(const QString &password)
{
    if (password == m_password)
        return;
    m_password = password;
    emit passwordChanged();
}

void ZarnClient::setRepository(ZarnObjectsRepository *repository)
{
    if (repository == m_repository)
        return;
    m_repository = repository;
    emit repositoryChanged();
}

void ZarnClient::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}

void ZarnClient::connectToZarn()
{
    // What an earlier connection reported says nothing about this one's objects.
    m_lastValues.clear();
    const quint64 session = ++m_session;
    m_signedIn = false;
    m_watch->stop();

    m_context = zarn::Context(zarn::Logger(
        [this](const std::string &text, zarn::LogLevel level) { handleLibraryLog(text, level); },
        zarn::LogLevel::Warning));

    zarn::ConnectionCallbacks connectionCallbacks;
    connectionCallbacks.stateChanged = [this, session](zarn::Connection::State state,
                                                       zarn::Connection::State previous) {
        handleConnectionState(state, previous);
        if (state == zarn::Connection::Closed) {
            // The library's thread; the session state lives on this object's thread.
            ThreadHandOver::post(
                this, [this, session] { connectionLost(session); }, Qt::QueuedConnection);
        }
    };
    connectionCallbacks.error = [this, session](const zarn::ConnectionError &e) {
        handleConnectionError(e);
        // The library's thread; the session state lives on this object's thread.
        ThreadHandOver::post(
            this, [this, session] { connectionLost(session); }, Qt::QueuedConnection);
    };
    m_connection = zarn::Connection(std::move(connectionCallbacks), m_context);

    zarn::ClientCallbacks clientCallbacks;
    clientCallbacks.objectsChanged = [this] { updateObjectData(); };
    clientCallbacks.event = [this](const zarn::Event &event) { handleEvent(event); };
    clientCallbacks.broadcastEvent = [](const zarn::Event &) {};
    clientCallbacks.sensorValue = [this, session](std::int64_t id, zarn::ValuePtr value) {
        handleSensorValue(id, std::move(value), session);
    };
    clientCallbacks.actuatorValue = [this, session](std::int64_t id, zarn::ValuePtr value) {
        handleActuatorValue(id, std::move(value), session);
    };
    m_client = zarn::Client(std::move(clientCallbacks), m_connection);

    // Both answers come on the library's thread; the signals go out on this object's thread.
    m_connection.open(
        m_host.toStdString(), m_port,
        [this] {
            ThreadHandOver::post(
                this, [this] { emit connected(); }, Qt::AutoConnection);
        },
        [this](const zarn::ConnectionError &e) {
            ThreadHandOver::post(
                this, [this, text = fromUtf8(e.text())] { emit connectError(text); },
                Qt::AutoConnection);
        });
}

void ZarnClient::login()
{
    const quint64 session = m_session;
    m_client.signIn(
        m_username.toStdString(), m_password.toStdString(),
        [this, session](std::int64_t id) {
            // The library's thread; the keep-alive timers live on this object's thread.
            ThreadHandOver::post(
                this, [this, id, session] { signedIn(id, session); }, Qt::QueuedConnection);
        },
        [this](const zarn::HandlerError &e) {
            // A connection that broke during the sign-in is no answer to the credentials.
            const bool broken = e.code() >= zarn::HandlerError::NotConnected;
            // The library's thread; the signals go out on this object's thread.
            ThreadHandOver::post(
                this,
                [this, broken, text = errorText(e)] {
                    if (broken)
                        emit connectError(text);
                    else
                        emit loginError(text);
                },
                Qt::AutoConnection);
        });
}

void ZarnClient::signedIn(qint64 id, quint64 session)
{
    if (session != m_session)
        return;
    m_signedIn = true;
    m_watch->start();
    emit loggedIn(id);
}

void ZarnClient::connectionLost(quint64 session)
{
    if (session != m_session || !m_signedIn)
        return;
    m_signedIn = false;
    m_watch->stop();
    emit loggedOut();
}

void ZarnClient::sendKeepAlive(quint64 token)
{
    // The cheapest request the server answers: an actuator that does not exist. Any answer,
    // an error included, shows that the server is there; only a broken connection fails
    // with a code of the library's own.
    auto answered = [this, token] {
        // The library's thread; the watch lives on this object's thread.
        ThreadHandOver::post(
            this, [this, token] { m_watch->answered(token); }, Qt::QueuedConnection);
    };
    m_client.getActuatorValue(
        0, [answered](const zarn::ValuePtr &) { answered(); },
        [answered](const zarn::HandlerError &e) {
            if (e.code() < zarn::HandlerError::NotConnected)
                answered();
        });
}

void ZarnClient::keepAliveExpired()
{
    qWarning() << "The event server does not answer; closing the connection";
    const quint64 session = m_session;
    m_connection.close();
    connectionLost(session);
}

void ZarnClient::fetchObjects()
{
    loadObjects(nullptr, [this](const zarn::HandlerError &e) {
        // The library's thread; the signal goes out on this object's thread.
        ThreadHandOver::post(
            this, [this, text = errorText(e)] { emit error(text); }, Qt::AutoConnection);
    });
}

void ZarnClient::loadObjects(std::function<void()> loaded, zarn::Client::Fail failed)
{
    if (QThread::currentThread() != thread()) {
        // The library handles are replaced on this thread; reading them elsewhere would race.
        ThreadHandOver::post(
            this, [this, loaded, failed] { loadObjects(loaded, failed); }, Qt::QueuedConnection);
        return;
    }
    // A newer load replaces one still on its way: its parts and slices find their number gone.
    const quint64 load = ++m_load;
    // A load that replaces one under way takes over its callers: they wait for a tree.
    if (loaded)
        m_whenLoaded.push_back(std::move(loaded));
    m_builder = std::make_unique<RepositoryBuilder>();
    m_client.getObjectsInParts(
        [this, load](Objects part) {
            // The library's thread: the objects are made on this object's thread, part by
            // part, while the next parts are still being decoded.
            ThreadHandOver::post(
                this,
                [this, load, copy = std::move(part)]() mutable {
                    const Objects taken = std::move(copy);
                    if (load == m_load && m_builder)
                        m_builder->addPart(taken);
                },
                Qt::AutoConnection);
        },
        [this, load](std::int64_t rootId) {
            ThreadHandOver::post(
                this,
                [this, load, rootId] {
                    if (load != m_load || !m_builder)
                        return;
                    m_builder->setRoot(rootId);
                    m_staging.clear(); // what a load replaced half-way left there
                    linkSlice(load);
                },
                Qt::AutoConnection);
        },
        [this, load, failed](const zarn::HandlerError &e) {
            ThreadHandOver::post(
                this,
                [this, load, text = errorText(e),
                 refused = e.code() == zarn::HandlerError::AnswerTooLarge] {
                    if (load != m_load)
                        return;
                    m_builder.reset();
                    m_whenLoaded.clear();
                    qWarning().noquote() << "The object tree could not be loaded:" << text;
                    // A broken connection is said elsewhere, and the tree loads again after
                    // the next sign-in; a tree over the limit is refused for good.
                    if (m_repository && refused)
                        m_repository->setNotice(tr("The site's tree is not shown: %1").arg(text));
                },
                Qt::AutoConnection);
            if (failed)
                failed(e);
        });
}

void ZarnClient::linkSlice(quint64 load)
{
    if (load != m_load || !m_builder || !m_repository)
        return;
    // A slice at a time, so that the screen is drawn between them.
    constexpr std::chrono::milliseconds kSlice(8);
    if (!m_builder->link(m_staging, kSlice)) {
        QTimer::singleShot(0, this, [this, load] { linkSlice(load); });
        return;
    }
    installTree();
}

void ZarnClient::installTree()
{
    const QString notice = m_builder->notice();
    m_builder.reset();
    m_repository->swapContents(m_staging);
    m_retired.clear();
    m_retired.swapContents(m_staging);
    // Each kind was warned about object by object already.
    if (!notice.isEmpty())
        qInfo().noquote() << "Object tree:" << notice;
    m_repository->setNotice(notice);
    restoreValues();
    emit m_repository->dataChanged();
    releaseOldTree();
    const auto calls = std::move(m_whenLoaded);
    m_whenLoaded.clear();
    for (const auto &call : calls)
        call();
}

void ZarnClient::releaseOldTree()
{
    // The previous tree goes a slice at a time too: freeing 100 000 objects takes longer than
    // building them.
    if (!m_retired.releaseSome(5000))
        QTimer::singleShot(0, this, &ZarnClient::releaseOldTree);
}

void ZarnClient::getObjects(zarn::Client::ObjectsOk success, zarn::Client::Fail failure)
{
    if (QThread::currentThread() != thread()) {
        // The library handles are replaced on this thread; reading them elsewhere would race.
        ThreadHandOver::post(
            this, [this, success, failure] { getObjects(success, failure); }, Qt::QueuedConnection);
        return;
    }
    m_client.getObjects(std::move(success), std::move(failure));
}

void ZarnClient::getDynamicAttribute(qint64 objectId, const QString &name,
                                     zarn::Client::AttributesOk success, zarn::Client::Fail failure)
{
    if (QThread::currentThread() != thread()) {
        // The library handles are replaced on this thread; reading them elsewhere would race.
        ThreadHandOver::post(
            this,
            [this, objectId, name, success, failure] {
                getDynamicAttribute(objectId, name, success, failure);
            },
            Qt::QueuedConnection);
        return;
    }
    m_client.getDynamicAttribute(objectId, name.toStdString(), std::move(success),
                                 std::move(failure));
}

void ZarnClient::updateRepository(const Objects &objects, qint64 rootId)
{
    // Called from the library's thread as well: the repository and its objects belong to this
    // object's thread, so the rebuild goes there (at once when already on it).
    // The rebuild takes the list over, so that this thread drops its references to the
    // library's objects itself instead of leaving that to whichever thread frees the call.
    ThreadHandOver::post(
        this,
        [this, copy = objects, rootId]() mutable {
            const Objects taken = std::move(copy);
            rebuild(taken, rootId);
        },
        Qt::AutoConnection);
}

void ZarnClient::handleLibraryLog(const std::string &text, zarn::LogLevel)
{
    // Runs on the library's thread; logging touches no object. The context passes warnings
    // and errors only: why a connection failed or broke, and what the server sent wrong.
    qWarning().noquote() << "zarn:" << fromUtf8(text);
}

void ZarnClient::handleConnectionState(zarn::Connection::State state,
                                       zarn::Connection::State previous)
{
    // The library's thread; the signal goes out on this object's thread.
    ThreadHandOver::post(
        this, [this, state, previous] { emit connectionStateChanged(state, previous); },
        Qt::AutoConnection);
}

void ZarnClient::handleConnectionError(const zarn::ConnectionError &e)
{
    qDebug() << "Connection error " << e.code() << ": " << fromUtf8(e.text());
}

void ZarnClient::updateObjectData()
{
    qDebug() << "void ZarnClient::updateObjectData()";
    loadObjects(nullptr, [this](const zarn::HandlerError &e) { operationError(e, e.text()); });
}

void ZarnClient::operationError(const zarn::HandlerError &, const std::string &)
{
    qDebug() << "void ZarnClient::operationError(const ardix::zarn::HandlerError&, const string&)";
}

// ---- Rebuild -------------------------------------------------------------------------------

void ZarnClient::rebuild(const Objects &objects, qint64 rootId)
{
    if (!m_repository)
        return;
    // The latest list wins over a load still on its way.
    ++m_load;
    m_builder = std::make_unique<RepositoryBuilder>();
    m_builder->addPart(objects);
    m_builder->setRoot(rootId);
    m_staging.clear();
    m_builder->link(m_staging, std::chrono::nanoseconds::max());
    installTree();
}

// ---- Pushed values -------------------------------------------------------------------------

void ZarnClient::handleSensorValue(std::int64_t id, zarn::ValuePtr value, quint64 session)
{
    QVariant variant;
    switch (value->kind()) {
    case zarn::BoolValue::Kind:
        variant = QVariant(value->toBool());
        break;
    case zarn::IntValue::Kind: {
        // A reading that does not fit 32 bits keeps its width, so that a non-zero reading
        // never turns into 0 (and the door into "open") by truncation.
        const std::int64_t v = value->toInt64();
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            variant = QVariant(static_cast<int>(v));
        else
            variant = QVariant(static_cast<qlonglong>(v));
        break;
    }
    default:
        break;
    }
    // Runs on the library's thread; the objects live on this object's thread. Posting keeps
    // the server's order, also relative to a rebuild posted the same way.
    ThreadHandOver::post(
        this, [this, id, variant, session] { applySensorValue(id, variant, session); },
        Qt::AutoConnection);
}

void ZarnClient::applySensorValue(qint64 id, const QVariant &value, quint64 session)
{
    if (!m_repository)
        return;
    const QString key = QString::number(id);
    if (value.isValid() && session == m_session)
        rememberValue(key, value.toBool());
    const auto object = m_repository->find(key);
    if (!object)
        return;
    if (value.isValid())
        object->setValue(value);
    qCInfo(lcZarnValues) << "sensorChanged: id(" << id << ") p(" << value << ")";
}

void ZarnClient::handleActuatorValue(std::int64_t id, zarn::ValuePtr value, quint64 session)
{
    // Runs on the library's thread; the objects live on this object's thread. Posting keeps
    // the server's order, also relative to a rebuild posted the same way.
    ThreadHandOver::post(
        this, [this, id, value, session] { applyActuatorValue(id, value, session); },
        Qt::AutoConnection);
}

void ZarnClient::applyActuatorValue(qint64 id, const zarn::ValuePtr &value, quint64 session)
{
    if (!m_repository)
        return;
    const QString key = QString::number(id);
    QVariant state;
    if (value->kind() == zarn::BoolValue::Kind)
        state = value->toBool();
    else if (value->kind() == zarn::IntValue::Kind)
        state = value->toInt64() != 0; // all 64 bits: 2^32 is not "off"
    if (state.isValid() && session == m_session)
        rememberValue(key, state.toBool());

    const auto object = m_repository->find(key);
    if (!object) {
        qWarning() << "Actuator not found:" << id;
        return;
    }
    if (state.isValid())
        object->setValue(state);
    qCInfo(lcZarnValues) << "Actr changed: id(" << key << ")";
}

void ZarnClient::rememberValue(const QString &id, bool value)
{
    m_lastValues.insert(id, value);
}

void ZarnClient::restoreValues()
{
    // Values reported before this tree arrived still hold; ids the tree no longer has are
    // forgotten so the table stays as large as the tree.
    for (auto it = m_lastValues.begin(); it != m_lastValues.end();) {
        const auto object = m_repository->find(it.key());
        if (!object) {
            it = m_lastValues.erase(it);
            continue;
        }
        object->setValue(it.value());
        ++it;
    }
}

// ---- Operations ----------------------------------------------------------------------------

void ZarnClient::getActrValue(const QString &id)
{
    qDebug() << "Requesting actr value for" << id;
    const std::int64_t numericId = id.toLongLong();
    m_client.getActuatorValue(
        numericId,
        [this, numericId, session = m_session](zarn::ValuePtr value) {
            qDebug() << "Got actr value:" << boolText(value->toBool());
            handleActuatorValue(numericId, value, session);
        },
        [](const zarn::HandlerError &e) { qDebug() << "getActrValue error:" << errorText(e); });
}

void ZarnClient::setActrValue(const QString &id, bool value)
{
    m_client.setActuatorValue(
        id.toLongLong(), zarn::BoolValue(value),
        [id, value] { qDebug() << "setActrValue ok, " << id << " => " << boolText(value); },
        [](const zarn::HandlerError &e) { qDebug() << "setActrValue => Error: " << errorText(e); });
}

void ZarnClient::createAttr(QString objId, QString attr, QVariant value)
{
    qInfo() << "Creating dyn attribute:" << attr << ", for:" << objId;
    m_client.createDynamicAttribute(
        objId.toLongLong(), attr.toStdString(), zarn::StringValue(value.toString().toStdString()),
        [] { qInfo() << "DynAttr created"; },
        [](const zarn::HandlerError &e) { qInfo() << "DynAttr creation failed:" << errorText(e); });
}

void ZarnClient::getAttr(QString objId, QString attr)
{
    qInfo() << "Getting dynattr:" << attr << ", for:" << objId;
    getDynamicAttribute(
        objId.toLongLong(), attr,
        [this, objId](const zarn::NameValueMap &map) {
            qInfo() << "DynAttr getting ok";
            QVariantMap attrs;
            for (const auto &entry : map.entries())
                attrs.insert(fromUtf8(entry.first), zarnValToVariant(entry.second.value()));
            // The library's thread; the signal goes out on this object's thread.
            ThreadHandOver::post(
                this, [this, objId, attrs] { emit dynamicAttributeReceived(objId, attrs); },
                Qt::AutoConnection);
        },
        [](const zarn::HandlerError &e) { qInfo() << "DynAttr getting failed: " << errorText(e); });
}

void ZarnClient::setAttr(QString objId, QString attr, QVariant value)
{
    qInfo() << "Setting dynattr:" << attr << ", for:" << objId;
    m_client.setDynamicAttribute(
        objId.toLongLong(), attr.toStdString(), zarn::StringValue(value.toString().toStdString()),
        [] { qInfo() << "DynAttr setting ok"; },
        [](const zarn::HandlerError &e) { qInfo() << "DynAttr setting failed:" << errorText(e); });
}

void ZarnClient::removeAttr(QString objId, QString attr)
{
    m_client.removeDynamicAttribute(
        objId.toLongLong(), attr.toStdString(), [] { qDebug() << "Attribute remove ok"; },
        [](const zarn::HandlerError &e) {
            qDebug() << "Attribute remove failed:" << errorText(e);
        });
}

void ZarnClient::bindStream(QString streamId, QString deviceId, StreamBindingType type)
{
    const std::vector<zarn::BindingPair> bindings{
        zarn::BindingPair{deviceId.toLongLong(), static_cast<std::int32_t>(type)}};
    m_client.bindStream(
        streamId.toLongLong(), bindings, [] { qDebug() << "bindStream ok"; },
        [](const zarn::HandlerError &e) { qDebug() << "bindStream => Error: " << errorText(e); });
}

void ZarnClient::unbindStream(QString streamId, QString deviceId)
{
    m_client.unbindStream(
        streamId.toLongLong(), deviceId.toLongLong(), [] { qDebug() << "unbindStream ok"; },
        [](const zarn::HandlerError &e) { qDebug() << "unbindStream => Error: " << errorText(e); });
}

void ZarnClient::searchChunks(QString streamId, int searchBy, qlonglong start, qlonglong end)
{
    qDebug() << "Searching chunks for streamId:" << streamId << ", method:" << searchBy
             << ", start:" << start << ", end:" << end;
    m_client.searchChunks(
        streamId.toLongLong(), searchBy, start, end,
        [this](const std::vector<zarn::StreamChunk> &chunks) {
            qDebug() << "searchChunks finished, number of chunks:" << int(chunks.size());
            QVariantList list;
            list.reserve(static_cast<int>(chunks.size()));
            for (const zarn::StreamChunk &c : chunks) {
                list.append(QVariantMap{{QStringLiteral("streamId"), qlonglong(c.streamId)},
                                        {QStringLiteral("start"), qlonglong(c.start)},
                                        {QStringLiteral("end"), qlonglong(c.end)},
                                        {QStringLiteral("size"), qlonglong(c.size)}});
            }
            // The library's thread; the signal goes out on this object's thread.
            if (!list.isEmpty())
                ThreadHandOver::post(
                    this, [this, list] { emit streamChunksReceived(list); }, Qt::AutoConnection);
        },
        [](const zarn::HandlerError &e) { qDebug() << "searchChunks => Error: " << errorText(e); });
}

void ZarnClient::searchRecordedChunks(QString streamId, qlonglong from, qlonglong to)
{
    // Searching by end finds the chunks that end inside the range and, with the margin, the
    // ones that begin in it and end after it.
    constexpr qlonglong kMargin = 24 * 3600 * 1000LL;
    qInfo().noquote() << QStringLiteral("Searching the recordings of stream %1 from %2 to %3")
                             .arg(streamId)
                             .arg(from)
                             .arg(to);
    m_client.searchChunks(
        streamId.toLongLong(), END, from, to + kMargin,
        [this, streamId, from, to](const std::vector<zarn::StreamChunk> &chunks) {
            QVariantList list;
            list.reserve(static_cast<int>(chunks.size()));
            for (const zarn::StreamChunk &c : chunks) {
                if (c.start < to)
                    list.append(QVariantMap{{QStringLiteral("start"), qlonglong(c.start)},
                                            {QStringLiteral("end"), qlonglong(c.end)},
                                            {QStringLiteral("size"), qlonglong(c.size)}});
            }
            // The library's thread; the signal goes out on this object's thread.
            ThreadHandOver::post(
                this, [=] { emit recordedChunksReceived(streamId, from, to, list); },
                Qt::AutoConnection);
        },
        [this, streamId, from, to](const zarn::HandlerError &e) {
            ThreadHandOver::post(
                this,
                [this, streamId, from, to, reason = errorText(e)] {
                    qWarning().noquote()
                        << "Searching the recordings of stream" << streamId << "failed:" << reason;
                    emit recordedChunksFailed(streamId, from, to, reason);
                },
                Qt::AutoConnection);
        });
}

void ZarnClient::getStreamGatewayInfo(QString deviceId, QString streamId)
{
    m_client.getStreamInfo(
        deviceId.toLongLong(), streamId.toLongLong(),
        [this](const zarn::StreamInfo &info) {
            // The library's thread; the signal goes out on this object's thread.
            ThreadHandOver::post(
                this,
                [this, device = QString::number(info.deviceId),
                 stream = QString::number(info.streamId), token = fromUtf8(info.token),
                 address = fromUtf8(info.address)] {
                    emit streamInfoReceived(device, stream, token, address);
                },
                Qt::AutoConnection);
        },
        [](const zarn::HandlerError &e) {
            qDebug() << "getStreamGatewayInfo => Error: " << errorText(e);
        });
}

void ZarnClient::sendCtrlEvent(QString destId, QString cls, QVariantMap fields)
{
    zarn::Event event;
    event.className = cls.toStdString();
    event.destinationId = destId.toLongLong();
    if (!fields.isEmpty()) {
        zarn::NameValueMap map;
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            map.setValue(it.key().toStdString(), Utils::zarnValueFromQVariant(it.value()).value());
        event.fields = map;
    }
    qInfo() << "Sending CTRL event cls:" << cls << ", destId:" << destId;
    m_client.sendEvent(
        event, [](std::int64_t id) { qInfo() << "Event sent, id: " << id; },
        [](const zarn::HandlerError &e) { qInfo() << "Event sending error: " << errorText(e); });
}

void ZarnClient::handleEvent(const zarn::Event &event)
{
    qDebug() << "signalEventReceived";
    QVariantMap map;
    map.insert(QStringLiteral("srcId"), QString::number(event.sourceId));
    map.insert(QStringLiteral("eventId"), qlonglong(event.eventId));
    map.insert(QStringLiteral("cls"), fromUtf8(event.className));
    const std::string fieldsKey = "fields";
    QVariantMap listed;
    if (event.fields.contains(fieldsKey)) {
        const QByteArray text = QByteArray::fromStdString(event.fields.value(fieldsKey).toString());
        const QJsonDocument doc = QJsonDocument::fromJson(text);
        if (!doc.isNull())
            map.insert(QStringLiteral("fields"), doc.object().toVariantMap());
        if (!doc.isObject())
            listed.insert(QStringLiteral("fieldsText"), QString::fromUtf8(text).left(1000));
    }
    listed.insert(map);
    listed.insert(QStringLiteral("time"), qlonglong(event.timestamp));
    // The library's thread; the signals go out on this object's thread.
    ThreadHandOver::post(
        this,
        [this, map, listed] {
            emit signEventReceived(map);
            emit eventArrived(listed);
        },
        Qt::AutoConnection);
}

// ---- Value conversion ----------------------------------------------------------------------

QVariant ZarnClient::zarnValToVariant(const zarn::Value &value)
{
    switch (value.kind()) {
    case zarn::BoolValue::Kind:
        return QVariant(value.toBool());
    case zarn::IntValue::Kind:
        // 32 bits across this boundary, as the layout and attribute readers expect.
        return QVariant(value.toInt());
    case zarn::FloatValue::Kind:
        return QVariant(value.toDouble());
    case zarn::StringValue::Kind:
        return QVariant(fromUtf8(value.toString()));
    default:
        qWarning() << "static QVariant ZarnClient::zarnValToVariant(const ardix::zarn::Value&)";
        qWarning() << "Unhandled type:" << value.kind();
        return QVariant();
    }
}
