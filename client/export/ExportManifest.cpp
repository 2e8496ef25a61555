#include "ExportManifest.h"

#include "ExportPlan.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

QString utc(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

// One line of text: a camera's name with a line break must not forge a hash line.
QString oneLine(QString s)
{
    return s.replace(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")), QStringLiteral(" "));
}

} // namespace

QString ExportManifest::bookmarkLine(const ClipBookmark &bookmark)
{
    return QStringLiteral("# Bookmark: %1 (UTC) by %2: %3")
        .arg(QDateTime::fromMSecsSinceEpoch(bookmark.time, Qt::UTC)
                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             oneLine(bookmark.author), oneLine(bookmark.note));
}

QString ExportManifest::fileName(const QString &baseName)
{
    return baseName + QStringLiteral(".manifest.txt");
}

QString ExportManifest::write(const ClipExportJob &job, const ClipExportResult &result,
                              QString *error)
{
    const QDir folder(job.folder);
    const QString name = fileName(job.baseName);
    QString text;
    text +=
        QStringLiteral("# Recorded clip exported by the Ardix console.\n"
                       "# Each line that does not start with \"#\" is \"<SHA-256>  <file>\", "
                       "the format of sha256sum:\n"
                       "# in this folder, \"sha256sum -c %1\" or \"client --verify-export %1\"\n"
                       "# checks that none of the files was altered.\n")
            .arg(name);
    text += QStringLiteral("# Camera: %1\n# Stream id: %2\n")
                .arg(oneLine(job.camera), oneLine(job.streamId));
    text += QStringLiteral("# Asked: %1 to %2 (UTC)\n").arg(utc(job.in), utc(job.out));
    for (const ClipFile &f : result.files)
        text += QStringLiteral("# In %1: %2 to %3 (UTC)\n").arg(f.fileName, utc(f.from), utc(f.to));
    // The files hold less of the range than the recording's chunks were listed with.
    if (!result.heldOnly.isEmpty()) {
        QStringList spans;
        for (const ClipSpan &s : result.heldOnly)
            spans << QStringLiteral("%1 to %2").arg(utc(s.from), utc(s.to));
        text += QStringLiteral("# Holds only: %1 (UTC), less than asked\n")
                    .arg(spans.join(QStringLiteral(", ")));
    }
    // What of the range no file holds, and why: gaps, searches failed or not run, refusals.
    for (const ClipHole &hole : result.holes)
        text += ExportPlan::manifestLine(hole, job.in, job.out) + QLatin1Char('\n');
    text += QStringLiteral("# Gateway: %1\n").arg(oneLine(job.gateway));
    text += QStringLiteral("# Exported by: %1, Ardix console %2\n")
                .arg(oneLine(job.user), oneLine(job.version));
    text +=
        QStringLiteral("# Exported at: %1 (UTC)\n").arg(utc(QDateTime::currentMSecsSinceEpoch()));
    if (!job.keyFingerprint.isEmpty())
        text += QStringLiteral("# Signed by the console's key: SHA-256 %1 (in %2)\n")
                    .arg(job.keyFingerprint, job.baseName + QStringLiteral(".pub.pem"));
    for (const QString &note : result.notes)
        text += QStringLiteral("# Note: %1\n").arg(oneLine(note));
    for (const ClipBookmark &b : job.bookmarks)
        text += bookmarkLine(b) + QLatin1Char('\n');
    for (const ClipFile &f : result.files) {
        for (const QString &file : {f.fileName, f.subtitleName}) {
            const QByteArray hash = sha256(folder.filePath(file + QStringLiteral(".part")));
            if (hash.isEmpty()) {
                *error = QStringLiteral("%1 could not be read back to hash it.").arg(file);
                return QString();
            }
            text += QStringLiteral("%1  %2\n").arg(QString::fromLatin1(hash), file);
        }
    }
    const QString path = folder.filePath(name + QStringLiteral(".part"));
    QFile out(path);
    const QByteArray body = text.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(body) != body.size() || !out.flush()) {
        *error = QStringLiteral("The manifest could not be written: %1").arg(out.errorString());
        out.remove();
        return QString();
    }
    return path;
}

QByteArray ExportManifest::sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}
