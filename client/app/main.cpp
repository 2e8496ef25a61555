#include "EvidenceCommand.h"
#include "Startup.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Checking an exported clip, and the key that signs exports, need neither a window nor the
    // network: they run on any machine the files were handed to, without a display.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (EvidenceCommand::handles(args)) {
        Startup::setIdentity();
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return EvidenceCommand::run(args, out, err);
    }
    return Startup::run(argc, argv, QUrl(QStringLiteral("qrc:/qml/main.qml")));
}
