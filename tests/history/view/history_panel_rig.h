#pragma once

// The history panel of one client against its own gateway simulator, shared by the panel's
// suites: the local one (pages, filter, colours, deletions) and the gateway one (reports, cancels).

#include "history/send_time.h"
#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "history/view/history_seams.h"
#include "history/view/recipient_actions.h"
#include "history/gateway_sends.h"
#include "history/history_fixture.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/net/too_large_reply.h"
#include "platform/ui/busy_cursor.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace historypanel {

using namespace std::chrono_literals;
using history::HistoryFeature;
using history::HistoryPanel;
using historytest::Send;


inline const QString kFuture = QStringLiteral("2024-06-01 10:00");
inline const QString kLogin = QStringLiteral("demo");
inline const QString kGone = QStringLiteral("Este envío ya no está en el historial. No se ha hecho nada.");

// One client with its own program folder, database, gateway and prompts.
struct Client {
    historytest::Database data;
    sim::GatewaySimulator gateway;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{data.connection, prompter, shell, busy, data.home.path()};
    std::unique_ptr<HistoryFeature> feature;

    Client()
    {
        QVERIFY(gateway.start());
        qputenv("BRISANTA_URL_BASE", gateway.baseUrl().toUtf8());
        gateway.addAccount(kLogin, kLogin);
        gateway.setGatewayClock(historytest::fixedNow());
        data.connection.execute(QStringLiteral("INSERT INTO Usuario (login, pass) VALUES (?, ?)"), {kLogin, kLogin});
        feature = std::make_unique<HistoryFeature>(context);
        feature->setClock(&historytest::fixedNow);
        feature->reportChannel().setTimeout(10s);
        feature->cancelChannel().setTimeout(10s);
        feature->setSyncTimeout(10s);
    }

    HistoryPanel &panel() { return *feature->panel(); }

    // A send the gateway knows, as the send command would have made it; returns its id.
    QString gatewaySend(const QString &number, const QString &scheduledFor = {})
    {
        return historytest::sendAtGateway(gateway, kLogin, kLogin, number, scheduledFor);
    }

    // A send known to both sides.
    qint64 recordSend(const QString &number, const QString &scheduledFor = {})
    {
        Send s;
        s.recipients = number;
        s.gatewayId = gatewaySend(number, scheduledFor);
        if (!scheduledFor.isEmpty())
            s.scheduledFor = scheduledFor;
        return data.insert(s);
    }

    // A right click on the node `key`: the popup menu opens on that send.
    void rightClick(const QString &key) { Q_EMIT panel().contextRequested(key, QPoint()); }
    QString idOf(qint64 sid)
    {
        return data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {sid}).toString();
    }

    QTreeWidgetItem *node(const QString &key) { return panel().itemForKey(key); }
    QString text(const QString &key)
    {
        QTreeWidgetItem *item = node(key);
        return item ? item->text(0) : QStringLiteral("<none>");
    }
    QColor colour(const QString &key)
    {
        QTreeWidgetItem *item = node(key);
        return item ? item->foreground(0).color() : QColor();
    }
    QString label() { return panel().pageLabel()->text(); }
    int sends() { return panel().sendsList()->topLevelItemCount(); }
    QAction *item(const char *name) { return panel().menuItem(QString::fromLatin1(name)); }
};

inline QColor colourOf(history::Colour c)
{
    return QColor::fromRgb(history::rgb(c));
}


} // namespace historypanel
