#pragma once

#include "platform/db/connection.h"
#include "platform/ui/prompter.h"

#include <QString>
#include <QStringList>

#include <optional>

// Sender identifiers: the gateway's `extranet/SMS/pedir_remitentes.php` and the local table
// `Remitentes`, as the sender administration window uses them.
namespace account::senders {

inline constexpr int kMaxLength = 11;

QString listUrl(const QString &urlBase, const QString &login, const QString &pass);
QString requestUrl(const QString &urlBase, const QString &login, const QString &pass, const QString &sender);
QString deleteUrl(const QString &urlBase, const QString &login, const QString &pass, const QString &sender);

enum class ReplyKind {
    List,             // "0|SenderID list|" a;b;c
    Requested,        // "0|SenderID requested|" identifier
    Removed,          // "0|SenderID removed|" identifier
    ServerError,      // "2|Error|"
    NotListed,        // "2|SenderID not listed|"
    AlreadyRequested, // "2|SenderID already requested|"
    AuthFailure,      // "3|Authentication failure|"
    MissingParams,    // "3|Required parameters missing|"
    Other,            // anything else, the empty text included
};

struct SenderReply {
    ReplyKind kind = ReplyKind::Other;
    QString payload;  // the text after the prefix
};

SenderReply parseReply(const QString &reply);

// The account's identifiers of a list reply: an empty payload is no entry; "A;" gives "A" and "".
QStringList splitList(const QString &payload);

struct Message {
    QString text;
    QString title;
    ui::Icon icon = ui::Icon::None;
};

// The message of a refusal or an unknown reply (nothing for the three successes).
std::optional<Message> failureMessage(ReplyKind kind);

// Why a typed new identifier is refused, checked in the order the user has always seen them.
std::optional<Message> checkNewSender(const QString &typed);

// An identifier this computer may offer: 1 to 11 characters.
bool isUsable(const QString &sender);
Message unusableMessage();

// The gateway took the request for a new identifier: it is used once approved and included.
Message requestedMessage(const QString &sender);

// A request or removal whose answer came but cannot be read, or never came after the gateway had
// it: it may have been carried out there.
Message unconfirmedChangeMessage();

QStringList loadSenders(db::Connection &connection, db::Result *result = nullptr);
bool contains(db::Connection &connection, const QString &sender);
// Adds the identifier unless the table already holds it (letter case counts).
db::Result addSender(db::Connection &connection, const QString &sender);
db::Result removeSender(db::Connection &connection, const QString &sender);

} // namespace account::senders
