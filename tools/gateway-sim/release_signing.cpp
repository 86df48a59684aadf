#include "gateway-sim/release_signing.h"

#include "updater/release_statement.h"

#include <QRegularExpression>

#include <sodium.h>

#include <array>
#include <cstdlib>

namespace sim {
namespace {

struct KeyPair {
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};
};

const KeyPair &testKeys()
{
    static const KeyPair keys = [] {
        if (::sodium_init() < 0)
            std::abort();
        static constexpr char seed[] = "brisanta-simulador-clave-pruebas";
        static_assert(sizeof(seed) - 1 == crypto_sign_SEEDBYTES);
        KeyPair made;
        ::crypto_sign_seed_keypair(made.publicKey.data(), made.secretKey.data(),
                                   reinterpret_cast<const unsigned char *>(seed));
        return made;
    }();
    return keys;
}

} // namespace

QByteArray testReleasePublicKey()
{
    const KeyPair &keys = testKeys();
    return QByteArray(reinterpret_cast<const char *>(keys.publicKey.data()), int(keys.publicKey.size()));
}

QByteArray signWithTestKey(const QByteArray &bytes)
{
    QByteArray signature(int(crypto_sign_BYTES), Qt::Uninitialized);
    ::crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                           reinterpret_cast<const unsigned char *>(bytes.constData()),
                           static_cast<unsigned long long>(bytes.size()), testKeys().secretKey.data());
    return signature;
}

QByteArray signedReleaseStatement(const QString &fileName, const QString &version, const QByteArray &bytes)
{
    const QByteArray statement =
        updater::composeStatement(updater::describeRelease(QStringLiteral("Brisanta"), fileName, version, bytes));
    return signWithTestKey(statement) + statement;
}

QString offeredVersion(const QString &versionText)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = versionText;
    text.remove(tag);
    return text.section(QLatin1Char('|'), 0, 0).trimmed();
}

} // namespace sim
