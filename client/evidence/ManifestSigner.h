#pragma once

#include <QString>

class ExportKey;

// Signs an export's manifest as it lies in its folder: "<manifest>.sig" (the raw Ed25519
// signature of the manifest's bytes, what `openssl pkeyutl -verify -rawin` checks) and
// "<name>.pub.pem" (the public key) beside it, each written whole or not at all.
class ManifestSigner
{
public:
    // False with *error set when the manifest cannot be read or a file cannot be written;
    // nothing of the signature is left then.
    static bool signBeside(const QString &manifestPath, const ExportKey &key, QString *error);
};
