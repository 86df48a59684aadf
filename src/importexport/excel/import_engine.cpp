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

Contadores Contadores::desdeTexto(const QString &texto)
{
    const QStringList parts = texto.trimmed().split(u',');
    Contadores c;
    c.nuevos = parts.value(0).trimmed().toInt();
    c.validos = parts.value(1).trimmed().toInt();
    c.enGrupo = parts.value(2).trimmed().toInt();
    return c;
}

namespace {

// The record as the store writes it: every text as read, a missing birth date Null.
ContactValues valores(const Contacto &c)
{
    return {c.nombre,     c.telefono,   c.nombre_completo, c.direccion,
            c.telefono_2, c.comentario, c.f_nacimiento.isEmpty() ? QVariant() : QVariant(c.f_nacimiento)};
}

} // namespace

bool mismosDatos(const Contacto &registro, const StoredContact &guardado)
{
    // Every imported text takes part in the comparison, the empty birth date too.
    ContactValues importado = valores(registro);
    importado.f_nacimiento = registro.f_nacimiento;
    return !valuesDiffer(importado, guardado.values);
}

ImportEngine::ImportEngine(db::Connection &conexion, const RecordSheet &sheet, const Columnas &columnas, QString grupo)
    : m_store(conexion), m_sheet(sheet), m_columnas(columnas), m_grupo(std::move(grupo).trimmed())
{
}

void ImportEngine::aplicarEleccion(Eleccion eleccion)
{
    if (eleccion == Eleccion::Ninguna)
        return;
    m_sobreescribirUna = eleccion == Eleccion::SobreescribirUna;
    m_sobreescribirTodas = eleccion == Eleccion::SobreescribirTodas;
    m_ignorarUna = eleccion == Eleccion::IgnorarUna;
    m_ignorarTodas = eleccion == Eleccion::IgnorarTodas;
}

ImportEngine::Resultado ImportEngine::importar(int registro)
{
    const Registro leido = leerRegistro(m_sheet, registro, m_columnas);
    if (!leido.valido)
        return Resultado::NoValido;
    return escribir(registro, leido.contacto);
}

ImportEngine::Resultado ImportEngine::escribir(int registro, const Contacto &contacto)
{
    // A record is written whole or not at all: a failure between its insert (or overwrite) and
    // its group change leaves neither, and the counters only move once the record is committed.
    const auto fallo = [&](const db::Result &r) {
        m_error = QStringLiteral("No se ha podido guardar en la agenda el contacto %1 (%2 %3). La importación se ha "
                                 "detenido; los contactos importados hasta ese momento se conservan.")
                      .arg(contacto.nombre, m_sheet.swapped() ? QStringLiteral("columna") : QStringLiteral("fila"),
                           m_sheet.swapped() ? nombreColumna(registro) : QString::number(registro));
        qWarning("Excel import: %s", qPrintable(r.error));
        return Resultado::Fallo;
    };

    // Inside a batch the batch's transaction already keeps the look-up and the writes together;
    // a record then needs a savepoint of its own only when it writes twice.
    db::Connection &conexion = m_store.conexion();
    std::optional<db::Transaction> transaction;
    const auto begin = [&]() {
        transaction.emplace(conexion);
        return transaction->isActive();
    };
    if (!m_enLote && !begin())
        return fallo({db::Status::Error, QStringLiteral("cannot begin a transaction")});

    Contadores contadores = m_contadores;
    ++contadores.validos;
    const bool conGrupo = !m_grupo.isEmpty();

    db::Result r;
    const std::optional<StoredContact> guardado = m_store.findByPhone(contacto.telefono, &r);
    if (!r.ok())
        return fallo(r);

    if (!guardado) {
        r = m_store.insert(valores(contacto), m_grupo);
        if (!r.ok())
            return fallo(r);
        ++contadores.nuevos;
        if (conGrupo)
            ++contadores.enGrupo;
    } else {
        const bool iguales = mismosDatos(contacto, *guardado);
        const bool sobreescribir = m_sobreescribirUna || m_sobreescribirTodas;
        const bool ignorar = m_ignorarUna || m_ignorarTodas;
        if (!iguales && !sobreescribir && !ignorar) {
            // Nothing is written until the user answers; the record is read again then.
            m_conflicto = {registro, contacto, guardado->values};
            return Resultado::Duplicado;
        }
        const QString lista = guardado->grupos_sid.toString();
        const bool alGrupo = conGrupo && !listaContiene(lista, m_grupo);
        if (alGrupo && !iguales && sobreescribir && !transaction && !begin())
            return fallo({db::Status::Error, QStringLiteral("cannot begin a savepoint")});
        if (alGrupo) {
            r = m_store.setGroups(guardado->sid, listaConGrupo(lista, m_grupo));
            if (!r.ok())
                return fallo(r);
            ++contadores.enGrupo;
        }
        if (!iguales && sobreescribir) {
            r = m_store.overwrite(guardado->sid, valores(contacto));
            if (!r.ok())
                return fallo(r);
            ++contadores.nuevos;
        }
    }

    if (transaction) {
        r = transaction->commit();
        if (!r.ok())
            return fallo(r);
    }
    m_contadores = contadores;
    // The "once" answers are spent on the record they decided.
    if (guardado && !mismosDatos(contacto, *guardado)) {
        if (m_sobreescribirUna || m_sobreescribirTodas)
            m_sobreescribirUna = false;
        else
            m_ignorarUna = false;
    }
    return Resultado::Hecho;
}

void ImportEngine::volverA(const Marca &marca)
{
    m_contadores = marca.contadores;
    m_sobreescribirUna = marca.sobreescribirUna;
    m_ignorarUna = marca.ignorarUna;
}

void ImportEngine::loteNoGuardado(int desde, int hasta, const db::Result &r)
{
    const bool columnas = m_sheet.swapped();
    const auto nombre = [columnas](int registro) {
        return columnas ? nombreColumna(registro) : QString::number(registro);
    };
    m_error = QStringLiteral("No se han podido guardar en la agenda los contactos de las %1 %2 a %3. La importación "
                             "se ha detenido; los contactos importados antes se conservan.")
                  .arg(columnas ? QStringLiteral("columnas") : QStringLiteral("filas"), nombre(desde), nombre(hasta));
    qWarning("Excel import: %s", qPrintable(r.error));
}

std::optional<int> ImportEngine::siguienteCandidato(int registro, int total) const
{
    for (int k = registro + 1; k <= registro + kBusquedaMaxima && k <= total; ++k)
        if (tieneNombreYTelefono(m_sheet, k, m_columnas))
            return k;
    return std::nullopt;
}

ImportRun::ImportRun(ImportEngine &engine, int primero, int total) : m_engine(engine), m_primero(primero), m_total(total)
{
    m_actual = m_primero - 1;
}

ImportRun::Estado ImportRun::comenzar()
{
    return m_estado = recorrer(m_primero);
}

ImportRun::Estado ImportRun::responder(Eleccion eleccion)
{
    m_engine.aplicarEleccion(eleccion);
    return m_estado = recorrer(m_engine.conflicto().registro);
}

ImportRun::Estado ImportRun::recorrer(int registro)
{
    while (registro <= m_total) {
        m_actual = registro;
        switch (m_engine.importar(registro)) {
        case ImportEngine::Resultado::Duplicado:
            return Estado::EsperandoRespuesta;
        case ImportEngine::Resultado::Fallo:
            return Estado::Fallida;
        case ImportEngine::Resultado::Hecho:
            return registro == m_total ? Estado::Terminada : Estado::EnCurso;
        case ImportEngine::Resultado::NoValido:
            if (const std::optional<int> next = m_engine.siguienteCandidato(registro, m_total)) {
                registro = *next;
                continue;
            }
            // A long stretch without data does not end the run while records remain after it:
            // the timer carries on past the stretch, one record at a time.
            if (registro + kBusquedaMaxima >= m_total) {
                m_actual = m_total;
                return Estado::Terminada;
            }
            m_actual = registro + kBusquedaMaxima;
            return Estado::EnCurso;
        }
    }
    return Estado::Terminada;
}

ImportRun::Estado ImportRun::lote(int maximo)
{
    return procesar(maximo, std::chrono::nanoseconds::max());
}

ImportRun::Estado ImportRun::tramo(std::chrono::nanoseconds tramo)
{
    return procesar(std::numeric_limits<int>::max(), tramo);
}

ImportRun::Estado ImportRun::procesar(int maximo, std::chrono::nanoseconds tramo)
{
    if (m_estado != Estado::EnCurso)
        return m_estado;
    const auto hasta = std::chrono::steady_clock::now() + std::min(tramo, std::chrono::nanoseconds(std::chrono::hours(1)));
    // One transaction for the tick; each record's own becomes a savepoint inside it, so a record
    // that fails leaves nothing of itself and the ones before it stay.
    const ImportEngine::Marca antes = m_engine.marca();
    const int primero = m_actual + 1;
    db::Transaction transaction(m_engine.conexion());
    m_engine.setEnLote(transaction.isActive());
    Estado estado = Estado::EnCurso;
    for (int i = 0; i < maximo && m_actual < m_total; ++i) {
        if (i > 0 && std::chrono::steady_clock::now() >= hasta)
            break;
        ++m_actual;
        const ImportEngine::Resultado resultado = m_engine.importar(m_actual);
        if (resultado == ImportEngine::Resultado::Duplicado) {
            estado = Estado::EsperandoRespuesta;
            break;
        }
        if (resultado == ImportEngine::Resultado::Fallo) {
            estado = Estado::Fallida;
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
            m_engine.volverA(antes);
            m_engine.loteNoGuardado(primero, m_actual, r);
            m_actual = primero - 1;
            return m_estado = Estado::Fallida;
        }
    }
    if (estado != Estado::EnCurso)
        return m_estado = estado;
    return m_estado = m_actual >= m_total ? Estado::Terminada : Estado::EnCurso;
}

void ImportRun::finalizar()
{
    m_actual = m_total;
    if (m_estado == Estado::EsperandoRespuesta)
        m_estado = Estado::EnCurso;
}

void ImportRun::pausarEnConflicto()
{
    if (m_estado != Estado::EsperandoRespuesta)
        return;
    m_actual = m_engine.conflicto().registro - 1;
    m_estado = Estado::EnCurso;
}

} // namespace importexport::excel
