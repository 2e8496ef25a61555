#pragma once

#include "EventRecord.h"

#include <QString>
#include <QVariantMap>

// Turns what the event server pushes into the console's event: the time, and one line of
// plain text made from the event's fields, bounded however large the fields are.
class EventText
{
public:
    static constexpr int kMaxLength = 300;

    // `map` as the event client emits it ("srcId", "eventId", "cls", "fields", "time",
    // "fieldsText"); `arrival` stands in for a missing or unusable server time.
    static EventRecord fromServer(const QVariantMap &map, qint64 arrival);
    // "text" when the fields have one, else "key: value" pairs in key order; the raw text of
    // fields that were not a JSON object; empty without fields.
    static QString describe(const QVariantMap &fields, const QString &rawFields);
    // One line: line breaks and other control characters become spaces, runs of blanks one,
    // cut to kMaxLength characters with an ellipsis.
    static QString oneLine(const QString &text, int maxLength = kMaxLength);

private:
    static QString valueText(const QVariant &value);
};
