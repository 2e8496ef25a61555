#include "EvidenceCommand.h"

#include "ExportKey.h"
#include "ManifestVerifier.h"

#include <QTextStream>

namespace {

const QString kVerify = QStringLiteral("--verify-export");
const QString kKey = QStringLiteral("--key");
const QString kExportKey = QStringLiteral("--export-key");

int usage(QTextStream &err)
{
    err << "usage: client --verify-export MANIFEST [--key PUBKEY.pem]\n"
           "       client --export-key\n";
    return ManifestVerifier::NoManifest;
}

} // namespace

bool EvidenceCommand::handles(const QStringList &args)
{
    return !args.isEmpty() && (args.first() == kVerify || args.first() == kExportKey);
}

int EvidenceCommand::run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() == 1 && args.first() == kExportKey) {
        ExportKey key;
        QString error;
        if (!key.loadOrCreate(ExportKey::defaultPath(), &error)) {
            err << error << '\n';
            return 1;
        }
        // Standard output holds the key alone, so that it can be saved as a PEM file.
        out << key.publicPem();
        err << "SHA-256 fingerprint: " << key.fingerprint() << '\n';
        return 0;
    }
    if (args.first() != kVerify || (args.size() != 2 && args.size() != 4))
        return usage(err);
    if (args.size() == 4 && args.at(2) != kKey)
        return usage(err);
    return ManifestVerifier::verify(args.at(1), args.size() == 4 ? args.at(3) : QString(), out);
}
