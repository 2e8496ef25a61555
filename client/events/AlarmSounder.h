#pragma once

#include <QObject>
#include <QPointer>
#include <QSoundEffect>
#include <QStringList>
#include <QUrl>

class EventList;

// Sounds the console's alarm when events of an alarm class arrive (EventList::alarmClasses),
// once per batch of arrivals, unless the setting Events/sound is false. The sound is a short
// WAV shipped in the program's resources. A machine without a sound device (a server, a
// virtual display) plays nothing and fails nothing: the sound stays loading and the console
// goes on; what was asked is counted either way.
class AlarmSounder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    // How many times the alarm was asked to sound, and for which classes the last time.
    Q_PROPERTY(int playCount READ playCount NOTIFY played)
    Q_PROPERTY(QStringList lastClasses READ lastClasses NOTIFY played)
    // The sound's state: "loading", "ready" or "error" ("off" when disabled).
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    // Whether the sound is being heard now.
    Q_PROPERTY(bool playing READ isPlaying NOTIFY playingChanged)

public:
    static QUrl defaultSource() { return QUrl(QStringLiteral("qrc:/sounds/alarm.wav")); }

    explicit AlarmSounder(EventList *events, bool enabled = true, QObject *parent = nullptr,
                          const QUrl &source = defaultSource());

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int playCount() const { return m_playCount; }
    QStringList lastClasses() const { return m_lastClasses; }
    QString status() const;
    bool isPlaying() const { return m_effect && m_effect->isPlaying(); }

signals:
    void enabledChanged();
    void played();
    void statusChanged();
    void playingChanged();

private:
    void onAlarms(const QStringList &classes);
    void load();

    QPointer<EventList> m_events;
    QUrl m_source;
    bool m_enabled = true;
    int m_playCount = 0;
    QStringList m_lastClasses;
    // Made when first enabled: a console with the sound off never opens the sound system.
    QSoundEffect *m_effect = nullptr;
    bool m_errorLogged = false;
};
