// The console's remote-control side in a process of its own, for tests whose behaviour
// depends on the source being another process: it runs the real App (and with it RpcSource
// and client_Service) and logs into "rpc_host.log" in its working directory like the console.
//
// Commands, one per line on stdin:
//   login | logout | quit
//   layouts <JSON array of {"name": ..., "json": ...}>
// Events, one JSON object per line on stdout: "ready", "setLayoutRequested" (name, json),
// "requestedJumpPage" (page), "layoutModel" (numRows, numCols, cells) after each applied layout.
#include "App.h"
#include "LayoutModel.h"
#include "LogHandler.h"
#include "RpcSource.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void emitEvent(const QJsonObject &event)
{
    const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QList<client_Layout> parseLayouts(const QByteArray &text)
{
    QList<client_Layout> list;
    const QJsonArray array = QJsonDocument::fromJson(text).array();
    for (const QJsonValue &value : array) {
        const QJsonObject entry = value.toObject();
        list.append(client_Layout(entry.value("name").toString(), entry.value("json").toString()));
    }
    return list;
}

void runCommand(const QByteArray &line, client_Service *service)
{
    const int space = line.indexOf(' ');
    const QByteArray command = space < 0 ? line : line.left(space);
    if (command == "login")
        service->setLoggedIn(true);
    else if (command == "logout")
        service->setLoggedOut();
    else if (command == "layouts")
        service->setLayoutList(parseLayouts(line.mid(space + 1)));
    else if (command == "quit")
        QCoreApplication::quit();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    LogHandler::setFilePath("rpc_host.log", false);
    LogHandler::install();

    App controller;
    client_Service *service = controller.rpcSource()->service().get();
    QObject::connect(
        service, &client_Service::setLayoutRequested, [](const QString &name, const QString &json) {
            emitEvent({{"event", "setLayoutRequested"}, {"name", name}, {"json", json}});
        });
    LayoutModel *model = controller.layoutModel();
    QObject::connect(service, &client_Service::setLayoutRequested, model, [model] {
        emitEvent({{"event", "layoutModel"},
                   {"numRows", model->numRows()},
                   {"numCols", model->numCols()},
                   {"cells", model->rowCount()}});
    });
    QObject::connect(&controller, &App::requestedJumpPage, [](const QString &page) {
        emitEvent({{"event", "requestedJumpPage"}, {"page", page}});
    });

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // The test went away: end like a closed console.
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<int>(n));
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            runCommand(pending.left(end), service);
            pending.remove(0, end + 1);
        }
    });

    emitEvent({{"event", "ready"}});
    return app.exec();
}
