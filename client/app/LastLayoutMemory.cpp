#include "LastLayoutMemory.h"

#include <QSettings>

const QString LastLayoutMemory::settingsKey = QStringLiteral("lastLayout");

QString LastLayoutMemory::name() const
{
    return QSettings().value(settingsKey).toString();
}

void LastLayoutMemory::remember(const QString &name)
{
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
