#pragma once

#include <QString>
#include <QUrl>

#include <string>

class QQmlApplicationEngine;

// The console's start-up sequence, kept apart from main() so that tests can run it on a scene
// of their own.
class Startup
{
public:
    // Runs the whole program on the given root scene and returns the process exit code.
    static int run(int &argc, char **argv, const QUrl &scene);

    // Caps the allocator's arenas (see Startup.cpp) unless MALLOC_ARENA_MAX says otherwise.
    static void limitAllocatorArenas();
    // Name, domain and version: they decide where logs and settings are kept.
    static void setIdentity();
    // Where "clientLogs.txt" lives: the per-user application-local data folder.
    static std::string logFilePath();
    // The debugging aids are on only for DEBUG exactly "1".
    static bool debugEnabled(const QString &value);
    // Publishes `debug`, adds the resource import path and loads the scene.
    static void loadScene(QQmlApplicationEngine &engine, const QString &debugValue,
                          const QUrl &scene);
};
