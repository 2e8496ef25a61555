#include "Startup.h"

#include "ClickFocusGuard.h"
#include "LogHandler.h"
#include "SettingsFileGuard.h"

#include <QDebug>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QStandardPaths>

#include <clocale>
#include <malloc.h>

void Startup::setIdentity()
{
    QGuiApplication::setApplicationName(QStringLiteral("Ardix"));
    QGuiApplication::setOrganizationDomain(QStringLiteral("ardix.example"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0.0"));
}

void Startup::limitAllocatorArenas()
{
    // glibc gives every thread that allocates an arena of its own, up to eight per core, and an
    // arena keeps the pages its thread freed. Each layout switch starts players with threads of
    // their own, so with the default the resident memory grew by about 100 MB over the first
    // thousand switches while the memory actually in use stayed flat. Four arenas keep it flat.
    if (!qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"))
        mallopt(M_ARENA_MAX, 4);
}

int Startup::run(int &argc, char **argv, const QUrl &scene)
{
    limitAllocatorArenas();
    QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    setIdentity();
    QGuiApplication app(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    LogHandler::setFilePath(logFilePath(), true);
    LogHandler::install();
    // A console started from the desktop has no QT_MESSAGE_PATTERN: Ardix.conf may give the
    // lines a time stamp.
    LogHandler::usePatternFrom(SettingsFileGuard::defaultFilePath());
    // The login page keeps the sign-in fields there: nobody else may read them.
    SettingsFileGuard::secure(SettingsFileGuard::defaultFilePath());

    QQmlApplicationEngine engine;
    const QString debugValue = QProcessEnvironment::systemEnvironment().value(
        QStringLiteral("DEBUG"), QStringLiteral("0"));
    loadScene(engine, debugValue, scene);
    if (engine.rootObjects().isEmpty())
        return -1;
    return app.exec();
}

std::string Startup::logFilePath()
{
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::AppLocalDataLocation);
    const QString folder = folders.isEmpty() ? QString() : folders.first();
    return QStringLiteral("%1/clientLogs.txt").arg(folder).toStdString();
}

bool Startup::debugEnabled(const QString &value)
{
    return value == QLatin1String("1");
}

void Startup::loadScene(QQmlApplicationEngine &engine, const QString &debugValue, const QUrl &scene)
{
    qDebug() << "DEBUG:" << debugValue;
    engine.rootContext()->setContextProperty(QStringLiteral("debug"), debugEnabled(debugValue));
    if (debugEnabled(debugValue))
        QLoggingCategory::setFilterRules(QStringLiteral("zarn.values.debug=true"));
    engine.addImportPath(QStringLiteral("qrc:/qml"));
    engine.load(scene);
    auto *guard = new ClickFocusGuard(&engine);
    for (QObject *root : engine.rootObjects())
        guard->watch(qobject_cast<QQuickWindow *>(root));
}
