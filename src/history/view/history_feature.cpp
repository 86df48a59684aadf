#include "history/view/history_feature.h"

#include "history/history_filter.h"
#include "history/send_time.h"
#include "history/view/history_panel.h"
#include "history/view/sync_transport.h"
#include "platform/db/connection.h"
#include "platform/net/sync_http.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "startup/brand.h"

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
constexpr qint64 kReportReplyLimit = 4 * 1024 * 1024;
const QString kHistoryErrorMessage = QStringLiteral("No ha sido posible acceder al historial. No se ha cambiado nada.");

} // namespace

HistoryFeature::HistoryFeature(startup::AppContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(new HistoryPanel)
    , m_reports(net::Overlap::ReplaceOlder)
    , m_cancels(net::Overlap::ReplaceOlder)
{
    m_reports.setObjectName(QStringLiteral("WebBrowser2"));
    m_cancels.setObjectName(QStringLiteral("WebBrowser4"));
    // One report line per asked send, each holding its confirmed and failed numbers: twenty sends
    // of a few thousand recipients come to a few hundred kilobytes.
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
    const Account loaded = f_reload_userdata(m_context.conexion, current);
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
    connect(p->HScroll1_Historial(), &QScrollBar::valueChanged, this, [this](int value) {
        m_options.pagina = value;
        f_historial();
    });
    connect(p->Check1(), &QCheckBox::clicked, this, [this](bool checked) { setMostrarNombres(checked); });
    connect(p->Check5(), &QCheckBox::clicked, this, &HistoryFeature::Check5_Click);
    connect(p->Command4(), &QPushButton::clicked, this, &HistoryFeature::Command4_Click);
    connect(p->Command5(), &QPushButton::clicked, p, &HistoryPanel::hideFilterPanel);
    connect(p->Image8(), &QToolButton::clicked, this, &HistoryFeature::Image8_Click);
    connect(p, &HistoryPanel::contextRequested, this, &HistoryFeature::onContext);

    const auto on = [this, p](const char *name, void (HistoryFeature::*handler)()) {
        connect(p->menuItem(QString::fromLatin1(name)), &QAction::triggered, this, handler);
    };
    on("mnurclick_listado_historial_Actualizar", &HistoryFeature::mnurclick_listado_historial_Actualizar_Click);
    on("mnurclick_listado_historial_cancelar", &HistoryFeature::mnurclick_listado_historial_cancelar_Click);
    on("mnurclick_listado_historial_cancelar_todos", &HistoryFeature::mnurclick_listado_historial_cancelar_todos_Click);
    on("mnurclick_listado_historial_eliminar", &HistoryFeature::mnurclick_listado_historial_eliminar_Click);
    on("mnurclick_listado_historial_eliminar_todos", &HistoryFeature::mnurclick_listado_historial_eliminar_todos_Click);
    for (int i = 0; i < 3; ++i)
        connect(p->verOption(i), &QAction::triggered, this,
                [this, i] { mnurclick_listado_historial_ver_options_Click(i); });
}

// --- the view ---------------------------------------------------------------------------------

void HistoryFeature::f_historial()
{
    m_page = history::f_historial(m_context.conexion, m_options, nowStamp(now()));
    // The page bar is pulled back when the view shrank; the next redraw starts from there.
    m_options.pagina = m_page.page;
    if (m_panel)
        m_panel->showPage(m_page);
    Q_EMIT redrawn();
    if (m_page.status == HistoryPage::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
}

void HistoryFeature::mnurclick_listado_historial_ver_options_Click(int index)
{
    const auto kind = static_cast<VerOpcion>(index);
    if (index < 0 || index > 2 || kind == m_options.ver) {
        // An exclusive group keeps its item ticked; the tick must still match the view.
        if (m_panel && m_panel->verOption(int(m_options.ver)))
            m_panel->verOption(int(m_options.ver))->setChecked(true);
        return;
    }
    m_options.ver = kind;
    if (m_panel)
        m_panel->verOption(index)->setChecked(true);
    f_historial();
}

void HistoryFeature::setMostrarNombres(bool on)
{
    m_options.mostrarNombres = on;
    if (m_panel) {
        const QSignalBlocker quiet(m_panel->Check1());
        m_panel->Check1()->setChecked(on);
    }
    if (m_mnuMostrarNombres) {
        const QSignalBlocker quiet(m_mnuMostrarNombres.data());
        m_mnuMostrarNombres->setChecked(on);
    }
    f_historial();
}

void HistoryFeature::bindMostrarNombres(QAction *item)
{
    // The main window hands the item over each time its parts are plugged in: bind it once.
    if (!item || item == m_mnuMostrarNombres)
        return;
    m_mnuMostrarNombres = item;
    item->setCheckable(true);
    item->setChecked(m_options.mostrarNombres);
    item->setEnabled(true);
    connect(item, &QAction::triggered, this, [this] { setMostrarNombres(!m_options.mostrarNombres); });
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
    const RowMenu menu = rowMenu(m_context.conexion, key, nowStamp(now()));
    if (menu.status != RowMenu::Status::Ok)
        return;
    m_panel->prepareRowMenu(menu);
    m_panel->popupMenu(key, globalPos);
}

// --- the filter -------------------------------------------------------------------------------

void HistoryFeature::f_filtrar_historial()
{
    HistoryPanel *p = m_panel;
    p->hideFilterPanel();
    FilterPanel panel;
    panel.porFechas = p->Check6()->isChecked();
    panel.desde = p->Text8()->text();
    panel.hasta = p->Text9()->text();
    panel.porTelefono = p->Check7()->isChecked();
    panel.telefono = p->RichTextBox1()->text();
    panel.porTexto = p->Check8()->isChecked();
    panel.texto = p->Text10()->text();
    const FilterResult result = history::f_filtrar_historial(panel);
    if (p->RichTextBox1()->text() != result.telefono)
        p->RichTextBox1()->setText(result.telefono);
    m_options.filtro = result.condition;
}

void HistoryFeature::Command4_Click()
{
    if (!m_panel)
        return;
    f_filtrar_historial();
    {
        const QSignalBlocker quiet(m_panel->Check5());
        m_panel->Check5()->setChecked(true);
    }
    m_options.filtrar = true;
    f_historial();
}

void HistoryFeature::Check5_Click(bool checked)
{
    if (!m_panel)
        return;
    // Without a stored condition the box cannot be ticked by hand: the click opens or closes
    // the panel where one is built.
    if (m_options.filtro.isEmpty()) {
        {
            const QSignalBlocker quiet(m_panel->Check5());
            m_panel->Check5()->setChecked(false);
        }
        m_options.filtrar = false;
        Image8_Click();
        return;
    }
    m_panel->Frame3()->hide();
    m_options.filtrar = checked;
    f_historial();
}

void HistoryFeature::Image8_Click()
{
    if (!m_panel)
        return;
    if (!m_panel->Frame3()->isHidden())
        m_panel->hideFilterPanel();
    else
        m_panel->Frame3()->show();
}

void HistoryFeature::openExport()
{
    m_export.show([this] { return new exporting::Form18(m_context); });
}

void HistoryFeature::buscarEnvios(const QString &phone)
{
    if (!m_panel)
        return;
    m_panel->RichTextBox1()->setText(phone);
    m_panel->Check6()->setChecked(false);
    m_panel->Check7()->setChecked(true);
    m_options.ver = VerOpcion::Todos;
    m_panel->verOption(0)->setChecked(true);
    f_filtrar_historial();
    {
        const QSignalBlocker quiet(m_panel->Check5());
        m_panel->Check5()->setChecked(true);
    }
    m_options.filtrar = true;
    f_historial();
}

// --- delivery reports -------------------------------------------------------------------------

void HistoryFeature::f_actualizar_pendientes(const QString &login, const QString &pass)
{
    const Account account{login, pass};
    const PendingReport pending = history::f_actualizar_pendientes(m_context.conexion, account, nowMinutes(now()));
    if (pending.status == PendingReport::Status::Ready) {
        m_reportAccount = account;
        m_context.busy.setBusy(kBusyReport, true);
        m_reports.post(pending.request.url, pending.request.fields);
    }
    // The view shows the sends at once; the reply redraws it again when it changed a row.
    f_historial();
}

void HistoryFeature::mnurclick_listado_historial_Actualizar_Click()
{
    if (!m_panel)
        return;
    const QString key = m_panel->menuKey();
    if (key.isEmpty() || key == QLatin1String("l0"))
        return;
    const Account account = reloadAccount();
    const std::optional<GatewayRequest> request = f_consultar_estado(m_context.conexion, account, key);
    if (!request) {
        // A send gone since the menu opened is said to be gone; one without the gateway's
        // identifier has nothing to ask about.
        if (rowMenu(m_context.conexion, key, nowStamp(now())).status == RowMenu::Status::NoRow) {
            f_historial();
            showNotice(kEnvioDesaparecido);
        }
        return;
    }
    m_reportAccount = account;
    m_context.busy.setBusy(kBusyReport, true);
    m_reports.post(request->url, request->fields);
}

void HistoryFeature::onReport(const net::GatewayReply &reply)
{
    m_context.busy.setBusy(kBusyReport, false);
    const ReportOutcome outcome = f_respuesta_estado(m_context.conexion, reply.text, m_reportAccount);
    // Any row rewritten or removed shows at once, whichever line of the reply it was.
    if (outcome.changed)
        f_historial();
    Q_EMIT reportHandled(outcome);
    if (outcome.status == ReportOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else if (!outcome.message.isEmpty())
        m_context.prompter.message(outcome.message);
}

// --- cancellations ----------------------------------------------------------------------------

void HistoryFeature::mnurclick_listado_historial_cancelar_Click()
{
    if (!m_panel)
        return;
    const QString key = m_panel->menuKey();
    if (key.isEmpty() || key == QLatin1String("l0"))
        return;
    const Account account = reloadAccount();
    const CancelRequest request = f_peticion_cancelar(m_context.conexion, key, account, m_cancels.contador());
    switch (request.status) {
    case CancelRequest::Status::Ready:
        m_cancelSmsId = request.smsId;
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
            f_historial();
            showNotice(request.notice);
        }
        return;
    }
}

void HistoryFeature::onCancel(const net::GatewayReply &reply)
{
    // Whatever came back, the pointer is given back: an error page must not leave it busy.
    m_context.busy.setBusy(kBusyCancel, false);
    const QString smsId = m_cancelSmsId;
    CancelOutcome outcome = f_respuesta_cancelar(m_context.conexion, reply.text, smsId);
    if (outcome.changed)
        f_historial();

    if (outcome.status == CancelOutcome::Status::OfferDelete) {
        const ui::Answer answer = m_context.prompter.message(outcome.notice.text, outcome.notice.title,
                                                             ui::Icon::Question, ui::Buttons::YesNo);
        if (answer == ui::Answer::Yes) {
            const db::Result r = deleteRefusedSend(m_context.conexion, smsId);
            outcome.changed = r.ok() && r.changes > 0;
            if (outcome.changed)
                f_historial();
            if (!r.ok())
                outcome.status = CancelOutcome::Status::DatabaseError;
        }
        Q_EMIT cancelHandled(outcome);
        if (outcome.status == CancelOutcome::Status::DatabaseError)
            m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
        return;
    }
    Q_EMIT cancelHandled(outcome);
    if (outcome.status == CancelOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice);
}

void HistoryFeature::mnurclick_listado_historial_cancelar_todos_Click()
{
    if (m_page.rowCount <= 0)
        return;
    const Account account = reloadAccount();
    const AskText ask = [this](const QString &prompt, const QString &title, const QString &defaultText) {
        return m_context.prompter.input(prompt, title, defaultText);
    };

    net::SyncHttp http(brand::url_base());
    http.setTimeout(m_syncTimeout);
    const SyncTransport line = syncTransport(http, brand::servidor_web());
    // The hourglass shows while the gateway is being asked, not while the user types "SI".
    const SyncTransport transport = [this, &line](const QString &path, const QStringList &names,
                                                  const QStringList &values) {
        m_context.busy.setBusy(kBusyCancelAll, true);
        return line(path, names, values);
    };
    const CancelAllOutcome outcome =
        cancelarTodos(m_context.conexion, m_page.condition, account, nowStamp(now()), ask, transport);
    http.cerrar();
    m_context.busy.setBusy(kBusyCancelAll, false);

    if (outcome.status == CancelAllOutcome::Status::Done || outcome.status == CancelAllOutcome::Status::Unreachable
        || outcome.changed)
        f_historial();
    if (outcome.status == CancelAllOutcome::Status::DatabaseError && outcome.notice.text.isEmpty())
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice, outcome.status == CancelAllOutcome::Status::Unreachable);
}

// --- local deletions --------------------------------------------------------------------------

void HistoryFeature::mnurclick_listado_historial_eliminar_Click()
{
    if (!m_panel)
        return;
    const DeleteOutcome outcome = f_eliminar_registro(m_context.conexion, m_panel->menuKey(), nowStamp(now()));
    if (outcome.changed)
        f_historial();
    if (outcome.status == DeleteOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice);
}

void HistoryFeature::mnurclick_listado_historial_eliminar_todos_Click()
{
    if (m_page.rowCount <= 0)
        return;
    const AskText ask = [this](const QString &prompt, const QString &title, const QString &defaultText) {
        return m_context.prompter.input(prompt, title, defaultText);
    };
    const DeleteOutcome outcome = f_eliminar_todos_enviados(m_context.conexion, m_page.condition, nowStamp(now()), ask);
    if (outcome.status == DeleteOutcome::Status::Deleted)
        f_historial();
    if (outcome.status == DeleteOutcome::Status::DatabaseError)
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
    else
        showNotice(outcome.notice);
}

} // namespace history
