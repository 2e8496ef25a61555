#include "StreamFailure.h"

#include "StreamAddress.h"

#include <QRegularExpression>
#include <QUrl>

#include <mpv/client.h>

#include <utility>

const QString StreamFailure::denied = QStringLiteral("denied");
const QString StreamFailure::notFound = QStringLiteral("notfound");
const QString StreamFailure::noAnswer = QStringLiteral("noanswer");
const QString StreamFailure::undecodable = QStringLiteral("undecodable");

namespace {

// An answer with an HTTP or RTSP status: "rtsp: method DESCRIBE failed: 401 Unauthorized",
// "http: HTTP error 403 Forbidden", "Server returned 404 Not Found".
QString statusKind(const QString &text)
{
    static const QRegularExpression status(
        QStringLiteral("(?:method \\S+ failed:|HTTP error|Server returned) (\\d{3})\\b"));
    const QRegularExpressionMatch match = status.match(text);
    if (!match.hasMatch())
        return {};
    const int code = match.captured(1).toInt();
    if (code == 401 || code == 403 || code == 407)
        return StreamFailure::denied;
    if (code == 404 || code == 410)
        return StreamFailure::notFound;
    return {};
}

// What FFmpeg's demuxers and decoders, and mpv, say of data they cannot use.
bool undecodableData(const QString &text)
{
    static const QLatin1String phrases[] = {
        QLatin1String("Invalid data found"),
        QLatin1String("Could not find codec parameters"),
        QLatin1String("No video or audio streams selected"),
        QLatin1String("Failed to initialize a decoder"),
        QLatin1String("Error while decoding frame"),
        QLatin1String("decode_slice_header error"),
        QLatin1String("no frame!"),
    };
    for (const QLatin1String &phrase : phrases) {
        if (text.contains(phrase))
            return true;
    }
    return false;
}

} // namespace

QString StreamFailure::fromMessage(const QString &text, bool sawPicture)
{
    const QString kind = statusKind(text);
    if (!kind.isEmpty())
        return kind;
    return !sawPicture && undecodableData(text) ? undecodable : QString();
}

QString StreamFailure::fromEnd(int error, const QString &address, qint64 elapsedMs, int timeoutMs)
{
    const QString scheme = QUrl(address).scheme();
    if (error == MPV_ERROR_NOTHING_TO_PLAY)
        return undecodable;
    // An HTTP answer that opened but is no video: refusals and HTTP errors end as
    // "loading failed" instead.
    if (error == MPV_ERROR_UNKNOWN_FORMAT && scheme.startsWith(QLatin1String("http")))
        return undecodable;
    // An RTSP load ends this way however it failed; one that took most of the socket timeout
    // waited for an answer that never came (the GUI thread may have seen its start late).
    if (StreamAddress::isRtsp(address) && error == MPV_ERROR_UNKNOWN_FORMAT &&
        elapsedMs >= timeoutMs * 6 / 10)
        return noAnswer;
    return {};
}

void StreamFailure::started(const QString &address)
{
    m_kind.clear();
    m_guessed = false;
    m_address = address;
    m_sawPicture = false;
    m_since.start();
}

bool StreamFailure::noteMessage(const QString &text)
{
    // The first message that explains stands: what follows it is mostly its consequences.
    if (!m_kind.isEmpty() && !m_guessed)
        return false;
    const QString kind = fromMessage(text, m_sawPicture);
    if (kind.isEmpty())
        return false;
    m_guessed = false;
    return std::exchange(m_kind, kind) != kind;
}

bool StreamFailure::notePicture()
{
    m_sawPicture = true;
    // A picture proves the stream decodable: complaints before it were about its first bytes.
    if (m_kind != undecodable)
        return false;
    m_kind.clear();
    return true;
}

bool StreamFailure::noteError(int error, int timeoutMs)
{
    if (!m_kind.isEmpty() || m_sawPicture)
        return false;
    m_kind = fromEnd(error, m_address, m_since.isValid() ? m_since.elapsed() : 0, timeoutMs);
    m_guessed = !m_kind.isEmpty();
    return m_guessed;
}
