#include "sending/contact_lookup.h"

#include "platform/db/connection.h"

#include <QDate>

namespace sending {
namespace {

// The recipients as a temporary table, so the lookup is one statement whatever the list's size.
class PhoneTable final {
public:
    PhoneTable(db::Connection &connection, const QStringList &numbers) : m_connection(connection)
    {
        if (!m_connection.execute(QStringLiteral(
                                      "CREATE TEMP TABLE IF NOT EXISTS envio_telefonos (telefono TEXT PRIMARY KEY)"))
                 .ok()
            || !m_connection.execute(QStringLiteral("DELETE FROM temp.envio_telefonos")).ok())
            return;
        // Only the temporary table is written: no lock on a shared file is needed, so a lookup
        // never waits for another workstation's write.
        db::Transaction transaction(m_connection, db::Transaction::Mode::Deferred);
        if (!transaction.isActive())
            return;
        db::Statement insert = m_connection.prepare(
            QStringLiteral("INSERT OR IGNORE INTO temp.envio_telefonos (telefono) VALUES (?1)"));
        if (!insert.isValid())
            return;
        // A list with numbers missing would look like numbers outside the contacts: all or nothing.
        for (const QString &number : numbers) {
            insert.bind(1, number);
            if (!insert.run().ok())
                return;
            insert.reset();
        }
        m_ok = transaction.commit().ok();
    }
    ~PhoneTable() { m_connection.execute(QStringLiteral("DELETE FROM temp.envio_telefonos")); }
    PhoneTable(const PhoneTable &) = delete;
    PhoneTable &operator=(const PhoneTable &) = delete;

    bool ok() const { return m_ok; }

private:
    db::Connection &m_connection;
    bool m_ok = false;
};

std::optional<QString> columnText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    return value.toString();
}

} // namespace

QString shownBirthDate(const QString &stored)
{
    const QDate date = QDate::fromString(stored.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return stored;
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

ContactBook loadContacts(db::Connection &connection, const QStringList &numbers)
{
    ContactBook book;
    if (numbers.isEmpty())
        return book;
    PhoneTable table(connection, numbers);
    if (!table.ok())
        return book;
    db::Statement query = connection.prepare(QStringLiteral(
        "SELECT telefono, nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento "
        "FROM Agenda WHERE telefono IN (SELECT telefono FROM temp.envio_telefonos) ORDER BY sid"));
    if (!query.isValid())
        return book;
    book.reserve(numbers.size());
    while (query.next()) {
        const QString number = query.text(0);
        if (book.contains(number))
            continue;
        ContactValues contact;
        for (int i = 0; i < kContactFieldCount; ++i)
            contact.values[static_cast<std::size_t>(i)] = columnText(query.value(i + 1));
        auto &birth = contact.values[static_cast<std::size_t>(ContactField::BirthDate)];
        if (birth)
            birth = shownBirthDate(*birth);
        book.insert(number, std::move(contact));
    }
    return book;
}

QStringList numbersInContactBook(db::Connection &connection, const QStringList &numbers)
{
    QStringList found;
    if (numbers.isEmpty())
        return found;
    PhoneTable table(connection, numbers);
    if (!table.ok())
        return found;
    db::Statement query = connection.prepare(QStringLiteral(
        "SELECT DISTINCT telefono FROM Agenda WHERE telefono IN (SELECT telefono FROM temp.envio_telefonos)"));
    while (query.isValid() && query.next())
        found << query.text(0);
    return found;
}

LongestValues longestContactValues(db::Connection &connection, const QStringList &numbers)
{
    LongestValues longest{};
    if (numbers.isEmpty())
        return longest;
    PhoneTable table(connection, numbers);
    if (!table.ok())
        return longest;
    const std::vector<db::Row> rows = connection.select(QStringLiteral(
        "SELECT max(length(nombre)), max(length(telefono)), max(length(nombre_completo)), max(length(direccion)), "
        "max(length(telefono_2)), max(length(comentario)) "
        "FROM Agenda WHERE telefono IN (SELECT telefono FROM temp.envio_telefonos)"));
    if (rows.empty())
        return longest;
    const db::Row &row = rows.front();
    for (std::size_t i = 0; i < longest.size() && i < static_cast<std::size_t>(row.size()); ++i)
        longest[i] = row.at(static_cast<qsizetype>(i)).toInt();
    return longest;
}

} // namespace sending
