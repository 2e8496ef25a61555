#include "ReceiptRecordings.h"

#include "TransactionModel.h"
#include "ZarnClient.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerReceiptRecordings()
{
    qmlRegisterType<ReceiptRecordings>("Native", 1, 0, "ReceiptRecordings");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerReceiptRecordings)

ReceiptRecordings::ReceiptRecordings(QObject *parent)
    : QObject(parent)
{}

void ReceiptRecordings::setClient(ZarnClient *client)
{
    if (m_client == client)
        return;
    if (m_client)
        disconnect(m_client, nullptr, this, nullptr);
    m_client = client;
    if (m_client) {
        connect(m_client, &ZarnClient::recordedChunksReceived, this, &ReceiptRecordings::received);
        connect(m_client, &ZarnClient::recordedChunksFailed, this,
                [this](const QString &streamId, qint64 from, qint64 to, const QString &) {
                    failed(streamId, from, to);
                });
    }
    emit clientChanged();
}

void ReceiptRecordings::setModel(TransactionModel *model)
{
    if (m_model == model)
        return;
    m_model = model;
    emit modelChanged();
}

void ReceiptRecordings::check()
{
    if (!m_model)
        return;
    const auto spans = m_model->spans();
    const int pendingBefore = m_pending.size();
    for (auto span = spans.begin(); span != spans.end(); ++span) {
        const QString &streamId = span.key();
        const qint64 from = span->first;
        const qint64 to = span->second + 1;
        bool known = false;
        for (const Answer &answer : m_answers.value(streamId)) {
            // what is known is applied, the whole answer: its range may hold more rows
            m_model->markRecorded(streamId, answer.from, answer.to, answer.chunks);
            known = known || (answer.from <= from && answer.to >= to);
        }
        const auto asked = m_pending.constFind(streamId);
        if (known || (asked != m_pending.cend() && asked->first <= from && asked->second >= to))
            continue;
        if (!m_client)
            continue;
        m_pending.insert(streamId, {from, to});
        m_client->searchRecordedChunks(streamId, from, to);
    }
    if (m_pending.size() != pendingBefore)
        emit pendingChanged();
}

void ReceiptRecordings::forget()
{
    m_answers.clear();
}

void ReceiptRecordings::received(const QString &streamId, qint64 from, qint64 to,
                                 const QVariantList &chunks)
{
    const auto asked = m_pending.constFind(streamId);
    if (asked == m_pending.cend() || asked->first != from || asked->second != to)
        return; // another part of the console asked
    m_pending.remove(streamId);
    Chunks spans;
    spans.reserve(chunks.size());
    for (const QVariant &entry : chunks) {
        const QVariantMap chunk = entry.toMap();
        bool okStart = false;
        bool okEnd = false;
        const qint64 start = chunk.value(QStringLiteral("start")).toLongLong(&okStart);
        const qint64 end = chunk.value(QStringLiteral("end")).toLongLong(&okEnd);
        if (okStart && okEnd && end > start)
            spans.append({start, end});
    }
    m_answers[streamId].append({from, to, spans});
    if (m_model)
        m_model->markRecorded(streamId, from, to, spans);
    emit pendingChanged();
}

void ReceiptRecordings::failed(const QString &streamId, qint64 from, qint64 to)
{
    const auto asked = m_pending.constFind(streamId);
    if (asked == m_pending.cend() || asked->first != from || asked->second != to)
        return;
    m_pending.remove(streamId);
    emit pendingChanged();
}
