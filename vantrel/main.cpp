#include "LogHandler.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

int main(int argc, char *argv[])
{
    QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication app(argc, argv);
    // Beside wherever the program was started; a folder that cannot be written loses the log.
    LogHandler::setFilePath("vantrel.log", false);
    LogHandler::install();

    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("debug"), false);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    return app.exec();
}
