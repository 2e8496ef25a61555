// The Debian package as an operator's machine gets it: built with cpack from this build tree,
// unpacked into a folder of its own, its desktop entries pointing at files it holds, its
// metadata valid, and the unpacked console signing in to the unpacked simulated site.
#include "IpcConfig.h"
#include "ProgramRun.h"
#include "XServer.h"

#include <QDir>
#include <QDirIterator>
#include <QImageReader>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestPackage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    QString m_deb;
    QString m_root; // the unpacked package

    // Runs a tool to its end; its exit code, with what it printed in `output`.
    static int runTool(const QString &program, const QStringList &arguments,
                       QString *output = nullptr, int timeoutMs = 60000)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (output)
            *output = QString::fromUtf8(process.readAll());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString installed(const QString &path) const { return m_root + QStringLiteral("/usr/") + path; }

    QString controlField(const QString &field) const
    {
        QString value;
        runTool(QStringLiteral("dpkg-deb"), {"--field", m_deb, field}, &value);
        return value.trimmed();
    }

    static QString clientLog()
    {
        return qEnvironmentVariable("HOME") + QStringLiteral("/.local/share/Ardix/clientLogs.txt");
    }

private slots:
    void initTestCase()
    {
        for (const char *tool :
             {"cpack", "dpkg-deb", "dpkg-shlibdeps", "desktop-file-validate", "appstreamcli"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is not installed").arg(tool)));
        }
        QVERIFY(m_work.isValid());
        const QString build = qEnvironmentVariable("ARDIX_BUILD_DIR");
        QString output;
        const int code = runTool(QStringLiteral("cpack"),
                                 {"-G", "DEB", "--config", build + "/CPackConfig.cmake", "-B",
                                  m_work.filePath(QStringLiteral("out"))},
                                 &output, 240000);
        QVERIFY2(code == 0, qPrintable(output));
        const QStringList debs =
            QDir(m_work.filePath(QStringLiteral("out")))
                .entryList({QStringLiteral("ardix-console_*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = m_work.filePath(QStringLiteral("out/") + debs.first());
        m_root = m_work.filePath(QStringLiteral("root"));
        QCOMPARE(runTool(QStringLiteral("dpkg-deb"), {"-x", m_deb, m_root}, &output), 0);
    }

    // The control record: the project's version, and dependencies computed from what the
    // programs link plus the QML modules they load at run time.
    void control()
    {
        QCOMPARE(controlField(QStringLiteral("Package")), QStringLiteral("ardix-console"));
        QCOMPARE(controlField(QStringLiteral("Version")), qEnvironmentVariable("ARDIX_VERSION"));
        const QString depends = controlField(QStringLiteral("Depends"));
        for (const char *dependency :
             {"libmpv", "libzmq5", "libqt5quick5 (>=", "libqt5remoteobjects5",
              "libc6 (>=", "qml-module-qtquick-controls2", "qml-module-qt-labs-settings"})
            QVERIFY2(depends.contains(QLatin1String(dependency)),
                     qPrintable(dependency + QStringLiteral(" missing from: ") + depends));
    }

    // Every QML module the programs import is either their own (compiled in) or comes with a
    // package the control record depends on: the linker record shows none of them.
    void qmlImportsAreDependencies()
    {
        const QHash<QString, QString> packageOf{
            {"QtQuick", "qml-module-qtquick2"},
            {"QtQuick.Window", "qml-module-qtquick-window2"},
            {"QtQuick.Layouts", "qml-module-qtquick-layouts"},
            {"QtQuick.Controls", "qml-module-qtquick-controls2"},
            {"Qt.labs.settings", "qml-module-qt-labs-settings"},
        };
        const QSet<QString> ownModules{"Native", "Elements", "Config", "Scripts"};
        const QStringList depends = controlField(QStringLiteral("Depends")).split(", ");
        const QRegularExpression import(QStringLiteral("^\\s*\\.?import\\s+([A-Za-z][\\w.]*)"),
                                        QRegularExpression::MultilineOption);
        const QString source = qEnvironmentVariable("ARDIX_SOURCE_DIR");
        int files = 0;
        for (const char *folder : {"client", "vantrel"}) {
            QDirIterator it(source + QLatin1Char('/') + QLatin1String(folder),
                            {QStringLiteral("*.qml"), QStringLiteral("*.js")}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                ++files;
                auto matches = import.globalMatch(QString::fromUtf8(file.readAll()));
                while (matches.hasNext()) {
                    const QString module = matches.next().captured(1);
                    if (ownModules.contains(module))
                        continue;
                    const QString package = packageOf.value(module);
                    QVERIFY2(!package.isEmpty() && depends.contains(package),
                             qPrintable(QStringLiteral("%1 (%2): its package is not a dependency")
                                            .arg(module, it.filePath())));
                }
            }
        }
        QVERIFY(files > 0);
    }

    void files_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *path :
             {"bin/client", "bin/vantrel", "bin/zarn-sim", "share/ardix/sites/demo.json",
              "share/ardix/site-file.md", "share/ardix/config.ini",
              "share/metainfo/example.ardix.Console.metainfo.xml"})
            QTest::newRow(path) << QString::fromLatin1(path);
    }

    void files()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
        QVERIFY2(QFileInfo(installed(path)).size() > 0, qPrintable(path));
    }

    void desktopEntries_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("program");
        QTest::newRow("console") << "example.ardix.Console"
                                 << "client";
        QTest::newRow("vantrel") << "example.ardix.Vantrel"
                                 << "vantrel";
    }

    // Each entry validates, starts a program the package installs on the PATH, and names an
    // icon the package holds as SVG and as a 256 px PNG.
    void desktopEntries()
    {
        QFETCH(QString, id);
        QFETCH(QString, program);
        const QString entry = installed(QStringLiteral("share/applications/%1.desktop").arg(id));
        QString output;
        QVERIFY2(runTool(QStringLiteral("desktop-file-validate"), {entry}, &output) == 0,
                 qPrintable(output));
        QVERIFY2(output.isEmpty(), qPrintable(output));

        QSettings desktop(entry, QSettings::IniFormat);
        desktop.beginGroup(QStringLiteral("Desktop Entry"));
        const QString exec = desktop.value(QStringLiteral("Exec")).toString().section(' ', 0, 0);
        QCOMPARE(exec, program);
        const QFileInfo binary(installed(QStringLiteral("bin/") + exec));
        QVERIFY2(binary.isExecutable(), qPrintable(binary.filePath()));

        const QString icon = desktop.value(QStringLiteral("Icon")).toString();
        QCOMPARE(icon, id);
        const QString hicolor = installed(QStringLiteral("share/icons/hicolor/"));
        QVERIFY(QFileInfo(hicolor + QStringLiteral("scalable/apps/%1.svg").arg(icon)).isFile());
        QImageReader png(hicolor + QStringLiteral("256x256/apps/%1.png").arg(icon));
        QCOMPARE(png.format(), QByteArray("png"));
        QCOMPARE(png.size(), QSize(256, 256));
    }

    void appStreamMetadata()
    {
        const QString metainfo =
            installed(QStringLiteral("share/metainfo/example.ardix.Console.metainfo.xml"));
        QString output;
        QVERIFY2(runTool(QStringLiteral("appstreamcli"), {"validate", "--no-net", metainfo},
                         &output) == 0,
                 qPrintable(output));
        QFile file(metainfo);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains(QStringLiteral(
            "<launchable type=\"desktop-id\">example.ardix.Console.desktop</launchable>")));
        QVERIFY(text.contains(
            QStringLiteral("<release version=\"%1\"").arg(qEnvironmentVariable("ARDIX_VERSION"))));
    }

    // The unpacked programs, with nothing of the build tree: zarn-sim serves the packaged demo
    // site, and the console, its login fields stored, signs in to it on an X server.
    void unpackedConsoleSignsIn()
    {
        if (!XServer::available())
            QSKIP("Xvfb or xdotool is not installed");
        QProcess sim;
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.start(
            installed(QStringLiteral("bin/zarn-sim")),
            {"--site", installed(QStringLiteral("share/ardix/sites/demo.json")), "--port", "0"});
        QVERIFY(sim.waitForStarted(10000));
        QString simOutput;
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QRegularExpressionMatch port;
        QTRY_VERIFY_WITH_TIMEOUT((simOutput += QString::fromUtf8(sim.readAllStandardError()),
                                  (port = listening.match(simOutput)).hasMatch()),
                                 15000);

        QSettings stored(qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/ardix.example/Ardix.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), port.captured(1));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.sync();
        QCOMPARE(stored.status(), QSettings::NoError);

        XServer xserver;
        QVERIFY(xserver.start(QStringLiteral("1280x1024")));
        ProgramRun client(installed(QStringLiteral("bin/client")));
        client.setEnv(QStringLiteral("DISPLAY"), xserver.display());
        client.setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QVERIFY(client.start());
        QVERIFY(ProgramRun::waitForLine(clientLog(), QStringLiteral("Logged in, id: "), 30000));
        QVERIFY(!xserver.waitForWindow(client.process().processId()).isEmpty());
        QCOMPARE(client.process().state(), QProcess::Running);
        // No config.ini beside the installed program: it reads the machine-wide one, or the
        // default endpoint when the machine has none.
        const QString expected = IpcConfig::readUrl(installed(QStringLiteral("bin")));
        const QString ipcLine = QStringLiteral("IPC url: \"%1\"").arg(expected);
        QVERIFY2(ProgramRun::readLines(clientLog()).contains(ipcLine), qPrintable(ipcLine));

        client.stop();
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
