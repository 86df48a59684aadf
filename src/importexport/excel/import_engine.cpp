#include "importexport/excel/import_engine.h"

#include "importexport/excel/column_mapping.h"
#include "platform/db/connection.h"

#include <QStringList>

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

    db::Connection &conexion = m_store.conexion();
    db::Transaction transaction(conexion);
    if (!transaction.isActive())
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
        if (conGrupo && !listaContiene(lista, m_grupo)) {
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

    r = transaction.commit();
    if (!r.ok())
        return fallo(r);
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
    if (m_estado != Estado::EnCurso)
        return m_estado;
    for (int i = 0; i < maximo && m_actual < m_total; ++i) {
        ++m_actual;
        switch (m_engine.importar(m_actual)) {
        case ImportEngine::Resultado::Duplicado:
            return m_estado = Estado::EsperandoRespuesta;
        case ImportEngine::Resultado::Fallo:
            return m_estado = Estado::Fallida;
        case ImportEngine::Resultado::Hecho:
        case ImportEngine::Resultado::NoValido:
            break;
        }
    }
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
