#pragma once

#include "support/fresh_database.h"

#include <QString>
#include <QStringList>

// A program folder with a fresh client database.
struct AgendaFixture : testing::FreshDatabase {
    int contactCount()
    {
        return connection.scalar(QStringLiteral("SELECT count(*) FROM Agenda")).toInt();
    }

    // One column of the contact with this phone ("" when Null, "<none>" when there is no such contact).
    QString field(const QString &phone, const QString &column)
    {
        const auto rows = connection.select(QStringLiteral("SELECT ") + column
                                              + QStringLiteral(" FROM Agenda WHERE telefono=?1 ORDER BY sid"),
                                          {phone});
        if (rows.empty())
            return QStringLiteral("<none>");
        const QVariant v = rows.front().value(0);
        return v.isValid() ? v.toString() : QStringLiteral("<null>");
    }

    QStringList phones()
    {
        QStringList out;
        for (const auto &row : connection.select(QStringLiteral("SELECT telefono FROM Agenda ORDER BY sid")))
            out << row.value(0).toString();
        return out;
    }
};

inline QString accessFixture(const char *name)
{
    return testing::sharedFixture(QStringLiteral("fixtures/access/") + QLatin1String(name));
}
