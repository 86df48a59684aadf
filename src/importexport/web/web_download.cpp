#include "importexport/web/web_download.h"

#include "importexport/store/agenda_store.h"
#include "platform/text/url_encode.h"

#include <array>

namespace importexport::web {

QString exportRequestUrl(const QString &exportUrl, const QString &login, const QString &pass, int buf)
{
    return exportUrl + QStringLiteral("?login=") + text::escapeRawValue(login) + QStringLiteral("&password=")
         + text::escapeRawValue(pass) + QStringLiteral("&buf=") + QString::number(buf);
}

std::optional<QStringView> RecordReader::next()
{
    if (m_done)
        return std::nullopt;
    bool quoted = false;
    for (qsizetype i = m_position; i < m_text.size(); ++i) {
        const QChar c = m_text[i];
        if (c == QLatin1Char('\''))
            quoted = !quoted;   // a doubled quote toggles twice and stays inside the value
        else if (!quoted && c == QLatin1Char('|') && i + 1 < m_text.size() && m_text[i + 1] == QLatin1Char('|')) {
            const QStringView record = m_text.mid(m_position, i - m_position);
            m_position = i + 2;
            return record;
        }
    }
    m_done = true;
    return m_text.mid(m_position);
}

namespace {

// Every piece between separators (an empty rest after a closing "||" aside) is one record: the
// statement word first and its six quoted values. Such a reply is the contact list itself, whatever
// phrases its values hold ("Calle Sin datos", a comment "Error de autentificacion").
bool madeOfRecords(QStringView text)
{
    bool any = false;
    RecordReader reader(text);
    while (const std::optional<QStringView> record = reader.next()) {
        const QStringView trimmed = record->trimmed();
        if (trimmed.isEmpty())
            continue;
        if (!trimmed.startsWith(QLatin1String("INSERT")) || !parseRecord(trimmed))
            return false;
        any = true;
    }
    return any;
}

} // namespace

DownloadReply classifyDownload(const QString &text)
{
    if (madeOfRecords(text))
        return DownloadReply::Records;
    if (text.contains(QLatin1String("Error de autentificacion")))
        return DownloadReply::AuthError;
    if (text.contains(QLatin1String("Sin datos")))
        return DownloadReply::NoData;
    if (text.contains(QLatin1String("INSERT")))
        return DownloadReply::Records;
    return DownloadReply::Unknown;
}

std::optional<WebRecord> parseRecord(QStringView record)
{
    std::array<QString, 6> values;
    qsizetype i = 0;
    for (QString &value : values) {
        const qsizetype open = record.indexOf(QLatin1Char('\''), i);
        if (open < 0)
            return std::nullopt;
        value = QString(QLatin1String(""));
        qsizetype j = open + 1;
        bool closed = false;
        while (j < record.size()) {
            // Whole runs between quotes at once; a doubled quote is one quote of the value.
            const qsizetype quote = record.indexOf(QLatin1Char('\''), j);
            if (quote < 0)
                break;
            value += record.mid(j, quote - j);
            if (quote + 1 < record.size() && record[quote + 1] == QLatin1Char('\'')) {
                value += QLatin1Char('\'');
                j = quote + 2;
                continue;
            }
            j = quote;
            closed = true;
            break;
        }
        if (!closed)
            return std::nullopt;
        i = j + 1;
    }
    return WebRecord{values[0], values[1], values[2], values[3], values[4], values[5]};
}

DownloadOutcome applyDownloadReply(db::Connection &connection, const net::GatewayReply &reply,
                                   const DownloadOptions &options, const QString &urlBase, const QString &brandName)
{
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        DownloadOutcome out;
        out.status = DownloadOutcome::Status::TooLarge;
        out.text = QStringLiteral("La agenda recibida de la cuenta web es demasiado grande para importarla (más de %1 "
                                  "MB). No se ha añadido ningún contacto.")
                       .arg(kDownloadReplyLimit / (1024 * 1024));
        out.title = QStringLiteral("Agenda demasiado grande");
        return out;
    }
    return applyDownloadReply(connection, reply.text, options, urlBase, brandName);
}

DownloadOutcome applyDownloadReply(db::Connection &connection, const QString &reply, const DownloadOptions &options,
                                   const QString &urlBase, const QString &brandName)
{
    DownloadOutcome out;
    switch (classifyDownload(reply)) {
    case DownloadReply::AuthError:
        out.status = DownloadOutcome::Status::AuthError;
        out.text = QStringLiteral("Por favor, introduzca primero un nombre de usuario y contraseña correctos en el menu "
                                  "de Archivo->Configuracion");
        out.title = QStringLiteral("Faltan datos de usuario");
        return out;
    case DownloadReply::NoData:
        out.status = DownloadOutcome::Status::NoData;
        out.text = QStringLiteral("No tiene ningun contacto en la agenda de ") + urlBase;
        out.title = QStringLiteral("Sin contactos");
        return out;
    case DownloadReply::Unknown:
        out.status = DownloadOutcome::Status::ConnectionError;
        out.text = QStringLiteral("Ha habido un error al conectar con el servidor. Por favor, compruebe que dispone de "
                                  "conexión a Internet y si el problema persiste póngase en contacto con el "
                                  "administrador");
        out.title = QStringLiteral("Error de conexión");
        return out;
    case DownloadReply::Records:
        break;
    }

    auto writeError = [&] {
        DownloadOutcome failed;
        failed.status = DownloadOutcome::Status::WriteError;
        failed.text = QStringLiteral("No se han podido guardar los contactos descargados en la agenda. No se ha añadido "
                                     "ningún contacto; por favor, inténtelo de nuevo.");
        failed.title = QStringLiteral("Error");
        return failed;
    };
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return writeError();
    AgendaStore store(connection);
    // Straight from the reply into `Agenda`, one record at a time.
    RecordReader reader(reply);
    while (const std::optional<QStringView> record = reader.next()) {
        if (record->trimmed().isEmpty())
            continue;           // e.g. the rest after a closing "||"
        const std::optional<WebRecord> rec = parseRecord(*record);
        if (!rec) {
            ++out.unreadable;
            continue;
        }
        ContactValues v;
        v.name = nonNullText(rec->name);
        v.phone = nonNullText(rec->phone);
        v.address = nonNullText(rec->address);
        v.fullName = nonNullText(rec->fullName);
        v.otherPhone = nonNullText(rec->otherPhone);
        v.comment = nonNullText(rec->comment);
        db::Result r;
        bool skip = false;
        if (options.skipExistingPhone)
            skip = store.phoneExists(rec->phone, &r);
        else if (options.skipDuplicates)
            skip = store.sameContactExists(v, &r);
        if (!r.ok())
            return writeError();
        if (skip)
            continue;
        if (!store.insert(v).ok())
            return writeError();
        ++out.added;
    }
    if (!transaction.commit().ok())
        return writeError();
    out.status = DownloadOutcome::Status::Imported;
    out.text = QString::number(out.added) + QStringLiteral(" contactos han sido añadidos a la agenda de ") + brandName
             + QStringLiteral(" Desktop");
    if (out.unreadable > 0)
        out.text += QStringLiteral("\n%1 contactos recibidos no se han podido leer y no se han añadido.").arg(out.unreadable);
    out.title = QStringLiteral("Importación finalizada");
    return out;
}

} // namespace importexport::web

namespace importexport::web {

QString domainFromDot(const QString &urlBase)
{
    const qsizetype dot = urlBase.indexOf(QLatin1Char('.'));
    return dot < 0 ? urlBase : urlBase.mid(dot);
}

} // namespace importexport::web
