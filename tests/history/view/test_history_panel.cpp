#include "history_panel_rig.h"

using namespace historypanel;

// The history tab on its own: pages, view options, filter, colours, names and deletions.
class TestHistoryPanel final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_client = std::make_unique<Client>(); }
    void cleanup()
    {
        if (m_client)
            m_client->gateway.releaseHangs();
        m_client.reset();
    }

    void emptyHistoryShowsOneNode()
    {
        Client &c = *m_client;
        c.feature->refreshHistoryPage();
        QCOMPARE(c.sends(), 1);
        QCOMPARE(c.text(QStringLiteral("l0")), QStringLiteral("Sin registros"));
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 1"));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());
        // The bulk actions on an empty view do nothing at all.
        c.feature->cancelAllInView();
        c.feature->deleteAllSentInView();
        QCOMPARE(c.prompter.count(), 0);
    }

    void pagingAndViewOptions()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QCOMPARE(c.sends(), 30);
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 4"));
        QVERIFY(c.text(QStringLiteral("pMensaje 100")).startsWith(QStringLiteral("Mensaje 1 (")));
        QCOMPARE(c.panel().pageBar()->maximum(), 3);

        // The page bar pages.
        c.panel().pageBar()->setValue(3);
        QCOMPARE(c.sends(), 10);
        QCOMPARE(c.label(), QStringLiteral("Página 4 de 4"));
        QVERIFY(c.text(QStringLiteral("pMensaje 10")).startsWith(QStringLiteral("Mensaje 91 (")));

        // "Programados" lists the 17 future sends: the view shrinks to one page and the bar follows.
        QSignalSpy redrawn(c.feature.get(), &HistoryFeature::redrawn);
        c.panel().viewOption(2)->trigger();
        QCOMPARE(redrawn.count(), 1);
        QCOMPARE(c.sends(), 17);
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(c.panel().pageBar()->value(), 0);
        QVERIFY(c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());

        // "Enviados" twice: the second click changes nothing and does not redraw.
        c.panel().viewOption(1)->trigger();
        c.panel().viewOption(1)->trigger();
        QCOMPARE(redrawn.count(), 2);
        QCOMPARE(c.panel().viewIndex(), 1);
        QCOMPARE(c.feature->currentPage().rowCount, qint64(83));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());
    }

    // Another workstation records sends and deletes some of those shown while the user pages:
    // each page follows on from the sends the page before showed, forwards and back.
    void pageTurnsFollowTheSendsShownWhileOthersWrite()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QVERIFY(c.node(QStringLiteral("pMensaje 71")));    // the oldest send on page 1
        db::Connection other;
        QVERIFY(other.open(c.data.connection.path()).ok());
        for (int i = 0; i < 40; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_envio, f_programada, mensaje, estado) "
                                                 "VALUES ('34600999999', '2024-05-09 10:00', 'Inmediato', 'Nuevo', '0|0|0')"))
                        .ok());
        QVERIFY(other.execute(QStringLiteral("DELETE FROM Historial WHERE sid IN (99, 98)")).ok());

        const auto shows = [&c](int newest, int oldest) {
            return c.sends() == newest - oldest + 1 && c.node(QStringLiteral("pMensaje %1").arg(newest))
                && c.node(QStringLiteral("pMensaje %1").arg(oldest));
        };
        c.panel().pageBar()->setValue(1);
        QVERIFY(shows(70, 41));
        c.panel().pageBar()->setValue(2);
        QVERIFY(shows(40, 11));
        c.panel().pageBar()->setValue(1);
        QVERIFY(shows(70, 41));
        // The first page is the newest sends.
        c.panel().pageBar()->setValue(0);
        QVERIFY(shows(140, 111));
    }

    void coloursAndNullFields()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        // A row with every column null but its key, as an old or damaged file may hold.
        c.data.connection.execute(QStringLiteral("INSERT INTO Historial (sid) VALUES (101)"));
        c.feature->refreshHistoryPage();

        QCOMPARE(c.colour(QStringLiteral("pMensaje 99")), colourOf(history::Colour::Grey));    // future
        QCOMPARE(c.colour(QStringLiteral("pMensaje 98")), colourOf(history::Colour::Red));     // all failed
        QCOMPARE(c.colour(QStringLiteral("pMensaje 97")), colourOf(history::Colour::Orange));  // partly
        QCOMPARE(c.colour(QStringLiteral("pMensaje 95")), colourOf(history::Colour::Green));   // delivered
        QCOMPARE(c.colour(QStringLiteral("Recibidos 97")), colourOf(history::Colour::Green));
        QCOMPARE(c.text(QStringLiteral("pFallidos 98")), QStringLiteral("Destinatarios fallidos: (3/3)"));

        // The null row is drawn, and its menu, report and cancel leave it alone.
        QVERIFY(c.text(QStringLiteral("pMensaje 101")).startsWith(QStringLiteral("Mensaje 1 (")));
        QVERIFY(c.panel().selectKey(QStringLiteral("pMensaje 101")));
        const QRect where = c.panel().sendsList()->visualItemRect(c.node(QStringLiteral("pMensaje 101")));
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(where.center());
        QVERIFY(!c.item("mnurclick_listado_historial_destinatarios")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_eliminar")->isEnabled());
        c.panel().contextMenu()->hide();
        c.feature->requestMenuSendReport();
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::GetReport), 0);
        QCOMPARE(c.data.count(QStringLiteral("sid=101")), qint64(1));

        // A right click below the sends: only the bulk items and "Ver".
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(QPoint(2, 100000));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar")->isVisible());
        QVERIFY(c.item("mnurclick_listado_historial_cancelar_todos")->isVisible());
        c.panel().contextMenu()->hide();
    }

    void recipientActionsStayDisabledUntilSomeoneCarriesThemOut()
    {
        // A panel on its own carries out nothing: all twenty leaves are there and disabled, and
        // neither they nor the double click ask for anything.
        HistoryPanel bare;
        QSignalSpy bareRequested(&bare, &HistoryPanel::recipientsRequested);
        QSignalSpy bareDoubleClicked(&bare, &HistoryPanel::recipientsDoubleClicked);
        const QStringList classes{"todos", "confirmados", "pendientes", "fallidos"};
        const QStringList actions{"filtrar", "grupo", "portapapeles", "enviar", "excel"};
        const QStringList captions{"Filtrar contactos", "Crear grupo", "Copiar al portapapeles", "Añadir a 'Enviar a'",
                                   "Exportar teléfonos a Excel"};
        const auto leaf = [&classes, &actions](HistoryPanel &p, int classIndex, int action) {
            return p.menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_%1_%2")
                                  .arg(classes.at(classIndex), actions.at(action)));
        };
        for (int classIndex = 0; classIndex < 4; ++classIndex) {
            for (int action = 0; action < 5; ++action) {
                QAction *a = leaf(bare, classIndex, action);
                QVERIFY(a);
                QCOMPARE(a->text(), captions.at(action));
                QVERIFY(!a->isEnabled());
                a->trigger();
            }
        }
        QCOMPARE(bareRequested.count(), 0);

        // The history feature carries out the copy and the workbook itself; the filter, the group
        // and the send panel wait until the application says where they lead.
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QSignalSpy requested(&c.panel(), &HistoryPanel::recipientsRequested);
        const QString sendKey = QStringLiteral("pMensaje 97");   // partly delivered: every class has numbers
        QVERIFY(c.panel().selectKey(sendKey));
        const QRect where = c.panel().sendsList()->visualItemRect(c.node(sendKey));
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(where.center());
        QVERIFY(c.item("mnurclick_listado_historial_destinatarios")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_destinatarios_confirmados")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_destinatarios_fallidos")->isEnabled());
        for (int classIndex = 0; classIndex < 4; ++classIndex) {
            for (int action = 0; action < 5; ++action)
                QCOMPARE(leaf(c.panel(), classIndex, action)->isEnabled(), action == 2 || action == 4);
        }
        leaf(c.panel(), 0, 0)->trigger();
        leaf(c.panel(), 0, 3)->trigger();
        QCOMPARE(requested.count(), 0);
        QSignalSpy doubleClicked(&c.panel(), &HistoryPanel::recipientsDoubleClicked);
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(QStringLiteral("Recibidos 97")), 0);
        QCOMPARE(doubleClicked.count(), 0);

        // The copy works at once, for the send the menu was opened on.
        QSignalSpy acted(&c.feature->recipientActions(), &history::RecipientActions::acted);
        leaf(c.panel(), 1, 2)->trigger();
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.first().at(0).toLongLong(), qint64(97));
        QCOMPARE(requested.first().at(1).toString(), QStringLiteral("Recibidos"));
        QCOMPARE(requested.first().at(2).toInt(), 2);
        QCOMPARE(acted.count(), 1);
        QCOMPARE(acted.first().at(0).value<history::RecipientOutcome>().status,
                 history::RecipientOutcome::Status::Copied);
        c.panel().contextMenu()->hide();

        // Once the contact book is there, its two leaves and the double click work.
        QStringList filtered;
        history::ContactBookLink contactBook;
        contactBook.filterByPhones = [&filtered](const QString &list) { filtered << list; };
        contactBook.reloadGroups = [] {};
        contactBook.filterByGroup = [](const QString &) {};
        contactBook.showContacts = [] {};
        c.feature->recipientActions().setContactBook(contactBook);
        QVERIFY(leaf(c.panel(), 3, 0)->isEnabled() && leaf(c.panel(), 3, 1)->isEnabled());
        QVERIFY(!leaf(c.panel(), 3, 3)->isEnabled());
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(QStringLiteral("Recibidos 97")), 0);
        QCOMPARE(doubleClicked.count(), 1);
        QCOMPARE(doubleClicked.first().at(1).toString(), QStringLiteral("Recibidos"));
        QCOMPARE(filtered, QStringList{QStringLiteral("34600009701")});
        // A double click on the send's own node names no class: nothing.
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(sendKey), 0);
        QCOMPARE(filtered.size(), 1);

        // Nothing to act on: an unknown class, a send that is gone, a class without numbers (the
        // filter is not applied and the tab stays).
        using history::RecipientAction;
        using Status = history::RecipientOutcome::Status;
        history::RecipientActions &recipientActions = c.feature->recipientActions();
        QCOMPARE(recipientActions.actOnRecipients(97, QStringLiteral("pMensaje"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(recipientActions.actOnRecipients(999, QStringLiteral("Recibidos"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(recipientActions.actOnRecipients(96, QStringLiteral("Fallidos"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(filtered.size(), 1);
        // The send panel has nowhere to go yet.
        QCOMPARE(recipientActions.actOnRecipients(97, QStringLiteral("Recibidos"), RecipientAction::AddToSendPanel).status,
                 Status::Unavailable);

        c.feature->recipientActions().setSendPanel([](const QString &) {});
        QVERIFY(leaf(c.panel(), 2, 3)->isEnabled());
        QVERIFY2(!c.prompter.hasUnexpected(), c.prompter.unexpectedReport().constData());
    }

    void filterThroughThePanel()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();

        // Before any "Filtrar" the box cannot be ticked: a click opens the panel, another closes it.
        p.filterCheck()->click();
        QVERIFY(!p.filterCheck()->isChecked());
        QVERIFY(!p.filterFrame()->isHidden());
        p.filterCheck()->click();
        QVERIFY(p.filterFrame()->isHidden());

        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("Oferta"));
        p.applyFilterButton()->click();
        QVERIFY(p.filterCheck()->isChecked());
        QVERIFY(p.filterFrame()->isHidden());
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 2"));

        // Unticking shows everything again without losing the condition; ticking applies it.
        p.filterCheck()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(100));
        p.filterCheck()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));

        // A nine-digit mobile gets its prefix back in the box and finds exactly that member.
        p.byTextCheck()->setChecked(false);
        p.byPhoneCheck()->setChecked(true);
        p.phoneBox()->setText(QStringLiteral("600000101"));
        p.applyFilterButton()->click();
        QCOMPARE(p.phoneBox()->text(), QStringLiteral("34600000101"));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
        QVERIFY(c.node(QStringLiteral("pMensaje 1")));

        // Quotes and brackets typed into the text are only text.
        p.byPhoneCheck()->setChecked(false);
        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("O'Ferta [1]"));
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(0));
        QCOMPARE(c.text(QStringLiteral("l0")), QStringLiteral("Sin registros"));

        // The contact book's "Buscar envíos" lands on the same filter (the text criterion stays as it was).
        p.byTextCheck()->setChecked(false);
        c.feature->findSendsTo(QStringLiteral("34600000101"));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
    }

    void filterPanelAndCalendars()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.resize(760, 520);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QCOMPARE(p.fromDateBox()->text(), QStringLiteral("2000-01-01"));
        QCOMPARE(p.toDateBox()->text(), QStringLiteral("2050-01-01"));
        QCOMPARE(p.fromCalendar()->selectedDate(), QDate(2000, 1, 1));

        // The icon opens and closes the panel; closing it closes the calendars too.
        p.filterPanelButton()->click();
        QVERIFY(!p.filterFrame()->isHidden());
        QTest::mouseClick(p.fromDateBox(), Qt::LeftButton);
        QVERIFY(!p.fromCalendar()->isHidden());
        p.filterPanelButton()->click();
        QVERIFY(p.filterFrame()->isHidden());
        QVERIFY(p.fromCalendar()->isHidden());
        p.filterPanelButton()->click();

        // Each calendar fills its box; the second starts at today the first time only.
        QTest::mouseClick(p.fromDateBox(), Qt::LeftButton);
        QVERIFY(!p.fromCalendar()->isHidden() && p.toCalendar()->isHidden());
        p.fromCalendar()->setSelectedDate(QDate(2024, 5, 5));
        QCOMPARE(p.fromDateBox()->text(), QStringLiteral("2024-05-05"));
        QTest::mouseClick(p.toDateBox(), Qt::LeftButton);
        QVERIFY(p.fromCalendar()->isHidden() && !p.toCalendar()->isHidden());
        QCOMPARE(p.toCalendar()->selectedDate(), QDate::currentDate());
        p.toCalendar()->setSelectedDate(QDate(2024, 5, 5));
        QCOMPARE(p.toDateBox()->text(), QStringLiteral("2024-05-05"));
        Q_EMIT p.toCalendar()->activated(QDate(2024, 5, 5));   // a double click closes it
        QVERIFY(p.toCalendar()->isHidden());
        QTest::mouseClick(p.toDateBox(), Qt::LeftButton);
        QCOMPARE(p.toCalendar()->selectedDate(), QDate(2024, 5, 5));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(100));   // nothing applies before "Filtrar"

        // "Cerrar" only hides; "Filtrar" applies the dates (the whole last day included).
        p.closeFilterButton()->click();
        QVERIFY(p.filterFrame()->isHidden() && p.toCalendar()->isHidden());
        QVERIFY(!p.filterCheck()->isChecked());
        p.byDateCheck()->setChecked(true);
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(11));

        // Leaving the phone box empty drops the phone criterion.
        p.byPhoneCheck()->setChecked(true);
        p.phoneBox()->setText(QStringLiteral("  "));
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(p.phoneBox(), &out);
        QVERIFY(!p.byPhoneCheck()->isChecked());
    }

    void namesOnAndOff()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.data.addContact(QStringLiteral("Ana"), QStringLiteral("34600009601"));
        c.feature->refreshHistoryPage();
        const QString key = QStringLiteral("pMensaje 96");
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - 34600009601")));

        QAction menu(QStringLiteral("Mostrar nombres"));
        menu.setEnabled(false);
        history::HistoryPanels seam(*c.feature);
        seam.bindShowNamesItem(&menu);
        QVERIFY(menu.isEnabled());

        c.panel().showNamesCheck()->click();
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - Ana")));
        QVERIFY(menu.isChecked());

        menu.trigger();
        QVERIFY(!c.panel().showNamesCheck()->isChecked());
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - 34600009601")));
        menu.trigger();
        QVERIFY(c.panel().showNamesCheck()->isChecked());
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - Ana")));
    }

    void deleteOne()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        // The empty view's node and no selection do nothing.
        c.feature->deleteMenuSend();
        QCOMPARE(c.data.count(), qint64(100));
        c.rightClick(QStringLiteral("Fecha 100"));
        c.feature->deleteMenuSend();
        QCOMPARE(c.data.count(QStringLiteral("sid=100")), qint64(0));
        QCOMPARE(c.prompter.lastCall().text, QStringLiteral("Registro eliminado satisfactoriamente"));
        QCOMPARE(c.prompter.lastCall().title, QStringLiteral("Historial eliminado"));
        QVERIFY(c.text(QStringLiteral("pMensaje 99")).startsWith(QStringLiteral("Mensaje 1 (")));
    }

    // The popup menu acts on the send it was opened on. While it is up a report reply or the
    // automation redraws the view, and the tree's current item moves to the newest send (as Qt
    // makes it when the rebuilt tree takes the focus again): the items still act on the send the
    // user clicked, and on none at all once that send has gone.
    void deleteAllSentUnderAFilter()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("Cita"));
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));

        c.prompter.answerInput(QStringLiteral(" si "));
        c.feature->deleteAllSentInView();
        QCOMPARE(c.prompter.callsOf(testing::ScriptedPrompter::Kind::Input).constFirst().title,
                 QStringLiteral("Confirmar eliminación de 33 historiales de envíos"));
        QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Se han eliminado 33 registros de historial.")});
        // The future "Cita" sends and every "Oferta" stay.
        QCOMPARE(c.data.count(), qint64(67));
        QCOMPARE(c.data.count(QStringLiteral("mensaje LIKE 'Cita%'")), qint64(17));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(17));
    }

    void textsFitOnScreen()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.data.addContact(QStringLiteral("Ana"), QStringLiteral("34600000601"));
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.resize(760, 520);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        p.sendsList()->expandItem(c.node(QStringLiteral("pMensaje 97")));
        p.sendsList()->expandItem(c.node(QStringLiteral("pRecibidos 97")));
        p.sendsList()->expandItem(c.node(QStringLiteral("pMensaje 98")));
        p.filterFrame()->show();
        QCoreApplication::processEvents();
        QVERIFY(p.pageLabel()->width() >= p.pageLabel()->sizeHint().width());
        QVERIFY(p.showNamesCheck()->width() >= p.showNamesCheck()->sizeHint().width());
        QVERIFY(p.byPhoneCheck()->width() >= p.byPhoneCheck()->sizeHint().width());
        const QString shot = qEnvironmentVariable("BRISANTA_HISTORY_SHOT");
        if (!shot.isEmpty())
            QVERIFY(p.grab().save(shot));
    }

private:
    std::unique_ptr<Client> m_client;
};

QTEST_MAIN(TestHistoryPanel)
#include "test_history_panel.moc"
