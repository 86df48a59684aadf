#include "importexport/excel/import_engine.h"

#include "importexport/excel/column_mapping.h"
#include "platform/db/connection.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <optional>

namespace importexport::excel {

QString Contadores::texto() const
{
    return QString::number(nuevos) + u',' + QString::number(validos) + u',' + QString::number(enGrupo);
}

Contadores Contadores::desdeTexto(const QString &text)
{
    const QStringList parts = text.trimmed().split(u',');
    Contadores c;
    c.nuevos = parts.value(0).trimmed().toInt();
    c.validos = parts.value(1).trimmed().toInt();
    c.enGrupo = parts.value(2).trimmed().toInt();
    return c;
}

namespace {

// The record as the store writes it: every text as read, a missing birth date Null.
ContactValues valuesOf(const Contacto &c)
{
    return {c.nombre,     c.telefono,   c.nombre_completo, c.direccion,
            c.telefono_2, c.comentario, c.f_nacimiento.isEmpty() ? QVariant() : QVariant(c.f_nacimiento)};
}

} // namespace

bool mismosDatos(const Contacto &record, const StoredContact &stored)
{
    // Every imported text takes part in the comparison, the empty birth date too.
    ContactValues imported = valuesOf(record);
    imported.f_nacimiento = record.f_nacimiento;
    return !valuesDiffer(imported, stored.values);
}

ImportEngine::ImportEngine(db::Connection &connection, const RecordSheet &sheet, const Columnas &columns, QString group)
    : m_store(connection), m_sheet(sheet), m_columnas(columns), m_grupo(std::move(group).trimmed())
{
}

void ImportEngine::aplicarEleccion(Choice choice)
{
    if (choice == Choice::Ninguna)
        return;
    m_sobreescribirUna = choice == Choice::SobreescribirUna;
    m_sobreescribirTodas = choice == Choice::SobreescribirTodas;
    m_ignorarUna = choice == Choice::IgnorarUna;
    m_ignorarTodas = choice == Choice::IgnorarTodas;
}

ImportEngine::Outcome ImportEngine::importar(int record)
{
    const Registro read = leerRegistro(m_sheet, record, m_columnas);
    if (!read.valido)
        return Outcome::NoValido;
    return escribir(record, read.contacto);
}

ImportEngine::Outcome ImportEngine::escribir(int record, const Contacto &contact)
{
    // A record is written whole or not at all: a failure between its insert (or overwrite) and
    // its group change leaves neither, and the counters only move once the record is committed.
    const auto fail = [&](const db::Result &r) {
        m_error = QStringLiteral("No se ha podido guardar en la agenda el contacto %1 (%2 %3). La importación se ha "
                                 "detenido; los contactos importados hasta ese momento se conservan.")
                      .arg(contact.nombre, m_sheet.swapped() ? QStringLiteral("columna") : QStringLiteral("fila"),
                           m_sheet.swapped() ? nombreColumna(record) : QString::number(record));
        qWarning("Excel import: %s", qPrintable(r.error));
        return Outcome::Fallo;
    };

    // Inside a batch the batch's transaction already keeps the look-up and the writes together;
    // a record then needs a savepoint of its own only when it writes twice.
    db::Connection &database = m_store.conexion();
    std::optional<db::Transaction> transaction;
    const auto begin = [&]() {
        transaction.emplace(database);
        return transaction->isActive();
    };
    if (!m_enLote && !begin())
        return fail({db::Status::Error, QStringLiteral("cannot begin a transaction")});

    Contadores counted = m_contadores;
    ++counted.validos;
    const bool withGroup = !m_grupo.isEmpty();

    db::Result r;
    const std::optional<StoredContact> stored = m_store.findByPhone(contact.telefono, &r);
    if (!r.ok())
        return fail(r);

    if (!stored) {
        r = m_store.insert(valuesOf(contact), m_grupo);
        if (!r.ok())
            return fail(r);
        ++counted.nuevos;
        if (withGroup)
            ++counted.enGrupo;
    } else {
        const bool same = mismosDatos(contact, *stored);
        const bool overwrite = m_sobreescribirUna || m_sobreescribirTodas;
        const bool ignore = m_ignorarUna || m_ignorarTodas;
        if (!same && !overwrite && !ignore) {
            // Nothing is written until the user answers; the record is read again then.
            m_conflicto = {record, contact, stored->values};
            return Outcome::Duplicado;
        }
        const QString list = stored->grupos_sid.toString();
        const bool joinsGroup = withGroup && !listaContiene(list, m_grupo);
        if (joinsGroup && !same && overwrite && !transaction && !begin())
            return fail({db::Status::Error, QStringLiteral("cannot begin a savepoint")});
        if (joinsGroup) {
            r = m_store.setGroups(stored->sid, listaConGrupo(list, m_grupo));
            if (!r.ok())
                return fail(r);
            ++counted.enGrupo;
        }
        if (!same && overwrite) {
            r = m_store.overwrite(stored->sid, valuesOf(contact));
            if (!r.ok())
                return fail(r);
            ++counted.nuevos;
        }
    }

    if (transaction) {
        r = transaction->commit();
        if (!r.ok())
            return fail(r);
    }
    m_contadores = counted;
    // The "once" answers are spent on the record they decided.
    if (stored && !mismosDatos(contact, *stored)) {
        if (m_sobreescribirUna || m_sobreescribirTodas)
            m_sobreescribirUna = false;
        else
            m_ignorarUna = false;
    }
    return Outcome::Hecho;
}

void ImportEngine::volverA(const Marca &mark)
{
    m_contadores = mark.contadores;
    m_sobreescribirUna = mark.sobreescribirUna;
    m_ignorarUna = mark.ignorarUna;
}

void ImportEngine::loteNoGuardado(int from, int until, const db::Result &r)
{
    const bool byColumn = m_sheet.swapped();
    const auto label = [byColumn](int record) {
        return byColumn ? nombreColumna(record) : QString::number(record);
    };
    m_error = QStringLiteral("No se han podido guardar en la agenda los contactos de las %1 %2 a %3. La importación "
                             "se ha detenido; los contactos importados antes se conservan.")
                  .arg(byColumn ? QStringLiteral("columnas") : QStringLiteral("filas"), label(from), label(until));
    qWarning("Excel import: %s", qPrintable(r.error));
}

std::optional<int> ImportEngine::siguienteCandidato(int record, int total) const
{
    for (int k = record + 1; k <= record + kBusquedaMaxima && k <= total; ++k)
        if (tieneNombreYTelefono(m_sheet, k, m_columnas))
            return k;
    return std::nullopt;
}

ImportRun::ImportRun(ImportEngine &engine, int first, int total) : m_engine(engine), m_primero(first), m_total(total)
{
    m_actual = m_primero - 1;
}

ImportRun::State ImportRun::comenzar()
{
    return m_estado = recorrer(m_primero);
}

ImportRun::State ImportRun::responder(Choice choice)
{
    m_engine.aplicarEleccion(choice);
    return m_estado = recorrer(m_engine.conflicto().registro);
}

ImportRun::State ImportRun::recorrer(int record)
{
    while (record <= m_total) {
        m_actual = record;
        switch (m_engine.importar(record)) {
        case ImportEngine::Outcome::Duplicado:
            return State::EsperandoRespuesta;
        case ImportEngine::Outcome::Fallo:
            return State::Fallida;
        case ImportEngine::Outcome::Hecho:
            return record == m_total ? State::Terminada : State::EnCurso;
        case ImportEngine::Outcome::NoValido:
            if (const std::optional<int> next = m_engine.siguienteCandidato(record, m_total)) {
                record = *next;
                continue;
            }
            // A long stretch without data does not end the run while records remain after it:
            // the timer carries on past the stretch, one record at a time.
            if (record + kBusquedaMaxima >= m_total) {
                m_actual = m_total;
                return State::Terminada;
            }
            m_actual = record + kBusquedaMaxima;
            return State::EnCurso;
        }
    }
    return State::Terminada;
}

ImportRun::State ImportRun::lote(int limit)
{
    return procesar(limit, std::chrono::nanoseconds::max());
}

ImportRun::State ImportRun::tramo(std::chrono::nanoseconds budget)
{
    return procesar(std::numeric_limits<int>::max(), budget);
}

ImportRun::State ImportRun::procesar(int limit, std::chrono::nanoseconds budget)
{
    if (m_estado != State::EnCurso)
        return m_estado;
    const auto until = std::chrono::steady_clock::now() + std::min(budget, std::chrono::nanoseconds(std::chrono::hours(1)));
    // One transaction for the tick; each record's own becomes a savepoint inside it, so a record
    // that fails leaves nothing of itself and the ones before it stay.
    const ImportEngine::Marca before = m_engine.marca();
    const int first = m_actual + 1;
    db::Transaction transaction(m_engine.conexion());
    m_engine.setEnLote(transaction.isActive());
    State result = State::EnCurso;
    for (int i = 0; i < limit && m_actual < m_total; ++i) {
        if (i > 0 && std::chrono::steady_clock::now() >= until)
            break;
        ++m_actual;
        const ImportEngine::Outcome outcome = m_engine.importar(m_actual);
        if (outcome == ImportEngine::Outcome::Duplicado) {
            result = State::EsperandoRespuesta;
            break;
        }
        if (outcome == ImportEngine::Outcome::Fallo) {
            result = State::Fallida;
            break;
        }
    }
    m_engine.setEnLote(false);
    if (transaction.isActive()) {
        const db::Result r = transaction.commit();
        if (!r.ok()) {
            // Nothing of the tick reached the file: its counters and answers go back, and the
            // run stops with the book as it was before the tick.
            transaction.rollback();
            m_engine.volverA(before);
            m_engine.loteNoGuardado(first, m_actual, r);
            m_actual = first - 1;
            return m_estado = State::Fallida;
        }
    }
    if (result != State::EnCurso)
        return m_estado = result;
    return m_estado = m_actual >= m_total ? State::Terminada : State::EnCurso;
}

void ImportRun::finalizar()
{
    m_actual = m_total;
    if (m_estado == State::EsperandoRespuesta)
        m_estado = State::EnCurso;
}

void ImportRun::pausarEnConflicto()
{
    if (m_estado != State::EsperandoRespuesta)
        return;
    m_actual = m_engine.conflicto().registro - 1;
    m_estado = State::EnCurso;
}

} // namespace importexport::excel
