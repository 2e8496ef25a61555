#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// One standalone `mpv` process in a window of its own, the reference the console's players
// are measured against. It draws with the GPU output on the X server the benchmark runs on.
class StandaloneMpv
{
public:
    // options are mpv options without their leading "--" ("hwdec=auto"). socketPath names
    // the player's IPC socket, through which its counters are read.
    StandaloneMpv(const QString &url, const QRect &geometry, const QStringList &options,
                  const QString &socketPath);
    ~StandaloneMpv();
    StandaloneMpv(const StandaloneMpv &) = delete;
    StandaloneMpv &operator=(const StandaloneMpv &) = delete;

    bool started() const { return m_process.state() == QProcess::Running; }
    double cpuSeconds() const;
    // Dropped frames, the output's and the decoder's; -1 when the player does not answer.
    long droppedFrames() const;
    // Milliseconds from the process start until mpv reported its first picture shown, waiting
    // for it at most timeoutMs; -1 when it did not come.
    qint64 waitForFirstPicture(int timeoutMs);

private:
    void readOutput();

    QProcess m_process;
    QString m_socketPath;
    QElapsedTimer m_sinceStart;
    QByteArray m_pending;
    qint64 m_firstPictureMs = -1;
};
