#include "importexport/access/access_import.h"

#include "importexport/access/phone_rules.h"
#include "platform/mdb/access_value.h"

#include <QDate>

#include <algorithm>

namespace importexport::access {

namespace {

const QString kSaveFailed = QStringLiteral(
    "No se han podido guardar los contactos en la agenda. No se ha importado ningún contacto; por favor, "
    "inténtelo de nuevo.");
const QString kReadFailed = QStringLiteral(
    "No se ha podido leer la tabla de la base de datos de Access. No se ha importado ningún contacto.");
const QString kDamaged = QStringLiteral(
    "La tabla '%1' del archivo de Access está dañada: alguna de sus filas no se puede leer. No se ha importado "
    "ningún contacto.");

// Rows of the other table read and kept at a time.
constexpr size_t kWindowRows = 4096;
// Rows come in key order, the file keeps them in its own: each window is one pass over the file.
// A fixed window would make the passes grow with the table (and the walk quadratic); a window of
// at least an eighth of the table keeps them at eight or fewer, and still never holds it whole.
constexpr size_t kMaxPasses = 8;

bool isEmptyChoice(int index, const QStringList &fieldNames)
{
    return index >= fieldNames.size() || index < 0 || fieldNames.at(index) == kEmptyEntry;
}

QVariant textField(const QVariantList &row, int index, const QStringList &fieldNames)
{
    if (isEmptyChoice(index, fieldNames))
        return QString(QLatin1String(""));
    const QVariant v = row.value(index);
    if (!v.isValid())
        return {};
    return nonNullText(mdb::cellText(v));
}

// A birth date as `Agenda` stores it, or "" when the value is not a date.
QString birthDateText(const QVariant &value)
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

// A key as the number Access stores and compares: whole and real numbers as they are, Yes/No as
// -1/0, a date as its day count (accessDateValue), and a value of another kind (currency,
// decimal) that libmdb hands over as text when it reads as a number. Texts have none.
std::optional<double> storedNumber(const QVariant &v, mdb::ColumnKind kind)
{
    switch (kind) {
    case mdb::ColumnKind::Integer:
    case mdb::ColumnKind::Real:
        return v.toDouble();
    case mdb::ColumnKind::Boolean:
        return v.toBool() ? -1.0 : 0.0;
    case mdb::ColumnKind::DateTime:
        return mdb::accessDateValue(v.toDateTime());
    case mdb::ColumnKind::Other: {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? std::optional<double>(d) : std::nullopt;
    }
    case mdb::ColumnKind::Text:
    case mdb::ColumnKind::Memo:
        break;
    }
    return std::nullopt;
}

// The walk goes up the key from 1: a missing key, and one whose stored number is below 1 (zero,
// negative, a date before 1899-12-31), is never reached, whatever the key's kind.
bool keyReached(const QVariant &key, mdb::ColumnKind kind)
{
    if (!key.isValid())
        return false;
    const std::optional<double> n = storedNumber(key, kind);
    return !n || *n >= 1;
}

// Orders two key values of one column by what Access stores; Null goes last.
bool keyLess(const QVariant &a, const QVariant &b, mdb::ColumnKind kind)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() && !b.isValid();
    const std::optional<double> x = storedNumber(a, kind);
    const std::optional<double> y = storedNumber(b, kind);
    if (x && y)
        return *x < *y;
    return mdb::cellText(a).compare(mdb::cellText(b), Qt::CaseInsensitive) < 0;
}

ContactValues toWrite(const ImportedContact &c)
{
    auto text = [](const QVariant &v) { return QVariant(nonNullText(v.toString())); };
    ContactValues v;
    v.name = text(c.name);
    v.phone = nonNullText(c.phone);
    v.fullName = text(c.fullName);
    v.address = text(c.address);
    v.otherPhone = text(c.otherPhone);
    v.comment = text(c.comment);
    v.birthDate = c.birthDate.isEmpty() ? QVariant() : QVariant(c.birthDate);
    return v;
}

} // namespace

QString importedMessage(double imported)
{
    return QString::number(qint64(imported)) + QStringLiteral(" contactos han sido importados satisfactoriamente. ");
}

QString keylessMessage(int rows)
{
    return QString::number(rows)
        + QStringLiteral(" registros no se han importado porque su campo clave está vacío, es cero o es negativo (en una fecha, "
                           "anterior al 31/12/1899).");
}

ImportedContact contactFromRow(const QVariantList &row, const QStringList &fieldNames, const Mapping &m)
{
    ImportedContact c;
    c.name = textField(row, m.fields[0], fieldNames);
    const QVariant phone = textField(row, m.fields[1], fieldNames);
    c.phone = phone.isValid() ? cleanAccessPhone(phone.toString()) : QString(QLatin1String(""));
    c.fullName = textField(row, m.fields[2], fieldNames);
    c.address = textField(row, m.fields[3], fieldNames);
    c.otherPhone = textField(row, m.fields[4], fieldNames);
    c.comment = textField(row, m.fields[5], fieldNames);
    c.birthDate = isEmptyChoice(m.fields[6], fieldNames) ? QString(QLatin1String("")) : birthDateText(row.value(m.fields[6]));
    c.key = mdb::cellText(row.value(m.key));
    return c;
}

bool differs(const ImportedContact &i, const ContactValues &a)
{
    return valuesDiffer({i.name, i.phone, i.fullName, i.address, i.otherPhone, i.comment,
                         i.birthDate},
                        a);
}

bool TableRows::scan(qint64 from, const std::function<bool(qint64, const QVariantList &)> &visit)
{
    for (qint64 i = std::max<qint64>(from, 0); i < qint64(m_table.rows.size()); ++i)
        if (!visit(i, m_table.rows[size_t(i)]))
            break;
    return true;
}

std::unique_ptr<FileRows> FileRows::open(const QString &path, const QString &table)
{
    auto rows = std::unique_ptr<FileRows>(new FileRows);
    if (!rows->m_file.open(path).ok() || !rows->m_scan.open(rows->m_file, table).ok())
        return nullptr;
    return rows;
}

bool FileRows::scan(qint64 from, const std::function<bool(qint64, const QVariantList &)> &visit)
{
    // The file is read forwards only: going back means starting again from its first row.
    if (from < m_scan.position())
        m_scan.rewind();
    QVariantList row;
    while (m_scan.next(row)) {
        const qint64 ordinal = m_scan.position() - 1;
        if (ordinal >= from && !visit(ordinal, row))
            break;
    }
    return m_scan.result().ok();
}

RunOutcome AccessImport::start(const mdb::Table &table, const Mapping &mapping)
{
    return start(std::make_unique<TableRows>(table), mapping);
}

RunOutcome AccessImport::start(std::unique_ptr<RowSource> source, const Mapping &mapping)
{
    abandon();
    m_source = std::move(source);
    m_fieldNames.clear();
    for (const mdb::Column &c : m_source->columns())
        m_fieldNames << c.name;
    m_mapping = mapping;
    const int fieldCount = int(m_fieldNames.size());
    if (!mappingFits(mapping, fieldCount))
        return fail(QStringLiteral("La asignación de campos no corresponde a la tabla. Pulse de nuevo sobre Conectar."));
    const int phone = mapping.fields[1];
    if (isEmptyChoice(phone, m_fieldNames))
        return fail(QStringLiteral("Asigne el campo que contiene el teléfono: no puede quedar como 'Vacio'. "
                                   "No se ha importado ningún contacto."));

    // The walk's order: only each row's key is kept, then sorted.
    const int key = mapping.key;
    const mdb::ColumnKind keyKind = m_source->columns()[size_t(key)].kind;
    std::vector<std::pair<QVariant, qint64>> keys;
    const bool read = m_source->scan(0, [&](qint64 ordinal, const QVariantList &row) {
        if (mdb::cellText(row.value(phone)).isEmpty())
            return true;
        // Rows the key walk never reaches are left out by that one rule and counted, so the
        // summary says so instead of dropping them unseen.
        const QVariant k = row.value(key);
        if (!keyReached(k, keyKind)) {
            ++m_keyless;
            return true;
        }
        keys.emplace_back(k, ordinal);
        return true;
    });
    if (!read)
        return readFailed();
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const auto &a, const auto &b) { return keyLess(a.first, b.first, keyKind); });
    m_order.reserve(keys.size());
    for (const auto &k : keys)
        m_order.push_back(k.second);
    return walk(std::nullopt);
}

RunOutcome AccessImport::resume(const Decision &decision)
{
    if (!m_waiting)
        return fail(QStringLiteral("La importación ya no está en curso. Pulse de nuevo sobre Importar."));
    m_waiting = false;
    if (!m_aside) {
        // The first answer: the stretch before the question, rolled back when it was asked, is
        // walked once more with its writes kept aside, and so is everything after it.
        if (!m_pending.reset().ok())
            return fail(kSaveFailed);
        m_aside = true;
        m_next = 0;
        m_imported = 0;
        m_window.clear();
        m_windowFirst = 0;
    }
    return walk(decision);
}

void AccessImport::abandon()
{
    m_waiting = false;
    m_source.reset();
    m_order.clear();
    m_window.clear();
    m_windowFirst = 0;
    m_next = 0;
    m_conflictPlace = 0;
    m_aside = false;
    m_standing = {};
    m_imported = 0;
    m_keyless = 0;
    m_pending.clear();
}

bool AccessImport::readWindow(size_t first)
{
    // Rows come in key order, the file keeps them in its own: the window's rows are read in one
    // pass over the file from the first of them.
    const size_t windowRows = std::max(kWindowRows, (m_order.size() + kMaxPasses - 1) / kMaxPasses);
    const size_t count = std::min(windowRows, m_order.size() - first);
    m_window.assign(count, {});
    m_windowFirst = first;
    QHash<qint64, size_t> slots;
    qint64 from = m_order[first];
    for (size_t i = 0; i < count; ++i) {
        slots.insert(m_order[first + i], i);
        from = std::min(from, m_order[first + i]);
    }
    size_t found = 0;
    const bool read = m_source->scan(from, [&](qint64 ordinal, const QVariantList &row) {
        if (const auto it = slots.constFind(ordinal); it != slots.cend()) {
            m_window[*it] = row;
            ++found;
        }
        return found < count;
    });
    return read && found == count;
}

RunOutcome AccessImport::walk(const std::optional<Decision> &answer)
{
    // Until the first question the run writes straight into `Agenda`, in one transaction that
    // the end of the run commits; the question rolls it back, so no lock stays while the user
    // decides. From the first answer on, the writes go aside and this call holds only a read
    // transaction, which ends with the call.
    const bool aside = m_aside;
    db::Transaction transaction(m_connection, aside ? db::Transaction::Mode::Deferred : db::Transaction::Mode::Immediate);
    if (!transaction.isActive())
        return fail(kSaveFailed);
    AgendaStore store(m_connection);
    // A failure forgets the run; the transaction ends first, so nothing of it comes back.
    const auto stop = [&](const QString &message) {
        transaction.rollback();
        return fail(message);
    };
    for (; m_next < m_order.size(); ++m_next) {
        if (m_next >= m_windowFirst + m_window.size() && !readWindow(m_next)) {
            transaction.rollback();
            return readFailed();
        }
        const ImportedContact c = contactFromRow(m_window[m_next - m_windowFirst], m_fieldNames, m_mapping);
        if (!c.name.isValid() || c.name.toString().isEmpty() || c.phone.size() <= 9)
            continue;
        db::Result r;
        // The contacts as the run leaves them: what the run wrote aside first, else what is stored.
        std::optional<StoredContact> stored;
        if (aside)
            stored = m_pending.find(c.phone, &r);
        if (r.ok() && !stored)
            stored = store.findByPhone(c.phone, &r);
        if (!r.ok())
            return stop(kSaveFailed);
        if (!stored) {
            if (!(aside ? m_pending.add(toWrite(c)) : store.insert(toWrite(c))).ok())
                return stop(kSaveFailed);
            m_imported += 1;
            continue;
        }
        if (!differs(c, stored->values))
            continue;
        Decision d = m_standing;
        if (!d.overwriteAll && !d.ignoreAll) {
            if (!answer || m_next != m_conflictPlace) {
                // The question goes to the user; the walk resumes here with the answer.
                if (aside) {
                    if (!transaction.commit().ok())
                        return stop(kSaveFailed);
                } else {
                    transaction.rollback();
                }
                m_waiting = true;
                m_conflictPlace = m_next;
                RunOutcome out;
                out.status = RunStatus::Conflict;
                out.count = m_imported;
                out.conflict = Conflict{c, *stored, m_source->tableName(), c.key, m_imported};
                return out;
            }
            d = *answer;
            if (d.overwriteAll || d.ignoreAll)
                m_standing = d;
        }
        if (d.overwriteOne || d.overwriteAll) {
            ContactValues v = toWrite(c);
            v.phone = stored->values.phone;
            if (!(aside ? m_pending.overwrite(stored->sid, v) : store.overwrite(stored->sid, v)).ok())
                return stop(kSaveFailed);
            m_imported += 1;
        }
    }
    if (!transaction.commit().ok())
        return stop(kSaveFailed);
    return finish();
}

RunOutcome AccessImport::finish()
{
    if (m_aside) {
        db::Transaction transaction(m_connection);
        if (!transaction.isActive() || !m_pending.applyToBook().ok() || !transaction.commit().ok())
            return fail(kSaveFailed);
    }
    RunOutcome out;
    out.status = RunStatus::Finished;
    out.count = m_imported;
    out.message = importedMessage(m_imported);
    out.keyless = m_keyless;
    if (m_keyless > 0)
        out.message += QLatin1Char('\n') + keylessMessage(m_keyless);
    abandon();
    return out;
}

RunOutcome AccessImport::readFailed()
{
    const bool damaged = m_source && m_source->damaged();
    return fail(damaged ? kDamaged.arg(m_source->tableName()) : kReadFailed);
}

RunOutcome AccessImport::fail(const QString &message)
{
    abandon();
    RunOutcome out;
    out.status = RunStatus::Failed;
    out.message = message;
    return out;
}

} // namespace importexport::access
