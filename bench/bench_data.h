#pragma once

// Generated data shared by the benchmarks: a client database with 100,000 contacts and 100,000
// sends, and a prompter that answers every box at once.
#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/mdb/access_file.h"
#include "platform/ui/prompter.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

namespace bench {

// The raw engine opened the way db::Connection opens a file (key, busy time-out, rollback
// journal, page cache): the floor each bulk operation is measured against.
inline sqlite3 *openRaw(const QString &path)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const QByteArray key = db::Connection::key().toUtf8();
    sqlite3_key(raw, key.constData(), int(key.size()));
    sqlite3_busy_timeout(raw, db::Connection::busyTimeoutMs);
    sqlite3_exec(raw, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_exec(raw, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    return raw;
}

// Ends a floor's raw inserts: the statement finalized and the transaction committed inside the
// timing; closing the file outside it, as a program would keep its connection.
template <class State>
inline void commitRawInserts(State &state, sqlite3 *raw, sqlite3_stmt *insert)
{
    sqlite3_finalize(insert);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    state.PauseTiming();
    sqlite3_close(raw);
    state.ResumeTiming();
}

inline void bindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// Peak resident memory of this process, in MB, since the last resetPeakMemory(). Benchmarks that
// report it run alone (--benchmark_filter) so no other benchmark's data is counted.
inline double statusMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted(field);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(wanted))
            return line.mid(wanted.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
inline double peakMemoryMb() { return statusMb("VmHWM:"); }
inline double currentMemoryMb() { return statusMb("VmRSS:"); }

constexpr int kRows = 100000;

class SilentPrompter final : public ui::Prompter {
public:
    ui::Answer message(const QString &, const QString &, ui::Icon, ui::Buttons) override { return ui::Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> openFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> saveFile(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> chooseFolder(const QString &, const QString &) override { return {}; }
};

// A contact of the generated Access tables and workbooks: full name and mobile (without prefix).
inline QString contactFullName(int i) { return QStringLiteral("Nombre Apellido O'Connor %1").arg(i); }
inline QString contactMobile(int i) { return QString::number(600000000 + (i * 7919) % 100000000); }

// An Access table of `rows` contacts as the import reads it: id, name, mobile (with +34) and
// e-mail, keys in stored order.
inline mdb::Table accessContacts(int rows)
{
    mdb::Table t;
    t.name = QStringLiteral("Contactos");
    t.columns = {{QStringLiteral("Id"), mdb::ColumnKind::Integer},
                 {QStringLiteral("Nombre"), mdb::ColumnKind::Text},
                 {QStringLiteral("Movil"), mdb::ColumnKind::Text},
                 {QStringLiteral("Email"), mdb::ColumnKind::Text}};
    t.rows.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i)
        t.rows.push_back(QVariantList{qint64(i + 1), contactFullName(i), QString(QStringLiteral("+34") + contactMobile(i)),
                                      QStringLiteral("nombre%1@correo.example").arg(i)});
    return t;
}

inline QString phone(int i)
{
    return QString::number(34600000000LL + (i * 7919LL) % 100000000LL);
}

// Writes the database at `file` (an account row, kRows contacts, kRows sends) and returns the path.
inline QString seedLargeDatabase(const QString &file)
{
    db::Connection db;
    db.open(file, db::OpenMode::CreateIfMissing);
    database::createSchema(db);
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

// main() of a benchmark program whose measured steps open windows (offscreen).
#define BRISANTA_WIDGETS_BENCHMARK_MAIN()                                                                               \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                                       \
        QApplication app(argc, argv);                                                                                  \
        benchmark::Initialize(&argc, argv);                                                                            \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
