#pragma once

#include <QString>

// The names and addresses through which the client presents its brand and reaches the gateway.
// Fixed at build time; BRISANTA_URL_BASE points the client at another gateway (the simulator).
namespace brand {

QString brandName();          // "Brisanta"
QString defaultSender();     // the brand web name, also the fallback sender (11 characters)
QString webName();      // the same text as the fallback sender
QString baseUrl();              // "http://<gateway host>/", always ending in "/"
QString webHost();          // the host of the base URL, with ":port" when one is given
QString contactsExportUrl();
QString contactsImportUrl();
QString passwordReminderUrl();
QString installerUrl();

// The program folder: database, skins, logs. BRISANTA_HOME overrides the executable's folder.
QString programFolder();

// A program file name as the platform writes it: "Brisanta_Desktop_AutoUpdate" here, with ".exe"
// on Windows.
QString executableName(const QString &baseName);

} // namespace brand
