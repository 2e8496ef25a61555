#include "ProfileChooser.h"

#include "App.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>
#include <QSettings>

namespace {

void registerProfileChooser()
{
    qmlRegisterType<ProfileChooser>("Native", 1, 0, "ProfileChooser");
}

const char kProfileKey[] = "Video/streamProfile";

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerProfileChooser)

ProfileChooser::ProfileChooser(QObject *parent)
    : QObject(parent)
    , m_forced(configuredProfile())
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(400);
    connect(&m_settle, &QTimer::timeout, this, &ProfileChooser::choose);
}

QString ProfileChooser::configuredProfile()
{
    const QString value = QSettings().value(QLatin1String(kProfileKey)).toString().trimmed();
    return value.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 ? QString() : value;
}

void ProfileChooser::classBegin()
{
    m_complete = false;
}

void ProfileChooser::componentComplete()
{
    m_complete = true;
    choose();
}

void ProfileChooser::setProfiles(const QVariantList &profiles)
{
    const QVector<StreamProfile> list = StreamProfiles::fromVariantList(profiles);
    if (StreamProfiles::toVariantList(list) == StreamProfiles::toVariantList(m_profiles))
        return;
    m_profiles = list;
    emit profilesChanged();
    choose();
}

void ProfileChooser::setStreamId(const QString &id)
{
    if (id == m_streamId)
        return;
    m_streamId = id;
    emit streamIdChanged();
    setProfiles(StreamProfiles::toVariantList(profilesOfStream(id)));
}

QVector<StreamProfile> ProfileChooser::profilesOfStream(const QString &id)
{
    App *app = App::instance();
    ZarnObjectsRepository *objects = app ? app->zarnRepository() : nullptr;
    const auto object = objects ? objects->find(id) : nullptr;
    const ZarnSetting *settings = object ? object->settings() : nullptr;
    if (!settings || !settings->contains(QStringLiteral("profiles")))
        return {};
    QString problem;
    const QVector<StreamProfile> profiles =
        StreamProfiles::parse(settings->prop(QStringLiteral("profiles")), &problem);
    if (!problem.isEmpty())
        qWarning().noquote() << QStringLiteral("Stream profiles of object %1: %2").arg(id, problem);
    return profiles;
}

void ProfileChooser::setFallbackUrl(const QString &url)
{
    if (url == m_fallbackUrl)
        return;
    m_fallbackUrl = url;
    emit fallbackUrlChanged();
    choose();
}

void ProfileChooser::setPixelWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    emit pixelSizeChanged();
    sizeChanged();
}

void ProfileChooser::setPixelHeight(int height)
{
    if (height == m_height)
        return;
    m_height = height;
    emit pixelSizeChanged();
    sizeChanged();
}

void ProfileChooser::setCellName(const QString &name)
{
    if (name == m_cellName)
        return;
    m_cellName = name;
    emit cellNameChanged();
}

void ProfileChooser::setForcedProfile(const QString &name)
{
    if (name == m_forced)
        return;
    m_forced = name;
    m_warnedForced = false;
    emit forcedProfileChanged();
    choose();
}

void ProfileChooser::setSettleMs(int ms)
{
    if (ms == m_settle.interval())
        return;
    m_settle.setInterval(ms);
    emit settleMsChanged();
}

void ProfileChooser::sizeChanged()
{
    // Until something was chosen there is no stream to keep: choose with the size at hand.
    if (m_chosen)
        m_settle.start();
    else
        choose();
}

int ProfileChooser::forcedIndex()
{
    if (m_forced.isEmpty())
        return -1;
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles.at(i).name == m_forced)
            return i;
    }
    if (!m_warnedForced && !m_profiles.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Stream profile \"%1\" of the settings is not "
                                               "offered for %2: chosen by size instead")
                                    .arg(m_forced, m_cellName);
        m_warnedForced = true;
    }
    return -1;
}

void ProfileChooser::choose()
{
    m_settle.stop();
    if (!m_complete)
        return;
    // Profiles are chosen by size: none is chosen before the cell has one.
    if (!m_profiles.isEmpty() && (m_width <= 0 || m_height <= 0) && m_forced.isEmpty())
        return;
    QString profile;
    QString url = m_fallbackUrl;
    if (!m_profiles.isEmpty()) {
        int index = forcedIndex();
        if (index < 0)
            index = StreamProfiles::pick(m_profiles, m_width, m_height);
        profile = m_profiles.at(index).name;
        url = m_profiles.at(index).address;
    }
    m_chosen = !url.isEmpty();
    if (profile == m_profile && url == m_url)
        return;
    if (profile != m_profile && !profile.isEmpty()) {
        const QString size = QStringLiteral("%1x%2 px").arg(m_width).arg(m_height);
        if (m_profile.isEmpty())
            qInfo().noquote()
                << QStringLiteral("Stream profile of %1: %2 (%3)").arg(m_cellName, profile, size);
        else
            qInfo().noquote() << QStringLiteral("Stream profile of %1: %2 -> %3 (%4)")
                                     .arg(m_cellName, m_profile, profile, size);
    }
    m_profile = profile;
    m_url = url;
    emit choiceChanged();
}
