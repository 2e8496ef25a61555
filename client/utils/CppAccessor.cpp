#include "CppAccessor.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerCppAccessor()
{
    qmlRegisterSingletonType<CppAccessor>(
        "Native", 1, 0, "CppAccessor",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new CppAccessor; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerCppAccessor)

CppAccessor::CppAccessor(QObject *parent)
    : QObject(parent)
{}
