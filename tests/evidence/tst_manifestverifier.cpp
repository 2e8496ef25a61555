// What `client --verify-export` says of an export altered in each way an attacker or a careless
// editor would alter it, and the key the console signs with.

#include "ExportKey.h"
#include "ManifestVerifier.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

const QString kManifest = QStringLiteral("Till_20261208-143000.manifest.txt");
const QString kClip = QStringLiteral("Till_20261208-143000.mp4");
const QString kSrt = QStringLiteral("Till_20261208-143000.srt");

QByteArray hashOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The manifest of a clip and its subtitles, as the console writes it.
QByteArray manifestOf(const QByteArray &clip, const QByteArray &srt)
{
    return "# Recorded clip exported by the Ardix console.\n"
           "# Camera: Till\n"
           "# In " +
           kClip.toUtf8() + ": 2026-12-08T14:30:00.000Z to 2026-12-08T14:30:30.000Z (UTC)\n" +
           hashOf(clip) + "  " + kClip.toUtf8() + "\n" + hashOf(srt) + "  " + kSrt.toUtf8() + "\n";
}

int verify(const QString &manifest, const QString &key, QString *output)
{
    QTextStream out(output);
    return ManifestVerifier::verify(manifest, key, out);
}

} // namespace

class TestManifestVerifier : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_keys;
    ExportKey m_key;
    ExportKey m_other;

    QString path(const QTemporaryDir &dir, const QString &name) const
    {
        return QDir(dir.path()).filePath(name);
    }

    bool sign(const QTemporaryDir &dir, const QByteArray &manifest)
    {
        return writeFile(path(dir, kManifest), manifest) &&
               writeFile(path(dir, kManifest + ".sig"), m_key.sign(manifest)) &&
               writeFile(path(dir, "Till_20261208-143000.pub.pem"), m_key.publicPem());
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_key.loadOrCreate(QDir(m_keys.path()).filePath("a/export-key.pem"), &error),
                 qPrintable(error));
        QVERIFY2(m_other.loadOrCreate(QDir(m_keys.path()).filePath("b.pem"), &error),
                 qPrintable(error));
        QCOMPARE(m_key.fingerprint().size(), 64);
        QVERIFY(m_key.fingerprint() != m_other.fingerprint());
    }

    // Each row alters a signed export. `resign`: the manifest is signed again after the change,
    // so that the line checks are seen on their own, not only through the signature.
    void verdict_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("resign");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");

        QTest::newRow("intact") << "" << false << 0 << "intact";
        QTest::newRow("a byte of the clip changed")
            << "flip clip" << false << 1 << "changed: " + kClip;
        QTest::newRow("clip appended to, its hash line deleted")
            << "append clip, drop hash" << false << 1 << "signature: does not match";
        QTest::newRow("hash line deleted, signed again")
            << "drop hash" << true << 1 << "no hash line: " + kClip;
        QTest::newRow("# In line deleted")
            << "drop in" << true << 1 << "not a file of this export: " + kClip;
        QTest::newRow("a file added")
            << "add file" << true << 1 << "not a file of this export: extra.mp4";
        QTest::newRow("../ name") << "name ../../etc/passwd" << true << 1 << "refused";
        QTest::newRow("absolute name") << "name /etc/shadow" << true << 1 << "refused";
        QTest::newRow("CRLF") << "crlf" << true << 0 << "intact";
        QTest::newRow("no final newline") << "chop newline" << true << 0 << "intact";
        QTest::newRow("a stray line") << "stray" << true << 1 << "neither a comment";
        QTest::newRow("a second hash line") << "double hash" << true << 1 << "a second hash line";
        QTest::newRow("bad signature") << "flip sig" << false << 1 << "signature: does not match";
        QTest::newRow("signature of the wrong length")
            << "short sig" << false << 1 << "is not a signature (10 bytes";
        QTest::newRow("no signature") << "no sig" << false << 1 << "signature: missing";
        QTest::newRow("shipped key is no key")
            << "bad pub" << false << 1 << "no Ed25519 public key";
        QTest::newRow("the right key given") << "key own" << false << 0 << "by the key given";
        QTest::newRow("another key given")
            << "key other" << false << 1 << "signature: does not match";
        QTest::newRow("binary") << "binary" << false << 2 << "is no manifest";
        QTest::newRow("over 1 MiB") << "huge" << false << 2 << "is no manifest";
        QTest::newRow("escape sequences") << "escapes" << true << 1 << "\\x1b[2J";
    }

    void verdict()
    {
        QFETCH(QString, change);
        QFETCH(bool, resign);
        QFETCH(int, status);
        QFETCH(QString, said);

        QTemporaryDir dir;
        const QByteArray clip(4096, 'v');
        const QByteArray srt("1\n00:00:00,000 --> 00:00:04,000\nMilk 1.19\n");
        QVERIFY(writeFile(path(dir, kClip), clip) && writeFile(path(dir, kSrt), srt));
        QByteArray manifest = manifestOf(clip, srt);
        QVERIFY(sign(dir, manifest));
        const QByteArray clipHash = hashOf(clip) + "  " + kClip.toUtf8() + "\n";
        QString key;

        if (change.contains("flip clip") || change.contains("append clip"))
            QVERIFY(writeFile(path(dir, kClip),
                              change.contains("flip") ? QByteArray(4096, 'w') : clip + "x"));
        if (change.contains("drop hash"))
            manifest.replace(clipHash, "");
        if (change == "drop in")
            manifest = manifest.left(manifest.indexOf("# In")) +
                       manifest.mid(manifest.indexOf('\n', manifest.indexOf("# In")) + 1);
        if (change == "add file") {
            QVERIFY(writeFile(path(dir, "extra.mp4"), "x"));
            manifest += hashOf("x") + "  extra.mp4\n";
        }
        if (change.startsWith("name "))
            manifest += hashOf("x") + "  " + change.mid(5).toUtf8() + "\n";
        if (change == "crlf")
            manifest.replace("\n", "\r\n");
        if (change == "chop newline")
            manifest.chop(1);
        if (change == "stray")
            manifest += "this is not a hash\n";
        if (change == "double hash")
            manifest += clipHash;
        if (change == "escapes")
            manifest += "\x1b[2J\x07 junk\n";
        if (change.contains("drop") || change.contains("add") || change.startsWith("name") ||
            change == "crlf" || change == "chop newline" || change == "stray" ||
            change == "double hash" || change == "escapes") {
            QVERIFY(writeFile(path(dir, kManifest), manifest));
            if (resign)
                QVERIFY(sign(dir, manifest));
        }
        if (change == "flip sig") {
            QByteArray sig = m_key.sign(manifest);
            sig[5] = char(sig[5] ^ 1);
            QVERIFY(writeFile(path(dir, kManifest + ".sig"), sig));
        }
        if (change == "short sig")
            QVERIFY(writeFile(path(dir, kManifest + ".sig"), "0123456789"));
        if (change == "no sig")
            QVERIFY(QFile::remove(path(dir, kManifest + ".sig")));
        if (change == "bad pub")
            QVERIFY(writeFile(path(dir, "Till_20261208-143000.pub.pem"), "not a key\n"));
        if (change.startsWith("key ")) {
            key = path(dir, "given.pem");
            QVERIFY(writeFile(key, (change == "key own" ? m_key : m_other).publicPem()));
        }
        if (change == "binary")
            QVERIFY(writeFile(path(dir, kManifest), QByteArray("\x7f"
                                                               "ELF\0\0\x01",
                                                               7)));
        if (change == "huge")
            QVERIFY(writeFile(path(dir, kManifest), QByteArray(2 * 1024 * 1024, '#')));

        QString output;
        QCOMPARE(verify(path(dir, kManifest), key, &output), status);
        QVERIFY2(output.contains(said), qPrintable(output));
        QVERIFY2(!output.contains(QChar(0x1b)) && !output.contains(QChar(0x07)),
                 qPrintable(output));
        if (status == 0)
            QVERIFY2(output.endsWith("intact\n"), qPrintable(output));
        else
            QVERIFY2(!output.contains("intact"), qPrintable(output));
    }

    // Anybody can check a signature with the openssl program alone, as the README says.
    void opensslAgrees()
    {
        QTemporaryDir dir;
        const QByteArray manifest = manifestOf("clip", "srt");
        QVERIFY(sign(dir, manifest));
        QProcess openssl;
        openssl.setWorkingDirectory(dir.path());
        openssl.start("openssl",
                      {"pkeyutl", "-verify", "-pubin", "-inkey", "Till_20261208-143000.pub.pem",
                       "-rawin", "-in", kManifest, "-sigfile", kManifest + ".sig"});
        QVERIFY(openssl.waitForFinished(60000));
        const QByteArray said = openssl.readAll();
        QVERIFY2(openssl.exitCode() == 0 && said.contains("Signature Verified Successfully"),
                 said.constData());

        // The fingerprint is what openssl and sha256sum give of the key's DER form.
        QProcess der;
        der.setWorkingDirectory(dir.path());
        der.start("sh", {"-c", "openssl pkey -pubin -in Till_20261208-143000.pub.pem -outform DER"
                               " | sha256sum"});
        QVERIFY(der.waitForFinished(60000));
        QCOMPARE(QString::fromLatin1(der.readAllStandardOutput().left(64)), m_key.fingerprint());
    }

    // A key others may read, or a file that holds no key, signs nothing; a new key is made
    // owner-only.
    void keyFileRules()
    {
        QTemporaryDir dir;
        const QString made = path(dir, "new/export-key.pem");
        ExportKey key;
        QString error;
        QVERIFY2(key.loadOrCreate(made, &error), qPrintable(error));
        const QFile::Permissions others =
            QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(QFile::permissions(made) & QFile::ReadOwner);
        QVERIFY(!(QFile::permissions(made) & others));
        ExportKey again;
        QVERIFY(again.loadOrCreate(made, &error));
        QCOMPARE(again.fingerprint(), key.fingerprint());

        QVERIFY(QFile::setPermissions(made, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!again.loadOrCreate(made, &error) && !again.isValid());
        QVERIFY2(error.contains("mode 0644"), qPrintable(error));
        QVERIFY(again.sign("x").isEmpty());

        const QString corrupt = path(dir, "corrupt.pem");
        QVERIFY(writeFile(corrupt, readFile(made).left(40)));
        QVERIFY(QFile::setPermissions(corrupt, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(!again.loadOrCreate(corrupt, &error));
        QVERIFY2(error.contains("no Ed25519 private key"), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestManifestVerifier)
#include "tst_manifestverifier.moc"
