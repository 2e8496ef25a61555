// The console's QML registration of LayoutList. It is kept out of the layoutlist library,
// which vantrel shares and registers differently (as a singleton).
#include "LayoutList.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerLayoutList()
{
    qmlRegisterType<LayoutList>("Native", 1, 0, "LayoutList");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerLayoutList)
