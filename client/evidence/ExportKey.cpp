#include "ExportKey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>

namespace {

constexpr qint64 kMaxKeyFile = 64 * 1024;

// The file's Unix mode bits, as `ls -l` and chmod speak of them; -1 when it cannot be read.
int modeOf(const QString &path)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

struct BioFree
{
    void operator()(BIO *bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

struct MdCtxFree
{
    void operator()(EVP_MD_CTX *ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

Bio memoryOf(const QByteArray &bytes)
{
    return Bio(BIO_new_mem_buf(bytes.constData(), int(bytes.size())));
}

QByteArray drain(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? QByteArray(data, int(size)) : QByteArray();
}

bool isEd25519(const EVP_PKEY *key)
{
    return key && EVP_PKEY_get_id(key) == EVP_PKEY_ED25519;
}

QString fingerprintOfKey(EVP_PKEY *key)
{
    unsigned char *der = nullptr;
    const int size = i2d_PUBKEY(key, &der);
    if (size <= 0)
        return QString();
    const QByteArray hash = QCryptographicHash::hash(
        QByteArray(reinterpret_cast<const char *>(der), size), QCryptographicHash::Sha256);
    OPENSSL_free(der);
    return QString::fromLatin1(hash.toHex());
}

} // namespace

void ExportKey::KeyFree::operator()(evp_pkey_st *key) const
{
    EVP_PKEY_free(key);
}

ExportKey::ExportKey() = default;
ExportKey::~ExportKey() = default;

QString ExportKey::defaultPath()
{
    return QFileInfo(QSettings().fileName())
        .absoluteDir()
        .filePath(QStringLiteral("export-key.pem"));
}

bool ExportKey::loadOrCreate(const QString &path, QString *error)
{
    m_key.reset();
    return QFileInfo::exists(path) ? load(path, error) : create(path, error);
}

bool ExportKey::load(const QString &path, QString *error)
{
    const int mode = modeOf(path);
    if (mode >= 0 && (mode & 077) != 0) {
        *error = QStringLiteral("The export key %1 can be read by others (mode %2): the console "
                                "signs nothing with it. Make it owner-only (chmod 600) or "
                                "remove it to have a new one made.")
                     .arg(path)
                     .arg(mode, 4, 8, QLatin1Char('0'));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxKeyFile) {
        *error = QStringLiteral("The export key %1 cannot be read.").arg(path);
        return false;
    }
    const QByteArray pem = file.readAll();
    Bio bio = memoryOf(pem);
    EVP_PKEY *key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!isEd25519(key)) {
        EVP_PKEY_free(key);
        *error = QStringLiteral("The export key %1 holds no Ed25519 private key: the console "
                                "signs nothing with it. Remove it to have a new one made.")
                     .arg(path);
        return false;
    }
    m_key.reset(key);
    return true;
}

bool ExportKey::create(const QString &path, QString *error)
{
    EVP_PKEY *key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!key) {
        *error = QStringLiteral("No export key could be made.");
        return false;
    }
    m_key.reset(key);
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || !PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)) {
        m_key.reset();
        *error = QStringLiteral("No export key could be made.");
        return false;
    }
    const QByteArray pem = drain(bio.get());
    // Owner-only before the key is in it; NewOnly so that two consoles never mix two keys.
    // A folder made here is owner-only, as the console makes its settings folder.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder) && QDir().mkpath(folder))
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(pem) != pem.size() || !file.flush()) {
        *error = QStringLiteral("The export key %1 could not be written: %2")
                     .arg(path, file.errorString());
        if (file.isOpen())
            file.remove();
        m_key.reset();
        return false;
    }
    return true;
}

QByteArray ExportKey::sign(const QByteArray &data) const
{
    if (!m_key)
        return QByteArray();
    MdCtx ctx(EVP_MD_CTX_new());
    size_t size = 0;
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &size, nullptr, 0) != 1)
        return QByteArray();
    QByteArray signature(int(size), '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(data.constData()),
                       size_t(data.size())) != 1)
        return QByteArray();
    signature.truncate(int(size));
    return signature;
}

QByteArray ExportKey::publicPem() const
{
    Bio bio(BIO_new(BIO_s_mem()));
    if (!m_key || !bio || !PEM_write_bio_PUBKEY(bio.get(), m_key.get()))
        return QByteArray();
    return drain(bio.get());
}

QString ExportKey::fingerprint() const
{
    return m_key ? fingerprintOfKey(m_key.get()) : QString();
}

namespace {

EVP_PKEY *publicKeyOf(const QByteArray &pem)
{
    Bio bio = memoryOf(pem);
    EVP_PKEY *key = bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!isEd25519(key)) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    return key;
}

} // namespace

QString ExportKey::fingerprintOf(const QByteArray &pem)
{
    std::unique_ptr<EVP_PKEY, KeyFree> key(publicKeyOf(pem));
    return key ? fingerprintOfKey(key.get()) : QString();
}

bool ExportKey::verify(const QByteArray &pem, const QByteArray &data, const QByteArray &signature)
{
    std::unique_ptr<EVP_PKEY, KeyFree> key(publicKeyOf(pem));
    MdCtx ctx(EVP_MD_CTX_new());
    return key && ctx &&
           EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
           EVP_DigestVerify(
               ctx.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
               size_t(signature.size()), reinterpret_cast<const unsigned char *>(data.constData()),
               size_t(data.size())) == 1;
}
