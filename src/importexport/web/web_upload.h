#pragma once

#include "platform/db/connection.h"

#include <QString>

#include <optional>
#include <vector>

// The upload of the local contact book to the web account, one contact per request.
namespace importexport::web {

struct Account {
    QString login;
    QString pass;
};

// `login` and `pass` of the account row, or nothing when there is no row.
std::optional<Account> readAccount(db::Connection &connection, db::Result *result = nullptr);

struct UploadContact {
    QString name;
    QString phone;
    QString fullName;   // "" where the column is Null
    QString address;
    QString otherPhone;
    QString comment;
};

// Every contact with a name and a phone, in name order (the others are left out).
std::vector<UploadContact> uploadQueue(db::Connection &connection, db::Result *result = nullptr);

// The import script's address for one contact, every value form-encoded.
QString uploadRequestUrl(const QString &importUrl, const Account &account, const UploadContact &contact,
                         bool skipExistingPhone);

enum class UploadReply { AuthError, MissingData, NotCreated, Created, Unknown };
// By containment, in this precedence: refusal, missing data, not created, created.
UploadReply classifyUpload(const QString &text);

// The stop message for a reply that is none of the script's answers although the request reached
// the gateway: the upload ended, and the contact `name` may be at `baseUrl`.
QString mayHaveCreatedMessage(const QString &name, const QString &baseUrl);

// "Progreso N%... Por favor, espere.", N = answered x 100 / (answered + still queued), rounded
// half to even; the contact about to go counts as still queued.
QString progressText(int answered, int queued);

} // namespace importexport::web
