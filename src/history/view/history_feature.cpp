#include "history/view/history_feature.h"

#include "brand/brand.h"
#include "history/history_filter.h"
#include "history/send_time.h"
#include "history/view/history_panel.h"
#include "history/view/sync_transport.h"
#include "platform/db/connection.h"
#include "platform/net/sync_http.h"
#include "platform/text/node_key.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>

namespace history {

namespace {

const QString kBusyReport = QStringLiteral("historial-informe");
const QString kBusyCancel = QStringLiteral("historial-cancelar");
const QString kBusyCancelAll = QStringLiteral("historial-cancelar-todos");
const QString kHistoryErrorMessage = QStringLiteral("No ha sido posible acceder al historial. No se ha cambiado nada.");

} // namespace

HistoryFeature::HistoryFeature(seams::AppContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(new HistoryPanel)
    , m_reports(net::Overlap::ReplaceOlder)
    , m_cancels(net::Overlap::ReplaceOlder)
{
    m_reports.setObjectName(QStringLiteral("WebBrowser2"));
    m_cancels.setObjectName(QStringLiteral("WebBrowser4"));
    // One report line per asked send, each holding its confirmed and failed numbers.
    m_reports.setReplyLimit(kReportReplyLimit);
    connect(&m_reports, &net::GatewayChannel::finished, this, &HistoryFeature::onReport);
    connect(&m_cancels, &net::GatewayChannel::finished, this, &HistoryFeature::onCancel);
    connectPanel();
    m_recipients = std::make_unique<RecipientActions>(context, m_panel.data());
}

HistoryFeature::~HistoryFeature()
{
    m_recipients.reset();
    m_reports.cancel();
    m_cancels.cancel();
    m_context.busy.setBusy(kBusyReport, false);
    m_context.busy.setBusy(kBusyCancel, false);
    // Laid out in a tab, the panel belongs to the window; otherwise it is still ours.
    if (m_panel && !m_panel->parent())
        delete m_panel.data();
}

void HistoryFeature::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void HistoryFeature::setAccountSource(AccountSource source)
{
    m_accountSource = std::move(source);
}

QDateTime HistoryFeature::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

Account HistoryFeature::reloadAccount()
{
    const Account current = m_accountSource ? m_accountSource() : m_account;
    const Account loaded = loadAccount(m_context.connection, current);
    if (!m_accountSource)
        m_account = loaded;
    return loaded;
}

void HistoryFeature::showNotice(const Notice &notice, bool warning)
{
    if (notice.text.isEmpty())
        return;
    m_context.prompter.message(notice.text, notice.title, warning ? ui::Icon::Warning : ui::Icon::Information);
}

void HistoryFeature::connectPanel()
{
    HistoryPanel *p = m_panel;
    connect(p->pageBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_options.page = value;
        refreshHistoryPage();
    });
    connect(p->showNamesCheck(), &QCheckBox::clicked, this, [this](bool checked) { setShowNames(checked); });
    connect(p->filterCheck(), &QCheckBox::clicked, this, &HistoryFeature::onFilterCheckClicked);
    connect(p->applyFilterButton(), &QPushButton::clicked, this, &HistoryFeature::applyFilter);
    connect(p->closeFilterButton(), &QPushButton::clicked, p, &HistoryPanel::hideFilterPanel);
    connect(p->filterPanelButton(), &QToolButton::clicked, this, &HistoryFeature::toggleFilterPanel);
    connect(p, &HistoryPanel::contextRequested, this, &HistoryFeature::onContext);

    const auto on = [this, p](const char *name, void (HistoryFeature::*handler)()) {
        connect(p->menuItem(QString::fromLatin1(name)), &QAction::triggered, this, handler);
    };
    on("mnurclick_listado_historial_Actualizar", &HistoryFeature::requestMenuSendReport);
    on("mnurclick_listado_historial_cancelar", &HistoryFeature::cancelMenuSend);
    on("mnurclick_listado_historial_cancelar_todos", &HistoryFeature::cancelAllInView);
    on("mnurclick_listado_historial_eliminar", &HistoryFeature::deleteMenuSend);
    on("mnurclick_listado_historial_eliminar_todos", &HistoryFeature::deleteAllSentInView);
    for (int i = 0; i < 3; ++i)
        connect(p->viewOption(i), &QAction::triggered, this,
                [this, i] { chooseView(i); });
}

// --- the view ---------------------------------------------------------------------------------

void HistoryFeature::refreshHistoryPage()
{
    m_page = history::buildHistoryPage(m_context.connection, m_options, nowStamp(now()));
    // The page bar is pulled back when the view shrank; the next redraw starts from there, and
    // the next page from the sends this one shows.
    m_options.page = m_page.page;
    m_options.anchor = m_page.anchor;
    if (m_panel)
        m_panel->showPage(m_page);
    Q_EMIT redrawn();
    if (m_page.status == HistoryPage::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
}

void HistoryFeature::chooseView(int index)
{
    const auto kind = static_cast<ViewKind>(index);
    if (index < 0 || index > 2 || kind == m_options.kind) {
        // An exclusive group keeps its item ticked; the tick must still match the view.
        if (m_panel && m_panel->viewOption(int(m_options.kind)))
            m_panel->viewOption(int(m_options.kind))->setChecked(true);
        return;
    }
    m_options.kind = kind;
    if (m_panel)
        m_panel->viewOption(index)->setChecked(true);
    refreshHistoryPage();
}

void HistoryFeature::setShowNames(bool on)
{
    m_options.showNames = on;
    if (m_panel) {
        const QSignalBlocker quiet(m_panel->showNamesCheck());
        m_panel->showNamesCheck()->setChecked(on);
    }
    if (m_showNamesItem) {
        const QSignalBlocker quiet(m_showNamesItem.data());
        m_showNamesItem->setChecked(on);
    }
    refreshHistoryPage();
}

void HistoryFeature::bindShowNamesItem(QAction *item)
{
    // The main window hands the item over each time its parts are plugged in: bind it once.
    if (!item || item == m_showNamesItem)
        return;
    m_showNamesItem = item;
    item->setCheckable(true);
    item->setChecked(m_options.showNames);
    item->setEnabled(true);
    connect(item, &QAction::triggered, this, [this] { setShowNames(!m_options.showNames); });
}

void HistoryFeature::onContext(const QString &key, const QPoint &globalPos)
{
    if (!m_panel)
        return;
    if (key.isEmpty()) {
        m_panel->prepareEmptyAreaMenu();
        m_panel->popupMenu(key, globalPos);
        return;
    }
    // The empty view's node and a send deleted since the last redraw get no menu.
    const RowMenu menu = rowMenu(m_context.connection, key, nowStamp(now()));
    if (menu.status != RowMenu::Status::Ok)
        return;
    m_panel->prepareRowMenu(menu);
    m_panel->popupMenu(key, globalPos);
}

// --- the filter -------------------------------------------------------------------------------

void HistoryFeature::readFilterPanel()
{
    HistoryPanel *p = m_panel;
    p->hideFilterPanel();
    FilterPanel panel;
    panel.byDate = p->byDateCheck()->isChecked();
    panel.fromDate = p->fromDateBox()->text();
    panel.toDate = p->toDateBox()->text();
    panel.byPhone = p->byPhoneCheck()->isChecked();
    panel.phone = p->phoneBox()->text();
    panel.byText = p->byTextCheck()->isChecked();
    panel.text = p->messageTextBox()->text();
    const FilterResult result = history::buildHistoryFilter(panel);
    if (p->phoneBox()->text() != result.phone)
        p->phoneBox()->setText(result.phone);
    m_options.filter = result.condition;
}

void HistoryFeature::applyFilter()
{
    if (!m_panel)
        return;
    readFilterPanel();
    {
        const QSignalBlocker quiet(m_panel->filterCheck());
        m_panel->filterCheck()->setChecked(true);
    }
    m_options.filtering = true;
    refreshHistoryPage();
}

void HistoryFeature::onFilterCheckClicked(bool checked)
{
    if (!m_panel)
        return;
    // Without a stored condition the box cannot be ticked by hand: the click opens or closes
    // the panel where one is built.
    if (m_options.filter.isEmpty()) {
        {
            const QSignalBlocker quiet(m_panel->filterCheck());
            m_panel->filterCheck()->setChecked(false);
        }
        m_options.filtering = false;
        toggleFilterPanel();
        return;
    }
    m_panel->filterFrame()->hide();
    m_options.filtering = checked;
    refreshHistoryPage();
}

void HistoryFeature::toggleFilterPanel()
{
    if (!m_panel)
        return;
    if (!m_panel->filterFrame()->isHidden())
        m_panel->hideFilterPanel();
    else
        m_panel->filterFrame()->show();
}

void HistoryFeature::openExport()
{
    m_export.show([this] { return new exporting::HistoryExportDialog(m_context); });
}

void HistoryFeature::findSendsTo(const QString &phone)
{
    if (!m_panel)
        return;
    m_panel->phoneBox()->setText(phone);
    m_panel->byDateCheck()->setChecked(false);
    m_panel->byPhoneCheck()->setChecked(true);
    m_options.kind = ViewKind::All;
    m_panel->viewOption(0)->setChecked(true);
    readFilterPanel();
    {
        const QSignalBlocker quiet(m_panel->filterCheck());
        m_panel->filterCheck()->setChecked(true);
    }
    m_options.filtering = true;
    refreshHistoryPage();
}

// --- delivery reports -------------------------------------------------------------------------

void HistoryFeature::refreshPendingReports(const QString &login, const QString &pass)
{
    const Account account{login, pass};
    const PendingReport pending = history::findPendingReports(m_context.connection, account, nowMinutes(now()));
    if (pending.status == PendingReport::Status::Ready) {
        m_reportAccount = account;
        m_reportRows = pending.rows;
        m_context.busy.setBusy(kBusyReport, true);
        m_reports.post(pending.request.url, pending.request.fields);
    }
    // The view shows the sends at once; the reply redraws it again when it changed a row.
    refreshHistoryPage();
}

void HistoryFeature::requestMenuSendReport()
{
    if (!m_panel)
        return;
    const QString key = m_panel->menuKey();
    if (key.isEmpty() || key == QLatin1String(text::kEmptyListKey))
        return;
    const Account account = reloadAccount();
    const std::optional<SendReportRequest> request = buildSendReportRequest(m_context.connection, account, key);
    if (!request) {
        // A send gone since the menu opened is said to be gone; one without the gateway's
        // identifier has nothing to ask about.
        if (rowMenu(m_context.connection, key, nowStamp(now())).status == RowMenu::Status::NoRow) {
            refreshHistoryPage();
            showNotice(kSendGoneNotice);
        }
        return;
    }
    m_reportAccount = account;
    m_reportRows = request->rows;
    m_context.busy.setBusy(kBusyReport, true);
    m_reports.post(request->request.url, request->request.fields);
}

void HistoryFeature::onReport(const net::GatewayReply &reply)
{
    m_context.busy.setBusy(kBusyReport, false);
    const ReportOutcome outcome = recordReportReply(m_context.connection, reply, m_reportAccount, m_reportRows);
    // Any row rewritten or removed shows at once, whichever line of the reply it was.
    if (outcome.changed)
        refreshHistoryPage();
    Q_EMIT reportHandled(outcome);
    if (outcome.status == ReportOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else if (!outcome.message.isEmpty())
        m_context.prompter.message(outcome.message);
}

// --- cancellations ----------------------------------------------------------------------------

void HistoryFeature::cancelMenuSend()
{
    if (!m_panel)
        return;
    const QString key = m_panel->menuKey();
    if (key.isEmpty() || key == QLatin1String(text::kEmptyListKey))
        return;
    const Account account = reloadAccount();
    const CancelRequest request = buildCancelRequest(m_context.connection, key, account, m_cancels.counter());
    switch (request.status) {
    case CancelRequest::Status::Ready:
        m_cancelTarget = request.target();
        m_context.busy.setBusy(kBusyCancel, true);
        m_cancels.get(request.url);
        return;
    case CancelRequest::Status::NoAccount:
    case CancelRequest::Status::NoIdentifier:
        showNotice(request.notice);
        return;
    case CancelRequest::Status::DatabaseError:
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
        return;
    case CancelRequest::Status::NoRow:
        // Gone since the menu opened: the view catches up and the user hears it.
        if (!request.notice.text.isEmpty()) {
            refreshHistoryPage();
            showNotice(request.notice);
        }
        return;
    }
}

void HistoryFeature::onCancel(const net::GatewayReply &reply)
{
    // Whatever came back, the pointer is given back: an error page must not leave it busy.
    m_context.busy.setBusy(kBusyCancel, false);
    const CancelTarget target = m_cancelTarget;
    CancelOutcome outcome = recordCancelReply(m_context.connection, reply, target);
    if (outcome.changed)
        refreshHistoryPage();

    if (outcome.status == CancelOutcome::Status::OfferDelete) {
        const ui::Answer answer = m_context.prompter.message(outcome.notice.text, outcome.notice.title,
                                                             ui::Icon::Question, ui::Buttons::YesNo);
        if (answer == ui::Answer::Yes) {
            const db::Result r = deleteRefusedSend(m_context.connection, target);
            outcome.changed = r.ok() && r.changes > 0;
            if (outcome.changed)
                refreshHistoryPage();
            if (!r.ok())
                outcome.status = CancelOutcome::Status::DatabaseError;
        }
        Q_EMIT cancelHandled(outcome);
        if (outcome.status == CancelOutcome::Status::DatabaseError)
            m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
        return;
    }
    Q_EMIT cancelHandled(outcome);
    if (outcome.askBalance)
        Q_EMIT balanceWanted();
    if (outcome.status == CancelOutcome::Status::DatabaseError && outcome.notice.text.isEmpty())
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice, outcome.status == CancelOutcome::Status::TooLarge
                                       || outcome.status == CancelOutcome::Status::Uncertain
                                       || outcome.status == CancelOutcome::Status::DatabaseError);
}

void HistoryFeature::cancelAllInView()
{
    if (m_page.rowCount <= 0)
        return;
    const Account account = reloadAccount();
    const ui::AskText ask = [this](const QString &prompt, const QString &title, const QString &defaultText) {
        return m_context.prompter.input(prompt, title, defaultText);
    };

    net::SyncHttp http(brand::baseUrl());
    http.setTimeout(m_syncTimeout);
    const SyncTransport line = syncTransport(http, brand::webHost());
    // The hourglass shows while the gateway is being asked, not while the user types "SI".
    const SyncTransport transport = [this, &line](const QString &path, const QStringList &names,
                                                  const QStringList &values) {
        m_context.busy.setBusy(kBusyCancelAll, true);
        return line(path, names, values);
    };
    const CancelAllOutcome outcome =
        cancelAllScheduled(m_context.connection, m_page.condition, account, nowStamp(now()), ask, transport);
    http.disconnect();
    m_context.busy.setBusy(kBusyCancelAll, false);

    if (outcome.status == CancelAllOutcome::Status::Done || outcome.status == CancelAllOutcome::Status::Unreachable
        || outcome.changed)
        refreshHistoryPage();
    if (outcome.askBalance)
        Q_EMIT balanceWanted();
    if (outcome.status == CancelAllOutcome::Status::DatabaseError && outcome.notice.text.isEmpty())
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice, outcome.status == CancelAllOutcome::Status::Unreachable || outcome.uncertain > 0);
}

// --- local deletions --------------------------------------------------------------------------

void HistoryFeature::deleteMenuSend()
{
    if (!m_panel)
        return;
    const DeleteOutcome outcome = deleteSendRecord(m_context.connection, m_panel->menuKey(), nowStamp(now()));
    if (outcome.changed)
        refreshHistoryPage();
    if (outcome.status == DeleteOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice);
}

void HistoryFeature::deleteAllSentInView()
{
    if (m_page.rowCount <= 0)
        return;
    const ui::AskText ask = [this](const QString &prompt, const QString &title, const QString &defaultText) {
        return m_context.prompter.input(prompt, title, defaultText);
    };
    const DeleteOutcome outcome = deleteSentSends(m_context.connection, m_page.condition, nowStamp(now()), ask);
    if (outcome.status == DeleteOutcome::Status::Deleted)
        refreshHistoryPage();
    if (outcome.status == DeleteOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice);
}

} // namespace history
