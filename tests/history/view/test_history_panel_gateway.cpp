#include "history_panel_rig.h"

using namespace historypanel;

// The history tab's requests to the gateway: delivery reports, single and whole cancellations,
// and the popup items that start them.
class TestHistoryPanelGateway final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_client = std::make_unique<Client>(); }
    void cleanup()
    {
        if (m_client)
            m_client->gateway.releaseHangs();
        m_client.reset();
    }

    void reportsOnOpeningTheTab_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("plain") << -1;
        QTest::newRow("lf-only") << int(sim::FaultKind::LfOnly);
        QTest::newRow("trailing-crlf") << int(sim::FaultKind::TrailingCrLf);
    }
    void reportsOnOpeningTheTab()
    {
        QFETCH(int, fault);
        Client &c = *m_client;
        c.gateway.setFailingSuffixes({QStringLiteral("99")});
        const qint64 delivered = c.recordSend(QStringLiteral("34600111111,34600222222"));
        const qint64 failed = c.recordSend(QStringLiteral("34600333399"));
        const qint64 waiting = c.recordSend(QStringLiteral("34600444444"));
        const qint64 scheduled = c.recordSend(QStringLiteral("34600555555"), kFuture);
        QVERIFY(c.gateway.deliver(c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {delivered}).toLongLong()) > 0);
        QVERIFY(c.gateway.deliver(c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {failed}).toLongLong()) > 0);
        if (fault >= 0)
            c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind(fault));

        c.feature->refreshHistoryPage();
        const QString sendKey = QStringLiteral("pMensaje %1").arg(delivered);
        QCOMPARE(c.colour(sendKey), colourOf(history::Colour::Orange));

        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        history::HistoryListViews seam(*c.feature);
        seams::ListViews &lists = seam;
        lists.refreshPendingReports(kLogin, kLogin);
        QVERIFY(c.busy.isBusy());
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());

        const std::optional<sim::LoggedRequest> request = c.gateway.lastRequest(sim::Endpoint::GetReport);
        QVERIFY(request);
        QCOMPARE(request->value("sms_id").split(QLatin1Char(',')).size(), 3);   // the scheduled one is not due
        QCOMPARE(c.colour(sendKey), colourOf(history::Colour::Green));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(failed)), colourOf(history::Colour::Red));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(waiting)), colourOf(history::Colour::Orange));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(scheduled)), colourOf(history::Colour::Grey));
        QCOMPARE(c.text(QStringLiteral("pRecibidos %1").arg(delivered)), QStringLiteral("Destinatarios confirmados: (2/2)"));
        QCOMPARE(c.prompter.count(), 0);
    }

    void reportJunkNeverCrashesAndEveryChangeShows()
    {
        Client &c = *m_client;
        Send s;
        s.recipients = QStringLiteral("34600111111");
        s.gatewayId = QStringLiteral("77");
        const qint64 sid = c.data.insert(s);
        s.gatewayId = QStringLiteral("78");
        s.state = QStringLiteral("1|34600111111|0");
        c.data.insert(s);
        c.feature->refreshHistoryPage();

        // Unknown ids, short and empty lines, LF endings; the last line changes nothing, yet the
        // first line's change must show.
        c.gateway.armCustomReply(sim::Endpoint::GetReport,
                                 QStringLiteral("1|77|34600111111|0\n|\r\n0\r\n\r\n1|9999|34600111111|0\n5\n1|78|34600111111|0\r\n"));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        history::ReportOutcome outcome;
        connect(c.feature.get(), &HistoryFeature::reportHandled, this,
                [&outcome](const history::ReportOutcome &o) { outcome = o; });
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->requestMenuSendReport();
        QVERIFY(handled.wait(10000));
        QCOMPARE(outcome.updated, 1);
        QCOMPARE(c.data.stateOf(QStringLiteral("77")), QStringLiteral("1|34600111111|0"));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(sid)), colourOf(history::Colour::Green));
        QCOMPARE(c.data.count(), qint64(2));
        QCOMPARE(c.prompter.count(), 0);

        // An error page: "Error de conexion", nothing changes.
        c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind::NoSeparator);
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->requestMenuSendReport();
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kConnectionErrorMessage});
        QCOMPARE(c.data.stateOf(QStringLiteral("77")), QStringLiteral("1|34600111111|0"));
    }

    void reportsOfLargeGroupsAreRead()
    {
        // A page of sends to groups of 50,000: some twelve megabytes of report in one reply.
        constexpr int kSends = history::kMaxReportIds;
        constexpr int kGroup = 50000;
        Client &c = *m_client;
        QString reply;
        for (int k = 0; k < kSends; ++k) {
            QStringList numbers;
            numbers.reserve(kGroup);
            for (int i = 0; i < kGroup; ++i)
                numbers << QStringLiteral("346%1%2").arg(k, 2, 10, QLatin1Char('0')).arg(i, 6, 10, QLatin1Char('0'));
            const QString list = numbers.join(QLatin1Char(','));
            Send s;
            s.recipients = list;
            s.gatewayId = QString::number(500 + k);
            c.data.insert(s);
            reply += QStringLiteral("1|") + s.gatewayId + QLatin1Char('|') + list + QStringLiteral("|0\r\n");
        }
        c.gateway.armCustomReply(sim::Endpoint::GetReport, reply);
        c.feature->reportChannel().setTimeout(120s);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(120000));
        const auto outcome = handled.at(0).at(0).value<history::ReportOutcome>();
        QCOMPARE(int(outcome.status), int(history::ReportOutcome::Status::Applied));
        QCOMPARE(outcome.updated, kSends);
        QCOMPARE(c.prompter.count(), 0);
        QCOMPARE(c.data.count(QStringLiteral("estado LIKE '1|34600000000,%|0'")), qint64(1));
        QCOMPARE(c.data.count(QStringLiteral("estado LIKE '1|%'")), qint64(kSends));
    }

    void reportPastTheCapIsTooLargeNotAConnectionFailure()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"));
        QCOMPARE(c.feature->reportChannel().replyLimit(), history::kReportReplyLimit);
        // The cap lowered below the reply stands in for a reply past the real one.
        c.feature->reportChannel().setReplyLimit(4);
        c.gateway.armCustomReply(sim::Endpoint::GetReport, QStringLiteral("1|1|34600111111|0"));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(),
                 QStringList{QStringLiteral("Los informes de entrega recibidos son demasiado grandes para leerlos (más de "
                                            "32 MB). No se ha cambiado ningún envío.")});
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='0|0|0'"), {sid}), qint64(1));
    }

    void reportTimeOut()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"));
        c.feature->reportChannel().setTimeout(300ms);
        c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind::Hang);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kConnectionErrorMessage});
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='0|0|0'"), {sid}), qint64(1));
    }

    void singleCancel_data()
    {
        QTest::addColumn<QString>("reply");     // "" = the gateway's own answer; "<id>" stands for the send's id
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("answer");        // to the question of code "3"; -1 none
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("afterwards"); // "gone", "kept", "immediate"

        const QString noCancel = history::kNotCancelledMessage;
        const QString cancelled =
            QStringLiteral("El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos.");
        QTest::newRow("0 real") << QString() << -1 << -1 << cancelled << "gone";
        QTest::newRow("0 naming another send") << "0|999999" << -1 << -1 << cancelled << "gone";
        QTest::newRow("1") << "1|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("2") << "2|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("9") << "9|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("3 yes") << "3|<id>" << -1 << int(ui::Answer::Yes) << QString() << "gone";
        QTest::newRow("3 no") << "3|<id>" << -1 << int(ui::Answer::No) << QString() << "kept";
        QTest::newRow("4") << "4|<id>" << -1 << -1 << QStringLiteral("El mensaje ya ha sido enviado, y no puede cancelarse.")
                           << "immediate";
        // Neither the gateway's success nor its refusal, after it had the request: the send may
        // have been cancelled (the simulator did cancel it).
        const QString maybe = history::kCancelUncertainMessage;
        QTest::newRow("empty") << QString() << int(sim::FaultKind::EmptyBody) << -1 << maybe << "uncertain";
        QTest::newRow("no separator") << QString() << int(sim::FaultKind::NoSeparator) << -1 << maybe << "uncertain";
        QTest::newRow("server error page") << QString() << int(sim::FaultKind::HttpError) << -1 << maybe << "uncertain";
        QTest::newRow("cut short") << QString() << int(sim::FaultKind::Truncated) << -1 << maybe << "uncertain";
    }
    void singleCancel()
    {
        QFETCH(QString, reply);
        QFETCH(int, fault);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(QString, afterwards);
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        const QString id = c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {sid}).toString();
        Send other;
        other.recipients = QStringLiteral("34600999999");
        other.gatewayId = QStringLiteral("999999");
        c.data.insert(other);
        if (!reply.isEmpty())
            c.gateway.armCustomReply(sim::Endpoint::ScheduledSendings, QString(reply).replace(QStringLiteral("<id>"), id));
        if (fault >= 0)
            c.gateway.armFault(sim::Endpoint::ScheduledSendings, sim::FaultKind(fault));
        if (answer >= 0)
            c.prompter.answerMessage(ui::Answer(answer));

        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("Texto %1").arg(sid));   // any node of the send names it
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(c.busy.isBusy());
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());

        const std::optional<sim::LoggedRequest> request = c.gateway.lastRequest(sim::Endpoint::ScheduledSendings);
        QVERIFY(request);
        QCOMPARE(request->value("sms_id"), id);
        QCOMPARE(request->value("action"), QStringLiteral("2"));
        QCOMPARE(request->value("buf"), QStringLiteral("0"));
        if (!message.isEmpty())
            QCOMPARE(c.prompter.messageTexts().constLast(), message);
        QCOMPARE(c.data.count(QStringLiteral("id_web='999999'")), qint64(1));
        if (afterwards == QLatin1String("gone")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=?"), {sid}), qint64(0));
            QVERIFY(!c.node(QStringLiteral("pMensaje %1").arg(sid)));
        } else if (afterwards == QLatin1String("kept")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='0|0|0'"), {sid, kFuture}), qint64(1));
        } else if (afterwards == QLatin1String("uncertain")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='?|0|0'"), {sid, kFuture}), qint64(1));
            QVERIFY(c.text(QStringLiteral("pMensaje %1").arg(sid)).endsWith(QStringLiteral(" - cancelación sin confirmar")));
            QCOMPARE(c.prompter.lastCall().icon, ui::Icon::Warning);
        } else {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada='Inmediato'"), {sid}), qint64(1));
        }
        // Credits came back, or may have: the balance is asked for again.
        const bool refunded = afterwards == QLatin1String("uncertain")
            || (afterwards == QLatin1String("gone") && answer < 0);
        QCOMPARE(balanceWanted.count(), refunded ? 1 : 0);
    }

    // The cancellation may have been carried out at the gateway: the send stays, marked as such,
    // and the user is told to look before asking again, not that the connection failed.
    void cancelPastTheCapIsTooLargeNotAConnectionFailure()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        // The cap lowered below the reply stands in for a reply past the real one.
        c.feature->cancelChannel().setReplyLimit(4);
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("Texto %1").arg(sid));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 1);
        QCOMPARE(c.prompter.messageTexts(), QStringList{net::kTooLargeRequestMessage});
        QCOMPARE(c.prompter.lastCall().title, net::kTooLargeReplyTitle);
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='?|0|0'"), {sid, kFuture}), qint64(1));
    }

    // A cancellation that never reached the gateway cancelled nothing: the send stays scheduled.
    void singleCancelThatNeverLeft()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.gateway.stop();   // nothing listens on that port any more
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kNotCancelledMessage});
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='0|0|0'"), {sid, kFuture}), qint64(1));
        QCOMPARE(balanceWanted.count(), 0);
    }

    void singleCancelWithoutAccount()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.data.connection.execute(QStringLiteral("DELETE FROM Usuario"));
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->cancelMenuSend();
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kMissingAccountMessage});
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 0);
        QVERIFY(!c.busy.isBusy());
    }

    void cancelAll_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("cancels");
        QTest::newRow("si") << QStringList{QStringLiteral("si")} << 1 << true;
        QTest::newRow("blank SI asks again") << QStringList{QStringLiteral(" SI")} << 2 << false;
        QTest::newRow("no asks again") << QStringList{QStringLiteral("no")} << 2 << false;
    }
    void cancelAll()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, asked);
        QFETCH(bool, cancels);
        Client &c = *m_client;
        for (int i = 0; i < 3; ++i)
            c.recordSend(QStringLiteral("3460011111%1").arg(i), kFuture);
        c.recordSend(QStringLiteral("34600222222"));
        for (const QString &a : answers)
            c.prompter.answerInput(a);
        c.feature->refreshHistoryPage();
        c.feature->cancelAllInView();

        const auto inputs = c.prompter.callsOf(testing::ScriptedPrompter::Kind::Input);
        QCOMPARE(inputs.size(), asked);
        QCOMPARE(inputs.first().title, QStringLiteral("Confirmar cancelación de 3 envíos"));
        QVERIFY(!c.busy.isBusy());
        if (cancels) {
            QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Se han cancelado 3 envios programados.")});
            QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 3);
            QCOMPARE(c.gateway.lastRequest(sim::Endpoint::ScheduledSendings)->names(),
                     (QList<QByteArray>{"Fuente", "username", "password", "sms_id", "action"}));
            QCOMPARE(c.data.count(), qint64(1));
            QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
        } else {
            QCOMPARE(c.prompter.messageTexts(), QStringList{ui::kAbortedMessage});
            QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 0);
            QCOMPARE(c.data.count(), qint64(4));
        }
    }

    // The gateway cancels both scheduled sends and refunds them, but one of its answers is an
    // empty page: the client counts the one it heard of, says the other may have been cancelled,
    // keeps that row marked, asks for the balance, and a later report refresh leaves it be.
    void cancelAllWithAnEmptyAnswer()
    {
        Client &c = *m_client;
        QDateTime clock = historytest::fixedNow();
        c.feature->setClock([&clock] { return clock; });
        const double before = c.gateway.balance(kLogin);
        const qint64 first = c.recordSend(QStringLiteral("34600111111"), kFuture);
        const qint64 second = c.recordSend(QStringLiteral("34600222222"), QStringLiteral("2024-06-02 10:00"));
        QVERIFY(c.gateway.balance(kLogin) < before);
        sim::Fault empty;
        empty.kind = sim::FaultKind::EmptyBody;
        c.gateway.armFault(sim::Endpoint::ScheduledSendings, empty);   // the first request: the newest send
        c.prompter.answerInput(QStringLiteral("SI"));
        c.feature->refreshHistoryPage();
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        c.feature->cancelAllInView();

        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 2);
        QCOMPARE(c.gateway.balance(kLogin), before);
        QCOMPARE(c.prompter.messageTexts(),
                 QStringList{QStringLiteral("Se han cancelado 1 envios programados.\nEl envío programado para el "
                                            "2024-06-02 10:00 (identificador ")
                             + c.idOf(second)
                             + QStringLiteral(") puede haberse cancelado: no se ha recibido una respuesta reconocible de "
                                              "la pasarela. Queda marcado en el historial como cancelación sin confirmar.")});
        QCOMPARE(c.prompter.lastCall().icon, ui::Icon::Warning);
        QCOMPARE(balanceWanted.count(), 1);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {first}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='?|0|0'"), {second}), qint64(1));
        QVERIFY(c.text(QStringLiteral("pMensaje %1").arg(second)).endsWith(QStringLiteral(" - cancelación sin confirmar")));

        // Past its time, the automatic refresh does not ask for it, so it is not removed unseen.
        clock = QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC);
        c.gateway.setGatewayClock(clock);
        history::HistoryListViews seam(*c.feature);
        static_cast<seams::ListViews &>(seam).refreshPendingReports(kLogin, kLogin);
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::GetReport), 0);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {second}), qint64(1));
    }

    void cancelAllUnreachable()
    {
        Client &c = *m_client;
        c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.feature->refreshHistoryPage();
        c.gateway.stop();   // nothing listens on that port any more
        c.prompter.answerInput(QStringLiteral("SI"));
        c.feature->cancelAllInView();
        QCOMPARE(c.prompter.messageTexts().size(), 1);
        QVERIFY(c.prompter.messageTexts().constFirst().startsWith(QStringLiteral("No ha sido posible conectar")));
        QCOMPARE(c.data.count(), qint64(1));
        QVERIFY(!c.busy.isBusy());
    }

    void popupItemsActOnTheSendTheMenuWasOpenedOn()
    {
        Client &c = *m_client;
        const qint64 sent = c.recordSend(QStringLiteral("34600111111"));
        const qint64 scheduled = c.recordSend(QStringLiteral("34600222222"), kFuture);
        const qint64 newest = c.recordSend(QStringLiteral("34600333333"), kFuture);   // drawn first
        const QString scheduledId = c.idOf(scheduled);
        const QString newestId = c.idOf(newest);
        c.feature->refreshHistoryPage();
        QTreeWidget *tree = c.panel().sendsList();
        QMenu *menu = c.panel().contextMenu();
        const auto openOn = [&](qint64 sid) {
            QTreeWidgetItem *item = c.node(QStringLiteral("pMensaje %1").arg(sid));
            QVERIFY(item);
            Q_EMIT tree->customContextMenuRequested(tree->visualItemRect(item).center());
            QVERIFY(menu->isVisible());
            QCOMPARE(c.panel().selectedKey(), QStringLiteral("pMensaje %1").arg(sid));
        };
        const auto redrawUnderTheMenu = [&] {
            QVERIFY(menu->isVisible());
            c.feature->refreshHistoryPage();
            tree->setCurrentItem(tree->topLevelItem(0));
        };
        // The user picks the item in the open menu: the menu closes, then the item acts.
        const auto choose = [&](const char *name) {
            QAction *a = c.item(name);
            QVERIFY(a->isVisible());
            QVERIFY(a->isEnabled());
            menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
            QVERIFY(!menu->isVisible());
        };

        // "Eliminar registro" on the sent one.
        openOn(sent);
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_eliminar");
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {sent}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid IN (?, ?)"), {scheduled, newest}), qint64(2));
        QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Registro eliminado satisfactoriamente")});

        // "Cancelar envío" on the older scheduled one.
        QSignalSpy cancelled(c.feature.get(), &HistoryFeature::cancelHandled);
        openOn(scheduled);
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_cancelar");
        QVERIFY(cancelled.wait(10000));
        QCOMPARE(c.gateway.lastRequest(sim::Endpoint::ScheduledSendings)->value("sms_id"), scheduledId);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {scheduled}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=?"), {newest, kFuture}), qint64(1));

        // "Actualizar confirmación" asks about the send clicked.
        const qint64 another = c.recordSend(QStringLiteral("34600444444"));
        c.feature->refreshHistoryPage();
        QSignalSpy reported(c.feature.get(), &HistoryFeature::reportHandled);
        openOn(newest);
        redrawUnderTheMenu();
        QCOMPARE(c.panel().selectedKey(), QStringLiteral("pMensaje %1").arg(another));
        choose("mnurclick_listado_historial_Actualizar");
        QVERIFY(reported.wait(10000));
        QCOMPARE(c.gateway.lastRequest(sim::Endpoint::GetReport)->value("sms_id"), newestId);

        // A send deleted from another workstation while the menu is up: nothing happens to any
        // other send, and the user hears why.
        const qint64 requests = c.gateway.requestCount(sim::Endpoint::ScheduledSendings);
        openOn(newest);
        c.data.connection.execute(QStringLiteral("DELETE FROM Historial WHERE sid=?"), {newest});
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_cancelar");
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), requests);
        QCOMPARE(c.prompter.messageTexts().constLast(), kGone);
        openOn(another);
        c.data.connection.execute(QStringLiteral("DELETE FROM Historial WHERE sid=?"), {another});
        c.recordSend(QStringLiteral("34600555555"));
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_eliminar");
        QCOMPARE(c.prompter.messageTexts().constLast(), kGone);
        QCOMPARE(c.data.count(), qint64(1));
        QVERIFY(!c.busy.isBusy());
    }

    // A gateway that numbered its sends afresh gives a new send the number of an older one that
    // was delivered and charged. Cancelling the new send, or asking for its report, changes the
    // new send's row and leaves the older send as it was.
    void anOlderSendWithTheSameNumberIsLeftAlone()
    {
        Client &c = *m_client;
        const qint64 scheduled = c.recordSend(QStringLiteral("34600222222"), kFuture);
        const qint64 olderCancelled = c.data.insert({.recipients = "34600999991", .sentAt = "2024-04-01 09:00",
                                                     .gatewayId = c.idOf(scheduled), .state = "1|34600999991|0"});
        const qint64 sent = c.recordSend(QStringLiteral("34600333333"));
        const qint64 olderReported = c.data.insert({.recipients = "34600999992", .sentAt = "2024-04-01 09:00",
                                                    .gatewayId = c.idOf(sent), .state = "1|34600999992|0"});
        c.feature->refreshHistoryPage();

        QSignalSpy cancelled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.rightClick(QStringLiteral("pMensaje %1").arg(scheduled));
        c.feature->cancelMenuSend();
        QVERIFY(cancelled.wait(10000));
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {scheduled}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600999991|0' AND f_programada='Inmediato'"),
                              {olderCancelled}),
                 qint64(1));

        QVERIFY(c.gateway.deliver(c.idOf(sent).toLongLong()) > 0);
        QSignalSpy reported(c.feature.get(), &HistoryFeature::reportHandled);
        c.rightClick(QStringLiteral("pMensaje %1").arg(sent));
        c.feature->requestMenuSendReport();
        QVERIFY(reported.wait(10000));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600333333|0'"), {sent}), qint64(1));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600999992|0'"), {olderReported}), qint64(1));
        QCOMPARE(c.data.count(), qint64(3));
        QVERIFY(!c.busy.isBusy());
    }

private:
    std::unique_ptr<Client> m_client;
};

QTEST_MAIN(TestHistoryPanelGateway)
#include "test_history_panel_gateway.moc"
