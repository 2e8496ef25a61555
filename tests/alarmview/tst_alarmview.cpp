// The alarm cell's view with the console's own types and resources, over an event list kept
// in memory and a site of two devices: a door controller (3) with a door sensor (21) and its
// lock (22), and a gateway (2) with a camera (14).
#include "EventList.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

#include <memory>

class AlarmViewSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qml"));
        // Made here: the application and its event loop exist only from now on.
        m_repository = std::make_unique<ZarnObjectsRepository>();
        add(QStringLiteral("1"), QStringLiteral("Shop"), QStringLiteral("Shop"));
        add(QStringLiteral("3"), QStringLiteral("Shop,Doors"), QStringLiteral("Door controller"));
        add(QStringLiteral("21"), QStringLiteral("Shop,Doors,Front"), QStringLiteral("Front door"));
        add(QStringLiteral("22"), QStringLiteral("Shop,Doors,Lock"), QStringLiteral("Front lock"));
        add(QStringLiteral("2"), QStringLiteral("Shop,Gateway"), QStringLiteral("Gateway"));
        add(QStringLiteral("14"), QStringLiteral("Shop,Gateway,Park"), QStringLiteral("Car park"));
        m_events = std::make_unique<EventList>(QString());
        m_events->setRepository(m_repository.get());
        m_events->setUser(QStringLiteral("operator"));
        engine->rootContext()->setContextProperty(QStringLiteral("siteEvents"), m_events.get());
    }

private:
    void add(const QString &id, const QString &path, const QString &name)
    {
        auto object = std::make_shared<ZarnObject>();
        object->setId(id);
        object->setPath(path);
        object->setName(name);
        m_repository->add(object, QStringLiteral(","));
    }

    std::unique_ptr<ZarnObjectsRepository> m_repository;
    std::unique_ptr<EventList> m_events;
};

QUICK_TEST_MAIN_WITH_SETUP(alarmview, AlarmViewSetup)
#include "tst_alarmview.moc"
