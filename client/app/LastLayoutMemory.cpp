#include "LastLayoutMemory.h"

#include <QDebug>
#include <QSettings>

const QString LastLayoutMemory::settingsKey = QStringLiteral("lastLayout");

bool LastLayoutMemory::acceptable(const QString &name)
{
    // A UTF-16 unit takes at least one byte in UTF-8: longer names need no conversion.
    return name.size() <= maxNameBytes && name.toUtf8().size() <= maxNameBytes;
}

QString LastLayoutMemory::name() const
{
    QSettings settings;
    const QString kept = settings.value(settingsKey).toString();
    if (acceptable(kept))
        return kept;
    qWarning() << "The remembered layout name is longer than" << maxNameBytes
               << "bytes; it is forgotten";
    settings.remove(settingsKey);
    settings.sync();
    return QString();
}

void LastLayoutMemory::remember(const QString &name)
{
    if (!acceptable(name))
        return;
    QSettings settings;
    settings.setValue(settingsKey, name);
    settings.sync();
}

QString LastLayoutMemory::choose(const QStringList &available) const
{
    if (available.isEmpty())
        return QString();
    const QString remembered = name();
    if (!remembered.isEmpty() && available.contains(remembered))
        return remembered;
    return available.first();
}
