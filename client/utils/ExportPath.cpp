#include "ExportPath.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QQmlEngine>
#include <QStandardPaths>

namespace {

void registerExportPath()
{
    qmlRegisterSingletonType<ExportPath>(
        "Native", 1, 0, "ExportPath",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new ExportPath; });
}

// Far more than a person exports in one second; stops a folder that claims every name.
constexpr int maxNumber = 1000;

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerExportPath)

ExportPath::ExportPath(QObject *parent)
    : QObject(parent)
{}

QString ExportPath::folder()
{
    return folderIn(QStandardPaths::DocumentsLocation);
}

QString ExportPath::folderIn(QStandardPaths::StandardLocation location)
{
    QString base = QStandardPaths::writableLocation(location);
    if (base.isEmpty())
        base = QDir::homePath();
    return base + QStringLiteral("/Ardix");
}

QString ExportPath::freeName(const QString &dir, const QString &stem, const QString &suffix,
                             const QDateTime &time)
{
    const QString base =
        dir + QLatin1Char('/') + stem + time.toString(QStringLiteral("-yyyy-MM-dd-HHmmss"));
    for (int number = 1; number <= maxNumber; ++number) {
        const QString path = number == 1
                                 ? QStringLiteral("%1.%2").arg(base, suffix)
                                 : QStringLiteral("%1-%2.%3").arg(base).arg(number).arg(suffix);
        if (!QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString ExportPath::next(const QString &stem, const QString &suffix) const
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        qWarning() << "Export: the folder" << dir << "could not be made";
        return QString();
    }
    return freeName(dir, stem, suffix, QDateTime::currentDateTime());
}
