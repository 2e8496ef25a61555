#include "PosDataFetcher.h"

#include "PosDataParser.h"
#include "ThreadHandOver.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJSEngine>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QQmlEngine>
#include <QThreadPool>
#include <QUrl>

#include <functional>

namespace {

void registerPosDataFetcher()
{
    qmlRegisterType<PosDataFetcher>("Native", 1, 0, "PosDataFetcher");
}

// The work handed to the thread pool is ordered by a lock inside Qt that the thread sanitizer
// cannot see; this token tells it about that ordering.
const char kPoolHandOver = 0;

// What the network layer may hold beyond what has been read: a fast gateway cannot fill the
// memory while the GUI thread is busy.
constexpr qint64 kReadBuffer = 256 * 1024;

QVariantMap toAnswer(const PosDataParser::Result &result, bool cut)
{
    QVariantList times;
    times.reserve(result.times.size());
    for (double time : result.times)
        times.append(time);
    return {{QStringLiteral("failed"), false},
            {QStringLiteral("error"), result.error},
            {QStringLiteral("hasFrom"), result.hasFrom},
            {QStringLiteral("from"), result.from},
            {QStringLiteral("hasTo"), result.hasTo},
            {QStringLiteral("hasArr"), result.hasArr},
            {QStringLiteral("times"), times},
            {QStringLiteral("texts"), result.texts},
            {QStringLiteral("withoutTime"), result.withoutTime},
            {QStringLiteral("withoutText"), result.withoutText},
            {QStringLiteral("cut"), cut || result.beyondLimit > 0 || result.gatewayCut},
            {QStringLiteral("more"), result.gatewayCut},
            {QStringLiteral("next"), result.next},
            {QStringLiteral("truncated"), cut || result.beyondLimit > 0}};
}

QStringList warningsOf(const PosDataParser::Result &result, const PosDataParser::Limits &limits)
{
    QStringList warnings;
    if (result.beyondLimit > 0)
        warnings << QStringLiteral("POS data: %1 texts after the first %2 are left out")
                        .arg(result.beyondLimit)
                        .arg(limits.maxEntries);
    if (result.shortened > 0)
        warnings << QStringLiteral("POS data: %1 texts cut to their last %2 lines or %3 characters")
                        .arg(result.shortened)
                        .arg(limits.maxLines)
                        .arg(limits.maxChars);
    return warnings;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerPosDataFetcher)

PosDataFetcher::PosDataFetcher(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultTimeout);
    connect(&m_timer, &QTimer::timeout, this, &PosDataFetcher::handleTimeout);
}

PosDataFetcher::~PosDataFetcher()
{
    dropReply();
}

void PosDataFetcher::setTimeout(int milliseconds)
{
    if (milliseconds == m_timer.interval())
        return;
    m_timer.setInterval(milliseconds);
    emit timeoutChanged();
}

void PosDataFetcher::cancel()
{
    ++m_generation;
    dropReply();
    m_timer.stop();
    m_body.clear();
    m_callback = QJSValue();
}

void PosDataFetcher::fetch(const QString &url, const QJSValue &callback)
{
    cancel();
    m_url = url;
    m_callback = callback;
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setRawHeader("User-Agent", "Ardix client");
    // as the page's former request did
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadBuffer);
    connect(m_reply, &QNetworkReply::readyRead, this, &PosDataFetcher::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &PosDataFetcher::handleFinished);
    m_timer.start();
}

void PosDataFetcher::readAvailable()
{
    if (!m_reply)
        return;
    // One byte past the bound tells a cut answer from one of exactly kMaxBytes.
    const qint64 room = kMaxBytes + 1 - m_body.size();
    m_body += m_reply->read(qMin(room, m_reply->bytesAvailable()));
    if (m_body.size() <= kMaxBytes)
        return;
    m_body.truncate(int(kMaxBytes));
    dropReply();
    m_timer.stop();
    qWarning().noquote()
        << QStringLiteral("POS data of %1 is larger than %2 bytes: read up to there, the texts "
                          "before that kept")
               .arg(m_url)
               .arg(kMaxBytes);
    parseOffThread(true);
}

void PosDataFetcher::handleFinished()
{
    m_timer.stop();
    readAvailable();
    if (!m_reply)
        return;
    const bool failed = m_reply->error() != QNetworkReply::NoError;
    const QString reason = m_reply->errorString();
    dropReply();
    if (failed)
        fail(reason);
    else
        parseOffThread(false);
}

void PosDataFetcher::handleTimeout()
{
    if (!m_reply)
        return;
    dropReply();
    fail(QStringLiteral("timed out after %1 ms").arg(timeout()));
}

void PosDataFetcher::parseOffThread(bool cut)
{
    const quint64 generation = m_generation;
    QPointer<PosDataFetcher> self(this);
    PosDataParser::Limits limits;
    limits.maxLines = m_maxLines;
    std::function<void()> work = [self, generation, cut, limits, body = std::move(m_body)] {
        ThreadHandOver::acquire(&kPoolHandOver);
        const PosDataParser::Result result = PosDataParser::parse(body, cut, limits);
        const QVariantMap answer = toAnswer(result, cut);
        const QStringList warnings = warningsOf(result, limits);
        QObject *application = QCoreApplication::instance();
        if (!application)
            return;
        // Handed to the GUI thread: only there can it be told whether the fetcher still lives.
        ThreadHandOver::post(
            application,
            [self, generation, answer, warnings] {
                if (self)
                    self->deliver(generation, answer, warnings);
            },
            Qt::QueuedConnection);
    };
    m_body = QByteArray();
    ThreadHandOver::release(&kPoolHandOver);
    QThreadPool::globalInstance()->start(std::move(work));
}

void PosDataFetcher::deliver(quint64 generation, const QVariantMap &answer,
                             const QStringList &warnings)
{
    if (generation != m_generation)
        return;
    ++m_generation;
    for (const QString &warning : warnings)
        qWarning().noquote() << warning;
    QJSValue callback = m_callback;
    m_callback = QJSValue();
    QJSEngine *engine = qjsEngine(this);
    if (callback.isCallable() && engine) {
        const QJSValue outcome = callback.call({engine->toScriptValue(answer)});
        if (outcome.isError())
            qWarning().noquote() << "POS data: the answer's handler failed:" << outcome.toString();
    }
    emit finished(answer);
}

void PosDataFetcher::fail(const QString &reason)
{
    qWarning().noquote()
        << QStringLiteral("POS data of %1 could not be fetched: %2").arg(m_url, reason);
    deliver(m_generation, {{QStringLiteral("failed"), true}, {QStringLiteral("reason"), reason}},
            {});
}

void PosDataFetcher::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}
