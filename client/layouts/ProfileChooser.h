#pragma once

#include "StreamProfiles.h"

#include <QObject>
#include <QQmlParserStatus>
#include <QString>
#include <QTimer>
#include <QVariantList>

// Chooses, for one live cell, which of its camera's stream profiles to play: the smallest whose
// picture covers the cell's size in device pixels, or the profile the settings force
// ("Video/streamProfile"). The first choice waits for the cell's size (when its camera offers
// profiles) and is then made at once; later size changes settle for settleMs first, so that an
// animated resize or a window being dragged larger switches once.
class ProfileChooser : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(QVariantList profiles READ profiles WRITE setProfiles NOTIFY profilesChanged)
    // The stream object whose "profiles" setting gives the profiles, looked up in the object
    // tree when set.
    Q_PROPERTY(QString streamId READ streamId WRITE setStreamId NOTIFY streamIdChanged)
    Q_PROPERTY(QString fallbackUrl READ fallbackUrl WRITE setFallbackUrl NOTIFY fallbackUrlChanged)
    Q_PROPERTY(int pixelWidth READ pixelWidth WRITE setPixelWidth NOTIFY pixelSizeChanged)
    Q_PROPERTY(int pixelHeight READ pixelHeight WRITE setPixelHeight NOTIFY pixelSizeChanged)
    Q_PROPERTY(QString cellName READ cellName WRITE setCellName NOTIFY cellNameChanged)
    Q_PROPERTY(
        QString forcedProfile READ forcedProfile WRITE setForcedProfile NOTIFY forcedProfileChanged)
    Q_PROPERTY(int settleMs READ settleMs WRITE setSettleMs NOTIFY settleMsChanged)
    Q_PROPERTY(QString url READ url NOTIFY choiceChanged)
    Q_PROPERTY(QString profile READ profile NOTIFY choiceChanged)

public:
    explicit ProfileChooser(QObject *parent = nullptr);

    // The profile the settings force on every cell, empty for "auto".
    static QString configuredProfile();

    QVariantList profiles() const { return StreamProfiles::toVariantList(m_profiles); }
    void setProfiles(const QVariantList &profiles);
    QString streamId() const { return m_streamId; }
    void setStreamId(const QString &id);
    QString fallbackUrl() const { return m_fallbackUrl; }
    void setFallbackUrl(const QString &url);
    int pixelWidth() const { return m_width; }
    void setPixelWidth(int width);
    int pixelHeight() const { return m_height; }
    void setPixelHeight(int height);
    QString cellName() const { return m_cellName; }
    void setCellName(const QString &name);
    QString forcedProfile() const { return m_forced; }
    void setForcedProfile(const QString &name);
    int settleMs() const { return m_settle.interval(); }
    void setSettleMs(int ms);

    QString url() const { return m_url; }
    QString profile() const { return m_profile; }

    void classBegin() override;
    void componentComplete() override;

signals:
    void profilesChanged();
    void streamIdChanged();
    void fallbackUrlChanged();
    void pixelSizeChanged();
    void cellNameChanged();
    void forcedProfileChanged();
    void settleMsChanged();
    void choiceChanged();

private:
    void sizeChanged();
    void choose();
    int forcedIndex();
    // The profiles of the object tree's stream id, with a warning when its setting is unusable.
    static QVector<StreamProfile> profilesOfStream(const QString &id);

    QVector<StreamProfile> m_profiles;
    QString m_streamId;
    QString m_fallbackUrl;
    int m_width = 0;
    int m_height = 0;
    QString m_cellName;
    QString m_forced;
    bool m_warnedForced = false;
    QTimer m_settle;
    QString m_url;
    QString m_profile;
    bool m_chosen = false;
    // False while QML is still setting the initial values.
    bool m_complete = true;
};
