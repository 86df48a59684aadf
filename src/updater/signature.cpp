#include "updater/signature.h"

#include "updater/program_image.h"
#include "updater/update_target.h"

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

ReleaseCheck checkRelease(const QByteArray &program, const QByteArray &signature, const QByteArray &publicKey)
{
    if (publicKey.size() != int(crypto_sign_PUBLICKEYBYTES))
        return {false, missingKeyMessage()};
    if (!sodiumReady())
        return {false, notInstalled(QStringLiteral("no se ha podido preparar la comprobación de su firma."))};
    if (signature.size() != int(crypto_sign_BYTES)
        || ::crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                         reinterpret_cast<const unsigned char *>(program.constData()),
                                         static_cast<unsigned long long>(program.size()),
                                         reinterpret_cast<const unsigned char *>(publicKey.constData()))
               != 0)
        return {false, notInstalled(QStringLiteral("su firma no es válida, así que no procede del fabricante o "
                                                   "ha llegado dañada."))};
    if (!isProgramImage(program))
        return {false, notInstalled(QStringLiteral("no es un programa de este sistema."))};
    return {true, {}};
}

} // namespace updater
