// The contact book's windows driven as a user drives them: the "Contactos" and "Grupos" tabs, the
// contact editor, the deletion of the whole book, the group administration and the recipient
// picker filling a recipients box.
#include "contacts/editor/form5.h"
#include "contacts/groups/form6.h"
#include "contacts/groups/group_admin_launcher.h"
#include "contacts/picker/form7.h"
#include "contacts/picker/picker_launcher.h"
#include "contacts/picker/recipients_box.h"
#include "contacts/view/contact_book_feature.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/form17.h"
#include "contacts/view/groups_panel.h"
#include "contacts/view/groups_tab.h"
#include "contacts/group_book.h"
#include "contacts_harness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace contacts;
using namespace contactstest;

namespace {

const QString kContactGoneNotice = QStringLiteral("El contacto ya no está en la agenda. No se ha hecho nada.");
const QString kGroupGoneNotice = QStringLiteral("El grupo ya no está en la agenda. No se ha hecho nada.");

// The send panel's recipients box as the picker sees it.
class FakeBox final : public picker::RecipientsBox {
public:
    QString texto() const override { return m_text; }
    QString tag() const override { return m_tag; }
    void escribir(const QString &text, const QString &tag) override
    {
        m_text = text;
        m_tag = tag;
    }
    void setUltimo(const QString &caption) override { lastPick = caption; }
    void deshabilitarEnvio() override { ++disabledCount; }
    void dejarDestinatarios() override { ++leftCount; }

    QString m_text;
    QString m_tag;
    QString lastPick;
    int disabledCount = 0;
    int leftCount = 0;
};

// The listas a window refreshes after a change.
class CountingLists final : public startup::ListViews {
public:
    void f_grupos() override { ++groups; }
    int groups = 0;
};

} // namespace

class TestContactWindows final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void contactsViewPagesAndEmptyBook()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        f.f_agenda(true);
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 0 de 0"));
        QCOMPARE(raices(p->TreeView4()), QStringList{QStringLiteral("Sin contactos")});
        QVERIFY(f.agendaVacia());

        h.d.muchos(120);
        f.f_agenda(true);
        QVERIFY(!f.agendaVacia());
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(p->TreeView4()->topLevelItemCount(), 50);
        p->HScroll1()->setValue(2);
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 3 de 3"));
        QCOMPARE(p->TreeView4()->topLevelItemCount(), 20);
        QCOMPARE(p->TreeView4()->topLevelItem(0)->text(0), QStringLiteral("Contacto 101"));
        p->HScroll1()->setValue(0);
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(p->TreeView4()->topLevelItem(49)->text(0), QStringLiteral("Contacto 050"));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // Deleting the only contact of the last page lands on the new last page; any node of a
    // contact stands for it.
    void deleteContactFromAnyNode()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        h.d.muchos(100);
        const qint64 lastContact = h.d.addContact({QStringLiteral("Zoé O'Hara"), QStringLiteral("34699"), {},
                                           QStringLiteral("nota"), {}});
        f.f_agenda(true);
        p->HScroll1()->setValue(2);
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 3 de 3"));
        QVERIFY(abrirMenuEn(p->TreeView4(), QStringLiteral("pComentarios %1").arg(lastContact)));
        QSignalSpy groups(&f.contactsTab(), &ContactsTab::gruposCambiados);
        h.ok();
        f.contactsTab().mnurclick_agenda_eliminar_Click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("El contacto ha sido eliminado de la agenda")});
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 100);
        QCOMPARE(p->PagAgenda()->text(), QStringLiteral("Página 2 de 2"));
        QCOMPARE(groups.count(), 1);
        // The empty-list node is no row.
        Harness empty;
        ContactBookFeature g(empty.context);
        g.f_agenda(true);
        QVERIFY(abrirMenuEn(g.contactsPanel()->TreeView4(), QStringLiteral("l0")));
        g.contactsTab().mnurclick_agenda_eliminar_Click();
        g.contactsTab().mnurclick_agenda_modificar_Click();
        QCOMPARE(empty.prompter.count(), 0);
    }

    void filterPanelAndCheckBox()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        p->Combo2()->setCurrentIndex(0);
        p->Combo4()->setCurrentIndex(0);
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("1"));
        h.d.addContact(QStringLiteral("Bea"), QStringLiteral("2"));
        h.d.addContact(QStringLiteral("Juan"), QStringLiteral("3"));
        f.f_agenda(true);
        f.f_grupos();

        // Ticking "Filtrar" before any filter opens the panel and leaves the box unticked.
        const bool visible = p->Frame2()->isVisible();
        p->Check4()->click();
        QVERIFY(!p->Check4()->isChecked());
        QCOMPARE(p->Frame2()->isVisibleTo(p), !visible || p->Frame2()->isVisibleTo(p));

        p->Text7()->setText(QStringLiteral("an"));
        p->Command2()->click();
        QVERIFY(p->Check4()->isChecked());
        QCOMPARE(raices(p->TreeView4()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Juan")}));
        p->Check4()->click();   // off: the whole book
        QCOMPARE(p->TreeView4()->topLevelItemCount(), 3);
        p->Check4()->click();   // on again: the same filter
        QCOMPARE(p->TreeView4()->topLevelItemCount(), 2);

        // The history's "Filtrar contactos".
        f.filtrarPorTelefonos(QStringLiteral("1, 3"));
        QCOMPARE(raices(p->TreeView4()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Juan")}));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void editorCreatesAndChangesContacts()
    {
        Harness h;
        ContactBookFeature f(h.context);
        f.f_agenda(true);
        Form5 *e = f.abrirEditorNuevo();
        QCOMPARE(e->Command1()->text(), QStringLiteral("Guardar contacto"));
        e->Text1()->setText(QStringLiteral("José O'Neill \"Pepe\""));
        e->Text2()->setText(QStringLiteral(" 612345678 "));
        h.ok();
        e->Text2_LostFocus();
        QCOMPARE(e->Text2()->text(), QStringLiteral("34612345678"));
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Prefijo internacional"));
        e->Text7()->setText(QStringLiteral("23/10/84"));
        QSignalSpy offer(&f, &ContactBookFeature::introducirAgenda);
        h.mensajes();
        h.ok();
        e->Command1_Click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("El contacto fue guardado satisfactoriamente.")});
        QVERIFY(!f.editor());
        QCOMPARE(offer.count(), 0);
        QCOMPARE(raices(f.contactsPanel()->TreeView4()), QStringList{QStringLiteral("José O'Neill \"Pepe\"")});
        const qint64 sid = h.d.conexion.scalar(QStringLiteral("SELECT sid FROM Agenda")).toLongLong();

        // "Modificar contacto" loads the row; the new name with quotes and accents is stored as typed.
        QVERIFY(abrirMenuEn(f.contactsPanel()->TreeView4(), QStringLiteral("Telefono %1").arg(sid)));
        f.contactsTab().mnurclick_agenda_modificar_Click();
        e = f.editor();
        QVERIFY(e);
        QCOMPARE(e->Command1()->text(), QStringLiteral("Modificar contacto"));
        QCOMPARE(e->Text7()->text(), QStringLiteral("23/10/1984"));
        QCOMPARE(e->command1Tag(), std::optional<qint64>(sid));
        e->Text1()->setText(QStringLiteral("Ñoño 'el de la Peña'"));
        h.ok();
        e->Command1_Click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("El contacto fue modificado satisfactoriamente.")});
        QCOMPARE(h.d.valor(QStringLiteral("nombre"), sid).toString(), QStringLiteral("Ñoño 'el de la Peña'"));
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 1);
        QCOMPARE(raices(f.contactsPanel()->TreeView4()), QStringList{QStringLiteral("Ñoño 'el de la Peña'")});

        // A failed check keeps the window and what was typed.
        e = f.abrirEditorNuevo();
        e->Text1()->setText(QStringLiteral("Sin teléfono"));
        h.ok();
        e->Command1_Click();
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Faltan datos requeridos"));
        QCOMPARE(f.editor(), e);
        QCOMPARE(e->Text1()->text(), QStringLiteral("Sin teléfono"));
        e->Command2()->click();
        QVERIFY(!f.editor());
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // The send panel's missing-number offer: a save goes on with the next place; a cancel does not.
    void editorResumesTheMissingNumberOffer()
    {
        Harness h;
        ContactBookFeature f(h.context);
        QSignalSpy offer(&f, &ContactBookFeature::introducirAgenda);
        Form5 *e = f.guardarNumeroDesconocido(QStringLiteral("34699000111"), 2);
        QCOMPARE(e->Text1()->text(), QStringLiteral("Desconocido: 34699000111"));
        QCOMPARE(e->Text1()->selectedText(), e->Text1()->text());
        h.ok();
        e->Command1_Click();
        QCOMPARE(offer.count(), 1);
        QCOMPARE(offer.at(0).at(0).toDouble(), 3.0);
        QCOMPARE(offer.at(0).at(1).toBool(), false);
        e = f.guardarNumeroDesconocido(QStringLiteral("34699000222"), 5);
        e->Command2()->click();
        QCOMPARE(offer.count(), 1);
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void groupsTabCreatesAndDeletes()
    {
        Harness h;
        ContactBookFeature f(h.context);
        GroupsPanel *g = f.groupsPanel();
        ContactsPanel *c = f.contactsPanel();
        f.f_grupos();
        QCOMPARE(raices(g->TreeView2()), QStringList{QStringLiteral("Sin grupos")});
        QCOMPARE(c->Combo3()->itemText(0), QStringLiteral("Ninguno"));
        QVERIFY(!c->Check3()->isEnabled());

        h.prompter.answerInput(QStringLiteral("Peña 'Ñ'"));
        h.ok();
        f.groupsTab().mnurclick_listado_grupos_crear_Click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("El grupo ha sido creado.")});
        QCOMPARE(raices(g->TreeView2()), QStringList{QStringLiteral("Peña 'Ñ'")});
        QVERIFY(c->Check3()->isEnabled());
        QCOMPARE(c->Combo3()->currentText(), QStringLiteral("Peña 'Ñ'"));

        // A duplicate name is asked again; an empty one cancels.
        h.prompter.answerInput(QStringLiteral("peña 'ñ'"));
        h.prompter.answerInput(QString());
        h.ok(2);
        f.groupsTab().mnurclick_listado_grupos_crear_Click();
        QCOMPARE(h.mensajes().last(), QStringLiteral("Se ha cancelado la creación del grupo."));

        const qint64 sid = h.d.conexion.scalar(QStringLiteral("SELECT sid FROM Grupos")).toLongLong();
        h.d.addContact(QStringLiteral("A"), QStringLiteral("1"), QString::number(sid));
        f.f_grupos();
        QCOMPARE(raices(g->TreeView2()), QStringList{QStringLiteral("Peña 'Ñ' (1 contactos)")});
        QVERIFY(abrirMenuEn(g->TreeView2(), QStringLiteral("pGrupo %1").arg(sid)));
        h.prompter.answerInput(std::nullopt);
        h.ok();
        f.groupsTab().mnurclick_listado_grupos_eliminar_Click();
        QCOMPARE(h.mensajes().last(), QString::fromUtf8(kBorradoAbortado));
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos")), 1);

        QVERIFY(abrirMenuEn(g->TreeView2(), QStringLiteral("pGrupo %1").arg(sid)));
        h.prompter.answerInput(QStringLiteral(" si "));
        h.ok();
        f.groupsTab().mnurclick_listado_grupos_eliminar_Click();
        QCOMPARE(h.mensajes().last(), QStringLiteral("El grupo ha sido eliminado satisfactoriamente"));
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos")), 0);
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda"), QStringLiteral("grupos_sid=''")), 1);
        QCOMPARE(raices(g->TreeView2()), QStringList{QStringLiteral("Sin grupos")});
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // The popup menus of the "Contactos" and "Grupos" tabs act on the row they were opened on.
    // While a menu is up the list is redrawn (an import, a change made in another window) and the
    // tree's current item moves to the first row; the items still act on the row the user
    // clicked, and on none once it has gone.
    void tabPopupsActOnTheRowTheyWereOpenedOn()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        QTreeWidget *contactList = p->TreeView4();
        const qint64 ana = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"));
        const qint64 bea = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"));
        const qint64 eva = h.d.addContact(QStringLiteral("Eva"), QStringLiteral("34633"));
        f.f_agenda(true);
        const auto redrawWithMenu = [&](QMenu *menu, QTreeWidget *tree, const std::function<void()> &redraw) {
            QVERIFY(menu->isVisible());
            redraw();
            tree->setCurrentItem(tree->topLevelItem(0));
        };
        const auto book = [&f] { f.f_agenda(true); };

        QVERIFY(abrirMenuEn(contactList, QStringLiteral("Telefono %1").arg(bea)));
        redrawWithMenu(p->mnurclick_agenda(), contactList, book);
        h.ok();
        QVERIFY(testing::choose(p->mnurclick_agenda(), p->mnurclick_agenda_eliminar()));
        QCOMPARE(h.mensajes(), QStringList{QString::fromUtf8(kContactoEliminado)});
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {bea}), 0);
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 2);

        QSignalSpy existingSid(&f.contactsTab(), &ContactsTab::modificarContacto);
        QVERIFY(abrirMenuEn(contactList, QStringLiteral("pContacto %1").arg(eva)));
        redrawWithMenu(p->mnurclick_agenda(), contactList, book);
        QVERIFY(testing::choose(p->mnurclick_agenda(), p->mnurclick_agenda_modificar()));
        QCOMPARE(existingSid.count(), 1);
        QCOMPARE(existingSid.at(0).at(0).toLongLong(), eva);

        QSignalSpy search(&f.contactsTab(), &ContactsTab::buscarEnvios);
        QVERIFY(abrirMenuEn(contactList, QStringLiteral("pContacto %1").arg(eva)));
        redrawWithMenu(p->mnurclick_agenda(), contactList, book);
        QVERIFY(testing::choose(p->mnurclick_agenda(), p->mnurclick_agenda_buscarhistorial()));
        QCOMPARE(search.count(), 1);
        QCOMPARE(search.at(0).at(0).toString(), QStringLiteral("34633"));

        // Eva deleted from another workstation while her menu is up: Ana stays, and the user
        // hears why nothing happened.
        for (QAction *item : {p->mnurclick_agenda_eliminar(), p->mnurclick_agenda_modificar(),
                              p->mnurclick_agenda_buscarhistorial()}) {
            if (h.d.cuenta(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {eva}) == 0)
                h.d.conexion.execute(QStringLiteral("INSERT INTO Agenda (sid, nombre, telefono) VALUES (?, 'Eva', '34633')"),
                                     {eva});
            f.f_agenda(true);
            QVERIFY(abrirMenuEn(contactList, QStringLiteral("pContacto %1").arg(eva)));
            h.d.conexion.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {eva});
            redrawWithMenu(p->mnurclick_agenda(), contactList, book);
            h.ok();
            QVERIFY(testing::choose(p->mnurclick_agenda(), item));
            QCOMPARE(h.mensajes(), QStringList{kContactGoneNotice});
            QCOMPARE(h.d.cuenta(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {ana}), 1);
        }
        QCOMPARE(existingSid.count(), 1);
        QCOMPARE(search.count(), 1);

        // The groups: "Eliminar grupo" and "Administrar grupo".
        GroupsPanel *g = f.groupsPanel();
        QTreeWidget *groups = g->TreeView2();
        const qint64 friends = h.d.grupo(QStringLiteral("Amigos"));
        const qint64 band = h.d.grupo(QStringLiteral("Banda"));
        const qint64 choir = h.d.grupo(QStringLiteral("Coro"));
        f.f_grupos();
        const auto groupList = [&f] { f.f_grupos(); };
        QVERIFY(abrirMenuEn(groups, QStringLiteral("pGrupo %1").arg(choir)));
        redrawWithMenu(g->mnurclick_listado_grupos(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->mnurclick_listado_grupos(), g->mnurclick_listado_grupos_eliminar()));
        QCOMPARE(h.mensajes(), QStringList{QString::fromUtf8(kGrupoEliminado)});
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos"), QStringLiteral("sid=?"), {choir}), 0);
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos")), 2);

        QSignalSpy administrar(&f.groupsTab(), &GroupsTab::administrarGrupo);
        QVERIFY(abrirMenuEn(groups, QStringLiteral("pGrupo %1").arg(band)));
        redrawWithMenu(g->mnurclick_listado_grupos(), groups, groupList);
        QVERIFY(testing::choose(g->mnurclick_listado_grupos(), g->mnurclick_listado_grupos_administrar()));
        QCOMPARE(administrar.count(), 1);
        QCOMPARE(administrar.at(0).at(0).toLongLong(), band);

        QVERIFY(abrirMenuEn(groups, QStringLiteral("pGrupo %1").arg(band)));
        h.d.conexion.execute(QStringLiteral("DELETE FROM Grupos WHERE sid=?"), {band});
        redrawWithMenu(g->mnurclick_listado_grupos(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->mnurclick_listado_grupos(), g->mnurclick_listado_grupos_administrar()));
        QCOMPARE(administrar.count(), 1);
        QCOMPARE(h.mensajes(), QStringList{kGroupGoneNotice});
        QVERIFY(abrirMenuEn(groups, QStringLiteral("pGrupo %1").arg(friends)));
        h.d.conexion.execute(QStringLiteral("DELETE FROM Grupos WHERE sid=?"), {friends});
        h.d.grupo(QStringLiteral("Alfa"));
        redrawWithMenu(g->mnurclick_listado_grupos(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->mnurclick_listado_grupos(), g->mnurclick_listado_grupos_eliminar()));
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos")), 1);
        QCOMPARE(raices(groups), QStringList{QStringLiteral("Alfa")});
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // The group administration's and the picker's popups act on the contact they were opened on,
    // whatever the list shows by the time an item runs.
    void adminAndPickerPopupsActOnTheContactTheyWereOpenedOn()
    {
        Harness h;
        CountingLists listViews;
        groups::GroupAdminLauncher launcher(h.context, listViews);
        const qint64 g = h.d.grupo(QStringLiteral("Amigos"));
        const qint64 ana = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"));
        const qint64 bea = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"), QString::number(g));
        const qint64 eva = h.d.addContact(QStringLiteral("Eva"), QStringLiteral("34633"));
        const auto groups = [&h](qint64 sid) { return h.d.valor(QStringLiteral("grupos_sid"), sid).toString(); };

        groups::Form6 *w = launcher.abrir(g);
        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("pContacto %1").arg(eva)));
        QVERIFY(w->mnurclick_admingrupos_agenda()->isVisible());
        w->f_añadir_grupo();
        w->TreeView1()->setCurrentItem(w->TreeView1()->topLevelItem(0));
        QVERIFY(testing::choose(w->mnurclick_admingrupos_agenda(), w->mnurclick_admingrupos_agenda_agregar()));
        QCOMPARE(groups(eva), QString::number(g));
        QCOMPARE(groups(ana), QString());
        QCOMPARE(raices(w->TreeView2()), (QStringList{QStringLiteral("Bea"), QStringLiteral("Eva")}));

        QVERIFY(abrirMenuEn(w->TreeView2(), QStringLiteral("pContacto %1").arg(eva)));
        QVERIFY(w->mnurclick_admingrupos_grupo()->isVisible());
        w->f_añadir_grupo2();
        w->TreeView2()->setCurrentItem(w->TreeView2()->topLevelItem(0));
        QVERIFY(testing::choose(w->mnurclick_admingrupos_grupo(), w->mnurclick_admingrupos_grupo_quitar()));
        QCOMPARE(groups(eva), QString());
        QCOMPARE(groups(bea), QString::number(g));

        // A contact deleted while its menu is up: no other contact joins the group.
        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("pContacto %1").arg(eva)));
        h.d.conexion.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {eva});
        w->f_añadir_grupo();
        w->TreeView1()->setCurrentItem(w->TreeView1()->topLevelItem(0));
        QVERIFY(testing::choose(w->mnurclick_admingrupos_agenda(), w->mnurclick_admingrupos_agenda_agregar()));
        QCOMPARE(groups(ana), QString());
        QCOMPARE(raices(w->TreeView2()), QStringList{QStringLiteral("Bea")});
        w->close();

        FakeBox box;
        picker::PickerLauncher selector(h.context, box);
        const qint64 zoe = h.d.addContact(QStringLiteral("Zoe"), QStringLiteral("34644"));
        picker::Form7 *p = selector.open();
        QCOMPARE(raices(p->TreeView1()).constFirst(), QStringLiteral("Amigos (1 contactos)"));
        QVERIFY(abrirMenuEn(p->TreeView1(), QStringLiteral("pContacto %1").arg(zoe)));
        QVERIFY(p->mnurclick_enviaragenda()->isVisible());
        p->f_mostrar_agenda();
        p->TreeView1()->setCurrentItem(p->TreeView1()->topLevelItem(0));
        QVERIFY(testing::choose(p->mnurclick_enviaragenda(), p->mnurclick_enviaragenda_seleccionar()));
        QCOMPARE(box.m_text, QStringLiteral("34644"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Zoe"));

        QVERIFY(abrirMenuEn(p->TreeView1(), QStringLiteral("pContacto %1").arg(ana)));
        h.d.conexion.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {ana});
        p->f_mostrar_agenda();
        p->TreeView1()->setCurrentItem(p->TreeView1()->topLevelItem(0));
        QVERIFY(testing::choose(p->mnurclick_enviaragenda(), p->mnurclick_enviaragenda_seleccionarycerrar()));
        QCOMPARE(box.m_text, QStringLiteral("34644"));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void wholeBookDeletion()
    {
        Harness h;
        ContactBookFeature f(h.context);
        h.d.grupo(QStringLiteral("G"));
        h.d.muchos(3, QStringLiteral("1"));
        f.f_agenda(true);
        f.f_grupos();
        Form17 *w = f.abrirBorrarAgenda();
        QCOMPARE(w->windowTitle(), QStringLiteral("Borrar agenda"));
        QCOMPARE(w->SkinLabel1()->text(), QString::fromUtf8(kAvisoBorrarAgenda));
        w->Command2()->click();
        QVERIFY(!f.borrarAgenda());
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 3);

        w = f.abrirBorrarAgenda();
        h.ok();
        w->Command1()->click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("Ha sido eliminada toda la agenda correctamente.")});
        QCOMPARE(h.prompter.count(), 0);
        QCOMPARE(h.d.cuenta(QStringLiteral("Agenda")), 0);
        QCOMPARE(h.d.cuenta(QStringLiteral("Grupos")), 0);
        QVERIFY(!f.borrarAgenda());
        QCOMPARE(raices(f.contactsPanel()->TreeView4()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(raices(f.groupsPanel()->TreeView2()), QStringList{QStringLiteral("Sin grupos")});
    }

    void groupAdministration()
    {
        Harness h;
        CountingLists listViews;
        groups::GroupAdminLauncher launcher(h.context, listViews);
        const qint64 g = h.d.grupo(QStringLiteral("Amigos"));
        const qint64 a = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("1"), QStringLiteral("3"));
        const qint64 b = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("2"));
        h.d.addContact(QStringLiteral("Carla"), QStringLiteral("3"), QString::number(g));

        groups::Form6 *w = launcher.abrir(g);
        QCOMPARE(w->windowTitle(), QStringLiteral("Administrar grupo"));
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(w->Pag2()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(raices(w->TreeView2()), QStringList{QStringLiteral("Carla")});
        QCOMPARE(w->Combo3()->itemText(0), QStringLiteral("Ninguno"));
        QVERIFY(!w->Check1()->isEnabled());
        QCOMPARE(nodo(w->TreeView1(), QStringLiteral("pTelefono %1").arg(a))->text(0), QStringLiteral("Telefono móvil"));

        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("Telefono %1").arg(a)));
        w->mnurclick_admingrupos_agenda_agregar_Click();
        QCOMPARE(h.d.valor(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3,%1").arg(g));
        QCOMPARE(listViews.groups, 1);
        QCOMPARE(raices(w->TreeView2()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Carla")}));

        QVERIFY(abrirMenuEn(w->TreeView2(), QStringLiteral("pContacto %1").arg(a)));
        w->mnurclick_admingrupos_grupo_quitar_Click();
        QCOMPARE(h.d.valor(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3"));

        // The whole filtered list joins; a second time there is nothing new.
        w->Command3_Click();
        QCOMPARE(h.d.valor(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3,%1").arg(g));
        QCOMPARE(h.d.valor(QStringLiteral("grupos_sid"), b).toString(), QString::number(g));
        QCOMPARE(w->TreeView2()->topLevelItemCount(), 3);
        h.ok();
        w->Command3_Click();
        QCOMPARE(h.mensajes(), QStringList{QStringLiteral("No se ha agregado ningún contacto nuevo")});

        // "Mostrar no incluidos" with words containing a quote: no failure, nothing listed.
        w->Check2()->setChecked(true);
        w->Text1()->setText(QStringLiteral("O'"));
        w->Command1()->click();
        QCOMPARE(raices(w->TreeView1()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 0 de 0"));
        w->Command2()->click();
        QVERIFY(!launcher.ventana());
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void pickerFillsTheRecipientsBox()
    {
        Harness h;
        FakeBox box;
        picker::PickerLauncher launcher(h.context, box);
        const qint64 g = h.d.grupo(QStringLiteral("Amigos"));
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"), QString::number(g));
        const qint64 b = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"), QString::number(g));
        h.d.addContact(QStringLiteral("Carla"), QStringLiteral("34633"));
        box.m_text = QStringLiteral("34611");
        box.m_tag = QStringLiteral("34611");

        picker::Form7 *w = launcher.open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Enviar SMS - Agenda"));
        QCOMPARE(raices(w->TreeView1()), (QStringList{QStringLiteral("Amigos (2 contactos)"), QStringLiteral("Ana"),
                                                      QStringLiteral("Bea"), QStringLiteral("Carla")}));
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 1 de 1"));

        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("pGrupo %1").arg(g)));
        w->mnurclick_enviaragenda_seleccionar_Click();
        QCOMPARE(box.m_text, QStringLiteral("34611,34622"));
        QCOMPARE(box.m_tag, QStringLiteral("34611,34622,coste"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Amigos (2)"));
        QCOMPARE(box.disabledCount, 1);
        QVERIFY(launcher.picker());

        // A contact already in the box: nothing added, the label still changes.
        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("Telefono %1").arg(b)));
        w->mnurclick_enviaragenda_seleccionar_Click();
        QCOMPARE(box.m_text, QStringLiteral("34611,34622"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Bea"));
        QCOMPARE(box.disabledCount, 2);

        // Filtering hides the groups; a quote in the words is just text.
        w->Text1()->setText(QStringLiteral("car"));
        w->Command1()->click();
        QCOMPARE(raices(w->TreeView1()), QStringList{QStringLiteral("Carla")});
        w->Text1()->setText(QStringLiteral("O'B"));
        w->Command1()->click();
        QCOMPARE(raices(w->TreeView1()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 1 de 1"));
        // Birth dates compare as dates, typed day first as everywhere else.
        h.d.conexion.execute(QStringLiteral("UPDATE Agenda SET f_nacimiento='1984-10-23' WHERE sid=?"), {b});
        w->Combo2()->setCurrentIndex(6);
        w->Combo1()->setCurrentIndex(8);
        w->Text1()->setText(QStringLiteral("01/01/80"));
        w->Command1()->click();
        QCOMPARE(raices(w->TreeView1()), QStringList{QStringLiteral("Bea")});
        QCOMPARE(nodo(w->TreeView1(), QStringLiteral("pTelefono %1").arg(b))->text(0), QStringLiteral("Teléfono móvil"));
        h.ok();
        w->Text1()->setText(QStringLiteral("1980"));
        w->Command1()->click();
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Filtrado de contactos"));
        QCOMPARE(raices(w->TreeView1()), QStringList{QStringLiteral("Bea")});   // the filter in force stays
        w->Command3()->click();
        QCOMPARE(w->TreeView1()->topLevelItemCount(), 4);

        QVERIFY(abrirMenuEn(w->TreeView1(), QStringLiteral("pContacto %1").arg(b + 1)));
        w->mnurclick_enviaragenda_seleccionarycerrar_Click();
        QCOMPARE(box.m_text, QStringLiteral("34611,34622,34633"));
        QCOMPARE(box.m_tag, QStringLiteral("34611,34622,34633,coste"));
        QCOMPARE(box.leftCount, 1);
        QVERIFY(!launcher.picker());
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // 3 groups and 250 contacts: 100 items a page, the groups first.
    void pickerPages()
    {
        Harness h;
        FakeBox box;
        picker::PickerLauncher launcher(h.context, box);
        for (const char *n : {"G1", "G2", "G3"})
            h.d.grupo(QString::fromLatin1(n));
        h.d.muchos(250);
        picker::Form7 *w = launcher.open();
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(w->TreeView1()->topLevelItemCount(), 100);
        QCOMPARE(w->TreeView1()->topLevelItem(3)->text(0), QStringLiteral("Contacto 001"));
        w->HScroll1()->setValue(1);
        QCOMPARE(w->TreeView1()->topLevelItem(0)->text(0), QStringLiteral("Contacto 098"));
        w->HScroll1()->setValue(2);
        QCOMPARE(w->TreeView1()->topLevelItemCount(), 53);
        // Filtering down to 60 matches brings the page back.
        w->Combo1()->setCurrentIndex(2);   // empiecen
        w->Text1()->setText(QStringLiteral("Contacto 0"));
        w->Command1()->click();
        QCOMPARE(w->Pag()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(w->TreeView1()->topLevelItemCount(), 99);
    }
};

QTEST_MAIN(TestContactWindows)
#include "test_contact_windows.moc"
