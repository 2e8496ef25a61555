#include "ManifestSigner.h"

#include "ExportKey.h"
#include "ManifestVerifier.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = QStringLiteral("%1 could not be written: %2")
                 .arg(QFileInfo(path).fileName(), file.errorString());
    return false;
}

} // namespace

bool ManifestSigner::signBeside(const QString &manifestPath, const ExportKey &key, QString *error)
{
    QFile manifest(manifestPath);
    if (!manifest.open(QIODevice::ReadOnly) || manifest.size() > ManifestVerifier::kMaxSize) {
        *error = QStringLiteral("The manifest could not be read back to sign it.");
        return false;
    }
    const QByteArray signature = key.sign(manifest.readAll());
    if (signature.isEmpty()) {
        *error = QStringLiteral("The manifest could not be signed.");
        return false;
    }
    const QString sigPath = ManifestVerifier::signaturePathFor(manifestPath);
    if (!writeWhole(sigPath, signature, error))
        return false;
    if (!writeWhole(ManifestVerifier::publicKeyPathFor(manifestPath), key.publicPem(), error)) {
        QFile::remove(sigPath);
        return false;
    }
    return true;
}
