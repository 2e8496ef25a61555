#include "ServerIdentity.h"

#include "App.h"

QString ServerIdentity::of(const QString &host, int port)
{
    QString name = host.trimmed().toLower();
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char(':')))
        name = QLatin1Char('[') + name + QLatin1Char(']');
    return name + QLatin1Char(':') + QString::number(port);
}

QString ServerIdentity::current()
{
    const App *app = App::instance();
    if (!app || !app->zarnClient())
        return {};
    return of(app->zarnClient()->host(), app->zarnClient()->port());
}
