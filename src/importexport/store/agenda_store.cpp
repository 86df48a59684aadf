#include "importexport/store/agenda_store.h"

#include "platform/db/id_list.h"

namespace importexport {

QString nonNullText(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

QVariant boundValue(const QVariant &value)
{
    if (!value.isValid())
        return {};
    if (value.typeId() == QMetaType::QString)
        return nonNullText(value.toString());
    return value;
}

QVariant storedColumn(const db::Row &row, int i)
{
    const QVariant v = row.value(i);
    if (!v.isValid() || v.isNull())
        return {};
    return v.toString();
}

std::optional<StoredContact> firstContactWithPhone(db::Statement &statement, const QString &phone,
                                                   db::Result &result)
{
    result = {};
    std::optional<db::Row> row;
    statement.bind(1, nonNullText(phone));
    if (statement.next())
        row = statement.row();
    else if (!statement.error().isEmpty())
        result = {db::Status::Error, statement.error()};
    statement.reset();
    if (!result.ok() || !row)
        return std::nullopt;
    StoredContact c;
    c.sid = row->value(0).isValid() ? row->value(0).toLongLong() : 0;
    c.values = {storedColumn(*row, 1), storedColumn(*row, 2), storedColumn(*row, 3), storedColumn(*row, 4),
                storedColumn(*row, 5), storedColumn(*row, 6), storedColumn(*row, 7)};
    if (row->size() > 8)
        c.groupSids = storedColumn(*row, 8);
    return c;
}

namespace {

bool pairDiffers(const QVariant &a, const QVariant &b)
{
    return a.isValid() && b.isValid() && a.toString() != b.toString();
}

// The statements of the store's Repeated kinds, in their order.
constexpr std::array<const char *, 4> kRepeatedSql = {
    "SELECT sid,nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento,grupos_sid "
    "FROM Agenda WHERE telefono=?1 ORDER BY sid LIMIT 1",
    "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,f_nacimiento,grupos_sid) "
    "VALUES (?1,?2,?3,?4,?5,?6,?7,?8)",
    "UPDATE Agenda SET nombre=?1,nombre_completo=?2,direccion=?3,telefono_2=?4,comentario=?5,f_nacimiento=?6 "
    "WHERE sid=?7",
    "UPDATE Agenda SET grupos_sid=?1 WHERE sid=?2",
};

} // namespace

AgendaStore::AgendaStore(db::Connection &connection) : m_connection(connection), m_repeated(connection, kRepeatedSql) {}

bool valuesDiffer(const ContactValues &i, const ContactValues &s)
{
    return pairDiffers(i.name, s.name) || pairDiffers(i.fullName, s.fullName)
        || pairDiffers(i.address, s.address) || pairDiffers(i.otherPhone, s.otherPhone)
        || pairDiffers(i.comment, s.comment) || pairDiffers(i.birthDate, s.birthDate);
}

bool listHasGroup(const QString &list, const QString &sid)
{
    const std::optional<qint64> id = db::idOfEntry(sid);
    return id && db::idListHas(list, *id);
}

QString listWithGroup(const QString &list, const QString &sid)
{
    const std::optional<qint64> id = db::idOfEntry(sid);
    return id ? db::idListWith(list, *id) : list;
}

std::optional<StoredContact> AgendaStore::findByPhone(const QString &phone, db::Result *result)
{
    db::Result r;
    db::Statement &statement = m_repeated.get(FindByPhone, r);
    std::optional<StoredContact> found;
    if (statement.isValid())
        found = firstContactWithPhone(statement, phone, r);
    if (result)
        *result = r;
    return found;
}

bool AgendaStore::phoneExists(const QString &phone, db::Result *result)
{
    db::Result r;
    const QVariant found =
        m_connection.scalar(QStringLiteral("SELECT 1 FROM Agenda WHERE telefono=?1 LIMIT 1"), {nonNullText(phone)}, &r);
    if (result)
        *result = r;
    return r.ok() && found.isValid();
}

bool AgendaStore::sameContactExists(const ContactValues &v, db::Result *result)
{
    db::Result r;
    const QVariant found = m_connection.scalar(
        QStringLiteral("SELECT 1 FROM Agenda WHERE nombre=?1 COLLATE ESPANOL AND telefono=?2 AND nombre_completo=?3 COLLATE "
                       "ESPANOL AND direccion=?4 COLLATE ESPANOL AND telefono_2=?5 AND comentario=?6 COLLATE ESPANOL LIMIT 1"),
        {boundValue(v.name), boundValue(v.phone), boundValue(v.fullName), boundValue(v.address), boundValue(v.otherPhone),
         boundValue(v.comment)},
        &r);
    if (result)
        *result = r;
    return r.ok() && found.isValid();
}

db::Result AgendaStore::insert(const ContactValues &v, const QVariant &groupSids, qint64 *sid)
{
    const db::Result r = m_repeated.run(Insert, {boundValue(v.name), boundValue(v.phone), boundValue(v.fullName),
                                              boundValue(v.address), boundValue(v.otherPhone), boundValue(v.comment),
                                              boundValue(v.birthDate), boundValue(groupSids)});
    if (r.ok() && sid)
        *sid = m_connection.lastInsertRowId();
    return r;
}

db::Result AgendaStore::overwrite(qint64 sid, const ContactValues &v)
{
    return m_repeated.run(Overwrite, {boundValue(v.name), boundValue(v.fullName), boundValue(v.address), boundValue(v.otherPhone),
                                   boundValue(v.comment), boundValue(v.birthDate), sid});
}

db::Result AgendaStore::setGroups(qint64 sid, const QString &groupSids)
{
    return m_repeated.run(SetGroups, {groupSids, sid});
}

QStringList AgendaStore::groupNames(db::Result *result)
{
    QStringList names;
    for (const db::Row &row : m_connection.select(QStringLiteral("SELECT nombre FROM Grupos ORDER BY sid"), {}, result))
        names << row.value(0).toString();
    return names;
}

bool AgendaStore::groupExists(const QString &name, db::Result *result)
{
    return m_connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos WHERE nombre=?1 COLLATE ESPANOL"), {name}, result).toLongLong()
         > 0;
}

std::optional<qint64> AgendaStore::createGroup(const QString &name, db::Result *result)
{
    const db::Result r = m_connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {name});
    if (result)
        *result = r;
    if (!r.ok())
        return std::nullopt;
    return m_connection.lastInsertRowId();
}

std::optional<qint64> AgendaStore::groupSid(const QString &name, db::Result *result)
{
    const QVariant sid =
        m_connection.scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre=?1 COLLATE ESPANOL ORDER BY sid LIMIT 1"), {name}, result);
    if (!sid.isValid() || sid.isNull())
        return std::nullopt;
    return sid.toLongLong();
}

} // namespace importexport
