// The contacts tab's list written to a workbook (layout, the typed confirmation of long lists,
// exactly the rows the view holds), names in Spanish order, and the editor opened for an
// unknown recipient starting from a clean contact.
#include "contacts/editor/form5.h"
#include "contacts/export/contact_list_export.h"
#include "contacts/group_book.h"
#include "contacts/view/contact_book_feature.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/groups_panel.h"
#include "contacts_harness.h"
#include "platform/db/spanish_order.h"
#include "platform/xlsx/read_book.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace contacts;
using contactstest::Fila;
using contactstest::Harness;
using Kind = testing::ScriptedPrompter::Kind;
using Estado = exporting::Resultado::Estado;

class TestContactListExport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sheetLayout()
    {
        Contacto conFecha;
        conFecha.nombre = QStringLiteral("Ana O'Neill");
        conFecha.telefono = QStringLiteral("34600000001");
        conFecha.comentario = QStringLiteral("=1+1");
        conFecha.f_nacimiento = QStringLiteral("1984-10-23");
        Contacto sinFecha;
        sinFecha.nombre = QStringLiteral("Berta");
        sinFecha.telefono = QStringLiteral("+34600000002");
        const xlsx::Sheet hoja = exporting::hojaListado({conFecha, sinFecha});

        QVERIFY(!hoja.cell(1, 1));
        QCOMPARE(hoja.text(2, 1), QString());
        for (int c = 2; c <= 8; ++c) {
            QCOMPARE(hoja.text(2, c), exporting::cabeceras().at(c - 2));
            QVERIFY(hoja.cell(2, c)->style.bold);
        }
        QCOMPARE(hoja.text(2, 3), QStringLiteral("Telefono"));
        QCOMPARE(hoja.text(3, 2), QStringLiteral("Ana O'Neill"));
        QVERIFY(hoja.value(3, 3) == xlsx::Value(34600000001.0));       // a typed number stays a number
        QVERIFY(hoja.value(3, 7) == xlsx::Value(QStringLiteral("=1+1")));  // never a formula
        QVERIFY(hoja.value(3, 8) == xlsx::Value(xlsx::excelSerial(QDate(1984, 10, 23))));
        QCOMPARE(hoja.cell(3, 8)->style.numberFormat, QStringLiteral("dd/mm/yyyy"));
        QCOMPARE(hoja.text(4, 3), QStringLiteral("+34600000002"));
        QVERIFY(!hoja.cell(4, 8));
        QCOMPARE(hoja.lastRow(), 4);
        QVERIFY(hoja.columnWidth(2).has_value());
    }

    // A birth date before 1900 (the editor and the Access import take such dates) has no Excel
    // day count: it goes in as its dd/mm/yyyy text instead of leaving the cell empty.
    void birthDatesBefore1900KeepTheirText()
    {
        Contacto viejo;
        viejo.nombre = QStringLiteral("Bisabuela");
        viejo.telefono = QStringLiteral("34600000001");
        viejo.f_nacimiento = QStringLiteral("1899-12-30");
        Contacto otro;
        otro.nombre = QStringLiteral("Tatarabuelo");
        otro.telefono = QStringLiteral("34600000002");
        otro.f_nacimiento = QStringLiteral("1850-07-04");
        const xlsx::Sheet hoja = exporting::hojaListado({viejo, otro});
        QVERIFY(hoja.value(3, 8) == xlsx::Value(QStringLiteral("30/12/1899")));
        QVERIFY(hoja.value(4, 8) == xlsx::Value(QStringLiteral("04/07/1850")));
    }

    // A filtered view of 3 contacts out of 500 gives exactly those 3, in name order, rows 3 to 5.
    void exportsTheFilteredViewToAWorkbook()
    {
        Harness h;
        h.d.muchos(497);
        h.d.contacto(Fila{QStringLiteral("Zoe"), QStringLiteral("34699000003"), {}, {}, QStringLiteral("2001-02-03")});
        h.d.contacto(QStringLiteral("Ángel"), QStringLiteral("34699000001"));
        h.d.contacto(QStringLiteral("Ñoño"), QStringLiteral("34699000002"));
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        f.filtrarPorTelefonos(QStringLiteral("34699000001,34699000002,34699000003"));
        QCOMPARE(f.registros_agenda().total(), 3);

        const QString ruta = h.d.home.file(QStringLiteral("listado"));
        h.prompter.answerSaveFile(ruta);
        h.ok();
        f.contactsPanel()->Image6()->click();

        QCOMPARE(h.prompter.callsOf(Kind::Input).size(), 0);
        const auto mensajes = h.prompter.callsOf(Kind::Message);
        QCOMPARE(mensajes.size(), 1);
        QCOMPARE(mensajes.at(0).text, QStringLiteral("Exportación completa"));
        QCOMPARE(mensajes.at(0).title, QStringLiteral("Exportar listado de contactos a Excel"));
        QCOMPARE(mensajes.at(0).icon, ui::Icon::Information);
        QCOMPARE(h.shell.urls(), QStringList{QUrl::fromLocalFile(ruta + QStringLiteral(".xlsx")).toString()});

        const xlsx::ReadBook libro = xlsx::readWorkbook(ruta + QStringLiteral(".xlsx"));
        QVERIFY2(libro.ok(), qPrintable(libro.message));
        const xlsx::ReadSheet &hoja = libro.sheets.at(0);
        QCOMPARE(hoja.firstRow, 2);
        QCOMPARE(hoja.firstColumn, 2);
        QCOMPARE(hoja.lastRow, 5);
        QCOMPARE(hoja.text(3, 2), QStringLiteral("Ángel"));
        QCOMPARE(hoja.text(4, 2), QStringLiteral("Ñoño"));
        QCOMPARE(hoja.text(5, 2), QStringLiteral("Zoe"));
        QCOMPARE(hoja.text(5, 8), QStringLiteral("03/02/2001"));
        QCOMPARE(hoja.text(3, 8), QString());
        QVERIFY(hoja.cell(2, 2)->style.bold);
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void longListsAskForSi()
    {
        Harness h;
        h.d.muchos(5000);
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        // Exactly 5000: no question; the file picker comes straight away (cancelled here).
        h.prompter.answerSaveFile(std::nullopt);
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::Cancelado);
        QCOMPARE(h.prompter.callsOf(Kind::Input).size(), 0);
        QCOMPARE(h.prompter.callsOf(Kind::SaveFile).size(), 1);
        h.prompter.clear();

        h.d.contacto(QStringLiteral("Uno más"), QStringLiteral("34611111111"));
        f.f_agenda(true);
        h.prompter.answerInput(std::nullopt);
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::NoConfirmado);
        QCOMPARE(h.prompter.count(), 1);
        const auto primera = h.prompter.lastCall();
        QCOMPARE(primera.text, QStringLiteral("Se van a exportar a Excel 5001 contactos, y llevará un tiempo procesar "
                                              "los datos. Está seguro que desea continuar?"));
        QCOMPARE(primera.title, QStringLiteral("Confirmar exportación"));
        QCOMPARE(primera.defaultText, QStringLiteral("Escriba SI o cancele la operación"));
        h.prompter.clear();

        // "sí" and "OK" bring the box back holding them; "si" in any case goes on.
        h.prompter.answerInput(QStringLiteral("sí"));
        h.prompter.answerInput(QStringLiteral("OK"));
        h.prompter.answerInput(QStringLiteral(" SI"));
        h.prompter.answerInput(QStringLiteral("si"));
        h.prompter.answerSaveFile(std::nullopt);
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::Cancelado);
        const auto preguntas = h.prompter.callsOf(Kind::Input);
        QCOMPARE(preguntas.size(), 4);
        QCOMPARE(preguntas.at(1).defaultText, QStringLiteral("sí"));
        QCOMPARE(preguntas.at(2).defaultText, QStringLiteral("OK"));
        QCOMPARE(preguntas.at(3).defaultText, QStringLiteral(" SI"));
        QCOMPARE(h.prompter.callsOf(Kind::SaveFile).size(), 1);
        h.prompter.clear();

        // An emptied answer ends it as Cancel does.
        h.prompter.answerInput(QString());
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::NoConfirmado);
        QCOMPARE(h.prompter.count(), 1);
    }

    void emptyListDoesNothing()
    {
        Harness h;
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        f.contactsPanel()->Image6()->click();
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::SinContactos);
        QCOMPARE(h.prompter.count(), 0);
        QVERIFY(h.shell.urls().isEmpty());
    }

    void aFailedSaveIsReported()
    {
        Harness h;
        h.d.contacto(QStringLiteral("Ana"), QStringLiteral("34600000001"));
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        h.prompter.answerSaveFile(h.d.home.file(QStringLiteral("no/existe/listado.xlsx")));
        h.ok();
        QCOMPARE(f.contactsTab().Image6_Click().estado, Estado::ErrorGuardar);
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Exportar listado de contactos a Excel"));
        QVERIFY(h.prompter.lastCall().text != QStringLiteral("Exportación completa"));
        QVERIFY(h.shell.urls().isEmpty());
    }

    // Pages are read from the database one at a time: every contact of a long book shows once,
    // in Spanish order with the sid settling equal names, also under a filter with bound values;
    // and the export writes every page, not only the one shown.
    void pagesAndExportCoverTheWholeList()
    {
        Harness h;
        const char *nombres[] = {"ángel", "Ángel", "Ana", "Ñu", "Nube", "zeta"};
        for (int i = 0; i < 130; ++i)
            h.d.contacto(QString::fromUtf8(nombres[i % 6]), QStringLiteral("3460000%1").arg(1000 + i));
        RegistrosAgenda registros;
        QCOMPARE(registros.recargar(h.d.conexion, std::nullopt), RegistrosAgenda::Estado::Ok);
        QCOMPARE(registros.total(), 130);
        std::vector<Contacto> paginas;
        for (qint64 desde = 0; desde < registros.total(); desde += kContactosPorPagina) {
            const std::vector<Contacto> pagina = registros.tramo(desde, kContactosPorPagina);
            QCOMPARE(qint64(pagina.size()), std::min<qint64>(kContactosPorPagina, 130 - desde));
            paginas.insert(paginas.end(), pagina.begin(), pagina.end());
        }
        const std::vector<Contacto> todas = registros.filas();
        QCOMPARE(paginas.size(), todas.size());
        for (size_t i = 0; i < todas.size(); ++i)
            QCOMPARE(paginas[i].sid, todas[i].sid);
        // Each contact after the one before it in the database's own Spanish order, equal names by sid.
        for (size_t i = 1; i < todas.size(); ++i) {
            const QByteArray antes = todas[i - 1].nombre.toUtf8();
            const QByteArray despues = todas[i].nombre.toUtf8();
            const int orden = db::compareSpanishUtf8(antes.constData(), antes.size(), despues.constData(), despues.size());
            QVERIFY(orden < 0 || (orden == 0 && todas[i - 1].sid < todas[i].sid));
        }
        QCOMPARE(todas.front().nombre, QStringLiteral("Ana"));
        QCOMPARE(todas.back().nombre, QStringLiteral("zeta"));

        Condicion filtro{QStringLiteral("telefono > ?"), {QStringLiteral("34600001100")}};
        QCOMPARE(registros.recargar(h.d.conexion, filtro), RegistrosAgenda::Estado::Ok);
        QCOMPARE(registros.total(), 29);
        QCOMPARE(registros.tramo(0, 50).size(), size_t(29));
        QVERIFY(registros.tramo(29, 50).empty());

        QCOMPARE(registros.recargar(h.d.conexion, std::nullopt), RegistrosAgenda::Estado::Ok);
        const QString ruta = h.d.home.file(QStringLiteral("todas.xlsx"));
        h.prompter.answerSaveFile(ruta);
        h.ok();
        const exporting::Resultado r = exporting::exportarListado({h.prompter, h.shell, h.busy}, registros, h.d.home.path());
        QCOMPARE(r.estado, Estado::Exportado);
        QCOMPARE(r.filas, 130);
        const xlsx::ReadSheet hoja = xlsx::readWorkbook(ruta).sheets.value(0);
        QCOMPARE(hoja.lastRow, exporting::kPrimeraFila + 129);
        QCOMPARE(hoja.text(exporting::kPrimeraFila, 2), QStringLiteral("Ana"));
        QCOMPARE(hoja.text(exporting::kPrimeraFila + 129, 2), QStringLiteral("zeta"));
        QVERIFY(hoja.cell(exporting::kFilaCabecera, 2)->style.bold);
        QVERIFY(hoja.widths.contains(2));
    }

    void namesInSpanishOrder()
    {
        Harness h;
        for (const char *nombre : {"Zoe", "Óscar", "ñandú", "Nuria", "ángel", "Ángel", "Berta", "alba"})
            h.d.contacto(QString::fromUtf8(nombre), QStringLiteral("34600000001"));
        RegistrosAgenda registros;
        QCOMPARE(registros.recargar(h.d.conexion, std::nullopt), RegistrosAgenda::Estado::Ok);
        QStringList orden;
        for (const Contacto &c : registros.filas())
            orden << c.nombre;
        QCOMPARE(orden, (QStringList{QStringLiteral("alba"), QStringLiteral("ángel"), QStringLiteral("Ángel"),
                                     QStringLiteral("Berta"), QStringLiteral("Nuria"), QStringLiteral("ñandú"),
                                     QStringLiteral("Óscar"), QStringLiteral("Zoe")}));

        for (const char *nombre : {"Zumba", "Ñu", "Nada", "Élite", "Ebro"})
            h.d.grupo(QString::fromUtf8(nombre));
        QStringList grupos;
        for (const Grupo &g : listarGrupos(h.d.conexion).grupos)
            grupos << g.nombre;
        QCOMPARE(grupos, (QStringList{QStringLiteral("Ebro"), QStringLiteral("Élite"), QStringLiteral("Nada"),
                                      QStringLiteral("Ñu"), QStringLiteral("Zumba")}));
    }

    // An unknown recipient offered while the editor holds another contact: the new contact takes
    // nothing of that one, and that one stays as it was.
    void offeredNumberStartsACleanContact()
    {
        Harness h;
        const qint64 sid = h.d.contacto(Fila{QStringLiteral("Ana"), QStringLiteral("34600000001"), {},
                                             QStringLiteral("Vecina"), QStringLiteral("1980-01-02")});
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        Form5 *e = f.abrirEditorModificar(sid);
        QVERIFY(e);
        QCOMPARE(e->Text6()->text(), QStringLiteral("Vecina"));
        e = f.guardarNumeroDesconocido(QStringLiteral("34699000111"), 0);
        QCOMPARE(e->Command1()->text(), QStringLiteral("Guardar contacto"));
        QCOMPARE(e->Text6()->text(), QString());
        QCOMPARE(e->Text7()->text(), QString());
        QVERIFY(!e->command1Tag());
        h.ok();
        e->Command1_Click();
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 2);
        QCOMPARE(h.d.valor(QStringLiteral("comentario"), sid).toString(), QStringLiteral("Vecina"));
        QCOMPARE(h.d.conexion.scalar(QStringLiteral("SELECT comentario FROM Agenda WHERE telefono='34699000111'"))
                     .toString(),
                 QString());
    }
};

QTEST_MAIN(TestContactListExport)
#include "test_contact_list_export.moc"
