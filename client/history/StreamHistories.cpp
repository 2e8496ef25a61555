#include "StreamHistories.h"

#include "StreamHistory.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerStreamHistories()
{
    qmlRegisterUncreatableType<StreamHistories>("Native", 1, 0, "StreamHistories",
                                                QStringLiteral("Held by App"));
    qmlRegisterUncreatableType<StreamHistory>("Native", 1, 0, "StreamHistory",
                                              QStringLiteral("Given by StreamHistories"));
}
Q_COREAPP_STARTUP_FUNCTION(registerStreamHistories)

} // namespace

StreamHistories::StreamHistories(QObject *parent)
    : QObject(parent)
{}

StreamHistories::~StreamHistories() = default;

void StreamHistories::setClient(ZarnClient *client)
{
    if (m_client == client)
        return;
    if (m_client)
        disconnect(m_client, nullptr, this, nullptr);
    m_client = client;
    if (!m_client)
        return;
    connect(
        m_client, &ZarnClient::recordedChunksReceived, this,
        [this](const QString &stream, qlonglong from, qlonglong to, const QVariantList &chunks) {
            if (StreamHistory *history = current(stream))
                history->onAnswered(from, to, chunks);
        });
    connect(m_client, &ZarnClient::recordedChunksFailed, this,
            [this](const QString &stream, qlonglong from, qlonglong to, const QString &) {
                if (StreamHistory *history = current(stream))
                    history->onFailed(from, to);
            });
    connect(m_client, &ZarnClient::streamInfoReceived, this,
            [this](const QString &device, const QString &stream, const QString &,
                   const QString &address) {
                if (StreamHistory *history = current(stream))
                    history->onStreamInfo(device, address);
            });
}

void StreamHistories::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository == repository)
        return;
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this, [this] {
            const QString now = server();
            for (auto it = m_histories.cbegin(); it != m_histories.cend(); ++it) {
                if (it.key().first == now)
                    it.value()->onTreeReloaded();
            }
        });
    }
}

QString StreamHistories::server() const
{
    return serverOf(m_client);
}

QString StreamHistories::serverOf(const ZarnClient *client)
{
    return client ? QStringLiteral("%1:%2").arg(client->host()).arg(client->port()) : QString();
}

StreamHistory *StreamHistories::of(const QString &streamId)
{
    return of(server(), streamId);
}

StreamHistory *StreamHistories::of(const QString &server, const QString &streamId)
{
    if (streamId.isEmpty())
        return nullptr;
    const QPair<QString, QString> key{server, streamId};
    StreamHistory *&history = m_histories[key];
    if (!history) {
        history = new StreamHistory(server, streamId, m_client, m_repository, this);
        QQmlEngine::setObjectOwnership(history, QQmlEngine::CppOwnership);
    }
    return history;
}

StreamHistory *StreamHistories::current(const QString &streamId) const
{
    return m_histories.value({server(), streamId}, nullptr);
}
