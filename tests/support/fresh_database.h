#pragma once

#include "database/schema.h"
#include "platform/db/connection.h"
#include "support/temp_home.h"

#include <QTest>

// A temporary program folder holding a freshly created client database: the starting point of
// every test that reads or writes the contacts, the history or the settings.
namespace testing {

class FreshDatabase {
public:
    FreshDatabase()
    {
        QVERIFY(home.isValid());
        QVERIFY(connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(database::createSchema(connection).ok());
    }
    FreshDatabase(const FreshDatabase &) = delete;
    FreshDatabase &operator=(const FreshDatabase &) = delete;

    TempHome home;
    db::Connection connection;
};

} // namespace testing
