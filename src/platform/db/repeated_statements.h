#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QVariantList>

#include <array>
#include <cstddef>

namespace db {

// The statements a store runs again and again: each prepared the first time it is wanted and kept,
// so a bulk import or export prepares it once, not once a row.
template <std::size_t N>
class RepeatedStatements final {
public:
    RepeatedStatements(Connection &connection, const std::array<const char *, N> &sql)
        : m_connection(connection), m_sql(sql)
    {
    }

    // Statement `which`, prepared on first use; invalid (with `result` set) when refused.
    Statement &get(std::size_t which, Result &result)
    {
        Statement &statement = m_statements[which];
        result = {};
        if (!statement.isValid())
            statement = m_connection.prepare(QString::fromLatin1(m_sql[which]), &result);
        return statement;
    }

    // Statement `which` run once with `values`, left ready for the next time.
    Result run(std::size_t which, const QVariantList &values)
    {
        Result r;
        Statement &statement = get(which, r);
        if (!statement.isValid())
            return r;
        statement.bindAll(values);
        r = statement.run();
        statement.reset();
        return r;
    }

private:
    Connection &m_connection;
    std::array<const char *, N> m_sql;
    std::array<Statement, N> m_statements;
};

} // namespace db
