#pragma once

#include <QString>

// The gateway's account check (`extranet/SMS/pedir_coste.php`) as the settings window uses it.
namespace account {

// The whole GET address; user and password form-encoded, `buf` the dialog's counter.
QString accountCheckUrl(const QString &urlBase, const QString &login, const QString &pass,
                        const QString &buf);

struct AccountCheckReply {
    enum class Kind {
        Refused,   // "Authentication failure" right after the code
        Accepted,  // "0|Ticket price|" with a usable balance
        Other,     // anything else: no connection, a time-out, an error page, a bad balance
    };
    Kind kind = Kind::Other;
    QString balance;  // Accepted: field 3, trimmed, "," read as "."
};

AccountCheckReply parseAccountCheck(const QString &reply);

} // namespace account
