#include "MomentParser.h"

#include <QCoreApplication>
#include <QQmlEngine>
#include <QRegularExpression>

namespace {

void registerMomentParser()
{
    qmlRegisterType<MomentParser>("Native", 1, 0, "MomentParser");
}

constexpr qint64 kDayMs = 24 * 3600 * 1000LL;

MomentParser::Result refused(const QString &why)
{
    MomentParser::Result result;
    result.error = why;
    return result;
}

// The local moments that show `date` and `time` on the clock: none in a gap the clock skipped,
// two in an hour it passed twice.
QList<qint64> momentsOf(const QDate &date, const QTime &time)
{
    QList<qint64> moments;
    const QDateTime local(date, time, Qt::LocalTime);
    if (!local.isValid())
        return moments;
    const qint64 guess = local.toMSecsSinceEpoch();
    // Every offset in force around that day: the moment under each that reads as date and time.
    QList<int> offsets;
    for (qint64 around : {guess - kDayMs / 2, guess, guess + kDayMs / 2}) {
        const int offset = QDateTime::fromMSecsSinceEpoch(around).offsetFromUtc();
        if (!offsets.contains(offset))
            offsets.append(offset);
    }
    const qint64 wall = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    for (int offset : offsets) {
        const qint64 candidate = wall - offset * 1000LL;
        const QDateTime back = QDateTime::fromMSecsSinceEpoch(candidate);
        if (back.date() == date && back.time() == time && !moments.contains(candidate))
            moments.append(candidate);
    }
    return moments;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerMomentParser)

MomentParser::MomentParser(QObject *parent)
    : QObject(parent)
{}

QString MomentParser::forms()
{
    return tr("Type a moment as 2026-12-08 14:30, 14:30 (today) or yesterday 14:30; "
              "seconds may follow (14:30:15)");
}

MomentParser::Result MomentParser::parse(const QString &text, const QDateTime &now)
{
    static const QRegularExpression form(
        QStringLiteral("^(?:(\\d{4})-(\\d{1,2})-(\\d{1,2})|(today|yesterday))?\\s*"
                       "(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString typed = text.simplified();
    if (typed.isEmpty())
        return refused(forms());
    const QRegularExpressionMatch match = form.match(typed);
    // A date must be followed by a space before the time ("2026-12-0814:30" is no moment).
    if (!match.hasMatch() || (!match.captured(1).isEmpty() && !typed.contains(QLatin1Char(' '))))
        return refused(tr("\"%1\" is not a moment. %2").arg(typed.left(40), forms()));

    const QDate today = now.toLocalTime().date();
    QDate date = today;
    if (!match.captured(1).isEmpty()) {
        date =
            QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        if (!date.isValid())
            return refused(
                tr("There is no day %1. %2").arg(match.captured(0).section(' ', 0, 0), forms()));
    } else if (match.captured(4).compare(QLatin1String("yesterday"), Qt::CaseInsensitive) == 0) {
        date = today.addDays(-1);
    }
    const QTime time(match.captured(5).toInt(), match.captured(6).toInt(),
                     match.captured(7).isEmpty() ? 0 : match.captured(7).toInt());
    if (!time.isValid())
        return refused(tr("There is no time %1 in a day. %2").arg(typed.section(' ', -1), forms()));

    const QList<qint64> moments = momentsOf(date, time);
    const QString shown = QStringLiteral("%1 %2").arg(date.toString(Qt::ISODate),
                                                      time.toString(QStringLiteral("HH:mm:ss")));
    if (moments.isEmpty())
        return refused(tr("%1 did not happen here: the clock was put forward over it").arg(shown));
    if (moments.size() > 1)
        return refused(tr("%1 happened twice here: the clock was put back over it; choose a "
                          "moment outside that hour")
                           .arg(shown));
    if (moments.first() > now.toMSecsSinceEpoch())
        return refused(tr("%1 is still to come").arg(shown));
    Result result;
    result.ok = true;
    result.time = moments.first();
    return result;
}

QVariantMap MomentParser::read(const QString &text) const
{
    const Result result = parse(text, QDateTime::currentDateTime());
    return {{QStringLiteral("ok"), result.ok},
            {QStringLiteral("time"), result.time},
            {QStringLiteral("error"), result.error}};
}
