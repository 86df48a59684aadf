#pragma once

#include "importexport/excel/import_record.h"
#include "importexport/excel/record_sheet.h"
#include "importexport/store/agenda_store.h"

#include <QString>

#include <chrono>
#include <optional>

namespace db { class Connection; }

// The Excel import engine: one record at a time into Agenda, duplicates by phone decided by an
// earlier answer or handed to the user, and the run that drives it (the first records at once,
// then batches from the progress window's timer, stops for the duplicate dialog, the end).
namespace importexport::excel {

// The answer to a duplicate phone.
enum class Choice { Ninguna = 0, SobreescribirUna = 1, SobreescribirTodas = 2, IgnorarUna = 3, IgnorarTodas = 4 };

// The run's counters: new (inserted plus overwritten), valid (records that passed validation) and
// put into the target group.
struct Contadores {
    int nuevos = 0;
    int validos = 0;
    int enGrupo = 0;
    int repetidos() const { return validos - nuevos; }
    // "added,valid,inGroup"
    QString texto() const;
    static Contadores desdeTexto(const QString &text);
    bool operator==(const Contadores &) const = default;
};

// The record against the stored contact: equal when every field but the phone matches. A null
// stored column decides nothing (it neither matches nor differs).
bool mismosDatos(const Contacto &record, const StoredContact &stored);

struct Conflicto {
    int registro = 0;
    Contacto importado;
    ContactValues guardado;   // as stored
};

class ImportEngine final {
public:
    enum class Outcome {
        Hecho,        // valid: inserted, overwritten, kept or already identical
        NoValido,     // skipped; counts nowhere
        Duplicado,    // waits for the user's answer; nothing of the record was written
        Fallo         // the database refused a write; nothing of the record was written
    };

    // `group`: the target group's sid as text, empty for none.
    ImportEngine(db::Connection &connection, const RecordSheet &sheet, const Columnas &columns, QString group);

    // A dialog answer; None leaves the standing decisions as they are.
    void aplicarEleccion(Choice choice);
    Outcome importar(int record);

    // The first of the next 100 records that holds a name and a phone to try.
    std::optional<int> siguienteCandidato(int record, int total) const;

    // What a batch may have to take back when its transaction does not reach the file: the
    // counters and the standing answers as they were before it.
    struct Marca {
        Contadores contadores;
        bool sobreescribirUna = false;
        bool ignorarUna = false;
    };
    Marca marca() const { return {m_contadores, m_sobreescribirUna, m_ignorarUna}; }
    void volverA(const Marca &mark);
    // The batch's records could not be kept: the message that stops the run.
    void loteNoGuardado(int from, int until, const db::Result &r);

    db::Connection &conexion() { return m_store.conexion(); }
    // Records are written inside a batch's open transaction.
    void setEnLote(bool inBatch) { m_enLote = inBatch; }
    const Contadores &contadores() const { return m_contadores; }
    void setContadores(const Contadores &counters) { m_contadores = counters; }
    const Conflicto &conflicto() const { return m_conflicto; }
    const QString &error() const { return m_error; }
    const QString &grupo() const { return m_grupo; }
    const RecordSheet &sheet() const { return m_sheet; }

private:
    Outcome escribir(int record, const Contacto &contact);

    AgendaStore m_store;
    const RecordSheet &m_sheet;
    Columnas m_columnas;
    QString m_grupo;
    bool m_sobreescribirUna = false;
    bool m_sobreescribirTodas = false;
    bool m_ignorarUna = false;
    bool m_ignorarTodas = false;
    bool m_enLote = false;
    Contadores m_contadores;
    Conflicto m_conflicto;
    QString m_error;
};

// How far the look-ahead over records without data goes in one step.
inline constexpr int kBusquedaMaxima = 100;
// Records the progress timer imports per tick when counted.
inline constexpr int kRegistrosPorLote = 5;
// How long one tick of the progress timer imports before the window gets its turn again: short
// enough for the window to stay live, long enough for the work to outweigh the tick itself.
inline constexpr std::chrono::milliseconds kTramoPorTick{40};

class ImportRun final {
public:
    enum class State {
        EnCurso,              // the timer carries on from current() + 1
        EsperandoRespuesta,   // the duplicate dialog is up for conflict()
        Terminada,            // show the summary
        Fallida               // show error(); what was written before stays
    };

    ImportRun(ImportEngine &engine, int first, int total);

    // The first records, synchronously, until the first valid one.
    State comenzar();
    // The user's answer to the conflict: the conflicting record again, then on as start().
    State responder(Choice choice);
    // One tick of the progress timer: up to `limit` records, invalid ones skipped one by one.
    State lote(int limit = kRegistrosPorLote);
    // One tick that imports for about `budget` (at least one record), invalid ones skipped one by
    // one. The tick's records share one transaction, each record whole or not at all inside it,
    // and the tick ends with the book committed, so a pause or the dialog always sees it settled.
    State tramo(std::chrono::nanoseconds budget = kTramoPorTick);
    // "Finalizar": the remaining records are not read; the next tick ends the run.
    void finalizar();
    // The dialog was closed without an answer: the conflicting record is read again on resume.
    void pausarEnConflicto();

    int actual() const { return m_actual; }
    int total() const { return m_total; }
    State estado() const { return m_estado; }
    const Contadores &contadores() const { return m_engine.contadores(); }
    const Conflicto &conflicto() const { return m_engine.conflicto(); }
    const QString &error() const { return m_engine.error(); }

private:
    State recorrer(int record);
    State procesar(int limit, std::chrono::nanoseconds budget);

    ImportEngine &m_engine;
    int m_primero = 1;
    int m_total = 0;
    int m_actual = 0;             // the last record looked at
    State m_estado = State::EnCurso;
};

} // namespace importexport::excel
