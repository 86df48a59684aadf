#pragma once

#include "history/account.h"
#include "history/cancellation.h"
#include "history/delivery_reports.h"
#include "history/export/history_export_dialog.h"
#include "history/history_view.h"
#include "history/row_actions.h"
#include "history/view/recipient_actions.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/single_instance.h"
#include "seams/app_context.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QAction;

namespace history {

class HistoryPanel;

// The "Historial" tab at work: it owns the tab's panel and the two gateway lines of the history
// (the report channel, objectName `WebBrowser2`, and the cancel channel, `WebBrowser4`), keeps what the view
// lists (the "Ver" option, the filter, the names, the page) and answers every control of the tab.
// The rules themselves are the functions of the history library; here they are called in order,
// the view is redrawn when they changed something and the user is told last.
class HistoryFeature final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryFeature)

public:
    using Clock = std::function<QDateTime()>;
    using AccountSource = std::function<Account()>;

    explicit HistoryFeature(seams::AppContext &context, QObject *parent = nullptr);
    ~HistoryFeature() override;

    // The tab's panel. Whoever lays it out becomes its owner; until then the feature owns it.
    HistoryPanel *panel() const { return m_panel; }

    // The clock the view and the requests judge send times by; the machine's local time by default.
    void setClock(Clock clock);
    // Where the window's copies of the login and pass come from (the main window's, so that both
    // see the same account); the feature keeps its own copies without one.
    void setAccountSource(AccountSource source);
    // The blocking requests of "Cancelar todos" wait this long for each reply.
    void setSyncTimeout(std::chrono::milliseconds timeout) { m_syncTimeout = timeout; }

    net::GatewayChannel &reportChannel() { return m_reports; }
    net::GatewayChannel &cancelChannel() { return m_cancels; }

    // The seams of the main window.
    void refreshHistoryPage();
    void refreshPendingReports(const QString &login, const QString &pass);
    // Takes over the main menu's "Mostrar nombres": enabled, checkable, mirroring the panel's names check.
    void bindShowNamesItem(QAction *item);

    // The contact book's "Buscar envíos": every send to that number, the filter applied.
    void findSendsTo(const QString &phone);

    // The main menu's "Exportar a Excel" (HistoryExportDialog): one window at a time.
    void openExport();
    exporting::HistoryExportDialog *exportWindow() const { return m_export.existing(); }

    // "Seleccionar destinatarios" and the double click on a class of recipients; the application
    // tells it where the contact book and the send panel are.
    RecipientActions &recipientActions() { return *m_recipients; }

    const ViewOptions &options() const { return m_options; }
    const HistoryPage &currentPage() const { return m_page; }

    // The popup menu's actions. Those on one send act on the node the menu was opened on
    // (HistoryPanel::menuKey), whatever the tree has selected by the time they run.
    void requestMenuSendReport();
    void cancelMenuSend();
    void cancelAllInView();
    void deleteMenuSend();
    void deleteAllSentInView();
    void chooseView(int index);

Q_SIGNALS:
    // After the view was rebuilt.
    void redrawn();
    // After a delivery-report reply was written (or refused); the view is already redrawn.
    void reportHandled(const history::ReportOutcome &outcome);
    // After a single-cancel reply was handled, the question of code "3" answered included.
    void cancelHandled(const history::CancelOutcome &outcome);
    // A cancellation gave credits back, or may have: the balance shown is to be taken from the gateway.
    void balanceWanted();

private:
    void connectPanel();
    QDateTime now() const;
    Account reloadAccount();
    void showNotice(const Notice &notice, bool warning = false);

    void onContext(const QString &key, const QPoint &globalPos);
    void onReport(const net::GatewayReply &reply);
    void onCancel(const net::GatewayReply &reply);

    void setShowNames(bool on);
    void onFilterCheckClicked(bool checked);
    void applyFilter();
    void toggleFilterPanel();
    void readFilterPanel();

    seams::AppContext &m_context;
    QPointer<HistoryPanel> m_panel;
    QPointer<QAction> m_showNamesItem;
    net::GatewayChannel m_reports;
    net::GatewayChannel m_cancels;
    Clock m_clock;
    AccountSource m_accountSource;
    Account m_account;              // `usuario_login`, `usuario_pass` without an account source
    Account m_reportAccount;        // the account the report in flight was asked for
    ReportedRows m_reportRows;      // the rows the report in flight was asked for
    CancelTarget m_cancelTarget;    // the send (its row) the cancel in flight was asked for
    std::chrono::milliseconds m_syncTimeout{60000};

    ViewOptions m_options;
    HistoryPage m_page;
    ui::SingleInstance<exporting::HistoryExportDialog> m_export;
    std::unique_ptr<RecipientActions> m_recipients;
};

} // namespace history
