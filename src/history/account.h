#pragma once

#include "platform/db/connection.h"

#include <QString>

namespace history {

// The window's copies of the account's login and pass (`usuario_login`, `usuario_pass`).
struct Account {
    QString login;
    QString pass;
};

// loadAccount: copies already holding a login are kept; otherwise they are read from the
// `Usuario` row, and stay empty when there is none.
Account loadAccount(db::Connection &connection, const Account &current);

inline const QString kMissingAccountMessage =
    QStringLiteral("Debes introducir los datos de la cuenta primero en Archivo->Configuracion");
inline const QString kMissingAccountTitle = QStringLiteral("Faltan datos de usuario");

} // namespace history
