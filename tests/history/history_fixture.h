#pragma once

#include "support/fresh_database.h"

#include <QDateTime>
#include <QStringList>
#include <QTest>

#include <memory>

// A fresh database in a temporary program folder, and a history whose rows cover every state the
// view tells apart.
namespace historytest {

// The clock every case runs at.
inline QDateTime fixedNow()
{
    return QDateTime(QDate(2024, 5, 10), QTime(12, 0, 0), Qt::UTC);
}

struct Send {
    QString recipients;
    QString sentAt = QStringLiteral("2024-05-01 09:00");
    QString scheduledFor = QStringLiteral("Inmediato");
    QString message = QStringLiteral("Hola");
    QString gatewayId;
    QString state = QStringLiteral("0|0|0");
    QString birthdayGreeting = QStringLiteral("0");
    QString username;
};

class Database final : public testing::FreshDatabase {
public:
    qint64 insert(const Send &s)
    {
        const db::Result r = connection.execute(
            QStringLiteral("INSERT INTO Historial (destinatario,f_envio,f_programada,mensaje,id_web,estado,"
                           "remitente,creditos,bool_cumple,username) VALUES (?,?,?,?,?,?,?,?,?,?)"),
            {s.recipients, s.sentAt, s.scheduledFor, s.message, s.gatewayId, s.state, QStringLiteral("Brisanta"),
             1.0, s.birthdayGreeting, s.username});
        if (!r.ok())
            qWarning() << r.error;
        return connection.lastInsertRowId();
    }

    void addContact(const QString &name, const QString &phone)
    {
        connection.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (?, ?)"), {name, phone});
    }

    qint64 count(const QString &where = {}, const QVariantList &values = {})
    {
        return connection
            .scalar(QStringLiteral("SELECT COUNT(*) FROM Historial") + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                    values)
            .toLongLong();
    }

    QString stateOf(const QString &gatewayId)
    {
        return connection.scalar(QStringLiteral("SELECT estado FROM Historial WHERE id_web=?"), {gatewayId}).toString();
    }

    // 100 sends, sid 1 to 100, id_web "w<sid>", numbers 346000<sid>xx. The kind follows sid % 6:
    // 0 pending immediate to one number, 1 partly delivered to three, 2 all failed to three,
    // 3 scheduled in June (future), 4 scheduled on 1 May (past), 5 birthday greeting, delivered.
    // Message texts: "Oferta <sid>" for even sids, "Cita <sid>" for odd ones. f_envio: day 1 + sid % 9.
    void seedHundred()
    {
        connection.execute(QStringLiteral("BEGIN"));
        for (int sid = 1; sid <= 100; ++sid) {
            const QString base = QStringLiteral("346%1").arg(sid, 6, 10, QLatin1Char('0'));
            const QString a = base + QStringLiteral("01"), b = base + QStringLiteral("02"), c = base + QStringLiteral("03");
            Send s;
            s.gatewayId = QStringLiteral("w%1").arg(sid);
            s.sentAt = QStringLiteral("2024-05-%1 09:00").arg(1 + sid % 9, 2, 10, QLatin1Char('0'));
            s.message = (sid % 2 ? QStringLiteral("Cita %1") : QStringLiteral("Oferta %1")).arg(sid);
            switch (sid % 6) {
            case 0:
                s.recipients = a;
                break;
            case 1:
                s.recipients = a + QLatin1Char(',') + b + QLatin1Char(',') + c;
                s.state = QStringLiteral("0|") + a + QStringLiteral("|0");
                break;
            case 2:
                s.recipients = a + QLatin1Char(',') + b + QLatin1Char(',') + c;
                s.state = QStringLiteral("1|0|") + a + QLatin1Char(',') + b + QLatin1Char(',') + c;
                break;
            case 3:
                s.recipients = a + QLatin1Char(',') + b;
                s.scheduledFor = QStringLiteral("2024-06-01 10:00");
                break;
            case 4:
                s.recipients = a;
                s.scheduledFor = QStringLiteral("2024-05-01 10:00");
                break;
            default:
                s.recipients = a;
                s.state = QStringLiteral("1|") + a + QStringLiteral("|0");
                s.birthdayGreeting = QStringLiteral("1");
                break;
            }
            insert(s);
        }
        connection.execute(QStringLiteral("COMMIT"));
    }
};

} // namespace historytest
