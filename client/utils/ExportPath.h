#pragma once

#include <QDateTime>
#include <QObject>
#include <QStandardPaths>
#include <QString>

// Where the console writes what the operator exports: the user's documents folder, under
// "Ardix/", named after what it holds and the time; a number is added rather than overwrite a
// file already there. Reached from QML as the singleton `ExportPath`.
class ExportPath : public QObject
{
    Q_OBJECT

public:
    explicit ExportPath(QObject *parent = nullptr);

    // A path for a new file "<stem>-<yyyy-MM-dd>-<HHmmss>.<suffix>" (then "-2", "-3", …), its
    // folder made; empty when the folder cannot be made.
    Q_INVOKABLE QString next(const QString &stem, const QString &suffix) const;

    // The folder the files go to.
    static QString folder();
    // "Ardix" in the user's folder of that kind (pictures, videos, documents), or in the home
    // folder when the desktop names none: where everything the console hands out goes.
    static QString folderIn(QStandardPaths::StandardLocation location);
    // The first name of that form not taken in dir.
    static QString freeName(const QString &dir, const QString &stem, const QString &suffix,
                            const QDateTime &time);
};
