// The contact book's windows driven as a user drives them: the "Contactos" and "Grupos" tabs, the
// contact editor, the deletion of every contact, the group administration and the recipient
// picker filling a recipients box.
#include "contacts/editor/contact_editor_dialog.h"
#include "contacts/groups/group_admin_dialog.h"
#include "contacts/groups/group_admin_launcher.h"
#include "contacts/picker/contact_picker_dialog.h"
#include "contacts/picker/picker_launcher.h"
#include "contacts/picker/recipients_box.h"
#include "contacts/view/contact_book_feature.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/delete_book_dialog.h"
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
    QString text() const override { return m_boxes; }
    QString tag() const override { return m_tag; }
    void write(const QString &text, const QString &tag) override
    {
        m_boxes = text;
        m_tag = tag;
    }
    void setLastPick(const QString &caption) override { lastPick = caption; }
    void disableSend() override { ++disabledCount; }
    void leaveRecipients() override { ++leftCount; }

    QString m_boxes;
    QString m_tag;
    QString lastPick;
    int disabledCount = 0;
    int leftCount = 0;
};

// The listas a window refreshes after a change.
class CountingLists final : public seams::ListViews {
public:
    void refreshGroupList() override { ++groups; }
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
        f.refreshContactList(true);
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 0 de 0"));
        QCOMPARE(rootTexts(p->contactList()), QStringList{QStringLiteral("Sin contactos")});
        QVERIFY(f.isBookEmpty());

        h.d.addMany(120);
        f.refreshContactList(true);
        QVERIFY(!f.isBookEmpty());
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(p->contactList()->topLevelItemCount(), 50);
        p->pageBar()->setValue(2);
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 3 de 3"));
        QCOMPARE(p->contactList()->topLevelItemCount(), 20);
        QCOMPARE(p->contactList()->topLevelItem(0)->text(0), QStringLiteral("Contacto 101"));
        p->pageBar()->setValue(0);
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(p->contactList()->topLevelItem(49)->text(0), QStringLiteral("Contacto 050"));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // Deleting the only contact of the last page lands on the new last page; any node of a
    // contact stands for it.
    void deleteContactFromAnyNode()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        h.d.addMany(100);
        const qint64 lastContact = h.d.addContact({QStringLiteral("Zoé O'Hara"), QStringLiteral("34699"), {},
                                           QStringLiteral("nota"), {}});
        f.refreshContactList(true);
        p->pageBar()->setValue(2);
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 3 de 3"));
        QVERIFY(openMenuOn(p->contactList(), QStringLiteral("pComentarios %1").arg(lastContact)));
        QSignalSpy groups(&f.contactsTab(), &ContactsTab::groupsChanged);
        h.ok();
        f.contactsTab().deleteFromMenu();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("El contacto ha sido eliminado de la agenda")});
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 100);
        QCOMPARE(p->pageLabel()->text(), QStringLiteral("Página 2 de 2"));
        QCOMPARE(groups.count(), 1);
        // The empty-list node is no row.
        Harness empty;
        ContactBookFeature g(empty.context);
        g.refreshContactList(true);
        QVERIFY(openMenuOn(g.contactsPanel()->contactList(), QStringLiteral("l0")));
        g.contactsTab().deleteFromMenu();
        g.contactsTab().editFromMenu();
        QCOMPARE(empty.prompter.count(), 0);
    }

    void filterPanelAndCheckBox()
    {
        Harness h;
        ContactBookFeature f(h.context);
        ContactsPanel *p = f.contactsPanel();
        p->operatorCombo()->setCurrentIndex(0);
        p->fieldCombo()->setCurrentIndex(0);
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("1"));
        h.d.addContact(QStringLiteral("Bea"), QStringLiteral("2"));
        h.d.addContact(QStringLiteral("Juan"), QStringLiteral("3"));
        f.refreshContactList(true);
        f.refreshGroupList();

        // Ticking "Filtrar" before any filter opens the panel and leaves the box unticked.
        const bool visible = p->filterFrame()->isVisible();
        p->filterCheck()->click();
        QVERIFY(!p->filterCheck()->isChecked());
        QCOMPARE(p->filterFrame()->isVisibleTo(p), !visible || p->filterFrame()->isVisibleTo(p));

        p->wordsBox()->setText(QStringLiteral("an"));
        p->filterButton()->click();
        QVERIFY(p->filterCheck()->isChecked());
        QCOMPARE(rootTexts(p->contactList()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Juan")}));
        p->filterCheck()->click();   // off: every contact
        QCOMPARE(p->contactList()->topLevelItemCount(), 3);
        p->filterCheck()->click();   // on again: the same filter
        QCOMPARE(p->contactList()->topLevelItemCount(), 2);

        // The history's "Filtrar contactos".
        f.filterByPhones(QStringLiteral("1, 3"));
        QCOMPARE(rootTexts(p->contactList()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Juan")}));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void editorCreatesAndChangesContacts()
    {
        Harness h;
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        ContactEditorDialog *e = f.openNewContactEditor();
        QCOMPARE(e->saveButton()->text(), QStringLiteral("Guardar contacto"));
        e->nameBox()->setText(QStringLiteral("José O'Neill \"Pepe\""));
        e->mobileBox()->setText(QStringLiteral(" 612345678 "));
        h.ok();
        e->onMobileFocusLost();
        QCOMPARE(e->mobileBox()->text(), QStringLiteral("34612345678"));
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Prefijo internacional"));
        e->birthDateBox()->setText(QStringLiteral("23/10/84"));
        QSignalSpy offer(&f, &ContactBookFeature::resumeNumberOffer);
        h.messages();
        h.ok();
        e->save();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("El contacto fue guardado satisfactoriamente.")});
        QVERIFY(!f.editor());
        QCOMPARE(offer.count(), 0);
        QCOMPARE(rootTexts(f.contactsPanel()->contactList()), QStringList{QStringLiteral("José O'Neill \"Pepe\"")});
        const qint64 sid = h.d.connection.scalar(QStringLiteral("SELECT sid FROM Agenda")).toLongLong();

        // "Modificar contacto" loads the row; the new name with quotes and accents is stored as typed.
        QVERIFY(openMenuOn(f.contactsPanel()->contactList(), QStringLiteral("Telefono %1").arg(sid)));
        f.contactsTab().editFromMenu();
        e = f.editor();
        QVERIFY(e);
        QCOMPARE(e->saveButton()->text(), QStringLiteral("Modificar contacto"));
        QCOMPARE(e->birthDateBox()->text(), QStringLiteral("23/10/1984"));
        QCOMPARE(e->editedSid(), std::optional<qint64>(sid));
        e->nameBox()->setText(QStringLiteral("Ñoño 'el de la Peña'"));
        h.ok();
        e->save();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("El contacto fue modificado satisfactoriamente.")});
        QCOMPARE(h.d.value(QStringLiteral("nombre"), sid).toString(), QStringLiteral("Ñoño 'el de la Peña'"));
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 1);
        QCOMPARE(rootTexts(f.contactsPanel()->contactList()), QStringList{QStringLiteral("Ñoño 'el de la Peña'")});

        // A failed check keeps the window and what was typed.
        e = f.openNewContactEditor();
        e->nameBox()->setText(QStringLiteral("Sin teléfono"));
        h.ok();
        e->save();
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Faltan datos requeridos"));
        QCOMPARE(f.editor(), e);
        QCOMPARE(e->nameBox()->text(), QStringLiteral("Sin teléfono"));
        e->cancelButton()->click();
        QVERIFY(!f.editor());
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // The send panel's missing-number offer: a save goes on with the next place; a cancel does not.
    void editorResumesTheMissingNumberOffer()
    {
        Harness h;
        ContactBookFeature f(h.context);
        QSignalSpy offer(&f, &ContactBookFeature::resumeNumberOffer);
        ContactEditorDialog *e = f.openEditorForUnknownNumber(QStringLiteral("34699000111"), 2);
        QCOMPARE(e->nameBox()->text(), QStringLiteral("Desconocido: 34699000111"));
        QCOMPARE(e->nameBox()->selectedText(), e->nameBox()->text());
        h.ok();
        e->save();
        QCOMPARE(offer.count(), 1);
        QCOMPARE(offer.at(0).at(0).toDouble(), 3.0);
        QCOMPARE(offer.at(0).at(1).toBool(), false);
        e = f.openEditorForUnknownNumber(QStringLiteral("34699000222"), 5);
        e->cancelButton()->click();
        QCOMPARE(offer.count(), 1);
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void groupsTabCreatesAndDeletes()
    {
        Harness h;
        ContactBookFeature f(h.context);
        GroupsPanel *g = f.groupsPanel();
        ContactsPanel *c = f.contactsPanel();
        f.refreshGroupList();
        QCOMPARE(rootTexts(g->groupList()), QStringList{QStringLiteral("Sin grupos")});
        QCOMPARE(c->groupCombo()->itemText(0), QStringLiteral("Ninguno"));
        QVERIFY(!c->membersCheck()->isEnabled());

        h.prompter.answerInput(QStringLiteral("Peña 'Ñ'"));
        h.ok();
        f.groupsTab().createFromMenu();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("El grupo ha sido creado.")});
        QCOMPARE(rootTexts(g->groupList()), QStringList{QStringLiteral("Peña 'Ñ'")});
        QVERIFY(c->membersCheck()->isEnabled());
        QCOMPARE(c->groupCombo()->currentText(), QStringLiteral("Peña 'Ñ'"));

        // A duplicate name is asked again; an empty one cancels.
        h.prompter.answerInput(QStringLiteral("peña 'ñ'"));
        h.prompter.answerInput(QString());
        h.ok(2);
        f.groupsTab().createFromMenu();
        QCOMPARE(h.messages().last(), QStringLiteral("Se ha cancelado la creación del grupo."));

        const qint64 sid = h.d.connection.scalar(QStringLiteral("SELECT sid FROM Grupos")).toLongLong();
        h.d.addContact(QStringLiteral("A"), QStringLiteral("1"), QString::number(sid));
        f.refreshGroupList();
        QCOMPARE(rootTexts(g->groupList()), QStringList{QStringLiteral("Peña 'Ñ' (1 contactos)")});
        QVERIFY(openMenuOn(g->groupList(), QStringLiteral("pGrupo %1").arg(sid)));
        h.prompter.answerInput(std::nullopt);
        h.ok();
        f.groupsTab().deleteFromMenu();
        QCOMPARE(h.messages().last(), QString::fromUtf8(kGroupDeletionAbortedMessage));
        QCOMPARE(h.d.count(QStringLiteral("Grupos")), 1);

        QVERIFY(openMenuOn(g->groupList(), QStringLiteral("pGrupo %1").arg(sid)));
        h.prompter.answerInput(QStringLiteral(" si "));
        h.ok();
        f.groupsTab().deleteFromMenu();
        QCOMPARE(h.messages().last(), QStringLiteral("El grupo ha sido eliminado satisfactoriamente"));
        QCOMPARE(h.d.count(QStringLiteral("Grupos")), 0);
        QCOMPARE(h.d.count(QStringLiteral("Agenda"), QStringLiteral("grupos_sid=''")), 1);
        QCOMPARE(rootTexts(g->groupList()), QStringList{QStringLiteral("Sin grupos")});
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
        QTreeWidget *contactList = p->contactList();
        const qint64 ana = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"));
        const qint64 bea = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"));
        const qint64 eva = h.d.addContact(QStringLiteral("Eva"), QStringLiteral("34633"));
        f.refreshContactList(true);
        const auto redrawWithMenu = [&](QMenu *menu, QTreeWidget *tree, const std::function<void()> &redraw) {
            QVERIFY(menu->isVisible());
            redraw();
            tree->setCurrentItem(tree->topLevelItem(0));
        };
        const auto book = [&f] { f.refreshContactList(true); };

        QVERIFY(openMenuOn(contactList, QStringLiteral("Telefono %1").arg(bea)));
        redrawWithMenu(p->contactMenu(), contactList, book);
        h.ok();
        QVERIFY(testing::choose(p->contactMenu(), p->deleteAction()));
        QCOMPARE(h.messages(), QStringList{QString::fromUtf8(kContactDeletedMessage)});
        QCOMPARE(h.d.count(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {bea}), 0);
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 2);

        QSignalSpy existingSid(&f.contactsTab(), &ContactsTab::editContactRequested);
        QVERIFY(openMenuOn(contactList, QStringLiteral("pContacto %1").arg(eva)));
        redrawWithMenu(p->contactMenu(), contactList, book);
        QVERIFY(testing::choose(p->contactMenu(), p->editAction()));
        QCOMPARE(existingSid.count(), 1);
        QCOMPARE(existingSid.at(0).at(0).toLongLong(), eva);

        QSignalSpy search(&f.contactsTab(), &ContactsTab::findSendsRequested);
        QVERIFY(openMenuOn(contactList, QStringLiteral("pContacto %1").arg(eva)));
        redrawWithMenu(p->contactMenu(), contactList, book);
        QVERIFY(testing::choose(p->contactMenu(), p->findSendsAction()));
        QCOMPARE(search.count(), 1);
        QCOMPARE(search.at(0).at(0).toString(), QStringLiteral("34633"));

        // Eva deleted from another workstation while her menu is up: Ana stays, and the user
        // hears why nothing happened.
        for (QAction *item : {p->deleteAction(), p->editAction(),
                              p->findSendsAction()}) {
            if (h.d.count(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {eva}) == 0)
                h.d.connection.execute(QStringLiteral("INSERT INTO Agenda (sid, nombre, telefono) VALUES (?, 'Eva', '34633')"),
                                     {eva});
            f.refreshContactList(true);
            QVERIFY(openMenuOn(contactList, QStringLiteral("pContacto %1").arg(eva)));
            h.d.connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {eva});
            redrawWithMenu(p->contactMenu(), contactList, book);
            h.ok();
            QVERIFY(testing::choose(p->contactMenu(), item));
            QCOMPARE(h.messages(), QStringList{kContactGoneNotice});
            QCOMPARE(h.d.count(QStringLiteral("Agenda"), QStringLiteral("sid=?"), {ana}), 1);
        }
        QCOMPARE(existingSid.count(), 1);
        QCOMPARE(search.count(), 1);

        // The groups: "Eliminar grupo" and "Administrar grupo".
        GroupsPanel *g = f.groupsPanel();
        QTreeWidget *groups = g->groupList();
        const qint64 friends = h.d.addGroup(QStringLiteral("Amigos"));
        const qint64 band = h.d.addGroup(QStringLiteral("Banda"));
        const qint64 choir = h.d.addGroup(QStringLiteral("Coro"));
        f.refreshGroupList();
        const auto groupList = [&f] { f.refreshGroupList(); };
        QVERIFY(openMenuOn(groups, QStringLiteral("pGrupo %1").arg(choir)));
        redrawWithMenu(g->groupMenu(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->groupMenu(), g->deleteAction()));
        QCOMPARE(h.messages(), QStringList{QString::fromUtf8(kGroupDeletedMessage)});
        QCOMPARE(h.d.count(QStringLiteral("Grupos"), QStringLiteral("sid=?"), {choir}), 0);
        QCOMPARE(h.d.count(QStringLiteral("Grupos")), 2);

        QSignalSpy administerSpy(&f.groupsTab(), &GroupsTab::administerGroupRequested);
        QVERIFY(openMenuOn(groups, QStringLiteral("pGrupo %1").arg(band)));
        redrawWithMenu(g->groupMenu(), groups, groupList);
        QVERIFY(testing::choose(g->groupMenu(), g->administerAction()));
        QCOMPARE(administerSpy.count(), 1);
        QCOMPARE(administerSpy.at(0).at(0).toLongLong(), band);

        QVERIFY(openMenuOn(groups, QStringLiteral("pGrupo %1").arg(band)));
        h.d.connection.execute(QStringLiteral("DELETE FROM Grupos WHERE sid=?"), {band});
        redrawWithMenu(g->groupMenu(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->groupMenu(), g->administerAction()));
        QCOMPARE(administerSpy.count(), 1);
        QCOMPARE(h.messages(), QStringList{kGroupGoneNotice});
        QVERIFY(openMenuOn(groups, QStringLiteral("pGrupo %1").arg(friends)));
        h.d.connection.execute(QStringLiteral("DELETE FROM Grupos WHERE sid=?"), {friends});
        h.d.addGroup(QStringLiteral("Alfa"));
        redrawWithMenu(g->groupMenu(), groups, groupList);
        h.ok();
        QVERIFY(testing::choose(g->groupMenu(), g->deleteAction()));
        QCOMPARE(h.d.count(QStringLiteral("Grupos")), 1);
        QCOMPARE(rootTexts(groups), QStringList{QStringLiteral("Alfa")});
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // The group administration's and the picker's popups act on the contact they were opened on,
    // whatever the list shows by the time an item runs.
    void adminAndPickerPopupsActOnTheContactTheyWereOpenedOn()
    {
        Harness h;
        CountingLists listViews;
        groups::GroupAdminLauncher launcher(h.context, listViews);
        const qint64 g = h.d.addGroup(QStringLiteral("Amigos"));
        const qint64 ana = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"));
        const qint64 bea = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"), QString::number(g));
        const qint64 eva = h.d.addContact(QStringLiteral("Eva"), QStringLiteral("34633"));
        const auto groups = [&h](qint64 sid) { return h.d.value(QStringLiteral("grupos_sid"), sid).toString(); };

        groups::GroupAdminDialog *w = launcher.open(g);
        QVERIFY(openMenuOn(w->contactList(), QStringLiteral("pContacto %1").arg(eva)));
        QVERIFY(w->contactMenu()->isVisible());
        w->reloadContactList();
        w->contactList()->setCurrentItem(w->contactList()->topLevelItem(0));
        QVERIFY(testing::choose(w->contactMenu(), w->addToGroupAction()));
        QCOMPARE(groups(eva), QString::number(g));
        QCOMPARE(groups(ana), QString());
        QCOMPARE(rootTexts(w->memberList()), (QStringList{QStringLiteral("Bea"), QStringLiteral("Eva")}));

        QVERIFY(openMenuOn(w->memberList(), QStringLiteral("pContacto %1").arg(eva)));
        QVERIFY(w->memberMenu()->isVisible());
        w->reloadMemberList();
        w->memberList()->setCurrentItem(w->memberList()->topLevelItem(0));
        QVERIFY(testing::choose(w->memberMenu(), w->removeMemberAction()));
        QCOMPARE(groups(eva), QString());
        QCOMPARE(groups(bea), QString::number(g));

        // A contact deleted while its menu is up: no other contact joins the group.
        QVERIFY(openMenuOn(w->contactList(), QStringLiteral("pContacto %1").arg(eva)));
        h.d.connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {eva});
        w->reloadContactList();
        w->contactList()->setCurrentItem(w->contactList()->topLevelItem(0));
        QVERIFY(testing::choose(w->contactMenu(), w->addToGroupAction()));
        QCOMPARE(groups(ana), QString());
        QCOMPARE(rootTexts(w->memberList()), QStringList{QStringLiteral("Bea")});
        w->close();

        FakeBox box;
        picker::PickerLauncher selector(h.context, box);
        const qint64 zoe = h.d.addContact(QStringLiteral("Zoe"), QStringLiteral("34644"));
        picker::ContactPickerDialog *p = selector.open();
        QCOMPARE(rootTexts(p->bookList()).constFirst(), QStringLiteral("Amigos (1 contactos)"));
        QVERIFY(openMenuOn(p->bookList(), QStringLiteral("pContacto %1").arg(zoe)));
        QVERIFY(p->pickMenu()->isVisible());
        p->refreshList();
        p->bookList()->setCurrentItem(p->bookList()->topLevelItem(0));
        QVERIFY(testing::choose(p->pickMenu(), p->pickAction()));
        QCOMPARE(box.m_boxes, QStringLiteral("34644"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Zoe"));

        QVERIFY(openMenuOn(p->bookList(), QStringLiteral("pContacto %1").arg(ana)));
        h.d.connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid=?"), {ana});
        p->refreshList();
        p->bookList()->setCurrentItem(p->bookList()->topLevelItem(0));
        QVERIFY(testing::choose(p->pickMenu(), p->pickAndCloseAction()));
        QCOMPARE(box.m_boxes, QStringLiteral("34644"));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void wholeBookDeletion()
    {
        Harness h;
        ContactBookFeature f(h.context);
        h.d.addGroup(QStringLiteral("G"));
        h.d.addMany(3, QStringLiteral("1"));
        f.refreshContactList(true);
        f.refreshGroupList();
        DeleteBookDialog *w = f.openDeleteBookDialog();
        QCOMPARE(w->windowTitle(), QStringLiteral("Borrar agenda"));
        QCOMPARE(w->warningLabel()->text(), QString::fromUtf8(kDeleteBookWarning));
        w->cancelButton()->click();
        QVERIFY(!f.deleteBookDialog());
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 3);

        w = f.openDeleteBookDialog();
        h.ok();
        w->deleteButton()->click();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("Ha sido eliminada toda la agenda correctamente.")});
        QCOMPARE(h.prompter.count(), 0);
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 0);
        QCOMPARE(h.d.count(QStringLiteral("Grupos")), 0);
        QVERIFY(!f.deleteBookDialog());
        QCOMPARE(rootTexts(f.contactsPanel()->contactList()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(rootTexts(f.groupsPanel()->groupList()), QStringList{QStringLiteral("Sin grupos")});
    }

    // Another workstation adds contacts that sort early and members of the group while the
    // window pages: both lists read on from the rows they showed.
    void groupAdministrationPagesFollowTheRowsShown()
    {
        Harness h;
        CountingLists listViews;
        groups::GroupAdminLauncher launcher(h.context, listViews);
        const qint64 g = h.d.addGroup(QStringLiteral("Amigos"));
        h.d.connection.execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 150; ++i)
            h.d.addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3460000%1").arg(1000 + i),
                           i < 80 ? QString::number(g) : QString());
        h.d.connection.execute(QStringLiteral("COMMIT"));
        groups::GroupAdminDialog *w = launcher.open(g);
        QCOMPARE(rootTexts(w->contactList()).size(), 100);

        db::Connection other;
        QVERIFY(other.open(h.d.connection.path()).ok());
        for (int i = 0; i < 30; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono, grupos_sid) VALUES (?, ?, ?)"),
                                  {QStringLiteral("Ana %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("34611000%1").arg(100 + i),
                                   QString::number(g)})
                        .ok());
        // A member shown on the first page is deleted from `Agenda`.
        QVERIFY(other.execute(QStringLiteral("DELETE FROM Agenda WHERE nombre='Contacto 000'")).ok());

        w->contactPageBar()->setValue(1);
        const QStringList book = rootTexts(w->contactList());
        QCOMPARE(book.value(0), QStringLiteral("Contacto 100"));
        QCOMPARE(book.value(book.size() - 1), QStringLiteral("Contacto 149"));
        w->memberPageBar()->setValue(1);
        const QStringList members = rootTexts(w->memberList());
        QCOMPARE(members.value(0), QStringLiteral("Contacto 050"));
    }

    // The recipient picker pages the same way: pages of contacts read on from the contacts shown.
    void pickerPagesFollowTheRowsShown()
    {
        Harness h;
        h.d.addGroup(QStringLiteral("Amigos"));
        h.d.connection.execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 350; ++i)
            h.d.addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("3460000%1").arg(1000 + i));
        h.d.connection.execute(QStringLiteral("COMMIT"));
        FakeBox box;
        picker::PickerLauncher launcher(h.context, box);
        picker::ContactPickerDialog *p = launcher.open();
        p->pageBar()->setValue(1);    // the group took the first place: Contacto 099 to 198
        QCOMPARE(rootTexts(p->bookList()).value(0), QStringLiteral("Contacto 099"));

        db::Connection other;
        QVERIFY(other.open(h.d.connection.path()).ok());
        for (int i = 0; i < 30; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (?, ?)"),
                                  {QStringLiteral("Ana %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("34611000%1").arg(100 + i)})
                        .ok());
        p->pageBar()->setValue(2);
        QCOMPARE(rootTexts(p->bookList()).value(0), QStringLiteral("Contacto 199"));
        p->pageBar()->setValue(1);
        QCOMPARE(rootTexts(p->bookList()).value(0), QStringLiteral("Contacto 099"));
    }

    void groupAdministration()
    {
        Harness h;
        CountingLists listViews;
        groups::GroupAdminLauncher launcher(h.context, listViews);
        const qint64 g = h.d.addGroup(QStringLiteral("Amigos"));
        const qint64 a = h.d.addContact(QStringLiteral("Ana"), QStringLiteral("1"), QStringLiteral("3"));
        const qint64 b = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("2"));
        h.d.addContact(QStringLiteral("Carla"), QStringLiteral("3"), QString::number(g));

        groups::GroupAdminDialog *w = launcher.open(g);
        QCOMPARE(w->windowTitle(), QStringLiteral("Administrar grupo"));
        QCOMPARE(w->contactPageLabel()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(w->memberPageLabel()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(rootTexts(w->memberList()), QStringList{QStringLiteral("Carla")});
        QCOMPARE(w->groupFilterCombo()->itemText(0), QStringLiteral("Ninguno"));
        QVERIFY(!w->groupFilterCheck()->isEnabled());
        QCOMPARE(findNode(w->contactList(), QStringLiteral("pTelefono %1").arg(a))->text(0), QStringLiteral("Telefono móvil"));

        QVERIFY(openMenuOn(w->contactList(), QStringLiteral("Telefono %1").arg(a)));
        w->addMenuContact();
        QCOMPARE(h.d.value(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3,%1").arg(g));
        QCOMPARE(listViews.groups, 1);
        QCOMPARE(rootTexts(w->memberList()), (QStringList{QStringLiteral("Ana"), QStringLiteral("Carla")}));

        QVERIFY(openMenuOn(w->memberList(), QStringLiteral("pContacto %1").arg(a)));
        w->removeMenuMember();
        QCOMPARE(h.d.value(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3"));

        // The whole filtered list joins; a second time there is nothing new.
        w->onAddAllClicked();
        QCOMPARE(h.d.value(QStringLiteral("grupos_sid"), a).toString(), QStringLiteral("3,%1").arg(g));
        QCOMPARE(h.d.value(QStringLiteral("grupos_sid"), b).toString(), QString::number(g));
        QCOMPARE(w->memberList()->topLevelItemCount(), 3);
        h.ok();
        w->onAddAllClicked();
        QCOMPARE(h.messages(), QStringList{QStringLiteral("No se ha agregado ningún contacto nuevo")});

        // "Mostrar no incluidos" with words containing a quote: no failure, nothing listed.
        w->notIncludedCheck()->setChecked(true);
        w->wordsBox()->setText(QStringLiteral("O'"));
        w->filterButton()->click();
        QCOMPARE(rootTexts(w->contactList()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(w->contactPageLabel()->text(), QStringLiteral("Página 0 de 0"));
        w->closeButton()->click();
        QVERIFY(!launcher.window());
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void pickerFillsTheRecipientsBox()
    {
        Harness h;
        FakeBox box;
        picker::PickerLauncher launcher(h.context, box);
        const qint64 g = h.d.addGroup(QStringLiteral("Amigos"));
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34611"), QString::number(g));
        const qint64 b = h.d.addContact(QStringLiteral("Bea"), QStringLiteral("34622"), QString::number(g));
        h.d.addContact(QStringLiteral("Carla"), QStringLiteral("34633"));
        box.m_boxes = QStringLiteral("34611");
        box.m_tag = QStringLiteral("34611");

        picker::ContactPickerDialog *w = launcher.open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Enviar SMS - Agenda"));
        QCOMPARE(rootTexts(w->bookList()), (QStringList{QStringLiteral("Amigos (2 contactos)"), QStringLiteral("Ana"),
                                                      QStringLiteral("Bea"), QStringLiteral("Carla")}));
        QCOMPARE(w->pageLabel()->text(), QStringLiteral("Página 1 de 1"));

        QVERIFY(openMenuOn(w->bookList(), QStringLiteral("pGrupo %1").arg(g)));
        w->pickMenuNode();
        QCOMPARE(box.m_boxes, QStringLiteral("34611,34622"));
        QCOMPARE(box.m_tag, QStringLiteral("34611,34622,coste"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Amigos (2)"));
        QCOMPARE(box.disabledCount, 1);
        QVERIFY(launcher.picker());

        // A contact already in the box: nothing added, the label still changes.
        QVERIFY(openMenuOn(w->bookList(), QStringLiteral("Telefono %1").arg(b)));
        w->pickMenuNode();
        QCOMPARE(box.m_boxes, QStringLiteral("34611,34622"));
        QCOMPARE(box.lastPick, QStringLiteral("Ultimo: Bea"));
        QCOMPARE(box.disabledCount, 2);

        // Filtering hides the groups; a quote in the words is just text.
        w->wordsBox()->setText(QStringLiteral("car"));
        w->filterButton()->click();
        QCOMPARE(rootTexts(w->bookList()), QStringList{QStringLiteral("Carla")});
        w->wordsBox()->setText(QStringLiteral("O'B"));
        w->filterButton()->click();
        QCOMPARE(rootTexts(w->bookList()), QStringList{QStringLiteral("Sin contactos")});
        QCOMPARE(w->pageLabel()->text(), QStringLiteral("Página 1 de 1"));
        // Birth dates compare as dates, typed day first as everywhere else.
        h.d.connection.execute(QStringLiteral("UPDATE Agenda SET f_nacimiento='1984-10-23' WHERE sid=?"), {b});
        w->fieldCombo()->setCurrentIndex(6);
        w->operatorCombo()->setCurrentIndex(8);
        w->wordsBox()->setText(QStringLiteral("01/01/80"));
        w->filterButton()->click();
        QCOMPARE(rootTexts(w->bookList()), QStringList{QStringLiteral("Bea")});
        QCOMPARE(findNode(w->bookList(), QStringLiteral("pTelefono %1").arg(b))->text(0), QStringLiteral("Teléfono móvil"));
        h.ok();
        w->wordsBox()->setText(QStringLiteral("1980"));
        w->filterButton()->click();
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Filtrado de contactos"));
        QCOMPARE(rootTexts(w->bookList()), QStringList{QStringLiteral("Bea")});   // the filter in force stays
        w->showAllButton()->click();
        QCOMPARE(w->bookList()->topLevelItemCount(), 4);

        QVERIFY(openMenuOn(w->bookList(), QStringLiteral("pContacto %1").arg(b + 1)));
        w->pickMenuNodeAndClose();
        QCOMPARE(box.m_boxes, QStringLiteral("34611,34622,34633"));
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
            h.d.addGroup(QString::fromLatin1(n));
        h.d.addMany(250);
        picker::ContactPickerDialog *w = launcher.open();
        QCOMPARE(w->pageLabel()->text(), QStringLiteral("Página 1 de 3"));
        QCOMPARE(w->bookList()->topLevelItemCount(), 100);
        QCOMPARE(w->bookList()->topLevelItem(3)->text(0), QStringLiteral("Contacto 001"));
        w->pageBar()->setValue(1);
        QCOMPARE(w->bookList()->topLevelItem(0)->text(0), QStringLiteral("Contacto 098"));
        w->pageBar()->setValue(2);
        QCOMPARE(w->bookList()->topLevelItemCount(), 53);
        // Filtering down to 60 matches brings the page back.
        w->operatorCombo()->setCurrentIndex(2);   // empiecen
        w->wordsBox()->setText(QStringLiteral("Contacto 0"));
        w->filterButton()->click();
        QCOMPARE(w->pageLabel()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(w->bookList()->topLevelItemCount(), 99);
    }
};

QTEST_MAIN(TestContactWindows)
#include "test_contact_windows.moc"
