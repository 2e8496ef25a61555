#include "ContentRange.h"

#include <QNetworkReply>
#include <QRegularExpression>

ContentRange ContentRange::of(const QNetworkReply *reply)
{
    static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+|\\*)$"));
    const auto match =
        range.match(QString::fromLatin1(reply->rawHeader(QByteArrayLiteral("Content-Range"))));
    ContentRange found;
    if (!match.hasMatch())
        return found;
    found.start = match.captured(1).toLongLong();
    found.end = match.captured(2).toLongLong();
    if (match.captured(3) != QLatin1String("*"))
        found.total = match.captured(3).toLongLong();
    return found;
}
