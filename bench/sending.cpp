// Speed of the send panel's rules on large inputs: the recipients box, the placeholder values
// of a big send and the counter that runs on every keystroke.
#include "database/schema.h"
#include "platform/db/connection.h"
#include "sending/contact_lookup.h"
#include "sending/message_counter.h"
#include "sending/placeholders.h"
#include "sending/recipients.h"
#include "sending/send_time.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString recipientsBox(int count)
{
    QStringList numbers;
    numbers.reserve(count);
    for (int i = 0; i < count; ++i)
        numbers.append(QString::number(600000000 + i * 7));
    return numbers.join(QStringLiteral(",\r\n"));
}

void BM_CleanRecipients(benchmark::State &state)
{
    const QString box = recipientsBox(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const sending::RecipientsResult result = sending::cleanRecipients(box);
        benchmark::DoNotOptimize(result.text.size());
    }
}
BENCHMARK(BM_CleanRecipients)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A contact book of 100,000 contacts, built once for the run.
class ContactBookFixture final {
public:
    ContactBookFixture()
    {
        m_connection.open(m_dir.filePath(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(m_connection);
        db::Transaction transaction(m_connection);
        db::Statement insert = m_connection.prepare(QStringLiteral(
            "INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,f_nacimiento) VALUES (?1,?2,?3,?4,?5)"));
        for (int i = 0; i < 100000; ++i) {
            insert.bindAll({QStringLiteral("Nombre %1").arg(i), QString::number(34600000000LL + i),
                            QStringLiteral("Nombre Completo %1").arg(i), QStringLiteral("Calle %1").arg(i),
                            QStringLiteral("1980-01-01")});
            insert.run();
            insert.reset();
        }
        transaction.commit();
        for (int i = 0; i < 10000; ++i)
            m_recipients.append(QString::number(34600000000LL + i * 10));
    }
    db::Connection &connection() { return m_connection; }
    const QStringList &recipients() const { return m_recipients; }

private:
    QTemporaryDir m_dir;
    db::Connection m_connection;
    QStringList m_recipients;
};

void BM_PlaceholderValues(benchmark::State &state)
{
    static ContactBookFixture fixture;
    const QString message = QStringLiteral("Hola [NOMBRE], le esperamos en [DIRECCION] el [FECHA]. [F_NACIMIENTO]");
    const sending::AskValue neverAsked = [](const QString &, const QString &, const QString &) {
        return std::optional<QString>(QString());
    };
    for (auto _ : state) {
        const sending::ContactBook book = sending::loadContacts(fixture.connection(), fixture.recipients());
        const sending::PersonalValues values =
            sending::collectPersonalValues(message, fixture.recipients(), book, neverAsked);
        const net::FormFields vars = sending::sendVariables(message, values);
        benchmark::DoNotOptimize(vars.size());
    }
}
BENCHMARK(BM_PlaceholderValues)->Unit(benchmark::kMillisecond);

void BM_RecountMessage(benchmark::State &state)
{
    QString message = QStringLiteral("Hola [NOMBRE_CONFIRMAR], su cita es el [FECHA] a las [HORA].\r\n");
    while (message.size() < sending::kMaxMessageLength)
        message += QStringLiteral("texto de relleno ");
    message.truncate(sending::kMaxMessageLength);
    const QDateTime now = QDateTime::currentDateTime();
    const sending::LongestValues longest{12, 11, 30, 40, 11, 50};
    for (auto _ : state) {
        const sending::CounterResult result =
            sending::countCharacters(message, QStringLiteral("2026-03-10 10:00"), now, longest);
        benchmark::DoNotOptimize(result.length);
    }
}
BENCHMARK(BM_RecountMessage)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
