#include "importexport/access/access_import.h"

#include "importexport/access/phone_rules.h"
#include "platform/mdb/access_value.h"

#include <QDate>

#include <algorithm>

namespace importexport::access {

namespace {

const QString kFalloGuardar = QStringLiteral(
    "No se han podido guardar los contactos en la agenda. No se ha importado ningún contacto; por favor, "
    "inténtelo de nuevo.");

bool isVacio(int index, const QStringList &fieldNames)
{
    return index >= fieldNames.size() || index < 0 || fieldNames.at(index) == kVacio;
}

QVariant textField(const QVariantList &row, int index, const QStringList &fieldNames)
{
    if (isVacio(index, fieldNames))
        return QString(QLatin1String(""));
    const QVariant v = row.value(index);
    if (!v.isValid())
        return {};
    return nonNullText(mdb::cellText(v));
}

// A birth date as the book stores it, or "" when the value is not a date.
QString birthDate(const QVariant &value)
{
    if (!value.isValid())
        return QString(QLatin1String(""));
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd"));
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        for (const char *format : {"d/M/yyyy", "yyyy-MM-dd", "d-M-yyyy", "yyyy/M/d"}) {
            const QDate d = QDate::fromString(text, QLatin1String(format));
            if (d.isValid())
                return d.toString(QStringLiteral("yyyy-MM-dd"));
        }
    }
    return QString(QLatin1String(""));
}

bool numericKind(mdb::ColumnKind kind)
{
    return kind == mdb::ColumnKind::Integer || kind == mdb::ColumnKind::Real || kind == mdb::ColumnKind::Boolean;
}

double number(const QVariant &v)
{
    return v.typeId() == QMetaType::Bool ? (v.toBool() ? -1.0 : 0.0) : v.toDouble();
}

// Orders two key values of one column; Null goes last.
bool keyLess(const QVariant &a, const QVariant &b, mdb::ColumnKind kind)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() && !b.isValid();
    if (numericKind(kind))
        return number(a) < number(b);
    if (kind == mdb::ColumnKind::DateTime)
        return a.toDateTime() < b.toDateTime();
    return mdb::cellText(a).compare(mdb::cellText(b), Qt::CaseInsensitive) < 0;
}

ContactValues toWrite(const ImportedContact &c)
{
    auto text = [](const QVariant &v) { return QVariant(nonNullText(v.toString())); };
    ContactValues v;
    v.nombre = text(c.nombre);
    v.telefono = nonNullText(c.telefono);
    v.nombre_completo = text(c.nombre_completo);
    v.direccion = text(c.direccion);
    v.telefono_2 = text(c.telefono_2);
    v.comentario = text(c.comentario);
    v.f_nacimiento = c.f_nacimiento.isEmpty() ? QVariant() : QVariant(c.f_nacimiento);
    return v;
}

} // namespace

QString mensajeImportados(double contados)
{
    return QString::number(qint64(contados)) + QStringLiteral(" contactos han sido importados satisfactoriamente. ");
}

QString mensajeSinClave(int filas)
{
    return QString::number(filas)
        + QStringLiteral(" registros no se han importado porque su campo clave está vacío, es cero o es negativo.");
}

ImportedContact contactFromRow(const QVariantList &row, const QStringList &fieldNames, const Mapping &m)
{
    ImportedContact c;
    c.nombre = textField(row, m.campos[0], fieldNames);
    const QVariant phone = textField(row, m.campos[1], fieldNames);
    c.telefono = phone.isValid() ? telefono_access(phone.toString()) : QString(QLatin1String(""));
    c.nombre_completo = textField(row, m.campos[2], fieldNames);
    c.direccion = textField(row, m.campos[3], fieldNames);
    c.telefono_2 = textField(row, m.campos[4], fieldNames);
    c.comentario = textField(row, m.campos[5], fieldNames);
    c.f_nacimiento = isVacio(m.campos[6], fieldNames) ? QString(QLatin1String("")) : birthDate(row.value(m.campos[6]));
    c.clave = mdb::cellText(row.value(m.clave));
    return c;
}

bool differs(const ImportedContact &i, const ContactValues &a)
{
    return valuesDiffer({i.nombre, i.telefono, i.nombre_completo, i.direccion, i.telefono_2, i.comentario,
                         i.f_nacimiento},
                        a);
}

RunOutcome AccessImport::empezar(const mdb::Table &table, const Mapping &mapping)
{
    abandonar();
    m_table = table;
    m_fieldNames = table.columnNames();
    m_mapping = mapping;
    const int fieldCount = int(m_fieldNames.size());
    if (!mappingFits(mapping, fieldCount))
        return fail(QStringLiteral("La asignación de campos no corresponde a la tabla. Pulse de nuevo sobre Conectar."));
    const int phone = mapping.campos[1];
    if (isVacio(phone, m_fieldNames))
        return fail(QStringLiteral("Asigne el campo que contiene el teléfono: no puede quedar como 'Vacio'. "
                                   "No se ha importado ningún contacto."));

    const int key = mapping.clave;
    const mdb::ColumnKind keyKind = table.columns[size_t(key)].kind;
    for (size_t r = 0; r < m_table.rows.size(); ++r) {
        const QVariantList &row = m_table.rows[r];
        if (mdb::cellText(row.value(phone)).isEmpty())
            continue;
        // The walk goes up the key from 1: a missing key, and a numeric one below 1 (zero,
        // negative), is never reached. Such rows are left out by that one rule and counted, so
        // the summary says so instead of dropping them unseen.
        const QVariant k = row.value(key);
        if (!k.isValid() || (numericKind(keyKind) && number(k) < 1)) {
            ++m_sinClave;
            continue;
        }
        m_order.push_back(r);
    }
    std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
        return keyLess(m_table.rows[a].value(key), m_table.rows[b].value(key), keyKind);
    });
    return walk();
}

RunOutcome AccessImport::reanudar(const Decision &decision)
{
    if (!m_waiting)
        return fail(QStringLiteral("La importación ya no está en curso. Pulse de nuevo sobre Importar."));
    m_waiting = false;
    m_flags = decision;
    return walk();
}

void AccessImport::abandonar()
{
    m_waiting = false;
    m_order.clear();
    m_cursor = 0;
    m_contados = 0;
    m_sinClave = 0;
    m_flags = {};
    m_pending.clear();
    m_pendingByPhone.clear();
}

std::optional<StoredContact> AccessImport::lookUp(const QString &telefono, db::Result &result)
{
    result = {};
    if (const auto it = m_pendingByPhone.constFind(telefono); it != m_pendingByPhone.constEnd()) {
        const Pending &p = m_pending[*it];
        return StoredContact{p.sid, p.values};
    }
    AgendaStore store(m_conexion);
    return store.findByPhone(telefono, &result);
}

void AccessImport::keep(const QString &telefono, const Pending &pending)
{
    if (const auto it = m_pendingByPhone.constFind(telefono); it != m_pendingByPhone.constEnd()) {
        // A contact decided earlier in this run: the later decision rewrites it (still an insert
        // when it was new).
        Pending &p = m_pending[*it];
        p.values = pending.values;
        return;
    }
    m_pendingByPhone.insert(telefono, m_pending.size());
    m_pending.push_back(pending);
}

RunOutcome AccessImport::walk()
{
    for (; m_cursor < m_order.size(); ++m_cursor) {
        const ImportedContact c = contactFromRow(m_table.rows[m_order[m_cursor]], m_fieldNames, m_mapping);
        if (!c.nombre.isValid() || c.nombre.toString().isEmpty() || c.telefono.size() <= 9)
            continue;
        db::Result r;
        const std::optional<StoredContact> found = lookUp(c.telefono, r);
        if (!r.ok())
            return fail(kFalloGuardar);
        if (!found) {
            keep(c.telefono, Pending{true, 0, toWrite(c)});
            m_contados += 1;
            continue;
        }
        if (!differs(c, found->values))
            continue;
        if (m_flags.sobreescribirUno || m_flags.sobreescribirTodos) {
            m_flags.sobreescribirUno = false;
            ContactValues v = toWrite(c);
            v.telefono = found->values.telefono;
            keep(c.telefono, Pending{found->sid == 0, found->sid, v});
            m_contados += 1;
            continue;
        }
        if (m_flags.ignorarUno || m_flags.ignorarTodos) {
            m_flags.ignorarUno = false;
            continue;
        }
        m_waiting = true;
        RunOutcome out;
        out.status = RunStatus::Conflict;
        out.contados = m_contados;
        out.conflicto = Conflict{c, *found, m_table.name, c.clave, m_contados};
        return out;
    }
    return finish();
}

RunOutcome AccessImport::finish()
{
    db::Transaction transaction(m_conexion);
    if (!transaction.isActive())
        return fail(kFalloGuardar);
    AgendaStore store(m_conexion);
    for (const Pending &p : m_pending) {
        const db::Result r = p.nuevo ? store.insert(p.values) : store.overwrite(p.sid, p.values);
        if (!r.ok())
            return fail(kFalloGuardar);
    }
    if (!transaction.commit().ok())
        return fail(kFalloGuardar);
    RunOutcome out;
    out.status = RunStatus::Finished;
    out.contados = m_contados;
    out.mensaje = mensajeImportados(m_contados);
    out.sinClave = m_sinClave;
    if (m_sinClave > 0)
        out.mensaje += QLatin1Char('\n') + mensajeSinClave(m_sinClave);
    abandonar();
    return out;
}

RunOutcome AccessImport::fail(const QString &mensaje)
{
    abandonar();
    RunOutcome out;
    out.status = RunStatus::Failed;
    out.mensaje = mensaje;
    return out;
}

} // namespace importexport::access
