#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// The console's Ed25519 key pair that signs its exports' manifests. The private key lives in
// one PEM file, owner-only; a file that others may read, or that holds no such key, is refused
// (the console then signs nothing and says why). The public key is handed out beside each
// export and by `client --export-key`; its fingerprint is the SHA-256 of its DER form, what
// `openssl pkey -pubin -outform DER | sha256sum` prints.
class ExportKey
{
public:
    ExportKey();
    ~ExportKey();
    ExportKey(const ExportKey &) = delete;
    ExportKey &operator=(const ExportKey &) = delete;

    // "export-key.pem" beside the console's settings file.
    static QString defaultPath();

    // Reads the key at `path`, or makes one there when no file exists. False with *error set
    // (in the operator's words) when the file cannot be used.
    bool loadOrCreate(const QString &path, QString *error);
    bool isValid() const { return m_key != nullptr; }

    // The Ed25519 signature (64 bytes) of `data`; empty when there is no key.
    QByteArray sign(const QByteArray &data) const;
    QByteArray publicPem() const;
    QString fingerprint() const;

    // The fingerprint of a public key in PEM; empty when `pem` holds no Ed25519 public key.
    static QString fingerprintOf(const QByteArray &pem);
    // Whether `signature` is an Ed25519 signature of `data` by the public key in `pem`.
    static bool verify(const QByteArray &pem, const QByteArray &data, const QByteArray &signature);

private:
    bool create(const QString &path, QString *error);
    bool load(const QString &path, QString *error);

    struct KeyFree
    {
        void operator()(evp_pkey_st *key) const;
    };
    std::unique_ptr<evp_pkey_st, KeyFree> m_key;
};
