#include "EventText.h"

#include <QJsonDocument>
#include <QRegularExpression>

EventRecord EventText::fromServer(const QVariantMap &map, qint64 arrival)
{
    EventRecord record;
    const qint64 serverTime = map.value(QStringLiteral("time")).toLongLong();
    // A time the server did not give (0) or could not mean (before 2000, or a day ahead of the
    // console's clock) is replaced by the arrival.
    const qint64 earliest = 946684800000LL;
    const bool usable = serverTime > earliest && serverTime < arrival + 24 * 3600000LL;
    record.time = usable ? serverTime : arrival;
    record.serverId = map.value(QStringLiteral("eventId")).toString();
    record.sourceId = map.value(QStringLiteral("srcId")).toString();
    record.cls = oneLine(map.value(QStringLiteral("cls")).toString(), 100);
    record.text = describe(map.value(QStringLiteral("fields")).toMap(),
                           map.value(QStringLiteral("fieldsText")).toString());
    return record;
}

QString EventText::describe(const QVariantMap &fields, const QString &rawFields)
{
    if (fields.isEmpty())
        return oneLine(rawFields);
    const QVariant text = fields.value(QStringLiteral("text"));
    if (text.isValid() && !text.toString().trimmed().isEmpty())
        return oneLine(valueText(text));
    QString line;
    for (auto it = fields.cbegin(); it != fields.cend() && line.size() < kMaxLength; ++it) {
        if (!line.isEmpty())
            line += QStringLiteral(", ");
        line += it.key().left(kMaxLength) + QStringLiteral(": ") + valueText(it.value());
    }
    return oneLine(line);
}

QString EventText::valueText(const QVariant &value)
{
    const int type = value.userType();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantList) {
        // Nested values are shown as compact JSON, cut: they are rarely worth a whole line.
        return QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact))
            .left(kMaxLength + 1);
    }
    return value.toString().left(kMaxLength + 1);
}

QString EventText::oneLine(const QString &text, int maxLength)
{
    QString line;
    line.reserve(qMin(text.size(), maxLength + 1));
    bool blank = false;
    for (const QChar c : text) {
        const bool space = c.isSpace() || c.category() == QChar::Other_Control ||
                           c.category() == QChar::Other_Format;
        if (space) {
            blank = !line.isEmpty();
            continue;
        }
        if (blank)
            line += QLatin1Char(' ');
        blank = false;
        line += c;
        if (line.size() > maxLength)
            break;
    }
    if (line.size() > maxLength) {
        // Never half a character: a surrogate pair is kept whole or dropped.
        const int keep = line.at(maxLength - 2).isHighSurrogate() ? maxLength - 2 : maxLength - 1;
        line.truncate(keep);
        line += QChar(0x2026);
    }
    return line;
}
