#pragma once

#include <QString>

// The customer-database import: every mobile number of a customer database (tables
// tbl_cliente_telefono, tbl_cliente and tbl_cliente_tipo) becomes one new contact of a program
// database chosen by the user. All contacts are written in one transaction, or none.
namespace importexport::access {

// Whether each key column is compared as a number (ticked) or as text.
struct CustomerOptions {
    bool numericPhoneType = true;   // the phone type box: tipo_telefono = 3 or = '3'
    bool numericCustomerId = true;      // the customer id box
    bool numericCustomerTypeId = true;  // the customer type id box
};

enum class CustomerStatus { Ok, CustomerDatabaseError, ProgramDatabaseError, WriteError };

struct CustomerOutcome {
    CustomerStatus status = CustomerStatus::Ok;
    int imported = 0;       // contacts written
    int withoutCustomer = 0;       // mobile numbers whose customer does not exist (not imported)
    QString message;          // the Spanish text to show
};

CustomerOutcome importCustomerDatabase(const QString &customerDatabase, const QString &programDatabase,
                                 const CustomerOptions &options);

} // namespace importexport::access
