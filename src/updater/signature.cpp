#include "updater/signature.h"

#include "brand/version_order.h"
#include "updater/install_record.h"
#include "updater/program_image.h"
#include "updater/update_target.h"

#include <QCryptographicHash>
#include <QFile>

#include <sodium.h>

// Set by the build (BRISANTA_UPDATE_PUBLIC_KEY): the maker's key in hexadecimal, or empty.
#ifndef BRISANTA_UPDATE_PUBLIC_KEY
#define BRISANTA_UPDATE_PUBLIC_KEY ""
#endif

namespace updater {
namespace {

bool sodiumReady()
{
    // sodium_init() may be called again; a negative result means the library cannot work.
    static const bool ready = ::sodium_init() >= 0;
    return ready;
}

QString notInstalled(const QString &reason)
{
    return QStringLiteral("La versión descargada no se ha instalado: %1 El programa instalado no se ha "
                          "modificado.")
        .arg(reason);
}

} // namespace

QByteArray releasePublicKey()
{
    return publicKeyFromHex(QStringLiteral(BRISANTA_UPDATE_PUBLIC_KEY));
}

QByteArray publicKeyFromHex(QStringView hex)
{
    const QString digits = hex.trimmed().toString();
    if (digits.size() != 2 * int(crypto_sign_PUBLICKEYBYTES))
        return {};
    for (const QChar c : digits) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return {};
    }
    return QByteArray::fromHex(digits.toLatin1());
}

QString signatureLocation(const QString &file)
{
    return file + QStringLiteral(".sig");
}

QString missingKeyMessage()
{
    return QStringLiteral("Este actualizador se ha compilado sin la clave pública del fabricante, así que no puede "
                          "comprobar que una versión nueva sea auténtica y no instala ninguna. Descargue el programa "
                          "completo desde la web de ")
           + productWord() + QStringLiteral(".");
}

qsizetype signedStatementSizeLimit()
{
    return qsizetype(crypto_sign_BYTES) + kStatementSizeLimit;
}

std::optional<QByteArray> readSignedStatement(const QString &path)
{
    QFile file(path);
    if (file.size() > signedStatementSizeLimit() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Bounded even when the file grows after its size was looked at.
    QByteArray bytes = file.read(signedStatementSizeLimit() + 1);
    if (bytes.size() > signedStatementSizeLimit())
        return std::nullopt;
    return bytes;
}

std::optional<ReleaseStatement> verifiedStatement(const QByteArray &signedText, const QByteArray &publicKey)
{
    constexpr qsizetype signatureSize = crypto_sign_BYTES;
    if (publicKey.size() != qsizetype(crypto_sign_PUBLICKEYBYTES) || !sodiumReady()
        || signedText.size() <= signatureSize || signedText.size() > signedStatementSizeLimit())
        return std::nullopt;
    const QByteArray statement = signedText.sliced(signatureSize);
    if (::crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signedText.constData()),
                                      reinterpret_cast<const unsigned char *>(statement.constData()),
                                      static_cast<unsigned long long>(statement.size()),
                                      reinterpret_cast<const unsigned char *>(publicKey.constData()))
        != 0)
        return std::nullopt;
    return parseStatement(statement);
}

ReleaseCheck checkRelease(const QByteArray &program, const QByteArray &signedText, const QByteArray &publicKey,
                          const QString &installedVersion)
{
    if (publicKey.size() != int(crypto_sign_PUBLICKEYBYTES))
        return {false, missingKeyMessage()};
    if (!sodiumReady())
        return {false, notInstalled(QStringLiteral("no se ha podido preparar la comprobación de su firma."))};
    const std::optional<ReleaseStatement> statement = verifiedStatement(signedText, publicKey);
    if (!statement)
        return {false, notInstalled(QStringLiteral("su firma no es válida, así que no procede del fabricante o "
                                                   "ha llegado dañada."))};
    if (statement->product != productWord())
        return {false, notInstalled(QStringLiteral("su firma es de otro producto (%1), no de %2.")
                                        .arg(statement->product, productWord()))};
    if (statement->file != clientFileName())
        return {false, notInstalled(QStringLiteral("su firma es de otro programa (%1), no de %2 Desktop.")
                                        .arg(statement->file, productWord()))};
    if (!brand::isNewer(statement->version, installedVersion))
        return {false, notInstalled(QStringLiteral("es la versión %1, que no es posterior a la instalada (%2).")
                                        .arg(statement->version, installedVersion))};
    if (program.size() != statement->size
        || QCryptographicHash::hash(program, QCryptographicHash::Sha256) != statement->sha256)
        return {false, notInstalled(QStringLiteral("el archivo recibido no es el que describe su firma, así que "
                                                   "ha llegado dañado o alguien lo ha cambiado por el camino."))};
    if (!isProgramImage(program))
        return {false, notInstalled(QStringLiteral("no es un programa de este sistema."))};
    return {true, {}};
}

std::optional<ReleaseStatement> clientStatement(const QByteArray &signedText, const QByteArray &publicKey)
{
    std::optional<ReleaseStatement> statement = verifiedStatement(signedText, publicKey);
    if (!statement || statement->product != productWord() || statement->file != clientFileName())
        return std::nullopt;
    return statement;
}

std::optional<ReleaseStatement> clientStatementIn(const QString &path, const QByteArray &publicKey)
{
    const std::optional<QByteArray> signedText = readSignedStatement(path);
    if (!signedText)
        return std::nullopt;
    return clientStatement(*signedText, publicKey);
}

bool describesFile(const ReleaseStatement &statement, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != statement.size)
        return false;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    return digest.addData(&file) && digest.result() == statement.sha256;
}

QString installedVersion(const QString &target, const QByteArray &publicKey)
{
    QString version = QString::fromLatin1(brand::kClientVersion);
    const auto consider = [&version](const QString &candidate) {
        if (brand::isNewer(candidate, version))
            version = candidate;
    };
    // A statement left beside another file (a client put there by the full installer) says nothing.
    const std::optional<ReleaseStatement> kept = clientStatementIn(signatureLocation(target), publicKey);
    if (kept && describesFile(*kept, target))
        consider(kept->version);
    // Whatever the swap left behind, no release older than one installed here before counts as newer.
    if (const std::optional<ReleaseStatement> recorded = clientStatementIn(installRecordPath(target), publicKey))
        consider(recorded->version);
    return version;
}

} // namespace updater
