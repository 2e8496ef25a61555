#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTextStream;

// The strict check of an exported clip's manifest: its signature (by the key given, else the
// public key shipped beside it), its lines (comments, `# In` lines and hash lines in the format
// of sha256sum, nothing else), that every clip an `# In` line names has exactly one hash line and
// every hash line names a file the export made, that names are plain file names in the
// manifest's folder (anything else is refused, never opened), and each file's SHA-256.
class ManifestVerifier
{
public:
    enum Status { Intact = 0, Failed = 1, NoManifest = 2 };

    // A manifest larger than this is no manifest of ours.
    static constexpr qint64 kMaxSize = 1024 * 1024;

    // `keyPath` empty: the ".pub.pem" beside the manifest. Prints each problem on its own line,
    // or the signature's key and "intact".
    static int verify(const QString &manifestPath, const QString &keyPath, QTextStream &out);

    // "<name>.manifest.txt" → "<name>.pub.pem", beside it.
    static QString publicKeyPathFor(const QString &manifestPath);
    static QString signaturePathFor(const QString &manifestPath);
    // Text from a file made printable on a terminal: control characters as \xNN.
    static QString printable(const QString &text);
    // Whether `name` is a plain file name (no folder, no "..", no control character).
    static bool isPlainName(const QString &name);

private:
    struct Check
    {
        QStringList problems;
        QStringList notes;
    };
    static void checkLines(const QByteArray &body, const QString &folder, Check &check);
    static void checkSignature(const QString &manifestPath, const QByteArray &body,
                               const QString &keyPath, Check &check);
};
