#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// Asks an RTSP address's server whether it speaks RTSP at all, after a load of it failed with
// nothing to tell why. The player's own messages cannot say: FFmpeg logs to one player of the
// process only, so a cell rarely sees what FFmpeg said of its own stream. The probe connects,
// sends an OPTIONS request and reads the first line of the answer. One probe at a time: start()
// drops the last one.
class RtspProbe : public QObject
{
    Q_OBJECT
public:
    // What the server did; each is StreamFailure's kind of the same name, but for speaksRtsp.
    static const QString refused;    // the port refused the connection
    static const QString notRtsp;    // it answered something else, or hung up without a word
    static const QString noAnswer;   // nothing came within the timeout
    static const QString speaksRtsp; // an RTSP status line came: the failure lies elsewhere

    explicit RtspProbe(QObject *parent = nullptr);
    ~RtspProbe() override;

    void start(const QString &address, int timeoutMs);
    void stop();
    bool running() const { return m_timer.isActive(); }
    // What the first line of an answer tells: speaksRtsp for "RTSP/1.0 401 Unauthorized", else
    // notRtsp.
    static QString fromFirstLine(const QByteArray &line);

signals:
    void finished(const QString &verdict);

private:
    void finish(const QString &verdict);

    QTcpSocket m_socket;
    QTimer m_timer;
    QByteArray m_answer;
};
