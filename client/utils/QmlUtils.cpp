#include "QmlUtils.h"

#include "StreamAddress.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QQmlEngine>

namespace {

void registerQmlUtils()
{
    qmlRegisterSingletonType<QmlUtils>(
        "Native", 1, 0, "QmlUtils",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new QmlUtils; });
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerQmlUtils)

QmlUtils::QmlUtils(QObject *parent)
    : QObject(parent)
{}

QString QmlUtils::fileNameFromMSec(QString strmId, qulonglong msec)
{
    const QDateTime local =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msec), Qt::UTC).toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    // All placeholders are filled in one pass: filling them one after another would let a
    // "%N" inside the stream id swallow the numbers that follow.
    return QStringLiteral("%1_%2%3%4-%5-%6-%7")
        .arg(strmId, QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')),
             twoDigits(date.month()), twoDigits(date.day()), twoDigits(time.hour()),
             twoDigits(time.minute()), twoDigits(time.second()));
}

QString QmlUtils::redacted(const QString &text) const
{
    return StreamAddress::redacted(text);
}
