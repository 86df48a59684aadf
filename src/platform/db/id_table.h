#pragma once

#include "platform/db/connection.h"

#include <QString>

#include <span>

// A temporary table of whole numbers for "sid IN (SELECT id FROM <name>)": a list of any length
// goes in as bound values instead of one long SQL text.
namespace db {

class IdTable final {
public:
    // Creates (or empties) TEMP table `name`; `name` is a fixed identifier of the caller, never
    // user text.
    IdTable(Connection &connection, const QString &name);
    ~IdTable();
    IdTable(const IdTable &) = delete;
    IdTable &operator=(const IdTable &) = delete;

    Result status() const { return m_status; }
    const QString &name() const { return m_name; }
    // Adds the ids (duplicates are kept once).
    Result add(std::span<const qint64> ids);
    // "(SELECT id FROM <name>)", to follow an IN.
    QString subquery() const;

private:
    Connection &m_connection;
    QString m_name;
    Result m_status;
};

} // namespace db
