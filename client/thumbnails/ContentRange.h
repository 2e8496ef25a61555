#pragma once

#include <QtGlobal>

class QNetworkReply;

// The part of a file an HTTP answer carries, from its Content-Range header ("bytes N-M/SIZE",
// or "bytes N-M/*" when the server does not tell the size). A range answer whose header is
// missing or malformed carries no part that can be trusted: start -1.
class ContentRange
{
public:
    static ContentRange of(const QNetworkReply *reply);

    qint64 start = -1;
    qint64 end = -1;
    // The whole file's size; -1 when not told.
    qint64 total = -1;
};
