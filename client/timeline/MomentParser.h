#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariantMap>

// Reads a moment the operator types to go to it: "2026-12-08 14:30", "14:30" (today),
// "yesterday 14:30" or "today 14:30", each with optional seconds ("14:30:15"), in local time.
// Refuses, saying why and which forms are read: anything else, a date or time that does not
// exist ("25:00", "2026-02-30 10:00"), a moment still to come, and a local time that a clock
// change skipped or passed twice (it would name no moment, or two).
class MomentParser : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        bool ok = false;
        qint64 time = -1; // ms since the epoch
        QString error;    // for the operator, when not ok
    };

    explicit MomentParser(QObject *parent = nullptr);

    // `now`: the present, against which "today", "yesterday" and the future are judged.
    static Result parse(const QString &text, const QDateTime &now);
    // The forms read, for messages and tooltips.
    static QString forms();

    // For QML: {"ok": bool, "time": ms since the epoch, "error": text}, judged against now.
    Q_INVOKABLE QVariantMap read(const QString &text) const;
};
