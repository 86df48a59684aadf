#pragma once

#include "importexport/excel/import_record.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The few reads and writes the Excel import and export make on Agenda and Grupos, every value
// bound.
namespace importexport::excel {

struct ContactoGuardado {
    qint64 sid = 0;
    // As stored; a null column is an invalid QVariant.
    QVariant nombre, telefono, nombre_completo, direccion, telefono_2, comentario, f_nacimiento, grupos_sid;
};

// Whether group `sid` is a whole element of a contact's comma-separated group list.
bool listaContiene(const QString &lista, const QString &sid);
// The list with `sid` added at its end (the list alone when it was empty).
QString listaConGrupo(const QString &lista, const QString &sid);

// The record against the stored contact: equal when every field but the phone matches. A null
// stored column decides nothing (it neither matches nor differs).
bool mismosDatos(const Contacto &registro, const ContactoGuardado &guardado);

class ContactStore final {
public:
    explicit ContactStore(db::Connection &conexion) : m_conexion(conexion) {}

    // The first contact whose stored phone is exactly `telefono`.
    std::optional<ContactoGuardado> buscarPorTelefono(const QString &telefono, db::Result *result = nullptr);
    db::Result insertar(const Contacto &contacto, const QString &grupos_sid, qint64 *sid = nullptr);
    db::Result sobreescribir(qint64 sid, const Contacto &contacto);
    db::Result ponerGrupos(qint64 sid, const QString &grupos_sid);

    // Group names in the order the table keeps them.
    QStringList nombresGrupos(db::Result *result = nullptr);
    bool existeGrupo(const QString &nombre, db::Result *result = nullptr);
    std::optional<qint64> crearGrupo(const QString &nombre, db::Result *result = nullptr);
    std::optional<qint64> sidGrupo(const QString &nombre, db::Result *result = nullptr);

    db::Connection &conexion() { return m_conexion; }

private:
    db::Connection &m_conexion;
};

} // namespace importexport::excel
