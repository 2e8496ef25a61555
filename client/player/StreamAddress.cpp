#include "StreamAddress.h"

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
