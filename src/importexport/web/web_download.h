#pragma once

#include "platform/db/connection.h"
#include "platform/net/gateway_reply.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The download of the web account's contact book: the request address, the reading of the
// gateway's reply and the insertion of its contacts. The reply carries every contact as an SQL
// statement; the client reads the six quoted values out of each and writes them with its own
// bound statement, so nothing the gateway sends is ever run as SQL.
namespace importexport::web {

// The export script's address with the account and the request counter. Values travel as the
// gateway has always read them, with only the characters that would break the query escaped.
QString exportRequestUrl(const QString &exportUrl, const QString &login, const QString &pass, int buf);

// The longest reply taken: every web contact comes in one, about 200 bytes a contact, so a list
// of 200,000 contacts with fuller fields than most still fits. The reply is held as its bytes
// and once as text; its records are read where they lie.
inline constexpr qint64 kDownloadReplyLimit = 64 * 1024 * 1024;

enum class DownloadReply { AuthError, NoData, Records, Unknown };
// Tested in this order: "Error de autentificacion", "Sin datos", "INSERT".
DownloadReply classifyDownload(const QString &text);

// Walks the records of a reply, split on "||" outside quoted values (a value may hold "||"),
// each one a view into the reply: nothing is copied to walk them.
class RecordReader final {
public:
    explicit RecordReader(QStringView text) : m_text(text) {}
    // The next record; nothing after the last one (the rest after the last "||", empty or not).
    std::optional<QStringView> next();

private:
    QStringView m_text;
    qsizetype m_position = 0;
    bool m_done = false;
};

struct WebRecord {
    QString name;
    QString phone;
    QString address;       // third value
    QString fullName; // fourth value
    QString otherPhone;
    QString comment;
};

// The first six quoted values of a record ('' inside a value is one quote); nothing when the
// record holds fewer than six.
std::optional<WebRecord> parseRecord(QStringView record);

struct DownloadOptions {
    bool skipExistingPhone = false; // the existing-phone box
    bool skipDuplicates = true;         // the duplicates box
};

struct DownloadOutcome {
    enum class Status { Imported, AuthError, NoData, ConnectionError, WriteError, TooLarge };
    Status status = Status::Imported;
    int added = 0;
    int unreadable = 0;      // non-empty records without six values, left out
    QString text;            // the box to show
    QString title;
};

// Reads one reply and, when it holds records, adds its contacts in one transaction (all or none).
DownloadOutcome applyDownloadReply(db::Connection &connection, const QString &reply, const DownloadOptions &options,
                                   const QString &urlBase, const QString &brandName);

// The same for what the request came to: a reply past kDownloadReplyLimit says the list is too
// large to take, not that the connection failed; nothing is written then.
DownloadOutcome applyDownloadReply(db::Connection &connection, const net::GatewayReply &reply,
                                   const DownloadOptions &options, const QString &urlBase, const QString &brandName);

} // namespace importexport::web

namespace importexport::web {

// The part of the base URL from its first full stop to its end ("http://www.brisanta.es/" gives
// ".brisanta.es/"); the whole address when it has no full stop. The two web windows end their
// captions with it.
QString domainFromDot(const QString &urlBase);

} // namespace importexport::web
