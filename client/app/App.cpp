#include "App.h"

#include <QCoreApplication>
#include <QQmlEngine>

App *App::s_instance = nullptr;

namespace {

void registerApp()
{
    qmlRegisterSingletonType<App>("Native", 1, 0, "App",
                                  [](QQmlEngine *, QJSEngine *) -> QObject * { return new App; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerApp)

App::App(QObject *parent)
    : QObject(parent)
{
    s_instance = this;
}

App::~App()
{
    s_instance = nullptr;
}

App *App::instance()
{
    return s_instance;
}

void App::login(QString username, QString password, QString host, int port)
{
    Q_UNUSED(username)
    Q_UNUSED(password)
    Q_UNUSED(host)
    Q_UNUSED(port)
}

void App::fetchLayoutsList() {}
