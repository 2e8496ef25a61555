#include "AlarmSounder.h"

#include "EventList.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

namespace {

void registerAlarmSounder()
{
    qmlRegisterUncreatableType<AlarmSounder>(
        "Native", 1, 0, "AlarmSounder", QStringLiteral("The console has one: App.alarmSounder"));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerAlarmSounder)

AlarmSounder::AlarmSounder(EventList *events, bool enabled, QObject *parent, const QUrl &source)
    : QObject(parent)
    , m_events(events)
    , m_source(source)
    , m_enabled(enabled)
{
    if (m_events)
        connect(m_events, &EventList::alarmsArrived, this, &AlarmSounder::onAlarms);
    load();
}

void AlarmSounder::setEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    if (!m_enabled && m_effect)
        m_effect->stop();
    load();
    emit enabledChanged();
    emit statusChanged();
}

void AlarmSounder::load()
{
    if (!m_enabled || m_effect)
        return;
    m_effect = new QSoundEffect(this);
    connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
        if (m_effect->status() == QSoundEffect::Error && !m_errorLogged) {
            m_errorLogged = true;
            qWarning().noquote() << "Alarm sound: cannot load" << m_source.toString();
        }
        emit statusChanged();
    });
    connect(m_effect, &QSoundEffect::playingChanged, this, &AlarmSounder::playingChanged);
    m_effect->setSource(m_source);
}

QString AlarmSounder::status() const
{
    if (!m_enabled || !m_effect)
        return QStringLiteral("off");
    switch (m_effect->status()) {
    case QSoundEffect::Ready:
        return QStringLiteral("ready");
    case QSoundEffect::Error:
        return QStringLiteral("error");
    default:
        return QStringLiteral("loading");
    }
}

void AlarmSounder::onAlarms(const QStringList &classes)
{
    if (!m_enabled || !m_effect)
        return;
    // Without a sound device the sound never leaves "loading": play() then only queues it, and
    // the queue holds one play at most.
    m_effect->play();
    ++m_playCount;
    m_lastClasses = classes;
    qInfo().noquote() << "Alarm sound for" << classes.join(QStringLiteral(", "));
    emit played();
}
