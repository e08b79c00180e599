#include "bridge/TlsFiles.h"

#include <QFile>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>
#include <stdexcept>

namespace {

using TBio = std::unique_ptr<BIO, decltype(&BIO_free)>;
using TCertificate = std::unique_ptr<X509, decltype(&X509_free)>;
using TKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

[[noreturn]] void Refuse(const QString &Message)
{
    throw std::runtime_error(Message.toStdString());
}

QByteArray Contents(const QString &FileName, const QString &What)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        Refuse(QStringLiteral("Cannot read the %1 \"%2\": %3").arg(What, FileName, file.errorString()));
    return file.readAll();
}

TBio Bio(const QByteArray &Contents)
{
    return TBio(BIO_new_mem_buf(Contents.constData(), static_cast<int>(Contents.size())), &BIO_free);
}

// A key that wants a password is not read: nobody could type one for a service.
int NoPassword(char *, int, int, void *)
{
    return 0;
}

TCertificate FirstCertificate(const QByteArray &Contents)
{
    const TBio bio = Bio(Contents);
    return TCertificate(PEM_read_bio_X509(bio.get(), nullptr, &NoPassword, nullptr), &X509_free);
}

}

void CheckTlsFiles(const TMqttTls &Tls)
{
    if (Tls.CaFile.isEmpty())
        return;
    if (!FirstCertificate(Contents(Tls.CaFile, QStringLiteral("CA file"))))
        Refuse(QStringLiteral("The CA file \"%1\" holds no certificate (PEM).").arg(Tls.CaFile));
    if (Tls.CertFile.isEmpty())
        return;
    const TCertificate certificate = FirstCertificate(Contents(Tls.CertFile, QStringLiteral("certificate file")));
    if (!certificate)
        Refuse(QStringLiteral("The certificate file \"%1\" holds no certificate (PEM).").arg(Tls.CertFile));
    const QByteArray keyText = Contents(Tls.KeyFile, QStringLiteral("key file"));
    const TBio bio = Bio(keyText);
    const TKey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, &NoPassword, nullptr), &EVP_PKEY_free);
    if (!key) {
        if (keyText.contains("ENCRYPTED"))
            Refuse(QStringLiteral("The key file \"%1\" is encrypted: the bridge needs the key without a password.").arg(Tls.KeyFile));
        Refuse(QStringLiteral("The key file \"%1\" holds no private key (PEM).").arg(Tls.KeyFile));
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1)
        Refuse(QStringLiteral("The key file \"%1\" does not belong to the certificate \"%2\".").arg(Tls.KeyFile, Tls.CertFile));
}
