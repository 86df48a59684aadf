#pragma once

#include <QString>

// The names and addresses through which the client presents its brand and reaches the gateway.
// Fixed at build time; BRISANTA_URL_BASE points the client at another gateway (the simulator).
namespace brand {

QString nombre_marca();          // "Brisanta"
QString remitente_defecto();     // the brand web name, also the fallback sender (11 characters)
QString nombre_web_marca();      // the same text as the fallback sender
QString url_base();              // "http://<gateway host>/", always ending in "/"
QString servidor_web();          // the host of the base URL, with ":port" when one is given
QString url_exportar_agenda();
QString url_importar_agenda();
QString url_recordar_password();
QString url_instalador();

// The program folder: database, skins, logs. BRISANTA_HOME overrides the executable's folder.
QString ruta_programa();

// A program file name as the platform writes it: "Brisanta_Desktop_AutoUpdate" here, with ".exe"
// on Windows.
QString executableName(const QString &baseName);

} // namespace brand
