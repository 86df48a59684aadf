// The contact book's rules as plain functions: filter conditions (run against a real book, with
// the typed words bound), paging, node keys, phones, group lists, the editor's checks and writes,
// the group lifecycle and the deletion of the whole book.
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

#include <QHash>
#include <QTest>

using namespace contacts;
using contactstest::Database;

namespace {

QStringList filterNames(Database &d, int field, int op, const QString &w, std::optional<qint64> group = {})
{
    const ResultadoFiltro r = condicionFiltro(field, op, w, group);
    if (!r.ok())
        return {QStringLiteral("<error>")};
    return d.nombres(r.condicion.sql, r.condicion.valores);
}

Preguntar answers(QList<std::optional<QString>> list, QStringList *prompts = nullptr)
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
    // Every operator on a book with quotes and accents; the words never enter the SQL text.
    void filterOperatorsMatchTheRightContacts()
    {
        Database d;
        d.addContact(QStringLiteral("Ana"), QStringLiteral("34611111111"));
        d.addContact(QStringLiteral("O'Brien"), QStringLiteral("34622222222"));
        d.addContact(QStringLiteral("Ángela"), QStringLiteral("34633333333"));
        d.addContact(QStringLiteral("Mariana"), QStringLiteral("34644444444"));
        d.addContact(QStringLiteral(""), QStringLiteral("34655555555"));

        const ResultadoFiltro quote = condicionFiltro(0, 0, QStringLiteral("O'B"));
        QVERIFY(!quote.condicion.sql.contains(QStringLiteral("O'B")));
        QCOMPARE(d.nombres(quote.condicion.sql, quote.condicion.valores), QStringList{QStringLiteral("O'Brien")});

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

    // Names compare without case for every letter, not only A-Z: "ángel" is "Ángel", "ñoño" is
    // "Ñoño", while an accent still makes another word and "ñ" stays apart from "n". The three
    // filters (contacts tab, picker, group administration) and the group-name look-ups agree.
    void everyLetterFoldsCase()
    {
        Database d;
        d.conexion.execute(QStringLiteral("BEGIN"));
        for (int i = 1; i <= 100; ++i) {
            d.addContact(QStringLiteral("Ángel %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3461%1").arg(i));
            d.addContact(QStringLiteral("Ñoño %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3462%1").arg(i));
        }
        d.conexion.execute(QStringLiteral("COMMIT"));
        d.addContact(QStringLiteral("Angel sin tilde"), QStringLiteral("34630"));
        d.addContact(QStringLiteral("Nono"), QStringLiteral("34631"));
        const qint64 accentedGroup = d.grupo(QStringLiteral("PEÑA"));

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
        const picker::CondicionSelector p =
            picker::condicionSelector(d.conexion, {0, 0, QStringLiteral("ángel"), false, {}});
        QVERIFY(p.condicion);
        QCOMPARE(d.nombres(p.condicion->sql, p.condicion->valores).size(), 100);
        const picker::CondicionSelector pickerNot =
            picker::condicionSelector(d.conexion, {4, 0, QStringLiteral("ñoño"), false, {}});
        QVERIFY(pickerNot.condicion);
        QCOMPARE(d.nombres(pickerNot.condicion->sql, pickerNot.condicion->valores).size(), 102);
        groups::FiltroAdmin adminFilter;
        adminFilter.palabras = QStringLiteral("ÑOÑO");
        const groups::CondicionAdmin a = groups::condicionAgenda(d.conexion, accentedGroup, adminFilter);
        QVERIFY(a.where);
        QCOMPARE(d.nombres(a.where->sql, a.where->valores).size(), 100);

        // A group chosen by a name typed in another case is still that group.
        QCOMPARE(sidDeGrupo(d.conexion, QStringLiteral("peña")), std::optional<qint64>(accentedGroup));
        groups::FiltroAdmin byName;
        byName.porGrupo = true;
        byName.grupo = QStringLiteral("peña");
        QVERIFY(groups::condicionAgenda(d.conexion, accentedGroup, byName).where);
        QVERIFY(existeGrupo(d.conexion, QStringLiteral("peña")));
        QVERIFY(!existeGrupo(d.conexion, QStringLiteral("pena")));
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
        const picker::CondicionSelector p = picker::condicionSelector(d.conexion, {9, 0, QStringLiteral("B"), false, {}});
        QVERIFY(p.condicion);
        QCOMPARE(d.nombres(p.condicion->sql, p.condicion->valores), QStringList{QStringLiteral("álvaro")});
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
            const qint64 g = d.grupo(QStringLiteral("G%1").arg(i));
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

        QCOMPARE(d.nombres(condicionMiembro(), {QStringLiteral("1")}), QStringList{QStringLiteral("Blanco")});
        QCOMPARE(d.nombres(condicionMiembro(), {QStringLiteral("7")}), QStringList{QStringLiteral("Cero")});
        QCOMPARE(d.nombres(QStringLiteral("NOT (") + condicionMiembro() + QStringLiteral(")"), {QStringLiteral("7")}).size(), 4);
        QVERIFY(esMiembro(QStringLiteral("3, 1"), 1));
        QVERIFY(esMiembro(QStringLiteral("07"), 7));
        QVERIFY(!esMiembro(QStringLiteral("11,21"), 1));
        QVERIFY(!esMiembro(QStringLiteral("1a,x"), 1));
        QCOMPARE(quitarGrupo(QStringLiteral("3, 1"), 1), QStringLiteral("3"));
        QCOMPARE(quitarGrupo(QStringLiteral("07,8"), 7), QStringLiteral("8"));
        QCOMPARE(anadirGrupo(QStringLiteral("07"), 7), QStringLiteral("07"));

        QHash<QString, qint64> counts;
        for (const Grupo &g : listarGrupos(d.conexion).grupos)
            counts.insert(g.nombre, g.miembros);
        QCOMPARE(counts.value(QStringLiteral("G1")), 1);
        QCOMPARE(counts.value(QStringLiteral("G7")), 1);

        // Deleting group 1 and then group 7 takes them out of every list that holds them.
        const Preguntar yes = answers({QStringLiteral("SI"), QStringLiteral("SI")});
        QCOMPARE(f_borrar_grupo(d.conexion, g1, yes).desvinculados, 1);
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), blank).toString(), QStringLiteral("3"));
        QCOMPARE(f_borrar_grupo(d.conexion, g7, yes).desvinculados, 1);
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), zero).toString(), QString());
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
        const picker::CondicionSelector p =
            picker::condicionSelector(d.conexion, {0, 6, QStringLiteral("1977_05"), false, {}});
        QVERIFY(p.condicion);
        QCOMPARE(d.nombres(p.condicion->sql, p.condicion->valores), QStringList{QStringLiteral("Raro")});
        QCOMPARE(fechaMostrada(QStringLiteral("1984-10-23")), QStringLiteral("23/10/1984"));
        QCOMPARE(fechaMostrada(QStringLiteral("1984-10-23 y algo")), QStringLiteral("1984-10-23 y algo"));
        QCOMPARE(fechaMostrada(QStringLiteral("12/05/1977")), QStringLiteral("12/05/1977"));
        const ResultadoFiltro bad = condicionFiltro(6, 8, QStringLiteral("ayer"));
        QCOMPARE(bad.estado, ResultadoFiltro::Status::FechaInvalida);
        QVERIFY(!bad.mensaje.isEmpty());
    }

    void groupRestriction()
    {
        Database d;
        const qint64 g1 = d.grupo(QStringLiteral("Clientes"));
        d.addContact(QStringLiteral("Ana"), QStringLiteral("1"), QString::number(g1));
        d.addContact(QStringLiteral("Anabel"), QStringLiteral("2"), QStringLiteral("%1,99").arg(g1 * 11));
        d.addContact(QStringLiteral("Bea"), QStringLiteral("3"), QStringLiteral("5,%1").arg(g1));
        QCOMPARE(filterNames(d, 0, 0, QStringLiteral("a"), g1), (QStringList{QStringLiteral("Ana"), QStringLiteral("Bea")}));
        QCOMPARE(filterNames(d, 0, 2, QStringLiteral("An"), g1), QStringList{QStringLiteral("Ana")});

        FiltroContactos f;
        f.palabras = QStringLiteral("a");
        f.miembros = true;
        f.grupo = QStringLiteral("clientes");   // names compare without case
        ResultadoFiltro r = f_filtrar_agenda(d.conexion, f);
        QCOMPARE(d.nombres(r.condicion.sql, r.condicion.valores), (QStringList{QStringLiteral("Ana"), QStringLiteral("Bea")}));
        f.grupo = QStringLiteral("Borrado");    // gone: the rest of the filter applies
        r = f_filtrar_agenda(d.conexion, f);
        QCOMPARE(d.nombres(r.condicion.sql, r.condicion.valores).size(), 3);
    }

    void pagerAndKeys()
    {
        Paginador p = actualizarPaginador(0, 50, 3);
        QCOMPARE(p.etiqueta, QStringLiteral("Página 0 de 0"));
        QCOMPARE(p.posicion, 0);
        QCOMPARE(p.maximo, 0);
        QCOMPARE(actualizarPaginador(50, 50, 0).etiqueta, QStringLiteral("Página 1 de 1"));
        QCOMPARE(actualizarPaginador(51, 50, 0).etiqueta, QStringLiteral("Página 1 de 2"));
        p = actualizarPaginador(120, 50, 2);
        QCOMPARE(p.etiqueta, QStringLiteral("Página 3 de 3"));
        QCOMPARE(p.desde, 100);
        p = actualizarPaginador(60, 50, 3);   // shrank under the page showing
        QCOMPARE(p.etiqueta, QStringLiteral("Página 2 de 2"));
        QCOMPARE(p.desde, 50);

        QCOMPARE(claveNodo(QStringLiteral("pContacto"), 1532), QStringLiteral("pContacto 1532"));
        QCOMPARE(sidDeClave(QStringLiteral("pContacto 25")), std::optional<qint64>(25));
        QCOMPARE(sidDeClave(QStringLiteral("pFechaNacimiento 25")), std::optional<qint64>(25));
        QCOMPARE(sidDeClave(QStringLiteral("l0")), std::nullopt);
        QCOMPARE(sidDeClave(QString()), std::nullopt);
        QCOMPARE(sidDeClave(QStringLiteral("pContacto x")), std::nullopt);
    }

    void contactNodes()
    {
        Contacto c;
        c.sid = 12;
        c.nombre = QStringLiteral("Ana");
        std::vector<NodoContacto> n = nodosContacto(c);
        QCOMPARE(n.size(), size_t(3));   // root, phone category, empty phone value
        QCOMPARE(n[1].texto, QStringLiteral("Teléfono móvil"));
        QCOMPARE(n[2].clave, QStringLiteral("Telefono 12"));
        QCOMPARE(n[2].texto, QString());
        c.comentario = QStringLiteral("vip");
        c.f_nacimiento = QStringLiteral("1984-10-23");
        n = nodosContacto(c);
        QCOMPARE(n.size(), size_t(7));
        QCOMPARE(n[3].clave, QStringLiteral("pComentarios 12"));
        QCOMPARE(n[6].texto, QStringLiteral("23/10/1984"));
        const std::vector<NodoContacto> vacia = nodosPagina({});
        QCOMPARE(vacia.size(), size_t(1));
        QCOMPARE(vacia[0].clave, QStringLiteral("l0"));
        QCOMPARE(vacia[0].texto, QStringLiteral("Sin contactos"));
    }

    void phones()
    {
        QCOMPARE(normalizarTelefono(QStringLiteral("+34 (600) 11-22.33")), QStringLiteral("34600112233"));
        QCOMPARE(normalizarTelefono(QStringLiteral("612 345 678")), QStringLiteral("34612345678"));
        QCOMPARE(normalizarTelefono(QStringLiteral("0044123456")), QStringLiteral("44123456"));
        QCOMPARE(normalizarTelefono(QStringLiteral("a612")), QStringLiteral("a612"));

        using E = ComprobacionMovil::Status;
        QCOMPARE(comprobarMovil(QString()).estado, E::Vacio);
        ComprobacionMovil m = comprobarMovil(QStringLiteral(" 612345678 "));
        QCOMPARE(m.estado, E::PrefijoAnadido);
        QCOMPARE(m.texto, QStringLiteral("34612345678"));
        m = comprobarMovil(QStringLiteral("712345678"));
        QCOMPARE(m.estado, E::Valido);
        QCOMPARE(m.texto, QStringLiteral("712345678"));
        QCOMPARE(comprobarMovil(QStringLiteral("12345")).estado, E::Invalido);
        QCOMPARE(comprobarMovil(QStringLiteral("6123a5678")).estado, E::Invalido);
        QCOMPARE(comprobarMovil(QStringLiteral("1234567890123456")).estado, E::Valido);
    }

    void groupLists()
    {
        QCOMPARE(quitarGrupo(QStringLiteral("7"), 7), QStringLiteral(""));
        QCOMPARE(quitarGrupo(QStringLiteral("7,12"), 7), QStringLiteral("12"));
        QCOMPARE(quitarGrupo(QStringLiteral("3,7"), 7), QStringLiteral("3"));
        QCOMPARE(quitarGrupo(QStringLiteral("3,7,12"), 7), QStringLiteral("3,12"));
        QCOMPARE(quitarGrupo(QStringLiteral("17,70"), 7), QStringLiteral("17,70"));
        QCOMPARE(quitarGrupo(QString(), 7), QStringLiteral(""));
        QVERIFY(!quitarGrupo(QString(), 7).isNull());
        QVERIFY(esMiembro(QStringLiteral("3,7,12"), 7));
        QVERIFY(!esMiembro(QStringLiteral("1,11"), 111));
        QVERIFY(!esMiembro(QStringLiteral("17,70"), 7));
        QCOMPARE(anadirGrupo(QString(), 7), QStringLiteral("7"));
        QCOMPARE(anadirGrupo(QStringLiteral("3"), 7), QStringLiteral("3,7"));
        QCOMPARE(anadirGrupo(QStringLiteral("3,7"), 7), QStringLiteral("3,7"));
    }

    void birthDates()
    {
        for (const char *good : {"23/10/84", "23/10/1984", "31/02/1990", "99/99/99"})
            QVERIFY2(formatoFechaValido(QString::fromLatin1(good)), good);
        for (const char *bad : {"1/1/1984", "23-10-1984", "23/10/198", "23/10/19845", "aa/bb/cc"})
            QVERIFY2(!formatoFechaValido(QString::fromLatin1(bad)), bad);
        QCOMPARE(fechaDeTexto(QStringLiteral("23/10/84")), std::optional<QDate>(QDate(1984, 10, 23)));
        QCOMPARE(fechaDeTexto(QStringLiteral("05/03/01")), std::optional<QDate>(QDate(2001, 3, 5)));
        QCOMPARE(fechaDeTexto(QStringLiteral("31/02/1990")), std::nullopt);
        QCOMPARE(fechaMostrada(QStringLiteral("1984-10-23")), QStringLiteral("23/10/1984"));
    }

    // The editor's save: checks first, then one row with exactly what was typed.
    void editorSaveChecksAndWrites()
    {
        Database d;
        using E = ResultadoGuardar::Status;
        DatosContacto fields;
        fields.nombre = QStringLiteral("Ana");
        QCOMPARE(guardarContacto(d.conexion, fields, {}).estado, E::FaltanDatos);
        QCOMPARE(guardarContacto(d.conexion, fields, {}).titulo, QStringLiteral("Faltan datos requeridos"));

        fields.nombre = QStringLiteral("   ");   // blanks count as content
        fields.telefono = QStringLiteral("34600000001");
        QCOMPARE(guardarContacto(d.conexion, fields, {}).estado, E::Guardado);

        fields.nombre = QStringLiteral("José O'Neill \"Pepe\"");
        fields.direccion = QStringLiteral("C/ Peñón, 3; 'bajo'");
        fields.f_nacimiento = QStringLiteral("23-10-1984");
        ResultadoGuardar r = guardarContacto(d.conexion, fields, {});
        QCOMPARE(r.estado, E::FechaErronea);
        QCOMPARE(r.titulo, QStringLiteral("Formato de fecha erróneo"));
        fields.f_nacimiento = QStringLiteral("23/10/84");
        r = guardarContacto(d.conexion, fields, {});
        QCOMPARE(r.estado, E::Guardado);
        QCOMPARE(r.mensaje, QStringLiteral("El contacto fue guardado satisfactoriamente."));
        QCOMPARE(d.valor(QStringLiteral("nombre"), r.sid).toString(), fields.nombre);
        QCOMPARE(d.valor(QStringLiteral("direccion"), r.sid).toString(), fields.direccion);
        QCOMPARE(d.valor(QStringLiteral("f_nacimiento"), r.sid).toString(), QStringLiteral("1984-10-23"));
        QCOMPARE(d.valor(QStringLiteral("comentario"), r.sid).toString(), QStringLiteral(""));
        QVERIFY(!d.valor(QStringLiteral("comentario"), r.sid).isNull());
        QVERIFY(d.valor(QStringLiteral("grupos_sid"), r.sid).isNull());

        // A change with the date box emptied keeps the stored date and the groups.
        d.conexion.execute(QStringLiteral("UPDATE Agenda SET grupos_sid='3,7' WHERE sid=?"), {r.sid});
        fields.nombre = QStringLiteral("Josefa");
        fields.f_nacimiento.clear();
        ResultadoGuardar m = guardarContacto(d.conexion, fields, r.sid);
        QCOMPARE(m.estado, E::Modificado);
        QCOMPARE(m.mensaje, QStringLiteral("El contacto fue modificado satisfactoriamente."));
        QCOMPARE(d.valor(QStringLiteral("nombre"), r.sid).toString(), QStringLiteral("Josefa"));
        QCOMPARE(d.valor(QStringLiteral("f_nacimiento"), r.sid).toString(), QStringLiteral("1984-10-23"));
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), r.sid).toString(), QStringLiteral("3,7"));

        // An existing number is saved again as a new row.
        QCOMPARE(guardarContacto(d.conexion, fields, {}).estado, E::Guardado);
        QCOMPARE(d.cuenta(QStringLiteral("Agenda"), QStringLiteral("telefono=?"), {fields.telefono}), 3);

        // A day that does not exist is refused instead of being stored as junk.
        fields.f_nacimiento = QStringLiteral("31/02/1990");
        QCOMPARE(guardarContacto(d.conexion, fields, {}).estado, E::FechaInexistente);

        // The contact being changed was deleted meanwhile: said so, nothing written.
        d.conexion.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {r.sid});
        fields.f_nacimiento.clear();
        QCOMPARE(guardarContacto(d.conexion, fields, r.sid).estado, E::ContactoInexistente);
    }

    void groupCreation()
    {
        Database d;
        d.grupo(QStringLiteral("Clientes"));
        QStringList taken;
        ResultadoCrearGrupo r = crearGrupo(
            d.conexion, answers({QStringLiteral("clientes"), QStringLiteral("Peña 'La Bota'")}),
            [&](const QString &n) { taken << avisoGrupoRepetido(n); });
        QCOMPARE(r.estado, ResultadoCrearGrupo::Status::Creado);
        QCOMPARE(r.nombre, QStringLiteral("Peña 'La Bota'"));
        QCOMPARE(taken, QStringList{QStringLiteral("Ya existe un grupo con el nombre 'clientes'. Por favor, "
                                                       "introduzca otro nombre para el grupo, o dejelo vacío para "
                                                       "cancelar.")});
        QCOMPARE(d.conexion.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid=?"), {r.sid}).toString(), r.nombre);

        // Case is ignored for accented letters too, as the users have always had it.
        taken.clear();
        r = crearGrupo(d.conexion, answers({QStringLiteral("PEÑA 'LA BOTA'"), QString()}),
                       [&](const QString &n) { taken << n; });
        QCOMPARE(r.estado, ResultadoCrearGrupo::Status::Cancelado);
        QCOMPARE(taken, QStringList{QStringLiteral("PEÑA 'LA BOTA'")});

        QCOMPARE(crearGrupo(d.conexion, answers({QString()}), {}).estado, ResultadoCrearGrupo::Status::Cancelado);
        QCOMPARE(crearGrupo(d.conexion, answers({std::nullopt}), {}).estado, ResultadoCrearGrupo::Status::Cancelado);
        QCOMPARE(d.cuenta(QStringLiteral("Grupos")), 2);
    }

    void groupDeletion()
    {
        Database d;
        const qint64 g = d.grupo(QStringLiteral("Amigos"));
        const qint64 another = d.grupo(QStringLiteral("Otros"));
        const QString gs = QString::number(g);
        const qint64 a = d.addContact(QStringLiteral("A"), QStringLiteral("1"), gs);
        const qint64 b = d.addContact(QStringLiteral("B"), QStringLiteral("2"), gs + QStringLiteral(",12"));
        const qint64 c = d.addContact(QStringLiteral("C"), QStringLiteral("3"), QStringLiteral("3,") + gs);
        const qint64 e = d.addContact(QStringLiteral("E"), QStringLiteral("4"), QStringLiteral("3,") + gs + QStringLiteral(",12"));
        const qint64 f = d.addContact(QStringLiteral("F"), QStringLiteral("5"), gs + QStringLiteral("0,") + gs + QStringLiteral("1"));

        QStringList prompts;
        ResultadoBorrarGrupo r = f_borrar_grupo(d.conexion, g, answers({std::nullopt}, &prompts));
        QCOMPARE(r.estado, ResultadoBorrarGrupo::Status::Abortado);
        QCOMPARE(prompts, QStringList{preguntaBorrarGrupo(QStringLiteral("Amigos")) + QStringLiteral(" [SI]")});
        QCOMPARE(d.cuenta(QStringLiteral("Grupos")), 2);
        QCOMPARE(f_borrar_grupo(d.conexion, g, answers({QStringLiteral("no")})).estado,
                 ResultadoBorrarGrupo::Status::Abortado);

        r = f_borrar_grupo(d.conexion, g, answers({QStringLiteral("  Si ")}));
        QCOMPARE(r.estado, ResultadoBorrarGrupo::Status::Borrado);
        QCOMPARE(r.desvinculados, 4);
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral(""));
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), b).toString(), QStringLiteral("12"));
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), c).toString(), QStringLiteral("3"));
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), e).toString(), QStringLiteral("3,12"));
        QCOMPARE(d.valor(QStringLiteral("grupos_sid"), f).toString(), gs + QStringLiteral("0,") + gs + QStringLiteral("1"));
        QCOMPARE(d.cuenta(QStringLiteral("Grupos")), 1);

        // A group without members goes without a question; one that is gone is reported.
        QStringList none;
        QCOMPARE(f_borrar_grupo(d.conexion, another, answers({}, &none)).estado, ResultadoBorrarGrupo::Status::Borrado);
        QVERIFY(none.isEmpty());
        QCOMPARE(f_borrar_grupo(d.conexion, another, answers({})).estado, ResultadoBorrarGrupo::Status::NoExiste);
    }

    void groupListing()
    {
        Database d;
        const qint64 g = d.grupo(QStringLiteral("Zeta"));
        d.grupo(QStringLiteral("alfa"));
        d.addContact(QStringLiteral("A"), QStringLiteral("1"), QString::number(g));
        d.addContact(QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("5,") + QString::number(g));
        const ListaGrupos l = listarGrupos(d.conexion);
        QVERIFY(l.ok);
        QCOMPARE(l.grupos.size(), size_t(2));
        QCOMPARE(textoGrupo(l.grupos[0]), QStringLiteral("alfa"));
        QCOMPARE(textoGrupo(l.grupos[1]), QStringLiteral("Zeta (2 contactos)"));

        ListaFiltroGrupos f = listaFiltroGrupos(l.grupos, QString());
        QCOMPARE(f.seleccion, 0);
        QVERIFY(f.activo);
        f = listaFiltroGrupos(l.grupos, QStringLiteral("Zeta"));
        QCOMPARE(f.seleccion, 1);
        f = listaFiltroGrupos(l.grupos, QStringLiteral("Borrado"));
        QCOMPARE(f.seleccion, -1);
        f = listaFiltroGrupos({}, QString());
        QCOMPARE(f.nombres, QStringList{QStringLiteral("Ninguno")});
        QVERIFY(!f.activo);
    }

    // The picker's additions skip the send panel's own cleaning, so no number may go in twice.
    void recipientAdditions()
    {
        picker::Adicion a = picker::agregarNumeros({QStringLiteral("A"), QStringLiteral("A")}, {QStringLiteral("A"), QStringLiteral("B")});
        QCOMPARE(a.caja.texto, QStringLiteral("A,B"));
        QCOMPARE(a.caja.tag, QStringLiteral("A,B,coste"));
        a = picker::agregarNumeros({QStringLiteral("A,B"), QStringLiteral("A,B,coste")}, {QStringLiteral("C"), QStringLiteral("C"), QString()});
        QCOMPARE(a.caja.texto, QStringLiteral("A,B,C"));
        QCOMPARE(a.caja.tag, QStringLiteral("A,B,C,coste"));
        a = picker::agregarNumeros({QString(), QString()}, {QStringLiteral("A")});
        QCOMPARE(a.caja.texto, QStringLiteral("A"));
        QCOMPARE(a.caja.tag, QStringLiteral("A,coste"));
        a = picker::agregarNumeros({QStringLiteral("A"), QStringLiteral("A")}, {QStringLiteral("A")});
        QVERIFY(!a.cambiada());
        QCOMPARE(a.caja.tag, QStringLiteral("A"));
    }

    void wholeBookDeletion()
    {
        Database d;
        d.grupo(QStringLiteral("G"));
        d.muchos(30, QStringLiteral("1"));
        d.conexion.execute(QStringLiteral("INSERT INTO Historial (destinatario,estado) VALUES ('34600000001','0|0|0')"));
        QVERIFY(borrarAgendaCompleta(d.conexion).ok());
        QCOMPARE(d.cuenta(QStringLiteral("Agenda")), 0);
        QCOMPARE(d.cuenta(QStringLiteral("Grupos")), 0);
        QCOMPARE(d.cuenta(QStringLiteral("Historial"), QStringLiteral("destinatario='34600000001'")), 1);
        QVERIFY(borrarAgendaCompleta(d.conexion).ok());   // an empty book "deletes" fine
    }

    // The list query runs once per reload; its rows come in name order with sid breaking ties.
    void contactSnapshot()
    {
        Database d;
        d.addContact(QStringLiteral("beta"), QStringLiteral("2"));
        d.addContact(QStringLiteral("Alfa"), QStringLiteral("1"));
        d.addContact(QStringLiteral("alfa"), QStringLiteral("3"));
        RegistrosAgenda r;
        QCOMPARE(r.recargar(d.conexion, std::nullopt), RegistrosAgenda::Status::Ok);
        QCOMPARE(r.total(), 3);
        QCOMPARE(r.filas()[0].telefono, QStringLiteral("1"));
        QCOMPARE(r.filas()[1].telefono, QStringLiteral("3"));
        QCOMPARE(r.filas()[2].nombre, QStringLiteral("beta"));
        QCOMPARE(r.tramo(2, 50).size(), size_t(1));
        QVERIFY(r.tramo(3, 50).empty());
        const ResultadoFiltro f = condicionFiltro(0, 1, QStringLiteral("ALFA"));
        QCOMPARE(r.recargar(d.conexion, f.condicion), RegistrosAgenda::Status::Ok);
        QCOMPARE(r.total(), 2);
        QVERIFY(leerContacto(d.conexion, 1).has_value());
        QVERIFY(!leerContacto(d.conexion, 99).has_value());
    }
};

QTEST_GUILESS_MAIN(TestContactRules)
#include "test_contact_rules.moc"
