#pragma once

#include <QElapsedTimer>
#include <QString>

// Why the load of a stream failed, told from the messages the player logs while it loads and
// plays it and from how the load ends. One load at a time: started() forgets the last one.
// The kinds are short words for the cell to turn into a sentence; empty when nothing explains
// the failure (the cell then says "No signal").
class StreamFailure
{
public:
    static const QString denied;      // the camera refused the credentials (401, 403)
    static const QString notFound;    // the camera does not know the stream (404)
    static const QString noAnswer;    // connected, or tried to, and nothing answered
    static const QString undecodable; // data came that the player cannot make a picture of
    static const QString notRtsp;     // an RTSP camera answered something that is not RTSP
    static const QString refused;     // an RTSP camera's port refused the connection
    static const QString closed;      // an RTSP camera closed the connection after a picture
    // What the log says of a failed load that nothing explains.
    static const QString unexplained;

    // What one log message of the player says about a load of `address`; `sawPicture` tells
    // whether the load has shown a picture (decoder complaints then no longer mean it cannot
    // be decoded).
    static QString fromMessage(const QString &text, const QString &address, bool sawPicture);
    // What a load that ended with libmpv's `error` (an mpv_error) and no telling message
    // failed of: `rtsp` for an RTSP load, which fails after its socket timeout of
    // `timeoutMs` when the camera never answers; `elapsedMs` since the load started.
    static QString fromEnd(int error, const QString &address, qint64 elapsedMs, int timeoutMs);
    // How long a cell waits before it tries a stream again that failed of `kind`.
    static int retryDelayMs(const QString &kind);

    void started(const QString &address);
    // Each returns true when the kind changed.
    bool noteMessage(const QString &text);
    bool notePicture();
    bool noteError(int error, int timeoutMs);
    // The load ended by itself (end of file) rather than with an error: an RTSP stream was
    // closed by the camera. Also called for an error after a picture.
    bool noteEndOfFile();
    // An RTSP load that failed soon and unexplained: the server should be asked (RtspProbe).
    bool wantsProbe() const;
    // What RtspProbe found; a message that explained the failure stands.
    bool noteProbe(const QString &verdict);
    QString address() const { return m_address; }
    QString kind() const { return m_kind; }
    bool guessed() const { return m_guessed; }
    bool sawPicture() const { return m_sawPicture; }

private:
    QString m_kind;
    QString m_address;
    // Set when the kind was guessed from the end of the load: a message explains better.
    bool m_guessed = false;
    bool m_sawPicture = false;
    QElapsedTimer m_since;
};
