#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QVariant>

#include <optional>

// The contact table `Agenda` as the importers read and write it: look-ups by the stored phone and
// by all six text fields, insertions and overwrites, every value bound. A value given as an
// invalid QVariant is written as Null; texts are written as they are, the empty text included.
namespace importexport {

// The columns an importer writes. An invalid QVariant leaves the column Null.
struct ContactValues {
    QVariant nombre;
    QVariant telefono;
    QVariant nombre_completo;
    QVariant direccion;
    QVariant telefono_2;
    QVariant comentario;
    QVariant f_nacimiento;   // "yyyy-MM-dd" or Null
};

struct StoredContact {
    qint64 sid = 0;
    ContactValues values;    // as stored: an invalid QVariant where the column is Null
};

// A text that is never bound as Null (Qt's null QString would be).
QString nonNullText(const QString &text);

class AgendaStore final {
public:
    explicit AgendaStore(db::Connection &conexion) : m_conexion(conexion) {}

    // The first contact whose stored phone is exactly `telefono`.
    std::optional<StoredContact> findByPhone(const QString &telefono, db::Result *result = nullptr);
    bool phoneExists(const QString &telefono, db::Result *result = nullptr);
    // A contact equal in all six text fields (the database's own comparison; Null matches nothing).
    bool sameContactExists(const ContactValues &values, db::Result *result = nullptr);

    db::Result insert(const ContactValues &values);
    // Rewrites every column but the phone.
    db::Result overwrite(qint64 sid, const ContactValues &values);

private:
    db::Connection &m_conexion;
};

} // namespace importexport
