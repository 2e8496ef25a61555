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
const QString StreamFailure::notRtsp = QStringLiteral("notrtsp");
const QString StreamFailure::refused = QStringLiteral("refused");
const QString StreamFailure::closed = QStringLiteral("closed");
const QString StreamFailure::unexplained = QStringLiteral("nosignal");

namespace {

// A closed connection is tried again sooner than other failures: the camera was there a moment
// ago, and a cell that played should be back within 5 s of losing its stream.
constexpr int kRetryMs = 5000;
constexpr int kRetryClosedMs = 2000;

// An answer with an HTTP or RTSP status: "rtsp: method DESCRIBE failed: 401 Unauthorized",
// "http: HTTP error 403 Forbidden", "Server returned 404 Not Found".
const QRegularExpression &statusPattern()
{
    static const QRegularExpression status(
        QStringLiteral("(?:method \\S+ failed:|HTTP error|Server returned) (\\d{3})\\b"));
    return status;
}

QString statusKind(int code)
{
    if (code == 401 || code == 403 || code == 407)
        return StreamFailure::denied;
    if (code == 404 || code == 410)
        return StreamFailure::notFound;
    return {};
}

// What FFmpeg's demuxers and network code, and mpv, say of a failure, and what it means. The
// first row whose text a message contains tells; rows for RTSP apply to RTSP addresses only
// (an HTTP camera's refusal stays "No signal"), rows "before a picture" only until the load
// has shown one (decoders complain of a stream's first bytes, then play it).
struct MessageRule
{
    const char *text;
    const QString &kind;
    bool rtspOnly;
    bool beforePicture;
};

const MessageRule kRules[] = {
    // "tcp: Connection to tcp://127.0.0.1:554?timeout=5000000 failed: Connection refused"
    {"Connection refused", StreamFailure::refused, true, false},
    // The answer's first line is no RTSP status line, or its CSeq is missing: "rtsp: CSeq 1
    // expected, 0 received."
    {"expected, 0 received", StreamFailure::notRtsp, true, true},
    {"No route to host", StreamFailure::noAnswer, false, true},
    {"Network is unreachable", StreamFailure::noAnswer, false, true},
    {"Connection timed out", StreamFailure::noAnswer, false, true},
    {"Failed to resolve hostname", StreamFailure::noAnswer, false, true},
    {"Invalid data found", StreamFailure::undecodable, false, true},
    {"Could not find codec parameters", StreamFailure::undecodable, false, true},
    {"No video or audio streams selected", StreamFailure::undecodable, false, true},
    {"Failed to initialize a decoder", StreamFailure::undecodable, false, true},
    {"Error while decoding frame", StreamFailure::undecodable, false, true},
    {"decode_slice_header error", StreamFailure::undecodable, false, true},
    {"no frame!", StreamFailure::undecodable, false, true},
};

} // namespace

QString StreamFailure::fromMessage(const QString &text, const QString &address, bool sawPicture)
{
    const QRegularExpressionMatch status = statusPattern().match(text);
    if (status.hasMatch())
        return statusKind(status.captured(1).toInt());
    const bool rtsp = StreamAddress::isRtsp(address);
    for (const MessageRule &rule : kRules) {
        if ((rule.rtspOnly && !rtsp) || (rule.beforePicture && sawPicture))
            continue;
        if (text.contains(QLatin1String(rule.text)))
            return rule.kind;
    }
    return {};
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

int StreamFailure::retryDelayMs(const QString &kind)
{
    return kind == closed ? kRetryClosedMs : kRetryMs;
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
    const QString kind = fromMessage(text, m_address, m_sawPicture);
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
    if (!m_kind.isEmpty())
        return false;
    if (m_sawPicture)
        return noteEndOfFile();
    m_kind = fromEnd(error, m_address, m_since.isValid() ? m_since.elapsed() : 0, timeoutMs);
    m_guessed = !m_kind.isEmpty();
    return m_guessed;
}

bool StreamFailure::noteEndOfFile()
{
    // A live RTSP stream has no end: one that ends has lost its connection. Decoder complaints
    // before the end were about the last bytes it got (FFmpeg's "no frame!").
    if ((!m_kind.isEmpty() && m_kind != undecodable) || !StreamAddress::isRtsp(m_address))
        return false;
    m_kind = closed;
    m_guessed = false;
    return true;
}

bool StreamFailure::wantsProbe() const
{
    return m_kind.isEmpty() && !m_sawPicture && StreamAddress::isRtsp(m_address);
}

bool StreamFailure::noteProbe(const QString &verdict)
{
    if (!m_kind.isEmpty() && !m_guessed)
        return false;
    // A server that speaks RTSP failed for a reason the probe cannot tell.
    const QString kind =
        verdict == refused || verdict == notRtsp || verdict == noAnswer ? verdict : QString();
    m_guessed = false;
    return std::exchange(m_kind, kind) != kind;
}
