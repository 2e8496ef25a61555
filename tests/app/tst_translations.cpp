// The Spanish and Portuguese translations hold every text the screens show: lupdate is run over
// client/ into copies of client_es.ts and client_pt.ts, and a text that is new (missing), not
// translated (unfinished) or no longer in the sources (obsolete) fails the test, named with its
// file. A translation must also keep its source's %1, %2… so that the values still show.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// The sorted placeholders of a text: "%1", "%2", "%n".
QStringList placeholders(const QString &text)
{
    QStringList found;
    static const QRegularExpression arg(QStringLiteral("%(\\d+|n)"));
    auto it = arg.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    found.sort();
    found.removeDuplicates();
    return found;
}

// Every fault of a .ts file brought up to date by lupdate, one line each.
QStringList faults(const QString &path, const QString &name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {path + QStringLiteral(" cannot be read")};
    QStringList found;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            const QString where = QStringLiteral("%1 (%2): \"%3\"").arg(name, context, source);
            // Plural forms come as <numerusform> children.
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (type == QLatin1String("unfinished"))
                found << QStringLiteral("missing or unfinished in ") + where;
            else if (type == QLatin1String("obsolete") || type == QLatin1String("vanished"))
                found << QStringLiteral("obsolete in ") + where;
            else if (placeholders(text) != placeholders(source))
                found << QStringLiteral("placeholders differ in ") + where;
        }
    }
    if (xml.hasError())
        found << QStringLiteral("%1: %2").arg(name, xml.errorString());
    return found;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void complete_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Spanish") << QStringLiteral("client_es.ts");
        QTest::newRow("Portuguese") << QStringLiteral("client_pt.ts");
    }

    void complete()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(name);
        QVERIFY(QFile::copy(QStringLiteral(ARDIX_CLIENT_DIR "/translations/") + name, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(ARDIX_CLIENT_DIR));
        lupdate.start(QStringLiteral(ARDIX_LUPDATE),
                      {QStringLiteral("-silent"), QStringLiteral("-locations"),
                       QStringLiteral("none"), QStringLiteral("-extensions"),
                       QStringLiteral("cpp,h,qml,js"), QStringLiteral(ARDIX_CLIENT_DIR),
                       QStringLiteral("-ts"), copy});
        QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
        QCOMPARE(lupdate.exitCode(), 0);
        const QStringList found = faults(copy, name);
        QVERIFY2(found.isEmpty(),
                 qPrintable(found.join(QLatin1Char('\n')) +
                            QStringLiteral("\n(cmake --build build --target update_translations, "
                                           "then translate the texts above)")));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
