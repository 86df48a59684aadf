#pragma once

#include "importexport/access/access_settings.h"
#include "importexport/store/agenda_store.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

// `Access_a_Access`: the walk over another Access table that copies its contacts into `Agenda`.
// A run may stop at a phone that the book already holds with other data and go on once the user
// has decided; nothing reaches the database until the run ends, and then everything it decided is
// written in one transaction, so a failure or an abandoned run leaves the book as it was.
namespace importexport::access {

// The user's answer to a conflict (the duplicate-phone dialog's four flags).
struct Decision {
    bool sobreescribirUno = false;
    bool sobreescribirTodos = false;
    bool ignorarUno = false;
    bool ignorarTodos = false;
};

// One row of the other table as the contact it becomes. Texts are Null (invalid) where the row
// holds Null; "Vacio" gives the empty text. The birth date is "yyyy-MM-dd" or "" (not a date).
struct ImportedContact {
    QVariant nombre;
    QString telefono;
    QVariant nombre_completo;
    QVariant direccion;
    QVariant telefono_2;
    QVariant comentario;
    QString f_nacimiento;
    QString clave;           // the row's key value as text
};

struct Conflict {
    ImportedContact importado;
    StoredContact actual;
    QString tabla;
    QString clave;
    double contados = 0;
};

enum class RunStatus { Finished, Conflict, Failed };

struct RunOutcome {
    RunStatus status = RunStatus::Finished;
    double contados = 0;                  // contacts inserted plus overwritten
    int sinClave = 0;                     // rows with a phone left out: a key the walk never reaches
    std::optional<Conflict> conflicto;    // with RunStatus::Conflict
    QString mensaje;                      // the Spanish text to show (final or failure)
};

// The final message of a finished run.
QString mensajeImportados(double contados);
// The line added to it for rows whose key the walk does not reach (Null, zero, negative).
QString mensajeSinClave(int filas);

// The contact a row becomes under `mapping` (fieldNames are the other table's fields).
ImportedContact contactFromRow(const QVariantList &row, const QStringList &fieldNames, const Mapping &mapping);

// True when some pair of fields holds values on both sides that differ (Null decides nothing).
bool differs(const ImportedContact &importado, const ContactValues &actual);

class AccessImport final {
public:
    explicit AccessImport(db::Connection &conexion) : m_conexion(conexion) {}

    // Starts a run over `table` from its first key (numeric keys from 1 on, as the first call of
    // the old procedure did).
    RunOutcome empezar(const mdb::Table &table, const Mapping &mapping);
    // Goes on from the row that raised the conflict, settled by `decision`.
    RunOutcome reanudar(const Decision &decision);
    bool esperando() const { return m_waiting; }
    // Forgets a run that waits for an answer; nothing of it is written.
    void abandonar();

private:
    struct Pending {
        bool nuevo = true;
        qint64 sid = 0;
        ContactValues values;
    };

    RunOutcome walk();
    RunOutcome finish();
    RunOutcome fail(const QString &mensaje);
    std::optional<StoredContact> lookUp(const QString &telefono, db::Result &result);
    void keep(const QString &telefono, const Pending &pending);

    db::Connection &m_conexion;
    mdb::Table m_table;
    QStringList m_fieldNames;
    Mapping m_mapping;
    std::vector<size_t> m_order;          // rows to walk, in key order
    size_t m_cursor = 0;
    double m_contados = 0;
    int m_sinClave = 0;
    Decision m_flags;
    bool m_waiting = false;
    std::vector<Pending> m_pending;       // in the order they were decided
    QHash<QString, size_t> m_pendingByPhone;
};

} // namespace importexport::access
