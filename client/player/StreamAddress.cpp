#include "StreamAddress.h"

#include <QRegularExpression>
#include <QUrl>

const QStringList &StreamAddress::networkSchemes()
{
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("rtsp"), QStringLiteral("rtsps"),
                                     QStringLiteral("rtmp"), QStringLiteral("udp"),
                                     QStringLiteral("tcp"),  QStringLiteral("srt")};
    return schemes;
}

bool StreamAddress::isNetworkAddress(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    // QUrl lower-cases the scheme; a scheme is only taken from a well-formed address.
    return url.isValid() && networkSchemes().contains(url.scheme()) && !url.host().isEmpty();
}

namespace {

// Where the user information of the address whose authority starts at `from` ends (its last
// '@'), or -1 when it has none. The authority ends at the first '/', '?' or '#' after its
// first '@', so that an '@' or '/' left unencoded in a password stays inside it.
int userInfoEnd(const QString &text, int from, int to)
{
    const int firstAt = text.indexOf(QLatin1Char('@'), from);
    if (firstAt < 0 || firstAt >= to)
        return -1;
    int end = firstAt;
    while (end < to && text.at(end) != QLatin1Char('/') && text.at(end) != QLatin1Char('?') &&
           text.at(end) != QLatin1Char('#'))
        ++end;
    return text.lastIndexOf(QLatin1Char('@'), end - 1);
}

} // namespace

QString StreamAddress::redacted(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("[A-Za-z][A-Za-z0-9+.-]*://"));
    static const QRegularExpression space(QStringLiteral("\\s"));
    QString result = text;
    int from = 0;
    QRegularExpressionMatch match;
    while ((match = scheme.match(result, from)).hasMatch()) {
        const int authority = match.capturedEnd();
        int end = result.indexOf(space, authority);
        if (end < 0)
            end = result.size();
        const int atSign = userInfoEnd(result, authority, end);
        const int colon = result.indexOf(QLatin1Char(':'), authority);
        if (atSign > 0 && colon >= 0 && colon + 1 < atSign) {
            result.replace(colon + 1, atSign - colon - 1, QStringLiteral("***"));
            end -= atSign - colon - 1 - 3;
        }
        from = end;
    }
    return result;
}

bool StreamAddress::isRtsp(const QString &address)
{
    const QString scheme = QUrl(address.trimmed()).scheme();
    return scheme == QLatin1String("rtsp") || scheme == QLatin1String("rtsps");
}
