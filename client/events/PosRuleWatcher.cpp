#include "PosRuleWatcher.h"

#include "EventList.h"
#include "GatewayAddress.h"
#include "PosReceiver.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>
#include <QSettings>

namespace {

void registerPosRuleWatcher()
{
    qmlRegisterType<PosRuleWatcher>("Native", 1, 0, "PosRuleWatcher");
}

// The receipt as one event text: its lines side by side.
QString receiptLine(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.simplified();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(" | "));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerPosRuleWatcher)

PosRuleWatcher::PosRuleWatcher(QObject *parent)
    : QObject(parent)
{
    reloadWords();
}

PosRuleWatcher::~PosRuleWatcher()
{
    unsubscribeAll();
}

QObject *PosRuleWatcher::receiver() const
{
    return m_receiver;
}

void PosRuleWatcher::setReceiver(QObject *receiver)
{
    auto *posReceiver = qobject_cast<PosReceiver *>(receiver);
    if (m_receiver == posReceiver)
        return;
    unsubscribeAll();
    if (m_receiver)
        disconnect(m_receiver, nullptr, this, nullptr);
    m_receiver = posReceiver;
    if (m_receiver)
        connect(m_receiver, &PosReceiver::posReceived, this, &PosRuleWatcher::onText);
    subscribeAll();
    emit receiverChanged();
}

void PosRuleWatcher::setEvents(EventList *events)
{
    if (m_events == events)
        return;
    m_events = events;
    emit eventsChanged();
}

void PosRuleWatcher::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository == repository)
        return;
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this,
                &PosRuleWatcher::subscribeAll);
    }
    subscribeAll();
    emit repositoryChanged();
}

void PosRuleWatcher::reloadWords()
{
    const QVariant value =
        QSettings().value(QLatin1String(kWordsKey), QLatin1String(kDefaultWords));
    // Written by hand without quotes, the settings file hands the words over as a list.
    const QString setting = value.userType() == QMetaType::QStringList
                                ? value.toStringList().join(QLatin1Char(','))
                                : value.toString();
    QStringList words;
    QStringList alternatives;
    for (const QString &word : setting.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString simple = word.simplified();
        if (simple.isEmpty() || words.contains(simple, Qt::CaseInsensitive))
            continue;
        words.append(simple);
        // A space in a word matches any run of blanks: receipts pad their columns.
        alternatives.append(QRegularExpression::escape(simple).replace(QStringLiteral("\\ "),
                                                                       QStringLiteral("\\s+")));
    }
    m_words = words;
    m_pattern =
        alternatives.isEmpty()
            ? QRegularExpression()
            : QRegularExpression(
                  QStringLiteral("(?<!\\w)(%1)(?!\\w)").arg(alternatives.join(QLatin1Char('|'))),
                  QRegularExpression::CaseInsensitiveOption |
                      QRegularExpression::UseUnicodePropertiesOption);
    qInfo().noquote() << "Till rules watch for:" << words.join(QStringLiteral(", "));
    emit wordsChanged();
}

QString PosRuleWatcher::match(const QString &text) const
{
    if (m_words.isEmpty())
        return QString();
    const QRegularExpressionMatch found = m_pattern.match(text);
    return found.hasMatch() ? found.captured(1) : QString();
}

void PosRuleWatcher::onText(const QString &channel, const QString &text)
{
    if (m_events && !match(text).isEmpty())
        m_events->addLocal(channel, QLatin1String(kClass), receiptLine(text));
}

QSet<PosRuleWatcher::Channel> PosRuleWatcher::channelsOfSite() const
{
    QSet<Channel> channels;
    if (!m_repository)
        return channels;
    for (const ZarnObjectPtr &object : m_repository->objects()) {
        if (object->type() != ZarnObject::Stream)
            continue;
        // The stream's gateway is its parent, as the layouts name it.
        const GatewayAddress gateway = GatewayAddress::ofDevice(m_repository, object->parentId());
        const int port = gateway.posPort();
        if (port == 0)
            continue;
        const QString address = gateway.host();
        channels.insert({address, port, object->id()});
    }
    return channels;
}

void PosRuleWatcher::subscribeAll()
{
    if (!m_receiver) {
        m_subscribed.clear();
        return;
    }
    const QSet<Channel> wanted = channelsOfSite();
    for (const Channel &c : m_subscribed - wanted)
        m_receiver->unsubscribe(c.address, c.streamId);
    for (const Channel &c : wanted - m_subscribed)
        m_receiver->subscribe(c.address, c.port, c.streamId);
    m_subscribed = wanted;
}

void PosRuleWatcher::unsubscribeAll()
{
    if (m_receiver) {
        for (const Channel &c : qAsConst(m_subscribed))
            m_receiver->unsubscribe(c.address, c.streamId);
    }
    m_subscribed.clear();
}
