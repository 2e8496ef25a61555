#include "LayoutListSingleton.h"

#include "LayoutList.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerLayoutList()
{
    qmlRegisterSingletonType<LayoutList>(
        "Native", 1, 0, "LayoutList", [](QQmlEngine *, QJSEngine *) -> QObject * {
            LayoutList *list = LayoutListSingleton::instance();
            // The engine would delete its singletons with itself; this one outlives engines.
            QQmlEngine::setObjectOwnership(list, QQmlEngine::CppOwnership);
            return list;
        });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerLayoutList)

LayoutList *LayoutListSingleton::instance()
{
    static LayoutList *list = new LayoutList;
    return list;
}
