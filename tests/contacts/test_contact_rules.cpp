// The contact book's rules as plain functions: filter conditions (run against a real book, with
// the typed words bound), paging, node keys, phones, group lists, the editor's checks and writes,
// the group lifecycle and the deletion of every contact.
#include "contacts/birth_date.h"
#include "contacts/contact_book.h"
#include "contacts/contact_editor_rules.h"
#include "contacts/contact_filter.h"
#include "contacts/group_book.h"
#include "contacts/group_list.h"
#include "contacts/node_keys.h"
#include "contacts/pager.h"
#include "contacts/phone_number.h"
#include "contacts/groups/group_admin.h"
#include "contacts/picker/picker_list.h"
#include "contacts/picker/recipient_adder.h"
#include "contacts_fixture.h"
#include "platform/db/id_list.h"

#include <QHash>
#include <QTest>

using namespace contacts;
using contactstest::Database;

namespace {

QStringList filterNames(Database &d, int field, int op, const QString &w, std::optional<qint64> group = {})
{
    const FilterResult r = filterCondition(field, op, w, group);
    if (!r.ok())
        return {QStringLiteral("<error>")};
    return d.names(r.condition.sql, r.condition.values);
}

AskText answers(QList<std::optional<QString>> list, QStringList *prompts = nullptr)
{
    auto tail = std::make_shared<QList<std::optional<QString>>>(std::move(list));
    return [tail, prompts](const QString &prompt, const QString &, const QString &fallback) -> std::optional<QString> {
        if (prompts)
            prompts->append(prompt + QStringLiteral(" [") + fallback + QStringLiteral("]"));
        if (tail->isEmpty())
            return std::nullopt;
        return tail->takeFirst();
    };
}

} // namespace

class TestContactRules final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every operator on contacts with quotes and accents; the words never enter the SQL text.
    void filterOperatorsMatchTheRightContacts()
    {
        Database d;
        d.addContact(QStringLiteral("Ana"), QStringLiteral("34611111111"));
        d.addContact(QStringLiteral("O'Brien"), QStringLiteral("34622222222"));
        d.addContact(QStringLiteral("Ángela"), QStringLiteral("34633333333"));
        d.addContact(QStringLiteral("Mariana"), QStringLiteral("34644444444"));
        d.addContact(QStringLiteral(""), QStringLiteral("34655555555"));

        const FilterResult quote = filterCondition(0, 0, QStringLiteral("O'B"));
        QVERIFY(!quote.condition.sql.contains(QStringLiteral("O'B")));
        QCOMPARE(d.names(quote.condition.sql, quote.condition.values), QStringList{QStringLiteral("O'Brien")});

        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("ana")), (QStringList{QStringLiteral("Ana"), QStringLiteral("Mariana")}));
        QCOMPARE(filterNames(d, 0, 1, QStringLiteral("Ana")), QStringList{QStringLiteral("Ana")});
        QCOMPARE(filterNames(d, 0, 2, QStringLiteral("Ma")), QStringList{QStringLiteral("Mariana")});
        QCOMPARE(filterNames(d, 0, 3, QStringLiteral("ela")), QStringList{QStringLiteral("Ángela")});
        QCOMPARE(filterNames(d, 0, 4, QStringLiteral("an")).size(), 3);  // "", O'Brien, Ángela
        QCOMPARE(filterNames(d, 0, 5, QStringLiteral("Ana")).size(), 4);
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("Ángela")), QStringList{QStringLiteral("Ángela")});
        // Empty words: "contengan" keeps the named ones, "no contengan" the unnamed one.
        QCOMPARE(filterNames(d, 0, 0, QString()).size(), 4);
        QCOMPARE(filterNames(d, 0, 4, QString()), QStringList{QString()});
        // An index outside the lists falls back to nombre / contengan.
        QCOMPARE(filterNames(d, 42, -1, QStringLiteral("brien")), QStringList{QStringLiteral("O'Brien")});
    }

    // Words far longer than any name (the database refuses LIKE patterns past 50,000 bytes) are
    // still looked for, by every text operator of the three filters, and never give an SQL error.
    // The limit is in bytes: a word of three-byte characters passes it with far fewer characters.
    void longWordsAreLookedForWithoutAnError_data()
    {
        QTest::addColumn<QString>("word");
        QTest::newRow("72,000 characters") << QStringLiteral("ñandú ").repeated(12000);
        QTest::newRow("17,000 euro signs, 51,000 bytes") << QStringLiteral("€").repeated(17000);
    }
    void longWordsAreLookedForWithoutAnError()
    {
        QFETCH(QString, word);
        Database d;
        const qint64 holder = d.addContact(contactstest::ContactRow{QStringLiteral("Largo"), QStringLiteral("1"), {},
                                                     QStringLiteral("«") + word + QStringLiteral("»"), {}});
        d.addContact(contactstest::ContactRow{QStringLiteral("Corto"), QStringLiteral("2"), {}, QStringLiteral("nada"), {}});
        const QString upper = word.toUpper();
        const struct {
            int op;
            QString words;
            QStringList names;
        } cases[] = {
            {0, upper, {QStringLiteral("Largo")}},
            {2, QStringLiteral("«") + upper, {QStringLiteral("Largo")}},
            {2, upper, {}},
            {3, upper + QStringLiteral("»"), {QStringLiteral("Largo")}},
            {3, upper, {}},
            {4, upper, {QStringLiteral("Corto")}},
            {6, QStringLiteral("«") + upper, {QStringLiteral("Corto")}},
            {7, upper + QStringLiteral("»"), {QStringLiteral("Corto")}},
            {1, upper, {}},
        };
        const auto names = [&d](const Condition &condition) {
            db::Result r;
            QStringList found;
            for (const db::Row &row : d.connection.select(QStringLiteral("SELECT nombre FROM Agenda WHERE ") + condition.sql
                                                              + QStringLiteral(" ORDER BY sid"),
                                                          condition.values, &r))
                found << row.value(0).toString();
            return r.ok() ? found : QStringList{QStringLiteral("<error> ") + r.error};
        };
        for (const auto &c : cases) {
            const FilterResult tab = filterCondition(5, c.op, c.words);
            QVERIFY(tab.ok());
            QCOMPARE(names(tab.condition), c.names);
            const picker::FieldClause clause = picker::fieldClause(5, c.op, c.words);
            QVERIFY(clause.condition);
            QCOMPARE(names(*clause.condition), c.names);
        }
        ContactRecords records;
        QCOMPARE(records.reload(d.connection, filterCondition(5, 0, upper).condition), ContactRecords::Status::Ok);
        QCOMPARE(records.total(), 1);
        QCOMPARE(records.page(0).front().sid, holder);
    }

    // Names compare without case for every letter, not only A-Z: "ángel" is "Ángel", "ñoño" is
    // "Ñoño", while an accent still makes another word and "ñ" stays apart from "n". The three
    // filters (contacts tab, picker, group administration) and the group-name look-ups agree.
    void everyLetterFoldsCase()
    {
        Database d;
        d.connection.execute(QStringLiteral("BEGIN"));
        for (int i = 1; i <= 100; ++i) {
            d.addContact(QStringLiteral("Ángel %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3461%1").arg(i));
            d.addContact(QStringLiteral("Ñoño %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3462%1").arg(i));
        }
        d.connection.execute(QStringLiteral("COMMIT"));
        d.addContact(QStringLiteral("Angel sin tilde"), QStringLiteral("34630"));
        d.addContact(QStringLiteral("Nono"), QStringLiteral("34631"));
        const qint64 accentedGroup = d.addGroup(QStringLiteral("PEÑA"));

        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("ángel")).size(), 100);
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("ÁNGEL 00")).size(), 9);
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("ñoño")).size(), 100);
        QCOMPARE(filterNames(d, 0, 2, QStringLiteral("ñO")).size(), 100);
        QCOMPARE(filterNames(d, 0, 3, QStringLiteral("ÑOÑO 100")), QStringList{QStringLiteral("Ñoño 100")});
        QCOMPARE(filterNames(d, 0, 1, QStringLiteral("ñoño 007")), QStringList{QStringLiteral("Ñoño 007")});
        QCOMPARE(filterNames(d, 0, 5, QStringLiteral("ñoño 007")).size(), 201);
        QCOMPARE(filterNames(d, 0, 4, QStringLiteral("ángel")).size(), 102);
        QCOMPARE(filterNames(d, 0, 6, QStringLiteral("ÁN")).size(), 102);
        QCOMPARE(filterNames(d, 0, 7, QStringLiteral("ÁNGEL 001")).size(), 201);
        QCOMPARE(filterNames(d, 0, 4, QStringLiteral("ñoño")).size(), 102);
        // The accent and the "ñ" still tell words apart, as the old database saw them.
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("angel")), QStringList{QStringLiteral("Angel sin tilde")});
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("nono")), QStringList{QStringLiteral("Nono")});

        // The picker and the group administration build the same conditions.
        const picker::PickerCondition p =
            picker::pickerCondition(d.connection, {0, 0, QStringLiteral("ángel"), false, {}});
        QVERIFY(p.condition);
        QCOMPARE(d.names(p.condition->sql, p.condition->values).size(), 100);
        const picker::PickerCondition pickerNot =
            picker::pickerCondition(d.connection, {4, 0, QStringLiteral("ñoño"), false, {}});
        QVERIFY(pickerNot.condition);
        QCOMPARE(d.names(pickerNot.condition->sql, pickerNot.condition->values).size(), 102);
        groups::AdminFilter adminFilter;
        adminFilter.words = QStringLiteral("ÑOÑO");
        const groups::AdminCondition a = groups::contactListCondition(d.connection, accentedGroup, adminFilter);
        QVERIFY(a.where);
        QCOMPARE(d.names(a.where->sql, a.where->values).size(), 100);

        // A group chosen by a name typed in another case is still that group.
        QCOMPARE(groupSidByName(d.connection, QStringLiteral("peña")), std::optional<qint64>(accentedGroup));
        groups::AdminFilter byName;
        byName.byGroup = true;
        byName.group = QStringLiteral("peña");
        QVERIFY(groups::contactListCondition(d.connection, accentedGroup, byName).where);
        QVERIFY(groupExists(d.connection, QStringLiteral("peña")));
        QVERIFY(!groupExists(d.connection, QStringLiteral("pena")));
    }

    // Every look-up of a group by the name the user typed or picked folds every letter: the
    // recipient picker's group filter, the contact filter's "Miembros de", the group
    // administration's and the uniqueness check of a new group. An accent still makes another name.
    void groupLookUpsFoldEveryLetter()
    {
        Database d;
        const qint64 pena = d.addGroup(QStringLiteral("Peña Ártica"));
        const qint64 alvaro = d.addGroup(QStringLiteral("ÁLVARO Y ÑOÑO"));
        d.addContact(QStringLiteral("Ana"), QStringLiteral("1"), QString::number(pena));
        d.addContact(QStringLiteral("Bea"), QStringLiteral("2"), QString::number(alvaro));
        d.addContact(QStringLiteral("Carla"), QStringLiteral("3"));

        const auto pickerNames = [&d](const QString &group) {
            const picker::PickerCondition p = picker::pickerCondition(d.connection, {0, 0, QString(), true, group});
            return p.condition ? d.names(p.condition->sql, p.condition->values) : QStringList{QStringLiteral("<error>")};
        };
        QCOMPARE(pickerNames(QStringLiteral("PEÑA ÁRTICA")), QStringList{QStringLiteral("Ana")});
        QCOMPARE(pickerNames(QStringLiteral("álvaro y ñoño")), QStringList{QStringLiteral("Bea")});
        // A name that is not a group's (the accent differs) filters by no group.
        QCOMPARE(pickerNames(QStringLiteral("Pena Artica")).size(), 3);

        QCOMPARE(groupSidByName(d.connection, QStringLiteral("álvaro y ñoño")), std::optional<qint64>(alvaro));
        QCOMPARE(groupSidByName(d.connection, QStringLiteral("alvaro y nono")), std::nullopt);
        QCOMPARE(filterNames(d, 0, 0, QString(), groupSidByName(d.connection, QStringLiteral("peña ártica"))),
                 QStringList{QStringLiteral("Ana")});

        groups::AdminFilter byName;
        byName.byGroup = true;
        byName.group = QStringLiteral("ÁLVARO Y ÑOÑO").toLower();
        const groups::AdminCondition a = groups::contactListCondition(d.connection, pena, byName);
        QVERIFY(a.where);
        QCOMPARE(d.names(a.where->sql, a.where->values), QStringList{QStringLiteral("Bea")});

        QVERIFY(groupExists(d.connection, QStringLiteral("peña ártica")));
        QVERIFY(groupExists(d.connection, QStringLiteral("Álvaro y Ñoño")));
        QVERIFY(!groupExists(d.connection, QStringLiteral("Alvaro y Nono")));
    }

    // "mayor que" / "menor que" on names follow the Spanish order the lists use, not the bytes.
    void namesCompareInSpanishOrder()
    {
        Database d;
        d.addContact(QStringLiteral("álvaro"), QStringLiteral("1"));
        d.addContact(QStringLiteral("Beto"), QStringLiteral("2"));
        d.addContact(QStringLiteral("Ñandú"), QStringLiteral("3"));
        d.addContact(QStringLiteral("Zoë"), QStringLiteral("4"));
        d.addContact(QStringLiteral("nube"), QStringLiteral("5"));
        QCOMPARE(filterNames(d, 0, 9, QStringLiteral("b")), QStringList{QStringLiteral("álvaro")});
        QCOMPARE(filterNames(d, 0, 8, QStringLiteral("o")), (QStringList{QStringLiteral("Zoë")}));
        QCOMPARE(filterNames(d, 0, 8, QStringLiteral("nz")).size(), 2);     // Ñandú after every "n...", and Zoë
        const picker::PickerCondition p = picker::pickerCondition(d.connection, {9, 0, QStringLiteral("B"), false, {}});
        QVERIFY(p.condition);
        QCOMPARE(d.names(p.condition->sql, p.condition->values), QStringList{QStringLiteral("álvaro")});
    }

    // A group list is read by one rule everywhere: whole numbers between commas, blanks and
    // leading zeros allowed. The SQL filter, the C++ checks, the member counts and the deletion
    // of a group agree on "3, 1" and "07".
    void groupListsReadOneWay()
    {
        Database d;
        qint64 g1 = 0;
        qint64 g7 = 0;
        for (int i = 1; i <= 7; ++i) {
            const qint64 g = d.addGroup(QStringLiteral("G%1").arg(i));
            if (i == 1)
                g1 = g;
            if (i == 7)
                g7 = g;
        }
        QCOMPARE(g1, 1);
        QCOMPARE(g7, 7);
        const qint64 blank = d.addContact(QStringLiteral("Blanco"), QStringLiteral("1"), QStringLiteral("3, 1"));
        const qint64 zero = d.addContact(QStringLiteral("Cero"), QStringLiteral("2"), QStringLiteral("07"));
        d.addContact(QStringLiteral("Once"), QStringLiteral("3"), QStringLiteral("11,21"));
        d.addContact(QStringLiteral("Raro"), QStringLiteral("4"), QStringLiteral("1a,x"));
        d.addContact(QStringLiteral("Nada"), QStringLiteral("5"));

        QCOMPARE(d.names(memberConditionSql(), {QStringLiteral("1")}), QStringList{QStringLiteral("Blanco")});
        QCOMPARE(d.names(memberConditionSql(), {QStringLiteral("7")}), QStringList{QStringLiteral("Cero")});
        QCOMPARE(d.names(QStringLiteral("NOT (") + memberConditionSql() + QStringLiteral(")"), {QStringLiteral("7")}).size(), 4);
        QVERIFY(db::idListHas(QStringLiteral("3, 1"), 1));
        QVERIFY(db::idListHas(QStringLiteral("07"), 7));
        QVERIFY(!db::idListHas(QStringLiteral("11,21"), 1));
        QVERIFY(!db::idListHas(QStringLiteral("1a,x"), 1));

        QHash<QString, qint64> counts;
        for (const Group &g : listGroups(d.connection).groups)
            counts.insert(g.name, g.memberCount);
        QCOMPARE(counts.value(QStringLiteral("G1")), 1);
        QCOMPARE(counts.value(QStringLiteral("G7")), 1);

        // Deleting group 1 and then group 7 takes them out of every list that holds them.
        const AskText yes = answers({QStringLiteral("SI"), QStringLiteral("SI")});
        QCOMPARE(deleteGroup(d.connection, g1, yes).unlinkedContacts, 1);
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), blank).toString(), QStringLiteral("3"));
        QCOMPARE(deleteGroup(d.connection, g7, yes).unlinkedContacts, 1);
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), zero).toString(), QString());
    }

    void phoneListAndBlanks()
    {
        Database d;
        d.addContact(QStringLiteral("A"), QStringLiteral("34611111111"));
        d.addContact(QStringLiteral("B"), QStringLiteral("34622222222"));
        d.addContact(QStringLiteral("C"), QStringLiteral(" 34633333333 "));
        QCOMPARE(filterNames(d, 1, 1, QStringLiteral("34611111111, 34622222222")),
                 (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        // Without a comma the blanks stay part of the compared text.
        QCOMPARE(filterNames(d, 1, 1, QStringLiteral(" 34633333333 ")), QStringList{QStringLiteral("C")});
        QCOMPARE(filterNames(d, 1, 1, QStringLiteral("34633333333")), QStringList{});
        // On another field a comma is just text.
        QCOMPARE(filterNames(d, 0, 1, QStringLiteral("A,B")), QStringList{});
        // A list longer than SQLite's bound-value cap still works.
        QStringList longList;
        for (int i = 0; i < 1200; ++i)
            longList << QStringLiteral("3469%1").arg(i, 7, 10, QLatin1Char('0'));
        longList << QStringLiteral("34622222222");
        QCOMPARE(filterNames(d, 1, 1, longList.join(QLatin1Char(','))), QStringList{QStringLiteral("B")});
    }

    void birthDateFilters()
    {
        Database d;
        d.addContact({QStringLiteral("Viejo"), QStringLiteral("1"), {}, {}, QStringLiteral("1984-10-23")});
        d.addContact({QStringLiteral("Joven"), QStringLiteral("2"), {}, {}, QStringLiteral("2001-03-05")});
        d.addContact(QStringLiteral("Sin fecha"), QStringLiteral("3"));
        QCOMPARE(filterNames(d, 6, 0, QStringLiteral("1984")), QStringList{QStringLiteral("Viejo")});
        QCOMPARE(filterNames(d, 6, 0, QStringLiteral("23/10")), QStringList{QStringLiteral("Viejo")});
        QCOMPARE(filterNames(d, 6, 8, QStringLiteral("01/01/1990")), QStringList{QStringLiteral("Joven")});
        QCOMPARE(filterNames(d, 6, 9, QStringLiteral("01/01/90")), QStringList{QStringLiteral("Viejo")});
        // A stored text that is not yyyy-MM-dd is compared and shown as it stands, never turned round.
        d.addContact({QStringLiteral("Texto"), QStringLiteral("4"), {}, {}, QStringLiteral("12/05/1977")});
        d.addContact({QStringLiteral("Raro"), QStringLiteral("5"), {}, {}, QStringLiteral("1977_05_12")});
        QCOMPARE(filterNames(d, 6, 0, QStringLiteral("12/05/1977")), QStringList{QStringLiteral("Texto")});
        QCOMPARE(filterNames(d, 6, 0, QStringLiteral("1977_05")), QStringList{QStringLiteral("Raro")});
        const picker::PickerCondition p =
            picker::pickerCondition(d.connection, {0, 6, QStringLiteral("1977_05"), false, {}});
        QVERIFY(p.condition);
        QCOMPARE(d.names(p.condition->sql, p.condition->values), QStringList{QStringLiteral("Raro")});
        QCOMPARE(shownDate(QStringLiteral("1984-10-23")), QStringLiteral("23/10/1984"));
        QCOMPARE(shownDate(QStringLiteral("1984-10-23 y algo")), QStringLiteral("1984-10-23 y algo"));
        QCOMPARE(shownDate(QStringLiteral("12/05/1977")), QStringLiteral("12/05/1977"));
        const FilterResult bad = filterCondition(6, 8, QStringLiteral("ayer"));
        QCOMPARE(bad.status, FilterResult::Status::InvalidDate);
        QVERIFY(!bad.message.isEmpty());
    }

    void groupRestriction()
    {
        Database d;
        const qint64 g1 = d.addGroup(QStringLiteral("Clientes"));
        d.addContact(QStringLiteral("Ana"), QStringLiteral("1"), QString::number(g1));
        d.addContact(QStringLiteral("Anabel"), QStringLiteral("2"), QStringLiteral("%1,99").arg(g1 * 11));
        d.addContact(QStringLiteral("Bea"), QStringLiteral("3"), QStringLiteral("5,%1").arg(g1));
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("a"), g1), (QStringList{QStringLiteral("Ana"), QStringLiteral("Bea")}));
        QCOMPARE(filterNames(d, 0, 2, QStringLiteral("An"), g1), QStringList{QStringLiteral("Ana")});

        ContactFilter f;
        f.words = QStringLiteral("a");
        f.membersOnly = true;
        f.group = QStringLiteral("clientes");   // names compare without case
        FilterResult r = buildContactFilter(d.connection, f);
        QCOMPARE(d.names(r.condition.sql, r.condition.values), (QStringList{QStringLiteral("Ana"), QStringLiteral("Bea")}));
        f.group = QStringLiteral("Borrado");    // gone: the rest of the filter applies
        r = buildContactFilter(d.connection, f);
        QCOMPARE(d.names(r.condition.sql, r.condition.values).size(), 3);
    }

    void pagerAndKeys()
    {
        PagerState p = updatePager(0, 50, 3);
        QCOMPARE(p.label, QStringLiteral("Página 0 de 0"));
        QCOMPARE(p.page, 0);
        QCOMPARE(p.lastPage, 0);
        QCOMPARE(updatePager(50, 50, 0).label, QStringLiteral("Página 1 de 1"));
        QCOMPARE(updatePager(51, 50, 0).label, QStringLiteral("Página 1 de 2"));
        p = updatePager(120, 50, 2);
        QCOMPARE(p.label, QStringLiteral("Página 3 de 3"));
        QCOMPARE(p.firstRow, 100);
        p = updatePager(60, 50, 3);   // shrank under the page showing
        QCOMPARE(p.label, QStringLiteral("Página 2 de 2"));
        QCOMPARE(p.firstRow, 50);

        QCOMPARE(nodeKey(QStringLiteral("pContacto"), 1532), QStringLiteral("pContacto 1532"));
        QCOMPARE(sidFromKey(QStringLiteral("pContacto 25")), std::optional<qint64>(25));
        QCOMPARE(sidFromKey(QStringLiteral("pFechaNacimiento 25")), std::optional<qint64>(25));
        QCOMPARE(sidFromKey(QStringLiteral("l0")), std::nullopt);
        QCOMPARE(sidFromKey(QString()), std::nullopt);
        QCOMPARE(sidFromKey(QStringLiteral("pContacto x")), std::nullopt);
    }

    void contactNodes()
    {
        Contact c;
        c.sid = 12;
        c.name = QStringLiteral("Ana");
        std::vector<ContactNode> n = nodesOfContact(c);
        QCOMPARE(n.size(), size_t(3));   // root, phone category, empty phone value
        QCOMPARE(n[1].text, QStringLiteral("Teléfono móvil"));
        QCOMPARE(n[2].key, QStringLiteral("Telefono 12"));
        QCOMPARE(n[2].text, QString());
        c.comment = QStringLiteral("vip");
        c.birthDate = QStringLiteral("1984-10-23");
        n = nodesOfContact(c);
        QCOMPARE(n.size(), size_t(7));
        QCOMPARE(n[3].key, QStringLiteral("pComentarios 12"));
        QCOMPARE(n[6].text, QStringLiteral("23/10/1984"));
        const std::vector<ContactNode> emptyPage = pageNodes({});
        QCOMPARE(emptyPage.size(), size_t(1));
        QCOMPARE(emptyPage[0].key, QStringLiteral("l0"));
        QCOMPARE(emptyPage[0].text, QStringLiteral("Sin contactos"));
    }

    void phones()
    {
        QCOMPARE(normalizedPhone(QStringLiteral("+34 (600) 11-22.33")), QStringLiteral("34600112233"));
        QCOMPARE(normalizedPhone(QStringLiteral("612 345 678")), QStringLiteral("34612345678"));
        QCOMPARE(normalizedPhone(QStringLiteral("0044123456")), QStringLiteral("44123456"));
        QCOMPARE(normalizedPhone(QStringLiteral("a612")), QStringLiteral("a612"));

        using E = MobileCheck::Status;
        QCOMPARE(checkMobile(QString()).status, E::Empty);
        MobileCheck m = checkMobile(QStringLiteral(" 612345678 "));
        QCOMPARE(m.status, E::PrefixAdded);
        QCOMPARE(m.text, QStringLiteral("34612345678"));
        m = checkMobile(QStringLiteral("712345678"));
        QCOMPARE(m.status, E::Valid);
        QCOMPARE(m.text, QStringLiteral("712345678"));
        QCOMPARE(checkMobile(QStringLiteral("12345")).status, E::Invalid);
        QCOMPARE(checkMobile(QStringLiteral("6123a5678")).status, E::Invalid);
        QCOMPARE(checkMobile(QStringLiteral("1234567890123456")).status, E::Valid);
    }

    // One editor of a contact's group list for every window and import: group 7 added and taken
    // out, whatever blanks or stray commas the stored list holds.
    void groupLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("member");
        QTest::addColumn<QString>("with");
        QTest::addColumn<QString>("without");
        QTest::newRow("alone") << "7" << true << "7" << "";
        QTest::newRow("first") << "7,12" << true << "7,12" << "12";
        QTest::newRow("last") << "3,7" << true << "3,7" << "3";
        QTest::newRow("middle") << "3,7,12" << true << "3,7,12" << "3,12";
        QTest::newRow("digits of others") << "17,70" << false << "17,70,7" << "17,70";
        QTest::newRow("another") << "3" << false << "3,7" << "3";
        QTest::newRow("null") << QString() << false << "7" << "";
        QTest::newRow("empty") << "" << false << "7" << "";
        QTest::newRow("blank only") << "  " << false << "7" << "";
        QTest::newRow("blanks around") << " 3 , 12 " << false << "3,12,7" << "3,12";
        QTest::newRow("stray commas") << ",3,,12," << false << "3,12,7" << "3,12";
        QTest::newRow("only commas") << ",," << false << "7" << "";
    }
    void groupLists()
    {
        QFETCH(QString, list);
        QFETCH(bool, member);
        QFETCH(QString, with);
        QFETCH(QString, without);
        QCOMPARE(db::idListHas(list, 7), member);
        QCOMPARE(db::idListWith(list, 7), with);
        QCOMPARE(db::idListWithout(list, 7), without);
        QVERIFY(!db::idListWithout(list, 7).isNull());
        QVERIFY(!db::idListHas(QStringLiteral("1,11"), 111));
    }

    void birthDates()
    {
        for (const char *good : {"23/10/84", "23/10/1984", "31/02/1990", "99/99/99"})
            QVERIFY2(isValidDateFormat(QString::fromLatin1(good)), good);
        for (const char *bad : {"1/1/1984", "23-10-1984", "23/10/198", "23/10/19845", "aa/bb/cc"})
            QVERIFY2(!isValidDateFormat(QString::fromLatin1(bad)), bad);
        QCOMPARE(dateFromText(QStringLiteral("23/10/84")), std::optional<QDate>(QDate(1984, 10, 23)));
        QCOMPARE(dateFromText(QStringLiteral("05/03/01")), std::optional<QDate>(QDate(2001, 3, 5)));
        QCOMPARE(dateFromText(QStringLiteral("31/02/1990")), std::nullopt);
        QCOMPARE(shownDate(QStringLiteral("1984-10-23")), QStringLiteral("23/10/1984"));
    }

    // The editor's save: checks first, then one row with exactly what was typed.
    void editorSaveChecksAndWrites()
    {
        Database d;
        using E = SaveResult::Status;
        ContactFields fields;
        fields.name = QStringLiteral("Ana");
        QCOMPARE(saveContact(d.connection, fields, {}).status, E::MissingFields);
        QCOMPARE(saveContact(d.connection, fields, {}).title, QStringLiteral("Faltan datos requeridos"));

        fields.name = QStringLiteral("   ");   // blanks count as content
        fields.phone = QStringLiteral("34600000001");
        QCOMPARE(saveContact(d.connection, fields, {}).status, E::Created);

        fields.name = QStringLiteral("José O'Neill \"Pepe\"");
        fields.address = QStringLiteral("C/ Peñón, 3; 'bajo'");
        fields.birthDate = QStringLiteral("23-10-1984");
        SaveResult r = saveContact(d.connection, fields, {});
        QCOMPARE(r.status, E::BadDateFormat);
        QCOMPARE(r.title, QStringLiteral("Formato de fecha erróneo"));
        fields.birthDate = QStringLiteral("23/10/84");
        r = saveContact(d.connection, fields, {});
        QCOMPARE(r.status, E::Created);
        QCOMPARE(r.message, QStringLiteral("El contacto fue guardado satisfactoriamente."));
        QCOMPARE(d.value(QStringLiteral("nombre"), r.sid).toString(), fields.name);
        QCOMPARE(d.value(QStringLiteral("direccion"), r.sid).toString(), fields.address);
        QCOMPARE(d.value(QStringLiteral("f_nacimiento"), r.sid).toString(), QStringLiteral("1984-10-23"));
        QCOMPARE(d.value(QStringLiteral("comentario"), r.sid).toString(), QStringLiteral(""));
        QVERIFY(!d.value(QStringLiteral("comentario"), r.sid).isNull());
        QVERIFY(d.value(QStringLiteral("grupos_sid"), r.sid).isNull());

        // A change with the date box emptied keeps the stored date and the groups.
        d.connection.execute(QStringLiteral("UPDATE Agenda SET grupos_sid='3,7' WHERE sid=?"), {r.sid});
        fields.name = QStringLiteral("Josefa");
        fields.birthDate.clear();
        SaveResult m = saveContact(d.connection, fields, r.sid);
        QCOMPARE(m.status, E::Updated);
        QCOMPARE(m.message, QStringLiteral("El contacto fue modificado satisfactoriamente."));
        QCOMPARE(d.value(QStringLiteral("nombre"), r.sid).toString(), QStringLiteral("Josefa"));
        QCOMPARE(d.value(QStringLiteral("f_nacimiento"), r.sid).toString(), QStringLiteral("1984-10-23"));
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), r.sid).toString(), QStringLiteral("3,7"));

        // An existing number is saved again as a new row.
        QCOMPARE(saveContact(d.connection, fields, {}).status, E::Created);
        QCOMPARE(d.count(QStringLiteral("Agenda"), QStringLiteral("telefono=?"), {fields.phone}), 3);

        // A day that does not exist is refused instead of being stored as junk.
        fields.birthDate = QStringLiteral("31/02/1990");
        QCOMPARE(saveContact(d.connection, fields, {}).status, E::NoSuchDate);

        // The contact being changed was deleted meanwhile: said so, nothing written.
        d.connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {r.sid});
        fields.birthDate.clear();
        QCOMPARE(saveContact(d.connection, fields, r.sid).status, E::ContactGone);
    }

    void groupCreation()
    {
        Database d;
        d.addGroup(QStringLiteral("Clientes"));
        QStringList taken;
        CreateGroupResult r = createGroup(
            d.connection, answers({QStringLiteral("clientes"), QStringLiteral("Peña 'La Bota'")}),
            [&](const QString &n) { taken << groupNameTakenMessage(n); });
        QCOMPARE(r.status, CreateGroupResult::Status::Created);
        QCOMPARE(r.name, QStringLiteral("Peña 'La Bota'"));
        QCOMPARE(taken, QStringList{QStringLiteral("Ya existe un grupo con el nombre 'clientes'. Por favor, "
                                                       "introduzca otro nombre para el grupo, o dejelo vacío para "
                                                       "cancelar.")});
        QCOMPARE(d.connection.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid=?"), {r.sid}).toString(), r.name);

        // Case is ignored for accented letters too, as the users have always had it.
        taken.clear();
        r = createGroup(d.connection, answers({QStringLiteral("PEÑA 'LA BOTA'"), QString()}),
                       [&](const QString &n) { taken << n; });
        QCOMPARE(r.status, CreateGroupResult::Status::Cancelled);
        QCOMPARE(taken, QStringList{QStringLiteral("PEÑA 'LA BOTA'")});

        QCOMPARE(createGroup(d.connection, answers({QString()}), {}).status, CreateGroupResult::Status::Cancelled);
        QCOMPARE(createGroup(d.connection, answers({std::nullopt}), {}).status, CreateGroupResult::Status::Cancelled);
        QCOMPARE(d.count(QStringLiteral("Grupos")), 2);
    }

    void groupDeletion()
    {
        Database d;
        const qint64 g = d.addGroup(QStringLiteral("Amigos"));
        const qint64 another = d.addGroup(QStringLiteral("Otros"));
        const QString gs = QString::number(g);
        const qint64 a = d.addContact(QStringLiteral("A"), QStringLiteral("1"), gs);
        const qint64 b = d.addContact(QStringLiteral("B"), QStringLiteral("2"), gs + QStringLiteral(",12"));
        const qint64 c = d.addContact(QStringLiteral("C"), QStringLiteral("3"), QStringLiteral("3,") + gs);
        const qint64 e = d.addContact(QStringLiteral("E"), QStringLiteral("4"), QStringLiteral("3,") + gs + QStringLiteral(",12"));
        const qint64 f = d.addContact(QStringLiteral("F"), QStringLiteral("5"), gs + QStringLiteral("0,") + gs + QStringLiteral("1"));

        QStringList prompts;
        DeleteGroupResult r = deleteGroup(d.connection, g, answers({std::nullopt}, &prompts));
        QCOMPARE(r.status, DeleteGroupResult::Status::Aborted);
        QCOMPARE(prompts, QStringList{deleteGroupPrompt(QStringLiteral("Amigos")) + QStringLiteral(" [SI]")});
        QCOMPARE(d.count(QStringLiteral("Grupos")), 2);
        QCOMPARE(deleteGroup(d.connection, g, answers({QStringLiteral("no")})).status,
                 DeleteGroupResult::Status::Aborted);

        r = deleteGroup(d.connection, g, answers({QStringLiteral("  Si ")}));
        QCOMPARE(r.status, DeleteGroupResult::Status::Deleted);
        QCOMPARE(r.unlinkedContacts, 4);
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral(""));
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), b).toString(), QStringLiteral("12"));
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), c).toString(), QStringLiteral("3"));
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), e).toString(), QStringLiteral("3,12"));
        QCOMPARE(d.value(QStringLiteral("grupos_sid"), f).toString(), gs + QStringLiteral("0,") + gs + QStringLiteral("1"));
        QCOMPARE(d.count(QStringLiteral("Grupos")), 1);

        // A group without members goes without a question; one that is gone is reported.
        QStringList none;
        QCOMPARE(deleteGroup(d.connection, another, answers({}, &none)).status, DeleteGroupResult::Status::Deleted);
        QVERIFY(none.isEmpty());
        QCOMPARE(deleteGroup(d.connection, another, answers({})).status, DeleteGroupResult::Status::NotFound);
    }

    void groupListing()
    {
        Database d;
        const qint64 g = d.addGroup(QStringLiteral("Zeta"));
        d.addGroup(QStringLiteral("alfa"));
        d.addContact(QStringLiteral("A"), QStringLiteral("1"), QString::number(g));
        d.addContact(QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("5,") + QString::number(g));
        const GroupList l = listGroups(d.connection);
        QVERIFY(l.ok);
        QCOMPARE(l.groups.size(), size_t(2));
        QCOMPARE(groupText(l.groups[0]), QStringLiteral("alfa"));
        QCOMPARE(groupText(l.groups[1]), QStringLiteral("Zeta (2 contactos)"));

        FilterGroupList f = filterGroupList(l.groups, QString());
        QCOMPARE(f.selected, 0);
        QVERIFY(f.enabled);
        f = filterGroupList(l.groups, QStringLiteral("Zeta"));
        QCOMPARE(f.selected, 1);
        f = filterGroupList(l.groups, QStringLiteral("Borrado"));
        QCOMPARE(f.selected, -1);
        f = filterGroupList({}, QString());
        QCOMPARE(f.names, QStringList{QStringLiteral("Ninguno")});
        QVERIFY(!f.enabled);
    }

    // The picker's additions skip the send panel's own cleaning, so no number may go in twice.
    void recipientAdditions()
    {
        picker::Addition a = picker::addNumbers({QStringLiteral("A"), QStringLiteral("A")}, {QStringLiteral("A"), QStringLiteral("B")});
        QCOMPARE(a.box.text, QStringLiteral("A,B"));
        QCOMPARE(a.box.tag, QStringLiteral("A,B,coste"));
        a = picker::addNumbers({QStringLiteral("A,B"), QStringLiteral("A,B,coste")}, {QStringLiteral("C"), QStringLiteral("C"), QString()});
        QCOMPARE(a.box.text, QStringLiteral("A,B,C"));
        QCOMPARE(a.box.tag, QStringLiteral("A,B,C,coste"));
        a = picker::addNumbers({QString(), QString()}, {QStringLiteral("A")});
        QCOMPARE(a.box.text, QStringLiteral("A"));
        QCOMPARE(a.box.tag, QStringLiteral("A,coste"));
        a = picker::addNumbers({QStringLiteral("A"), QStringLiteral("A")}, {QStringLiteral("A")});
        QVERIFY(!a.changed());
        QCOMPARE(a.box.tag, QStringLiteral("A"));
    }

    void wholeBookDeletion()
    {
        Database d;
        d.addGroup(QStringLiteral("G"));
        d.addMany(30, QStringLiteral("1"));
        d.connection.execute(QStringLiteral("INSERT INTO Historial (destinatario,estado) VALUES ('34600000001','0|0|0')"));
        QVERIFY(deleteWholeBook(d.connection).ok());
        QCOMPARE(d.count(QStringLiteral("Agenda")), 0);
        QCOMPARE(d.count(QStringLiteral("Grupos")), 0);
        QCOMPARE(d.count(QStringLiteral("Historial"), QStringLiteral("destinatario='34600000001'")), 1);
        QVERIFY(deleteWholeBook(d.connection).ok());   // no contacts "deletes" fine
    }

    // The list query runs once per reload; its rows come in name order with sid breaking ties.
    void contactSnapshot()
    {
        Database d;
        d.addContact(QStringLiteral("beta"), QStringLiteral("2"));
        d.addContact(QStringLiteral("Alfa"), QStringLiteral("1"));
        d.addContact(QStringLiteral("alfa"), QStringLiteral("3"));
        ContactRecords r;
        QCOMPARE(r.reload(d.connection, std::nullopt), ContactRecords::Status::Ok);
        QCOMPARE(r.total(), 3);
        QCOMPARE(r.rows()[0].phone, QStringLiteral("1"));
        QCOMPARE(r.rows()[1].phone, QStringLiteral("3"));
        QCOMPARE(r.rows()[2].name, QStringLiteral("beta"));
        QCOMPARE(r.page(1, 2).size(), size_t(1));
        QCOMPARE(r.page(1, 2).front().name, QStringLiteral("beta"));
        const FilterResult f = filterCondition(0, 1, QStringLiteral("ALFA"));
        QCOMPARE(r.reload(d.connection, f.condition), ContactRecords::Status::Ok);
        QCOMPARE(r.total(), 2);
        QVERIFY(readContact(d.connection, 1).has_value());
        QVERIFY(!readContact(d.connection, 99).has_value());
    }
};

QTEST_GUILESS_MAIN(TestContactRules)
#include "test_contact_rules.moc"
