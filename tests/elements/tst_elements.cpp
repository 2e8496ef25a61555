// Qt Quick tests of the screens' building blocks, with the console's own types and resources.
#include <QQmlEngine>
#include <QtQuickTest>

class ElementsSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral("qrc:/qml")); }
};

QUICK_TEST_MAIN_WITH_SETUP(elements, ElementsSetup)
#include "tst_elements.moc"
