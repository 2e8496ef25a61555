#include "ExportManifest.h"
#include "Startup.h"

#include <QCoreApplication>
#include <QString>
#include <QTextStream>

#include <cstring>

int main(int argc, char *argv[])
{
    // Checking an exported clip needs neither a window nor the network: it runs on any
    // machine the files were handed to, without a display.
    if (argc == 3 && std::strcmp(argv[1], "--verify-export") == 0) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        return ExportManifest::verify(QString::fromLocal8Bit(argv[2]), out);
    }
    return Startup::run(argc, argv, QUrl(QStringLiteral("qrc:/qml/main.qml")));
}
