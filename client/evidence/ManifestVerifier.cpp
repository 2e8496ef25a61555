#include "ManifestVerifier.h"

#include "ExportKey.h"
#include "ExportManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

namespace {

const QString kManifestSuffix = QStringLiteral(".manifest.txt");
constexpr int kSignatureSize = 64;
constexpr qint64 kMaxKeySize = 64 * 1024;

// Lines end with "\n" or "\r\n", the last one with or without.
QStringList linesOf(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// The subtitles written beside a clip: its name with ".srt" for its extension.
QString subtitleOf(const QString &clip)
{
    const int dot = clip.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? clip.left(dot) : clip) + QStringLiteral(".srt");
}

QString baseOf(const QString &manifestPath)
{
    return manifestPath.endsWith(kManifestSuffix) ? manifestPath.chopped(kManifestSuffix.size())
                                                  : manifestPath;
}

} // namespace

QString ManifestVerifier::publicKeyPathFor(const QString &manifestPath)
{
    return baseOf(manifestPath) + QStringLiteral(".pub.pem");
}

QString ManifestVerifier::signaturePathFor(const QString &manifestPath)
{
    return manifestPath + QStringLiteral(".sig");
}

QString ManifestVerifier::printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool ManifestVerifier::isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           printable(name) == name;
}

int ManifestVerifier::verify(const QString &manifestPath, const QString &keyPath, QTextStream &out)
{
    const QString shown = printable(manifestPath);
    QFile file(manifestPath);
    if (!QFileInfo(manifestPath).isFile() || !file.open(QIODevice::ReadOnly)) {
        out << "The manifest " << shown << " cannot be read.\n";
        return NoManifest;
    }
    if (file.size() > kMaxSize) {
        out << shown << " is no manifest: it is larger than 1 MiB.\n";
        return NoManifest;
    }
    const QByteArray body = file.read(kMaxSize + 1);
    QTextCodec::ConverterState state;
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(body.constData(), body.size(), &state);
    if (body.contains('\0') || state.invalidChars > 0 || body.size() > kMaxSize) {
        out << shown << " is no manifest: it is not text.\n";
        return NoManifest;
    }
    Check check;
    checkSignature(manifestPath, body, keyPath, check);
    checkLines(body, QFileInfo(manifestPath).absolutePath(), check);
    for (const QString &problem : qAsConst(check.problems))
        out << printable(problem) << '\n';
    if (!check.problems.isEmpty())
        return Failed;
    for (const QString &note : qAsConst(check.notes))
        out << printable(note) << '\n';
    out << "intact\n";
    return Intact;
}

void ManifestVerifier::checkLines(const QByteArray &body, const QString &folderPath, Check &check)
{
    static const QRegularExpression hashLine(QStringLiteral("^([0-9a-fA-F]{64}) [ *](.*)$"));
    static const QRegularExpression inLine(
        QStringLiteral("^# In (.+?): (\\S+) to (\\S+) \\(UTC\\)$"));
    const QStringList lines = linesOf(QString::fromUtf8(body));
    QStringList clips;
    QHash<QString, QByteArray> hashes;
    QStringList hashed; // in the manifest's order
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QString where = QStringLiteral("line %1: ").arg(i + 1);
        if (line.startsWith(QLatin1Char('#'))) {
            const auto in = inLine.match(line);
            if (in.hasMatch())
                clips << in.captured(1);
            continue;
        }
        const auto m = hashLine.match(line);
        if (!m.hasMatch()) {
            check.problems << where + QStringLiteral("neither a comment nor a hash line: ") + line;
            continue;
        }
        const QString name = m.captured(2);
        if (!isPlainName(name)) {
            check.problems << where + QStringLiteral("refused: not a file of this folder: ") + name;
            continue;
        }
        if (hashes.contains(name)) {
            check.problems << where + QStringLiteral("a second hash line for ") + name;
            continue;
        }
        hashes.insert(name, m.captured(1).toLower().toLatin1());
        hashed << name;
    }
    QStringList made;
    for (const QString &clip : qAsConst(clips)) {
        if (!isPlainName(clip)) {
            check.problems << QStringLiteral("refused: not a file of this folder: ") + clip;
            continue;
        }
        made << clip << subtitleOf(clip);
        if (!hashes.contains(clip))
            check.problems << QStringLiteral("no hash line: ") + clip;
    }
    for (const QString &name : qAsConst(hashed)) {
        if (!made.contains(name))
            check.problems << QStringLiteral("not a file of this export: ") + name;
    }
    if (clips.isEmpty() && hashed.isEmpty())
        check.problems << QStringLiteral("The manifest lists no file.");
    const QDir folder(folderPath);
    for (const QString &name : qAsConst(hashed)) {
        const QString path = folder.filePath(name);
        if (!QFileInfo(path).isFile())
            check.problems << QStringLiteral("missing: ") + name;
        else if (ExportManifest::sha256(path) != hashes.value(name))
            check.problems << QStringLiteral("changed: ") + name;
    }
}

void ManifestVerifier::checkSignature(const QString &manifestPath, const QByteArray &body,
                                      const QString &keyPath, Check &check)
{
    const QString sigPath = signaturePathFor(manifestPath);
    const QString sigName = QFileInfo(sigPath).fileName();
    QFile sigFile(sigPath);
    if (!sigFile.open(QIODevice::ReadOnly)) {
        check.problems << QStringLiteral("signature: missing (%1)").arg(sigName);
        return;
    }
    const QByteArray signature = sigFile.read(kSignatureSize + 1);
    if (signature.size() != kSignatureSize) {
        check.problems << QStringLiteral("signature: %1 is not a signature (%2 bytes, %3 expected)")
                              .arg(sigName)
                              .arg(sigFile.size())
                              .arg(kSignatureSize);
        return;
    }
    const bool given = !keyPath.isEmpty();
    const QString keyFile = given ? keyPath : publicKeyPathFor(manifestPath);
    QFile key(keyFile);
    const QByteArray pem = key.open(QIODevice::ReadOnly) ? key.read(kMaxKeySize) : QByteArray();
    const QString fingerprint = ExportKey::fingerprintOf(pem);
    if (fingerprint.isEmpty()) {
        check.problems << QStringLiteral("signature: %1 is no Ed25519 public key")
                              .arg(given ? keyFile : QFileInfo(keyFile).fileName());
        return;
    }
    if (!ExportKey::verify(pem, body, signature)) {
        check.problems << QStringLiteral("signature: does not match: the manifest was altered, "
                                         "or another key signed it (key %1)")
                              .arg(fingerprint);
        return;
    }
    if (given)
        check.notes
            << QStringLiteral("signature: valid, by the key given (SHA-256 %1)").arg(fingerprint);
    else
        check.notes << QStringLiteral("signature: valid, by the key shipped with the files "
                                      "(SHA-256 %1): compare it with the console's own")
                           .arg(fingerprint);
}
