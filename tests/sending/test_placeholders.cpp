#include "sending/contact_lookup.h"
#include "sending/keywords.h"
#include "sending/placeholders.h"
#include "sending/send_time.h"

#include "database/schema.h"
#include "platform/db/connection.h"
#include "support/other_workstation.h"
#include "support/temp_home.h"

#include <QTest>

using namespace sending;

namespace {

struct Asked {
    QString prompt;
    QString title;
    QString defaultAnswer;
};

// Answers the prompts in order; an answer of nothing is Cancel.
class ScriptedAnswers final {
public:
    explicit ScriptedAnswers(QList<std::optional<QString>> answers) : m_answers(std::move(answers)) {}
    AskValue asker()
    {
        return [this](const QString &prompt, const QString &title, const QString &def) -> std::optional<QString> {
            asked.append({prompt, title, def});
            if (m_answers.isEmpty())
                return QString();
            return m_answers.takeFirst();
        };
    }
    QList<Asked> asked;

private:
    QList<std::optional<QString>> m_answers;
};

ContactValues contact(const QString &name, std::optional<QString> address = std::nullopt,
                      std::optional<QString> birthDate = std::nullopt)
{
    ContactValues values;
    values.values[static_cast<std::size_t>(ContactField::Name)] = name;
    values.values[static_cast<std::size_t>(ContactField::Address)] = std::move(address);
    values.values[static_cast<std::size_t>(ContactField::BirthDate)] = std::move(birthDate);
    return values;
}

QString fieldValue(const net::FormFields &fields, const QString &name)
{
    for (const auto &field : fields) {
        if (field.name == name)
            return field.value;
    }
    return QStringLiteral("<missing>");
}

} // namespace

class TestPlaceholders final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dateKeywords_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("value");
        QTest::newRow("DIA") << "[DIA]" << "24";
        QTest::newRow("MES") << "[MES]" << "12";
        QTest::newRow("HORA") << "[HORA]" << "18:30";
        QTest::newRow("HORAS") << "[HORAS]" << "18";
        QTest::newRow("MINUTOS") << "[MINUTOS]" << "30";
        QTest::newRow("AÑO") << "[AÑO]" << "2026";
        QTest::newRow("DIA_SEMANA") << "[DIA_SEMANA]" << "jueves";
        QTest::newRow("MES_NOMBRE") << "[MES_NOMBRE]" << "Diciembre";
        QTest::newRow("FECHA") << "[FECHA]" << "24-12-26";
        QTest::newRow("FECHA_HORA") << "[FECHA_HORA]" << "24-12-26 18:30";
    }
    void dateKeywords()
    {
        QFETCH(QString, keyword);
        QFETCH(QString, value);
        const QDateTime now(QDate(2026, 3, 5), QTime(9, 7), Qt::UTC);
        QCOMPARE(fillDateKeywords(QStringLiteral("a ") + keyword + QStringLiteral(" b"),
                                    QStringLiteral("2026-12-24 18:30"), now),
                 QStringLiteral("a ") + value + QStringLiteral(" b"));
    }

    void immediateUsesNow()
    {
        const QDateTime now(QDate(2026, 3, 5), QTime(9, 7), Qt::UTC);
        QCOMPARE(fillDateKeywords(QStringLiteral("[HORA] [DIA]"), kImmediate, now), QStringLiteral("09:07 5"));
    }

    void confirmationFormsReduced()
    {
        QCOMPARE(reduceConfirmForms(QStringLiteral("[NOMBRE_CONFIRMAR] [F_NACIMIENTO_CONFIRMAR] [EDAD_CONFIRMAR]")),
                 QStringLiteral("[NOMBRE] [F_NACIMIENTO] [EDAD_CONFIRMAR]"));
    }

    void noKeywordsAsksNothing()
    {
        ScriptedAnswers answers({});
        const PersonalValues values =
            collectPersonalValues(QStringLiteral("Hola [EDAD]"), {QStringLiteral("34600000001")}, {}, answers.asker());
        QCOMPARE(values.status, ValuesStatus::Ok);
        QVERIFY(answers.asked.isEmpty());
        for (const QString &list : values.values)
            QVERIFY(list.isEmpty());
        QVERIFY(sendVariables(QStringLiteral("Hola [EDAD]"), values).isEmpty());
    }

    void storedValuesNeedNoPrompt()
    {
        ContactBook book;
        book.insert(QStringLiteral("34600000001"), contact(QStringLiteral("Ana")));
        book.insert(QStringLiteral("34600000002"), contact(QStringLiteral("Íñigo O'Neill")));
        ScriptedAnswers answers({});
        const PersonalValues values = collectPersonalValues(
            QStringLiteral("Hola [NOMBRE]"), {QStringLiteral("34600000001"), QStringLiteral("34600000002")}, book,
            answers.asker());
        QVERIFY(answers.asked.isEmpty());
        QCOMPARE(values.values[0], QStringLiteral("Ana|Íñigo O'Neill"));
    }

    void missingValueIsAsked()
    {
        ContactBook book;
        book.insert(QStringLiteral("34600000001"), contact(QStringLiteral("Ana"), QString()));
        ScriptedAnswers answers({QStringLiteral("Calle Mayor"), QString()});
        const PersonalValues values = collectPersonalValues(
            QStringLiteral("Ir a [DIRECCION]"), {QStringLiteral("34600000001"), QStringLiteral("34600000009")}, book,
            answers.asker());
        QCOMPARE(values.status, ValuesStatus::Ok);
        QCOMPARE(answers.asked.size(), 2);
        QCOMPARE(answers.asked[0].title, QStringLiteral("Faltan datos personalizados"));
        QCOMPARE(answers.asked[0].prompt,
                 QStringLiteral("El número: 34600000001 no dispone de información de DIRECCION. Qué desea enviar en el "
                                "caso de este contacto? Caracteres: 5"));
        QCOMPARE(values.values[3], QStringLiteral("Calle Mayor|"));
    }

    void confirmationAlwaysAsks()
    {
        ContactBook book;
        book.insert(QStringLiteral("34600000001"), contact(QStringLiteral("Ana")));
        book.insert(QStringLiteral("34600000002"), contact(QStringLiteral("Luis")));
        ScriptedAnswers answers({QStringLiteral("Ana"), QStringLiteral("Luisito")});
        const QString message = QStringLiteral("Hola [NOMBRE_CONFIRMAR]");
        const PersonalValues values = collectPersonalValues(
            message, {QStringLiteral("34600000001"), QStringLiteral("34600000002")}, book, answers.asker());
        QCOMPARE(answers.asked.size(), 2);
        QCOMPARE(answers.asked[0].title, QStringLiteral("Confirmar datos personalizados"));
        QCOMPARE(answers.asked[0].defaultAnswer, QStringLiteral("Ana"));
        QCOMPARE(answers.asked[1].prompt,
                 QStringLiteral("Para el número: 34600000002 (Nombre: Luis) se sustituirá la palabra [NOMBRE_CONFIRMAR] "
                                "por Luis. Es esto correcto? Caracteres: 9"));
        QCOMPARE(values.values[0], QStringLiteral("Ana|Luisito"));
        const net::FormFields vars = sendVariables(message, values);
        QCOMPARE(fieldValue(vars, QStringLiteral("replace_vars")), QStringLiteral("[NOMBRE]"));
        QCOMPARE(fieldValue(vars, QStringLiteral("var1")), QStringLiteral("Ana|Luisito"));
    }

    // Both forms of one keyword: the plain one rules, so a stored value is taken without asking;
    // a contact without it is asked once, with the room left counted.
    void plainFormWinsOverConfirmation()
    {
        ContactBook book;
        book.insert(QStringLiteral("34600000001"), contact(QStringLiteral("Ana")));
        ScriptedAnswers answers({QStringLiteral("Luis")});
        const QString message = QStringLiteral("[NOMBRE_CONFIRMAR] y [NOMBRE]");
        const PersonalValues values = collectPersonalValues(
            message, {QStringLiteral("34600000001"), QStringLiteral("34600000002")}, book, answers.asker());
        QCOMPARE(answers.asked.size(), 1);
        QCOMPARE(answers.asked[0].title, QStringLiteral("Faltan datos personalizados"));
        QVERIFY(answers.asked[0].prompt.startsWith(QStringLiteral("El número: 34600000002 ")));
        QVERIFY(answers.asked[0].prompt.endsWith(QStringLiteral("Caracteres: 21")));
        QCOMPARE(values.values[0], QStringLiteral("Ana|Luis"));
    }

    void cancelStopsEverything()
    {
        ScriptedAnswers answers({QStringLiteral("x"), std::nullopt, QStringLiteral("never")});
        const PersonalValues values = collectPersonalValues(
            QStringLiteral("[NOMBRE] [DIRECCION]"), {QStringLiteral("34600000001"), QStringLiteral("34600000002")}, {},
            answers.asker());
        QCOMPARE(values.status, ValuesStatus::Cancelled);
        QCOMPARE(answers.asked.size(), 2);
    }

    void sameNumberTwiceIsAskedTwice()
    {
        ScriptedAnswers answers({QStringLiteral("uno"), QStringLiteral("dos")});
        const PersonalValues values = collectPersonalValues(
            QStringLiteral("[NOMBRE]"), {QStringLiteral("34600000001"), QStringLiteral("34600000001")}, {},
            answers.asker());
        QCOMPARE(answers.asked.size(), 2);
        QCOMPARE(values.values[0], QStringLiteral("uno|dos"));
    }

    // A "|" typed into one recipient's value must not move the next recipient's value.
    void barInValueNeverShifts()
    {
        ScriptedAnswers answers({QStringLiteral("a|b"), QStringLiteral("c")});
        const PersonalValues values = collectPersonalValues(
            QStringLiteral("[NOMBRE]"), {QStringLiteral("34600000001"), QStringLiteral("34600000002")}, {},
            answers.asker());
        const QStringList list = values.values[0].split(QLatin1Char('|'));
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0], QStringLiteral("a¦b"));
        QCOMPARE(list[1], QStringLiteral("c"));
    }

    void sendListOrderAndBirthDateSpellings()
    {
        ContactBook book;
        book.insert(QStringLiteral("34600000001"),
                    contact(QStringLiteral("Ana"), QStringLiteral("Sol 1"), QStringLiteral("05/03/1990")));
        ScriptedAnswers answers({});
        for (const QString &spelling : {QStringLiteral("F_NACIMIENTO"), QStringLiteral("FECHA_NACIMIENTO")}) {
            const QString message = QStringLiteral("[") + spelling + QStringLiteral("] [TELEFONO_CONFIRMAR] [NOMBRE] [EDAD]");
            ScriptedAnswers confirm({QStringLiteral("34600000001")});
            const PersonalValues values =
                collectPersonalValues(message, {QStringLiteral("34600000001")}, book, confirm.asker());
            QCOMPARE(confirm.asked.size(), 1);
            const net::FormFields vars = sendVariables(message, values);
            QCOMPARE(fieldValue(vars, QStringLiteral("replace_vars")),
                     QStringLiteral("[NOMBRE]|[TELEFONO]|[") + spelling + QStringLiteral("]"));
            QCOMPARE(fieldValue(vars, QStringLiteral("var1")), QStringLiteral("Ana"));
            QCOMPARE(fieldValue(vars, QStringLiteral("var2")), QStringLiteral("34600000001"));
            QCOMPARE(fieldValue(vars, QStringLiteral("var3")), QStringLiteral("05/03/1990"));
            QCOMPARE(personalizedPreview(message, values),
                     QStringLiteral("05/03/1990 34600000001 Ana [EDAD]"));
        }
    }

    void contactsReadInOneQuery()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(database::createSchema(connection).ok());
        const QString insert = QStringLiteral(
            "INSERT INTO Agenda (nombre,telefono,direccion,f_nacimiento) VALUES (?1,?2,?3,?4)");
        QVERIFY(connection.execute(insert, {QStringLiteral("Ana"), QStringLiteral("34600000001"), QVariant(),
                                            QStringLiteral("1990-03-05")}).ok());
        QVERIFY(connection.execute(insert, {QStringLiteral("Dup"), QStringLiteral("34600000001"), QStringLiteral("x"),
                                            QVariant()}).ok());
        QVERIFY(connection.execute(insert, {QStringLiteral("Contained"), QStringLiteral("4600000001"), QVariant(),
                                            QVariant()}).ok());
        const ContactBook book = loadContacts(
            connection, {QStringLiteral("34600000001"), QStringLiteral("34600000009"), QStringLiteral("'; --")});
        QCOMPARE(book.size(), 1);
        const ContactValues &anaContact = book.value(QStringLiteral("34600000001"));
        QCOMPARE(anaContact[ContactField::Name], std::optional<QString>(QStringLiteral("Ana")));
        QVERIFY(!anaContact[ContactField::Address]);
        QCOMPARE(anaContact[ContactField::BirthDate], std::optional<QString>(QStringLiteral("05/03/1990")));

        const LongestValues longest =
            longestContactValues(connection, {QStringLiteral("34600000001"), QStringLiteral("4600000001")});
        QCOMPARE(longest[0], 9);
        QCOMPARE(longest[3], 1);
    }

    // Another workstation writing to the shared file does not make the contacts look empty: the
    // lookup needs no write lock, and never half a list of numbers.
    void contactsFoundWhileAnotherWorkstationWrites()
    {
        testing::TempHome home;
        db::Connection connection;
        QVERIFY(connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(database::createSchema(connection).ok());
        QVERIFY(connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES ('Ana','34600000001')"))
                    .ok());
        testing::OtherWorkstation other(connection, false);
        QVERIFY(other.holding());
        const ContactBook book = loadContacts(connection, {QStringLiteral("34600000001"), QStringLiteral("34600000002")});
        QCOMPARE(book.size(), 1);
        QCOMPARE(book.value(QStringLiteral("34600000001"))[ContactField::Name],
                 std::optional<QString>(QStringLiteral("Ana")));
        QCOMPARE(numbersInContactBook(connection, {QStringLiteral("34600000001")}), QStringList{QStringLiteral("34600000001")});
        QCOMPARE(other.timesGivenUp(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPlaceholders)
#include "test_placeholders.moc"
