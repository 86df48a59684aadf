#include "sending/quote.h"
#include "sending/send_command.h"
#include "sending/send_reply.h"
#include "sending/send_request.h"
#include "sending/send_unknown.h"

#include "brand/brand.h"
#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/net/form_body.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "recording/record_charged.h"
#include "support/other_workstation.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <QTest>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

using namespace sending;

namespace {

// A disk whose commits land and then report failure: the second phase of a commit, after the
// journal is gone and the rows are in the file, answers with an I/O error, as a network share
// can when its answer is lost after the write. While an object lives, connections opened then
// use it; `failNextCommits` arms it.
class CommitLandsThenFails final {
public:
    CommitLandsThenFails()
    {
        s_base = sqlite3_vfs_find(nullptr);
        s_vfs = *s_base;
        s_vfs.zName = "commit_lands_then_fails";
        s_vfs.szOsFile = int(sizeof(File)) + s_base->szOsFile;
        s_vfs.xOpen = &open;
        sqlite3_vfs_register(&s_vfs, 1);
    }
    ~CommitLandsThenFails()
    {
        sqlite3_vfs_register(s_base, 1);
        sqlite3_vfs_unregister(&s_vfs);
    }
    CommitLandsThenFails(const CommitLandsThenFails &) = delete;
    CommitLandsThenFails &operator=(const CommitLandsThenFails &) = delete;

    void failNextCommits(int count) { s_failures = count; }
    int failuresLeft() const { return s_failures; }

private:
    struct File {
        sqlite3_file head;
        sqlite3_file *real;
    };
    static sqlite3_file *real(sqlite3_file *file) { return reinterpret_cast<File *>(file)->real; }

    static int open(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
    {
        auto *shim = reinterpret_cast<File *>(file);
        shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
        const int rc = s_base->xOpen(s_base, name, shim->real, flags, outFlags);
        if (rc != SQLITE_OK || !shim->real->pMethods) {
            shim->head.pMethods = nullptr;
            return rc;
        }
        s_methods = *shim->real->pMethods;
        s_methods.xClose = [](sqlite3_file *f) { return real(f)->pMethods->xClose(real(f)); };
        s_methods.xRead = [](sqlite3_file *f, void *b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); };
        s_methods.xWrite = [](sqlite3_file *f, const void *b, int n, sqlite3_int64 o) {
            return real(f)->pMethods->xWrite(real(f), b, n, o);
        };
        s_methods.xTruncate = [](sqlite3_file *f, sqlite3_int64 n) { return real(f)->pMethods->xTruncate(real(f), n); };
        s_methods.xSync = [](sqlite3_file *f, int flags) { return real(f)->pMethods->xSync(real(f), flags); };
        s_methods.xFileSize = [](sqlite3_file *f, sqlite3_int64 *n) { return real(f)->pMethods->xFileSize(real(f), n); };
        s_methods.xLock = [](sqlite3_file *f, int lock) { return real(f)->pMethods->xLock(real(f), lock); };
        s_methods.xUnlock = [](sqlite3_file *f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); };
        s_methods.xCheckReservedLock = [](sqlite3_file *f, int *out) {
            return real(f)->pMethods->xCheckReservedLock(real(f), out);
        };
        s_methods.xFileControl = [](sqlite3_file *f, int op, void *arg) {
            const int rc = real(f)->pMethods->xFileControl(real(f), op, arg);
            if (op == SQLITE_FCNTL_COMMIT_PHASETWO && s_failures > 0) {
                --s_failures;
                return SQLITE_IOERR;
            }
            return rc;
        };
        s_methods.xSectorSize = [](sqlite3_file *f) { return real(f)->pMethods->xSectorSize(real(f)); };
        s_methods.xDeviceCharacteristics = [](sqlite3_file *f) {
            return real(f)->pMethods->xDeviceCharacteristics(real(f));
        };
        if (s_methods.iVersion >= 2) {
            s_methods.xShmMap = [](sqlite3_file *f, int p, int s, int e, void volatile **m) {
                return real(f)->pMethods->xShmMap(real(f), p, s, e, m);
            };
            s_methods.xShmLock = [](sqlite3_file *f, int o, int n, int fl) {
                return real(f)->pMethods->xShmLock(real(f), o, n, fl);
            };
            s_methods.xShmBarrier = [](sqlite3_file *f) { real(f)->pMethods->xShmBarrier(real(f)); };
            s_methods.xShmUnmap = [](sqlite3_file *f, int d) { return real(f)->pMethods->xShmUnmap(real(f), d); };
        }
        if (s_methods.iVersion >= 3) {
            s_methods.xFetch = [](sqlite3_file *f, sqlite3_int64 o, int n, void **p) {
                return real(f)->pMethods->xFetch(real(f), o, n, p);
            };
            s_methods.xUnfetch = [](sqlite3_file *f, sqlite3_int64 o, void *p) {
                return real(f)->pMethods->xUnfetch(real(f), o, p);
            };
        }
        shim->head.pMethods = &s_methods;
        return rc;
    }

    static inline sqlite3_vfs *s_base = nullptr;
    static inline sqlite3_vfs s_vfs{};
    static inline sqlite3_io_methods s_methods{};
    static inline int s_failures = 0;
};

SendRequest sampleRequest()
{
    SendRequest request;
    request.username = QStringLiteral("usu");
    request.password = QStringLiteral("p&ss");
    request.message = QStringLiteral("5€ ñ & +\r\nfin");
    request.recipients = QStringLiteral("34600000001,34600000002");
    request.sender = QStringLiteral("Tienda");
    request.route = QStringLiteral("3");
    request.sendTime = QStringLiteral("2026-03-10 10:00");
    request.recordedTime = QStringLiteral("2026-03-10 10:00");
    request.recordedMessage = QStringLiteral("Hola O'Neill");
    request.typedMessage = QStringLiteral("Hola [NOMBRE]");
    return request;
}

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 7, 5), Qt::UTC);

db::Connection *openDatabase(testing::TempHome &home, db::Connection &connection)
{
    if (!connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok())
        return nullptr;
    if (!database::createSchema(connection).ok())
        return nullptr;
    connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,saldo) VALUES ('usu','x','100')"));
    return &connection;
}

} // namespace

class TestSendReply final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestBodyBytes()
    {
        SendRequest request = sampleRequest();
        request.recipients = QStringLiteral("34600000001|34600000002");
        request.extra = {{QStringLiteral("replace_vars"), QStringLiteral("[NOMBRE]")},
                         {QStringLiteral("var1"), QStringLiteral("Ana|Íñigo & Co")},
                         {QString(), QString()}};
        const GatewayRequest built = sendGatewayRequest(request);
        QVERIFY(built.url.endsWith(QStringLiteral("/APIv2/sendsms.php")));
        const QByteArray expected =
            "username=usu&password=p%26ss&mensaje=5%80+%F1+%26+%2B%0D%0Afin&destino=34600000001,34600000002"
            "&remitente=Tienda&ruta=3&fecha=2026-03-10 10:00&coste=1&replace_vars=[NOMBRE]&var1=Ana|\xCD\xF1igo %26 Co";
        QCOMPARE(net::encodeFormBody(built.fields), expected);
    }

    void optionalPairs_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("sendTime");
        QTest::addColumn<bool>("extraFirstEmpty");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no sender, automated") << "" << "" << true << QByteArray("username=u&password=p&mensaje=a&destino=1&coste=1");
        QTest::newRow("12-character sender") << "ABCDEFGHIJKL" << "Inmediato" << true
                                             << QByteArray("username=u&password=p&mensaje=a&destino=1&fecha=Inmediato&coste=1");
        QTest::newRow("11-character sender") << "ABCDEFGHIJ'" << "" << true
                                             << QByteArray("username=u&password=p&mensaje=a&destino=1&remitente=ABCDEFGHIJ%27&coste=1");
    }
    void optionalPairs()
    {
        QFETCH(QString, sender);
        QFETCH(QString, sendTime);
        QFETCH(bool, extraFirstEmpty);
        QFETCH(QByteArray, expected);
        SendRequest request;
        request.username = QStringLiteral("u");
        request.password = QStringLiteral("p");
        request.message = QStringLiteral("a");
        request.recipients = QStringLiteral("1");
        request.sender = sender;
        request.sendTime = sendTime;
        if (extraFirstEmpty)
            request.extra = {{QString(), QString()}, {QStringLiteral("var1"), QStringLiteral("x")}};
        QCOMPARE(net::encodeFormBody(sendGatewayRequest(request).fields), expected);
    }

    void replyOutcome_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("automated");
        QTest::addColumn<bool>("balanceKnown");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("gatewayId");
        QTest::addColumn<double>("credits");
        QTest::addColumn<QString>("balanceLabel");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("logged");
        const int sent = static_cast<int>(ReplyKind::Sent);
        const int refused = static_cast<int>(ReplyKind::Refused);
        const int none = static_cast<int>(ReplyKind::NoConnection);
        const QString ok = QStringLiteral("Mensaje enviado correctamente. Para comprobar la recepción del envío acceda al menú 'Historial'.");
        const QString noNet = QStringLiteral("Ha habido un problema en el envío del SMS. Por favor, compruebe que posee conexión a internet e intentelo de nuevo mas tarde.");
        QTest::newRow("code 0") << "0|OK|123456|2" << false << true << sent << "123456" << 2.0 << "98 cr."
                                << "Envío de SMS" << ok << false;
        QTest::newRow("code 1, decimal comma") << "1|OK|77|1,5" << false << true << sent << "77" << 1.5 << "98,5 cr."
                                               << "Envío de SMS" << ok << false;
        QTest::newRow("three fields") << "0|OK|123" << false << true << sent << "123" << 2.5 << "Desconocido"
                                      << "Envío de SMS" << ok << false;
        QTest::newRow("id and credits not numbers") << "0|OK|abc|x" << false << true << sent << "abc" << 2.5
                                                    << "Desconocido" << "Envío de SMS" << ok << false;
        QTest::newRow("id and credits empty") << "0|OK||" << false << true << sent << "" << 2.5 << "Desconocido"
                                              << "Envío de SMS" << ok << false;
        QTest::newRow("padded reply") << " 0 |OK| 55 | 3 \r\n" << false << true << sent << "55" << 3.0 << "97 cr."
                                      << "Envío de SMS" << ok << false;
        QTest::newRow("balance unknown") << "0|OK|9|2" << false << false << sent << "9" << 2.0 << "" << "Envío de SMS"
                                         << ok << false;
        QTest::newRow("automated success") << "0|OK|9|2" << true << true << sent << "9" << 2.0 << "98 cr." << ""
                                           << "" << false;
        QTest::newRow("refusal") << "3|Invalid sender|" << false << true << refused << "" << 0.0 << "" << "Error"
                                 << "Invalid sender" << false;
        QTest::newRow("missing parameters") << "2|Required parameters missing" << false << true << refused << ""
                                            << 0.0 << "" << "Error"
                                            << "El envío no ha sido realizado por falta de parámetros requeridos."
                                            << false;
        QTest::newRow("automated refusal") << "3|Invalid sender" << true << true << refused << "" << 0.0 << "" << ""
                                           << "" << true;
        QTest::newRow("empty") << "" << false << true << none << "" << 0.0 << "" << "Error" << noNet << false;
        // Unattended: the lost entry is logged too, and the box is only a notice (one per batch).
        QTest::newRow("empty, automated") << "" << true << true << none << "" << 0.0 << "" << "Error" << noNet << true;
        // Answered, but neither a success nor a refusal: it may have been sent.
        const int unknown = static_cast<int>(ReplyKind::Unknown);
        const QString maybe = QStringLiteral("La respuesta del servidor no se ha podido interpretar. El SMS puede haberse "
                                             "enviado: compruebe el historial antes de repetir el envío.");
        QTest::newRow("no bar") << "<html>Error 500</html>" << false << true << unknown << "" << 0.0 << ""
                                << "Envío de SMS" << maybe << false;
        QTest::newRow("no bar, automated") << "Error 500" << true << true << unknown << "" << 0.0 << "" << "" << ""
                                           << true;
        QTest::newRow("text before the bar") << "Fatal error: x | y" << false << true << unknown << "" << 0.0 << ""
                                             << "Envío de SMS" << maybe << false;
        QTest::newRow("no code") << "|Message sent|12|1" << false << true << unknown << "" << 0.0 << ""
                                 << "Envío de SMS" << maybe << false;
        QTest::newRow("two-digit code") << "12|Odd|" << false << true << unknown << "" << 0.0 << "" << "Envío de SMS"
                                        << maybe << false;
    }
    void replyOutcome()
    {
        QFETCH(QString, reply);
        QFETCH(bool, automated);
        QFETCH(bool, balanceKnown);
        QFETCH(int, kind);
        QFETCH(QString, gatewayId);
        QFETCH(double, credits);
        QFETCH(QString, balanceLabel);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, logged);
        const int none = static_cast<int>(ReplyKind::NoConnection);
        SendRequest request = sampleRequest();
        request.automated = automated;
        // A figure the gateway does not give is recorded as quoted before the send.
        request.quotedCost = 2.5;
        const std::optional<double> balance = balanceKnown ? std::optional<double>(100.0) : std::nullopt;
        const ReplyOutcome outcome = interpretSendReply(request, !reply.isEmpty(), reply, balance, kNow);
        QCOMPARE(static_cast<int>(outcome.kind), kind);
        QCOMPARE(outcome.messageTitle, title);
        QCOMPARE(outcome.messageText, text);
        QCOMPARE(outcome.errorLogLine.has_value(), logged);
        QCOMPARE(outcome.noticeOnce, automated && kind == none);
        QCOMPARE(outcome.balanceLabel, balanceLabel);
        QVERIFY(outcome.enableSend);
        QCOMPARE(outcome.queueStep, automated && kind != static_cast<int>(ReplyKind::NoConnection));
        QCOMPARE(outcome.row.has_value(), kind == static_cast<int>(ReplyKind::Sent));
        if (outcome.row) {
            QCOMPARE(outcome.row->webId, gatewayId);
            QCOMPARE(outcome.row->credits, credits);
            QCOMPARE(outcome.row->sentAt, QStringLiteral("2026-03-05 09:07"));
            QCOMPARE(outcome.row->state, QStringLiteral("0|0|0"));
        }
        if (!balanceKnown)
            QVERIFY(!outcome.newBalance);
        // A charge of unknown size is never taken as 0: the gateway is asked for the balance.
        QCOMPARE(outcome.askBalance, balanceLabel == QStringLiteral("Desconocido"));
        if (outcome.askBalance)
            QVERIFY(!outcome.newBalance);
    }

    void missingParametersWording()
    {
        SendRequest request = sampleRequest();
        request.recipients.clear();
        const QString reply = QStringLiteral("2|Required parameters missing");
        QCOMPARE(interpretSendReply(request, true, reply, 1.0, kNow).messageText,
                 QStringLiteral("Por favor, rellene el campo Destinatario y pruebe de nuevo"));
        request = sampleRequest();
        request.recordedMessage.clear();
        QCOMPARE(interpretSendReply(request, true, reply, 1.0, kNow).messageText,
                 QStringLiteral("Por favor, escriba un mensaje antes de enviar el mensaje."));
    }

    void recordedInOneTransaction()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        SendRequest request = sampleRequest();
        request.sender = QStringLiteral("Remitente-Largo");   // not posted, so not recorded
        const ReplyOutcome outcome = interpretSendReply(request, true, QStringLiteral("1|OK|123456|1,5"),
                                                       1234.56, kNow);
        QVERIFY(recordSendOutcome(connection, outcome).ok());
        const auto rows = connection.select(QStringLiteral(
            "SELECT username,destinatario,f_envio,f_programada,mensaje,id_web,estado,remitente,creditos FROM Historial"));
        QCOMPARE(rows.size(), std::size_t(1));
        const db::Row &row = rows.front();
        QCOMPARE(row[0].toString(), QStringLiteral("usu"));
        QCOMPARE(row[1].toString(), QStringLiteral("34600000001,34600000002"));
        QCOMPARE(row[2].toString(), QStringLiteral("2026-03-05 09:07"));
        QCOMPARE(row[3].toString(), QStringLiteral("2026-03-10 10:00"));
        QCOMPARE(row[4].toString(), QStringLiteral("Hola O'Neill"));
        QCOMPARE(row[5].toString(), QStringLiteral("123456"));
        QCOMPARE(row[6].toString(), QStringLiteral("0|0|0"));
        QCOMPARE(row[7].toString(), QString());
        QCOMPARE(row[8].toDouble(), 1.5);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("1233.06"));
    }

    void unknownBalanceLeavesStoredBalance()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|1|5"),
                                                       std::nullopt, kNow);
        QVERIFY(recordSendOutcome(connection, outcome).ok());
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("100"));
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
    }

    // The gateway has charged the send: a balance that cannot be written must not cost the row.
    void chargedSendKeptWhenBalanceFails()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        QVERIFY(connection.execute(QStringLiteral("DROP TABLE Usuario")).ok());
        const ReplyOutcome outcome =
            interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|42|1"), 10.0, kNow);
        QVERIFY(recordSendOutcome(connection, outcome).ok());
        QCOMPARE(connection.scalar(QStringLiteral("SELECT id_web FROM Historial")).toString(), QStringLiteral("42"));
    }

    // Another workstation held the shared file past the time-out and let go just after: the row
    // must not be written once outside the failed transaction and once more by a fallback.
    void failedBeginNeverDoublesTheRow()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|4242|1"), 10.0, kNow);
        {
            testing::OtherWorkstation other(connection);
            QVERIFY(other.holding());
            const RecordOutcome recorded = recordSendOutcome(connection, outcome);
            QCOMPARE(other.timesGivenUp(), 1);
            QCOMPARE(recorded.status, RecordStatus::Recorded);   // the retry found the file free
        }
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web='4242'")).toInt(), 1);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("9"));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("envios_pendientes.txt"))));
    }

    // The first commit reports failure although the row has landed: the second try finds the row
    // and adds nothing, the balance is lowered once, and nothing waits in the pending file.
    void commitThatFailedButLandedIsNotRepeated()
    {
        testing::TempHome home;
        CommitLandsThenFails disk;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|4250|1"), 10.0, kNow);
        disk.failNextCommits(1);
        const RecordOutcome recorded = recordSendOutcome(connection, outcome);
        QCOMPARE(disk.failuresLeft(), 0);
        QCOMPARE(recorded.status, RecordStatus::Recorded);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web='4250'")).toInt(), 1);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("9"));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("envios_pendientes.txt"))));

        // A reply without the gateway's number: the row is found by the key it was given.
        const ReplyOutcome noNumber = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK||1"), 9.0, kNow);
        QCOMPARE(noNumber.row->webId, QString());
        disk.failNextCommits(1);
        QCOMPARE(recordSendOutcome(connection, noNumber).status, RecordStatus::Recorded);
        QCOMPARE(disk.failuresLeft(), 0);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial WHERE id_web=''")).toInt(), 1);
        connection.close();
    }

    // A send without the gateway's number whose commit landed but reported failure: whether the
    // last try found the row (and so had nothing to write) or the row waits in the pending file
    // with the key it was given, the history holds it once, and the balance went down once.
    void landedRowWithoutNumberIsRecordedOnce_data()
    {
        QTest::addColumn<int>("attempts");
        QTest::newRow("one try, kept for the next start") << 1;
        QTest::newRow("the second try finds the row") << 2;
    }

    void landedRowWithoutNumberIsRecordedOnce()
    {
        QFETCH(int, attempts);
        testing::TempHome home;
        CommitLandsThenFails disk;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK||1"), 10.0, kNow);
        QCOMPARE(outcome.row->webId, QString());
        disk.failNextCommits(attempts);
        const RecordOutcome recorded = recordSendOutcome(connection, outcome, attempts);
        disk.failNextCommits(0);
        QVERIFY(recorded.status != RecordStatus::Lost);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("9"));

        // The next start, however often.
        recording::writePendingSends(connection);
        recording::writePendingSends(connection);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
        QVERIFY(!QFile::exists(home.file(QStringLiteral("envios_pendientes.txt"))));
    }

    // A single try that fails leaves nothing in the table: the row goes to the pending file, once.
    void failedTryWritesNothingAndKeepsTheSendPending()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|4243|1"), 10.0, kNow);
        {
            testing::OtherWorkstation other(connection);
            QCOMPARE(recordSendOutcome(connection, outcome, 1).status, RecordStatus::Pending);
        }
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 0);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("100"));
        QFile pending(home.file(QStringLiteral("envios_pendientes.txt")));
        QVERIFY(pending.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = pending.readAll().split('\n');
        QCOMPARE(lines.size(), 2);                 // one record and the final line break
        const auto record = recording::parsePendingLine(lines.first());
        QVERIFY(record);
        QCOMPARE(record->webId, QStringLiteral("4243"));
        QCOMPARE(record->message, QStringLiteral("Hola O'Neill"));
        QCOMPARE(record->sentAt, QStringLiteral("2026-03-05 09:07"));
    }

    // The other workstation keeps the file the whole time: every try fails, nothing is doubled or
    // lost, and the user's text says the send was charged and will be recorded.
    void busyFileKeepsTheChargedSendForTheNextStart()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|4244|2"), 10.0, kNow);
        {
            testing::OtherWorkstation other(connection, false);
            const RecordOutcome recorded = recordSendOutcome(connection, outcome);
            QCOMPARE(recorded.status, RecordStatus::Pending);
            QCOMPARE(recorded.result.status, db::Status::Busy);
            QCOMPARE(other.timesGivenUp(), kSaveAttempts);
        }
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 0);
        QVERIFY(pendingSendText().contains(QStringLiteral("se ha cobrado")));
        QVERIFY(pendingSendText().contains(QStringLiteral("próxima vez que inicie")));

        // The next start writes it, and only once however often the file is read.
        recording::PendingWrite written = recording::writePendingSends(connection);
        QCOMPARE(written.status, recording::PendingWrite::Status::Written);
        QCOMPARE(written.written, 1);
        QVERIFY(!QFile::exists(home.file(QStringLiteral("envios_pendientes.txt"))));
        QCOMPARE(connection.scalar(QStringLiteral("SELECT creditos FROM Historial WHERE id_web='4244'")).toDouble(), 2.0);
        QCOMPARE(recording::writePendingSends(connection).status, recording::PendingWrite::Status::Nothing);
        QCOMPARE(connection.scalar(QStringLiteral("SELECT count(*) FROM Historial")).toInt(), 1);
    }

    // Neither the database nor the folder takes the row: the caller hears it was lost.
    void nowhereToKeepIsReported()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        const ReplyOutcome outcome = interpretSendReply(sampleRequest(), true, QStringLiteral("0|OK|4245|2"), 10.0, kNow);
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("envios_pendientes.txt")));   // a folder in the way
        testing::OtherWorkstation other(connection, false);
        QCOMPARE(recordSendOutcome(connection, outcome).status, RecordStatus::Lost);
    }

    void errorLogAppends()
    {
        testing::TempHome home;
        const QString line = automatedErrorLine(kNow, QStringLiteral("34600000001"), QStringLiteral("Año nuevo"));
        QCOMPARE(line, QStringLiteral("05/03/2026 9:07:05--- Error al enviar a destinatario: 34600000001. Texto del "
                                      "mensaje: Año nuevo\r\n"));
        QVERIFY(appendAutomatedError(home.path(), line));
        QVERIFY(appendAutomatedError(home.path(), line));
        QFile file(home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count("\r\n"), 2);
        QVERIFY(bytes.contains("A\xF1o nuevo"));
        QVERIFY(!appendAutomatedError(home.file(QStringLiteral("no/such/folder")), line));
    }

    // Whatever a message holds, its entry in the log stays one line: a line break shows as a mark.
    void errorLogLineIsOneLine_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("CR LF") << QStringLiteral("Hola\r\nadiós") << QByteArray("Hola\xB6" "adi\xF3s");
        QTest::newRow("LF and CR") << QStringLiteral("a\nb\rc") << QByteArray("a\xB6" "b\xB6" "c");
        QTest::newRow("ends with a break") << QStringLiteral("fin\r\n") << QByteArray("fin\xB6");
        QTest::newRow("other controls") << QStringLiteral("a\vb\fc\td") << QByteArray("a b c\td");
    }
    void errorLogLineIsOneLine()
    {
        QFETCH(QString, message);
        QFETCH(QByteArray, logged);
        testing::TempHome home;
        QVERIFY(appendAutomatedError(home.path(), automatedErrorLine(kNow, QStringLiteral("34600000001"), message)));
        QVERIFY(appendAutomatedError(home.path(), unknownOutcomeLogLine(kNow, QStringLiteral("34600000001"), message)));
        QFile file(home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count('\n'), 2);
        QCOMPARE(bytes.count('\r'), 2);
        const QByteArray entryEnd = QByteArray("Texto del mensaje: ") + logged + QByteArray("\r\n");
        QVERIFY2(bytes.contains(QByteArray(entryEnd + QByteArray("05/03/2026"))), bytes.constData());
        QVERIFY2(bytes.endsWith(entryEnd), bytes.constData());
    }

    void quoteRequests()
    {
        QuoteRequest startup;
        startup.username = QStringLiteral("u");
        startup.password = QStringLiteral("p=1");
        startup.message = QStringLiteral("Saldo al arrancar Desktop");
        startup.recipients = QStringLiteral("34600123456");
        startup.sender = QStringLiteral("Saldo");
        startup.route = QStringLiteral("3");
        QCOMPARE(net::encodeFormBody(quoteGatewayRequest(startup).fields),
                 QByteArray("username=u&password=p%3D1&mensaje=Saldo al arrancar Desktop&destino=34600123456"
                            "&remitente=Saldo&ruta=3&saldo=1"));
        QCOMPARE(net::encodeFormBody(refreshQuoteRequest(QStringLiteral("u"), QStringLiteral("p"), {}, {}, {}, 2).fields),
                 QByteArray("username=u&password=p&mensaje=Coste Desktop Lostfocus y saldo&destino=34600123456"
                            "&remitente=&buf=2"));
    }

    void quoteReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("cost");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<double>("storedValue");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QString>("title");
        QTest::newRow("1 and 250") << "0|OK|1|250" << "1 crédito" << "250 créditos" << true << 250.0 << true << "";
        QTest::newRow("2 and 1") << "0|OK|2|1" << "2 créditos" << "1 crédito" << true << 1.0 << true << "";
        QTest::newRow("decimals") << "0|OK|1,5|1234,56" << "1,5 créditos" << "1234,56 cr." << true << 1234.56 << true
                                  << "";
        QTest::newRow("no balance") << "0|OK|0.825|" << "0.825 cr." << "" << false << 0.0 << true << "";
        // Figures that are not numbers are never shown as credits, and enable nothing.
        QTest::newRow("balance not a number") << "0|OK|1|abc" << "1 crédito" << "Desconocido" << false << 0.0
                                              << true << "";
        QTest::newRow("cost not a number") << "0|OK|abc|250" << "Desconocido" << "250 créditos" << true << 250.0
                                           << false << "";
        QTest::newRow("cost with two separators") << "0|OK|12,3.4|12,3.4" << "Desconocido" << "Desconocido" << false
                                                  << 0.0 << false << "";
        QTest::newRow("cost with a sign only") << "0|OK|-|" << "Desconocido" << "" << false << 0.0 << false << "";
        QTest::newRow("two fields") << "0|OK" << "Desconocido" << "" << false << 0.0 << false << "";
        QTest::newRow("auth") << "3|Auth" << "Desconocido" << "Desconocido" << false << 0.0 << false
                              << "Error de autentificacion";
        QTest::newRow("numbers") << "2|x" << "Desconocido" << "Desconocido" << false << 0.0 << false
                                 << "Error calculando coste";
        QTest::newRow("sender") << "4|x" << "Desconocido" << "Desconocido" << false << 0.0 << false
                                << "Remitente inadecuado";
        QTest::newRow("other") << "9|x" << "Desconocido" << "Desconocido" << false << 0.0 << false
                               << "Conexión fallida";
        QTest::newRow("empty") << "" << "Desconocido" << "Desconocido" << false << 0.0 << false << "";
    }
    void quoteReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, cost);
        QFETCH(QString, balance);
        QFETCH(bool, stored);
        QFETCH(double, storedValue);
        QFETCH(bool, enable);
        QFETCH(QString, title);
        const QuoteOutcome outcome = interpretQuoteReply(!reply.isEmpty(), reply);
        QCOMPARE(outcome.costLabel, cost);
        QCOMPARE(outcome.balanceLabel, balance);
        QCOMPARE(outcome.balance.has_value(), stored);
        if (stored)
            QCOMPARE(*outcome.balance, storedValue);
        QCOMPARE(outcome.enableSend, enable);
        QCOMPARE(outcome.messageTitle, title);
    }

    void quotedBalanceStoredAsNumber()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        QVERIFY(storeBalance(connection, *interpretQuoteReply(true, QStringLiteral("0|OK|1|1234,56")).balance).ok());
        QCOMPARE(connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("1234.56"));
    }

    void sendCommandCapturesEverything()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        QVERIFY(connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES (?1,?2)"),
                                   {QStringLiteral("Ana"), QStringLiteral("34600000001")}).ok());
        PanelValues panel;
        panel.message = QStringLiteral("Hola [NOMBRE_CONFIRMAR], cita el [FECHA]");
        panel.recipients = QStringLiteral("34600000001");
        panel.scheduledTime = QStringLiteral("2026-03-10 10:00");
        panel.appointment = true;
        panel.appointmentHours = QStringLiteral("72");
        const AccountValues account{QStringLiteral("usu"), QStringLiteral("pw"), QStringLiteral("0"),
                                    QStringLiteral("GMT -05:00")};
        int asked = 0;
        const AskValue ask = [&asked](const QString &, const QString &, const QString &def) {
            ++asked;
            return std::optional<QString>(def + QStringLiteral(" G."));
        };
        const PreparedSend prepared = prepareSend(panel, account, connection, ask, kNow);
        QCOMPARE(prepared.status, PrepareStatus::Ready);
        QCOMPARE(asked, 1);
        const SendRequest &request = prepared.request;
        QCOMPARE(request.message, QStringLiteral("Hola [NOMBRE], cita el 10-03-26"));
        QCOMPARE(request.recordedMessage, QStringLiteral("Hola Ana G., cita el 10-03-26"));
        QCOMPARE(request.sendTime, QStringLiteral("2026-03-07 16:00"));
        QCOMPARE(request.recordedTime, QStringLiteral("2026-03-07 10:00"));
        QCOMPARE(request.route, QStringLiteral("3"));
        QCOMPARE(request.sender, brand::defaultSender());
        QCOMPARE(request.extra.size(), 2);
        QCOMPARE(request.extra[1].value, QStringLiteral("Ana G."));
    }

    void sendCommandStops_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<bool>("account");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("title");
        QTest::newRow("empty message") << "" << "34600000001" << true << static_cast<int>(PrepareStatus::EmptyFields)
                                       << "Error";
        QTest::newRow("no account") << "Hola" << "34600000001" << false << static_cast<int>(PrepareStatus::NoAccount)
                                    << "Necesaria autentificación";
        QTest::newRow("cancelled") << "Hola [DIRECCION]" << "34600000001,34600000002" << true
                                   << static_cast<int>(PrepareStatus::Cancelled) << "Envío cancelado";
    }
    void sendCommandStops()
    {
        QFETCH(QString, message);
        QFETCH(QString, recipients);
        QFETCH(bool, account);
        QFETCH(int, status);
        QFETCH(QString, title);
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(openDatabase(home, connection));
        PanelValues panel;
        panel.message = message;
        panel.recipients = recipients;
        panel.scheduledTime = QStringLiteral("Inmediato");
        std::optional<AccountValues> values;
        if (account)
            values = AccountValues{QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("1"), QString()};
        const AskValue cancel = [](const QString &, const QString &, const QString &) { return std::optional<QString>(); };
        const PreparedSend prepared = prepareSend(panel, values, connection, cancel, kNow);
        QCOMPARE(static_cast<int>(prepared.status), status);
        QCOMPARE(prepared.messageTitle, title);
    }
};

QTEST_GUILESS_MAIN(TestSendReply)
#include "test_send_reply.moc"
