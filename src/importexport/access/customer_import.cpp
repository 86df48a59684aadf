#include "importexport/access/customer_import.h"

#include "brand/brand.h"
#include "database/schema.h"
#include "importexport/access/phone_rules.h"
#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"
#include "platform/mdb/access_value.h"

#include <optional>

namespace importexport::access {

namespace {

CustomerOutcome failure(CustomerStatus status, const QString &message)
{
    CustomerOutcome out;
    out.status = status;
    out.message = message;
    return out;
}

// A key column compared the way the matching check box says: as a whole number, or as text
// (compared without case, as Jet did).
bool keyEquals(const QVariant &value, const QVariant &key, bool numeric)
{
    if (!value.isValid() || !key.isValid())
        return false;
    if (numeric) {
        bool okA = false, okB = false;
        const double a = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&okA)
                                                               : (okA = true, value.toDouble());
        const double b = key.typeId() == QMetaType::QString ? key.toString().trimmed().toDouble(&okB)
                                                             : (okB = true, key.toDouble());
        return okA && okB && a == b;
    }
    return mdb::cellText(value).compare(mdb::cellText(key), Qt::CaseInsensitive) == 0;
}

std::optional<QString> needColumns(const mdb::Table &table, const QStringList &names, std::vector<int> &index)
{
    for (const QString &name : names) {
        const int i = table.columnIndex(name);
        if (i < 0)
            return name;
        index.push_back(i);
    }
    return std::nullopt;
}

} // namespace

CustomerOutcome importCustomerDatabase(const QString &customerDatabase, const QString &programDatabase,
                                 const CustomerOptions &options)
{
    const QString customerOpenError = QStringLiteral("No se ha podido abrir la base de datos de clientes. Compruebe que "
                                                 "ha seleccionado un archivo de Access válido.");
    mdb::AccessFile customers;
    if (!customers.open(customerDatabase).ok())
        return failure(CustomerStatus::CustomerDatabaseError, customerOpenError);

    mdb::Table phones, customerRecords, customerTypes;
    for (auto [name, table] : {std::pair{QStringLiteral("tbl_cliente_telefono"), &phones},
                               std::pair{QStringLiteral("tbl_cliente"), &customerRecords},
                               std::pair{QStringLiteral("tbl_cliente_tipo"), &customerTypes}}) {
        const mdb::Result r = customers.readTable(name, *table);
        if (r.status == mdb::Status::NoSuchTable)
            return failure(CustomerStatus::CustomerDatabaseError,
                           QStringLiteral("La base de datos de clientes no tiene la tabla '%1'. No se ha importado "
                                          "ningún contacto.").arg(name));
        if (r.status == mdb::Status::Damaged)
            return failure(CustomerStatus::CustomerDatabaseError,
                           QStringLiteral("La tabla '%1' de la base de datos de clientes está dañada: alguna de sus "
                                          "filas no se puede leer. No se ha importado ningún contacto.").arg(name));
        if (!r.ok())
            return failure(CustomerStatus::CustomerDatabaseError, customerOpenError);
    }
    std::vector<int> t, f, k;
    std::optional<QString> missing = needColumns(phones, {"numero", "tipo_telefono", "nombre_id"}, t);
    if (!missing)
        missing = needColumns(customerRecords, {"id_cliente", "nombre_apellido", "tipo_cliente"}, f);
    if (!missing)
        missing = needColumns(customerTypes, {"id_tipo_cliente", "tipo_cliente"}, k);
    if (missing)
        return failure(CustomerStatus::CustomerDatabaseError,
                       QStringLiteral("La base de datos de clientes no tiene el campo '%1'. No se ha importado ningún "
                                      "contacto.").arg(*missing));

    db::Connection program;
    if (!program.open(programDatabase, db::OpenMode::ExistingOnly).ok() || !database::isClientDatabase(program))
        return failure(CustomerStatus::ProgramDatabaseError,
                       QStringLiteral("No se ha podido abrir la base de datos de %1 Desktop seleccionada. Compruebe "
                                      "que es una base de datos del programa.").arg(brand::brandName()));

    const QVariant mobileType = options.numericPhoneType ? QVariant(3.0) : QVariant(QStringLiteral("3"));
    db::Transaction transaction(program);
    if (!transaction.isActive())
        return failure(CustomerStatus::WriteError, QStringLiteral("No se ha podido escribir en la base de datos."));
    AgendaStore store(program);
    CustomerOutcome out;
    for (const QVariantList &row : phones.rows) {
        const QString number = mdb::cellText(row.value(t[0]));
        if (number.isEmpty() || !keyEquals(row.value(t[1]), mobileType, options.numericPhoneType))
            continue;
        const QVariantList *customer = nullptr;
        for (const QVariantList &c : customerRecords.rows)
            if (keyEquals(c.value(f[0]), row.value(t[2]), options.numericCustomerId)) {
                customer = &c;
                break;
            }
        if (!customer) {
            ++out.withoutCustomer;
            continue;
        }
        const QString name = mdb::cellText(customer->value(f[1])).left(50);
        QString comment = QStringLiteral("Indefinido");
        const QString type = mdb::cellText(customer->value(f[2])).left(50);
        if (!type.isEmpty()) {
            for (const QVariantList &typeRow : customerTypes.rows)
                if (keyEquals(typeRow.value(k[0]), type, options.numericCustomerTypeId)) {
                    comment = mdb::cellText(typeRow.value(k[1])).left(50);
                    break;
                }
        }
        ContactValues v;
        v.name = nonNullText(name);
        v.phone = cleanCustomerPhone(number);
        v.fullName = nonNullText(name);
        v.comment = nonNullText(comment);
        if (!store.insert(v).ok())
            return failure(CustomerStatus::WriteError,
                           QStringLiteral("No se han podido guardar los contactos. No se ha importado ningún contacto."));
        ++out.imported;
    }
    if (!transaction.commit().ok())
        return failure(CustomerStatus::WriteError,
                       QStringLiteral("No se han podido guardar los contactos. No se ha importado ningún contacto."));
    out.message = QStringLiteral("Base de datos de clientes importada en ") + brand::brandName()
                + QStringLiteral(" Desktop. Gracias por su confianza.");
    if (out.withoutCustomer > 0)
        out.message += QStringLiteral(" %1 teléfonos no se han importado porque su cliente no existe en la base de "
                                      "datos de clientes.").arg(out.withoutCustomer);
    return out;
}

} // namespace importexport::access
