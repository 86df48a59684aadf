#pragma once

// Generated data shared by the benchmarks: a client database with 100,000 contacts and 100,000
// sends, and a prompter that answers every box at once.
#include "platform/db/connection.h"
#include "platform/ui/prompter.h"
#include "startup/database/schema.h"

#include <QString>

namespace bench {

constexpr int kRows = 100000;

class SilentPrompter final : public ui::Prompter {
public:
    ui::Answer message(const QString &, const QString &, ui::Icon, ui::Buttons) override { return ui::Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> openFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> saveFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> chooseFolder(const QString &, const QString &) override { return {}; }
};

inline QString phone(int i)
{
    return QString::number(34600000000LL + (i * 7919LL) % 100000000LL);
}

// Writes the database at `file` (an account row, kRows contacts, kRows sends) and returns the path.
inline QString seedLargeDatabase(const QString &file)
{
    db::Connection db;
    db.open(file, db::OpenMode::CreateIfMissing);
    startup::createSchema(db);
    db::Transaction tx(db);
    db.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario) "
                              "VALUES ('u','p','1','1500','GMT +01:00')"));
    db::Statement contact = db.prepare(
        QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,grupos_sid) VALUES (?1,?2,?3,?4)"));
    db::Statement send = db.prepare(QStringLiteral(
        "INSERT INTO Historial (destinatario,f_envio,f_programada,mensaje,id_web,estado,remitente,creditos,username) "
        "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,'u')"));
    for (int i = 0; i < kRows; ++i) {
        contact.bindAll({QStringLiteral("Nombre %1").arg(i), phone(i), QStringLiteral("Nombre Apellido O'Connor %1").arg(i),
                         QString::number(i % 17 + 1)});
        contact.run();
        contact.reset();
        send.bindAll({phone(i), QStringLiteral("2024-02-01 10:00:00"), QStringLiteral("Inmediato"),
                      QStringLiteral("Mensaje de prueba número %1 con algo de texto").arg(i), QString::number(i),
                      QStringLiteral("1|%1|").arg(phone(i)), QStringLiteral("Brisanta"), 1.0});
        send.run();
        send.reset();
    }
    tx.commit();
    return file;
}

} // namespace bench
