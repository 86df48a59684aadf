#include "importexport/access/customer_import.h"

#include "importexport/access/phone_rules.h"
#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"
#include "platform/mdb/access_value.h"
#include "startup/brand.h"
#include "startup/database/schema.h"

#include <optional>

namespace importexport::access {

namespace {

CustomerOutcome failure(CustomerStatus status, const QString &mensaje)
{
    CustomerOutcome out;
    out.status = status;
    out.mensaje = mensaje;
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

CustomerOutcome importarClientes(const QString &customerDatabase, const QString &programDatabase,
                                 const CustomerOptions &options)
{
    const QString errorClientes = QStringLiteral("No se ha podido abrir la base de datos de clientes. Compruebe que "
                                                 "ha seleccionado un archivo de Access válido.");
    mdb::AccessFile clientes;
    if (!clientes.open(customerDatabase).ok())
        return failure(CustomerStatus::CustomerDatabaseError, errorClientes);

    mdb::Table telefonos, fichas, tipos;
    for (auto [name, table] : {std::pair{QStringLiteral("tbl_cliente_telefono"), &telefonos},
                               std::pair{QStringLiteral("tbl_cliente"), &fichas},
                               std::pair{QStringLiteral("tbl_cliente_tipo"), &tipos}}) {
        const mdb::Result r = clientes.readTable(name, *table);
        if (r.status == mdb::Status::NoSuchTable)
            return failure(CustomerStatus::CustomerDatabaseError,
                           QStringLiteral("La base de datos de clientes no tiene la tabla '%1'. No se ha importado "
                                          "ningún contacto.").arg(name));
        if (!r.ok())
            return failure(CustomerStatus::CustomerDatabaseError, errorClientes);
    }
    std::vector<int> t, f, k;
    std::optional<QString> missing = needColumns(telefonos, {"numero", "tipo_telefono", "nombre_id"}, t);
    if (!missing)
        missing = needColumns(fichas, {"id_cliente", "nombre_apellido", "tipo_cliente"}, f);
    if (!missing)
        missing = needColumns(tipos, {"id_tipo_cliente", "tipo_cliente"}, k);
    if (missing)
        return failure(CustomerStatus::CustomerDatabaseError,
                       QStringLiteral("La base de datos de clientes no tiene el campo '%1'. No se ha importado ningún "
                                      "contacto.").arg(*missing));

    db::Connection programa;
    if (!programa.open(programDatabase, db::OpenMode::ExistingOnly).ok() || !startup::isClientDatabase(programa))
        return failure(CustomerStatus::ProgramDatabaseError,
                       QStringLiteral("No se ha podido abrir la base de datos de %1 Desktop seleccionada. Compruebe "
                                      "que es una base de datos del programa.").arg(brand::nombre_marca()));

    const QVariant movil = options.tipoTelefonoNumerico ? QVariant(3.0) : QVariant(QStringLiteral("3"));
    db::Transaction transaction(programa);
    if (!transaction.isActive())
        return failure(CustomerStatus::WriteError, QStringLiteral("No se ha podido escribir en la base de datos."));
    AgendaStore store(programa);
    CustomerOutcome out;
    for (const QVariantList &row : telefonos.rows) {
        const QString numero = mdb::cellText(row.value(t[0]));
        if (numero.isEmpty() || !keyEquals(row.value(t[1]), movil, options.tipoTelefonoNumerico))
            continue;
        const QVariantList *cliente = nullptr;
        for (const QVariantList &c : fichas.rows)
            if (keyEquals(c.value(f[0]), row.value(t[2]), options.idClienteNumerico)) {
                cliente = &c;
                break;
            }
        if (!cliente) {
            ++out.sinCliente;
            continue;
        }
        const QString nombre = mdb::cellText(cliente->value(f[1])).left(50);
        QString comentario = QStringLiteral("Indefinido");
        const QString tipo = mdb::cellText(cliente->value(f[2])).left(50);
        if (!tipo.isEmpty()) {
            for (const QVariantList &ty : tipos.rows)
                if (keyEquals(ty.value(k[0]), tipo, options.idTipoClienteNumerico)) {
                    comentario = mdb::cellText(ty.value(k[1])).left(50);
                    break;
                }
        }
        ContactValues v;
        v.nombre = nonNullText(nombre);
        v.telefono = telefono_clientes(numero);
        v.nombre_completo = nonNullText(nombre);
        v.comentario = nonNullText(comentario);
        if (!store.insert(v).ok())
            return failure(CustomerStatus::WriteError,
                           QStringLiteral("No se han podido guardar los contactos. No se ha importado ningún contacto."));
        ++out.importados;
    }
    if (!transaction.commit().ok())
        return failure(CustomerStatus::WriteError,
                       QStringLiteral("No se han podido guardar los contactos. No se ha importado ningún contacto."));
    out.mensaje = QStringLiteral("Base de datos de clientes importada en ") + brand::nombre_marca()
                + QStringLiteral(" Desktop. Gracias por su confianza.");
    if (out.sinCliente > 0)
        out.mensaje += QStringLiteral(" %1 teléfonos no se han importado porque su cliente no existe en la base de "
                                      "datos de clientes.").arg(out.sinCliente);
    return out;
}

} // namespace importexport::access
