#include "app/main_window/main_window.h"

#include "app/main_window/dialog_opener.h"
#include "app/main_window/startup_rules.h"
#include "brand/brand.h"
#include "contacts/contact_filter.h"
#include "database/defaults.h"
#include "database/opening.h"
#include "platform/db/connection.h"
#include "platform/ui/progress_dialog.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "platform/ui/skin.h"
#include "sending/message_parts.h"
#include "sending/panel/send_panel_view.h"
#include "sending/send_request.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>

namespace startup {
namespace {

struct TabText {
    const char *caption;
    const char *toolTip;
};

// Captions and tool tips of the five tabs, tab 1 first.
const TabText tabTexts[] = {
    {"Enviar SMS", "Enviar SMS a móvil"},
    {"Historial", "Historial de mensajes enviados"},
    {"Contactos", "Lista de contactos"},
    {"Grupos", "Grupos de contactos"},
    {"Plantillas", "Plantillas de mensajes predeterminados"},
};

constexpr int historyTabIndex = 1;

// A tab page whose body receives a feature's panel; without one the body stays empty.
QWidget *emptyPage(QWidget *parent, int index)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("picOptions%1").arg(index));
    auto *layout = new QVBoxLayout(page);
    auto *body = new QWidget(page);
    body->setObjectName(QStringLiteral("cuerpo"));
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(body, 1);
    return page;
}

QWidget *pageBody(QWidget *page)
{
    return page->findChild<QWidget *>(QStringLiteral("cuerpo"), Qt::FindDirectChildrenOnly);
}

} // namespace

MainWindow::MainWindow(seams::AppContext &context, seams::Subsystems subsystems, DialogOpener *dialogs, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(brand::brandName());
    buildTabs();
    buildMenus();
    setSubsystems(subsystems);
    resize(780, 520);

    connect(m_sendPanel, &sending::SendPanelView::createSenderRequested, this, [this] {
        if (m_dialogs)
            m_dialogs->showPasswordPrompt(QStringLiteral("9"));
    });
    // Ctrl+Tab must reach the window wherever the focus is, before the tab widget or a text box
    // takes it for itself.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    // Nobody listens for the end any more; only the tray icon and the file are let go.
    const QSignalBlocker blocker(this);
    shutdown();
}

void MainWindow::setDialogOpener(DialogOpener *dialogs)
{
    m_dialogs = dialogs;
    for (const char *name : {"mnuConfiguracion", "mnuImportarBrisanta", "mnuExportarBrisanta"})
        menuAction(QString::fromUtf8(name))->setEnabled(m_dialogs != nullptr);
    if (m_dialogs) {
        menuAction(QStringLiteral("mnuImportarBrisanta"))->setEnabled(m_subsystems.windows->canOpen(seams::WindowId::WebDownload));
        menuAction(QStringLiteral("mnuExportarBrisanta"))->setEnabled(m_subsystems.windows->canOpen(seams::WindowId::WebUpload));
    }
}

void MainWindow::setSubsystems(seams::Subsystems subsystems)
{
    m_subsystems = subsystems;
    if (!m_subsystems.lists)
        m_subsystems.lists = &m_noLists;
    if (!m_subsystems.windows)
        m_subsystems.windows = &m_noWindows;
    if (!m_subsystems.automation)
        m_subsystems.automation = &m_noAutomation;
    if (!m_subsystems.panels)
        m_subsystems.panels = &m_noPanels;
    if (!m_subsystems.quote)
        m_subsystems.quote = &m_noQuote;
    if (!m_subsystems.owedReplies)
        m_subsystems.owedReplies = &m_noOwedReplies;

    const std::pair<int, QWidget *> panels[] = {
        {1, m_subsystems.panels->historyPanel()},
        {2, m_subsystems.panels->contactsPanel()},
        {3, m_subsystems.panels->groupsPanel()},
        {4, m_subsystems.panels->templatesPanel()},
    };
    for (const auto &[index, panel] : panels) {
        QWidget *body = pageBody(m_tabs->widget(index));
        if (panel && panel->parentWidget() != body)
            body->layout()->addWidget(panel);
    }
    for (const auto &[name, id] : m_windowMenus)
        menuAction(name)->setEnabled(m_subsystems.windows->canOpen(id));
    m_subsystems.panels->bindShowNamesItem(menuAction(QStringLiteral("mnuMostrarNombres")));
    setDialogOpener(m_dialogs);
}

void MainWindow::buildTabs()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    m_sendPanel = new sending::SendPanelView(m_tabs);
    m_tabs->addTab(m_sendPanel, QString());
    for (int i = 1; i < 5; ++i)
        m_tabs->addTab(emptyPage(m_tabs, i), QString());

    // The contact filter's lists, above the contact list.
    QWidget *contacts = m_tabs->widget(2);
    auto *filterBar = new QHBoxLayout;
    m_filterFieldCombo = new QComboBox(contacts);
    m_filterFieldCombo->setObjectName(QStringLiteral("Combo4"));
    m_filterOperatorCombo = new QComboBox(contacts);
    m_filterOperatorCombo->setObjectName(QStringLiteral("Combo2"));
    filterBar->addWidget(new QLabel(QStringLiteral("Mostrar contactos cuyo"), contacts));
    filterBar->addWidget(m_filterFieldCombo);
    filterBar->addWidget(m_filterOperatorCombo);
    filterBar->addStretch();
    static_cast<QVBoxLayout *>(contacts->layout())->insertLayout(0, filterBar);

    for (int i = 0; i < 5; ++i)
        m_tabs->setTabText(i, QString::fromUtf8(tabTexts[i].caption));
    setCentralWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::onTabSelected);
}

void MainWindow::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromUtf8(name));
        m_actions.insert(QString::fromUtf8(name), action);
        return action;
    };
    auto addWindow = [&](QMenu *menu, const char *name, const QString &caption, seams::WindowId id) {
        QAction *action = add(menu, name, caption);
        m_windowMenus.append({QString::fromUtf8(name), id});
        connect(action, &QAction::triggered, this, [this, id] { openWindow(id); });
        return action;
    };
    auto submenu = [this](QMenu *parent, const char *name, const QString &caption) {
        QMenu *menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromUtf8(name));
        menu->menuAction()->setObjectName(QString::fromUtf8(name));
        m_actions.insert(QString::fromUtf8(name), menu->menuAction());
        return menu;
    };

    QMenu *fileMenu = submenu(nullptr, "mnuArchivo", QStringLiteral("Archivo"));
    connect(add(fileMenu, "mnuConfiguracion", QStringLiteral("Configuración")), &QAction::triggered, this,
            [this] {
                if (!m_dialogs)
                    return;
                m_dialogs->showAccountSettings();
                m_sendPanel->sendButton()->setEnabled(false);
            });
    QMenu *automateMenu = submenu(fileMenu, "mnuAutomatizar", QStringLiteral("Automatizar envíos"));
    addWindow(automateMenu, "mnuAutomatizar_Configuracion", QStringLiteral("Configuración"), seams::WindowId::AutomationSettings);
    connect(add(automateMenu, "mnuAutomatizar_Comenzar", QStringLiteral("Comenzar")), &QAction::triggered, this,
            [this] { m_subsystems.automation->toggle(); });
    addWindow(fileMenu, "mnuFelicitarCumpleaños", QStringLiteral("Felicitar cumpleaños"), seams::WindowId::BirthdayGreetings);
    fileMenu->addSeparator()->setObjectName(QStringLiteral("mnusep_archivo"));
    connect(add(fileMenu, "mnuSalir", QStringLiteral("Salir")), &QAction::triggered, this, [this] {
        shutdown();
        close();
    });

    QMenu *importMenu = submenu(nullptr, "mnuImportarAgenda", QStringLiteral("Importar/Exportar agenda"));
    QMenu *accessMenu = submenu(importMenu, "mnuAccess", QStringLiteral("Access"));
    addWindow(accessMenu, "mnuAccess_Importar", QStringLiteral("Importar"), seams::WindowId::AccessImport);
    QMenu *excelMenu = submenu(importMenu, "mnuExcel", QStringLiteral("Excel"));
    addWindow(excelMenu, "mnuExcelImportar", QStringLiteral("Importar"), seams::WindowId::ExcelImport);
    addWindow(excelMenu, "mnuExcelExportar", QStringLiteral("Exportar"), seams::WindowId::ExcelExport);
    QMenu *webMenu = submenu(importMenu, "mnuAgendaBrisanta", QStringLiteral("Web ") + brand::webName());
    connect(add(webMenu, "mnuImportarBrisanta", QStringLiteral("Importar")), &QAction::triggered, this, [this] {
        if (m_dialogs)
            m_dialogs->showPasswordPrompt(QStringLiteral("14"));
    });
    connect(add(webMenu, "mnuExportarBrisanta", QStringLiteral("Exportar")), &QAction::triggered, this, [this] {
        if (m_dialogs)
            m_dialogs->showPasswordPrompt(QStringLiteral("15"));
    });
    importMenu->addSeparator()->setObjectName(QStringLiteral("mnusep_importarexportar"));
    addWindow(importMenu, "mnuborraragenda", QStringLiteral("Eliminar agenda"), seams::WindowId::DeleteBook);

    QMenu *historyMenu = submenu(nullptr, "mnuHistorial", QStringLiteral("Historial"));
    addWindow(historyMenu, "mnuExportarHistorial", QStringLiteral("Exportar a Excel"), seams::WindowId::HistoryExport);
    historyMenu->addSeparator()->setObjectName(QStringLiteral("mnusep_menu_historial"));
    // Names in place of numbers belong to the history view: off until it binds the item.
    add(historyMenu, "mnuMostrarNombres", QStringLiteral("Mostrar nombres"))->setEnabled(false);

    // A top-level entry that acts at once: the brand's home page in the user's browser.
    QAction *home = menuBar()->addAction(brand::defaultSender());
    home->setObjectName(QStringLiteral("mnuBrisanta"));
    m_actions.insert(QStringLiteral("mnuBrisanta"), home);
    connect(home, &QAction::triggered, this, [this] { m_context.shell.openUrl(brand::baseUrl()); });
}

void MainWindow::buildTray()
{
    if (m_tray || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(brand::brandName() + QStringLiteral(" Desktop"));
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            trayDoubleClick();
    });
    m_tray->show();
}

QAction *MainWindow::menuAction(const QString &name) const
{
    return m_actions.value(name, nullptr);
}

bool MainWindow::hasTrayIcon() const
{
    return m_tray != nullptr;
}

StartupStatus MainWindow::load()
{
    buildTray();
    if (m_context.programFolder.isEmpty())
        m_context.programFolder = brand::programFolder();
    ui::loadSkin(m_context.programFolder, brand::brandName());

    menuAction(QStringLiteral("mnuAgendaBrisanta"))->setText(QStringLiteral("Web ") + brand::webName());
    setWindowTitle(brand::brandName());
    menuAction(QStringLiteral("mnuBrisanta"))->setText(brand::defaultSender());

    if (!openDatabaseFile())
        return StartupStatus::NoDatabase;

    restoreAutomation();
    reloadSenders();
    const bool hasAccount = readAccount();
    m_sendPanel->sendButton()->setEnabled(false);

    for (int i = 4; i >= 0; --i) {
        m_tabs->setTabText(i, QString::fromUtf8(tabTexts[i].caption));
        m_tabs->setTabToolTip(i, QString::fromUtf8(tabTexts[i].toolTip));
    }

    m_subsystems.lists->refreshHistoryPage();
    m_subsystems.lists->refreshContactList(true);
    m_subsystems.lists->refreshGroupList();
    m_subsystems.lists->refreshTemplateList();

    if (m_dialogs)
        m_dialogs->checkVersion(m_desktopVersion);

    fillFilterLists();
    onTabSelected(m_tabs->currentIndex());

    if (hasAccount)
        bringToFront();
    return StartupStatus::Ready;
}

bool MainWindow::openDatabaseFile()
{
    const database::OpeningResult opened = database::openDatabase(m_context.connection, m_context.programFolder, m_context.prompter);
    if (!opened.ok()) {
        // No running without a database: everything the client does is stored there.
        const QString text = opened.message.isEmpty()
            ? brand::brandName() + QStringLiteral(" Desktop no ha podido abrir ni crear su base de datos en ")
                  + database::localDatabasePath(m_context.programFolder) + QStringLiteral(". El programa se cerrará.")
            : opened.message;
        m_context.prompter.message(text, QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    }
    m_activeDatabasePath = opened.activeDatabasePath;
    setWindowTitle(brand::brandName() + opened.captionSuffix);
    return true;
}

void MainWindow::restoreAutomation()
{
    QAction *startItem = menuAction(QStringLiteral("mnuAutomatizar_Comenzar"));
    const seams::Automation::State state = m_subsystems.automation->restoreAtStartup();
    if (!state.hasRow) {
        startItem->setEnabled(false);
        return;
    }
    if (state.running)
        startItem->setText(QStringLiteral("Detener"));
}

void MainWindow::reloadSenders()
{
    QComboBox *combo = m_sendPanel->senderCombo();
    QString kept = combo->currentText();
    if (kept == QLatin1String(sending::kCreateSenderItem))
        kept.clear();
    const SenderList senders = readSenders(m_context.connection, brand::defaultSender());
    {
        // A refill is not the user's choice: the list's own rules stay quiet.
        const QSignalBlocker blocker(combo);
        combo->clear();
        combo->addItems(senders.items);
        const int keptIndex = kept.isEmpty() ? -1 : combo->findText(kept, Qt::MatchExactly);
        combo->setCurrentIndex(keptIndex >= 0 ? keptIndex : senders.selected);
    }
    // The entry that leads to the sender administration is there whenever the list has the focus.
    if (combo->hasFocus())
        m_sendPanel->appendCreateSenderItem();
}

bool MainWindow::readAccount()
{
    const std::optional<StartupAccount> account = readStartupAccount(m_context.connection);
    if (!account) {
        if (m_dialogs) {
            m_dialogs->showAccountSettings();
            m_dialogs->showMissingAccountData();
        }
        hide();
        return false;
    }
    m_desktopVersion = account->desktopVersion;
    m_startupRoute = sending::postedRoute(account->route);
    setCredentials(account->login, account->pass);
    m_sendPanel->balanceLabel()->setText(QStringLiteral("Comprobando..."));
    m_sendPanel->costLabel()->setText(QStringLiteral("Comprobando..."));

    seams::BalanceQuote::Request request;
    request.username = m_accountLogin;
    request.password = m_accountPassword;
    request.message = QStringLiteral("Saldo al arrancar Desktop");
    request.recipients = QStringLiteral("34600123456");
    request.sender = QStringLiteral("Saldo");
    request.route = m_startupRoute;
    m_subsystems.quote->requestQuote(request);

    const database::DefaultsResult defaults = database::writeStartupDefaults(m_context.connection, m_context.programFolder);
    const QString route = defaults.status == database::DefaultsStatus::Written ? defaults.route : m_startupRoute;
    // The figures shown are the stored ones, read again after the defaults were written.
    const std::optional<StartupAccount> stored = readStartupAccount(m_context.connection);
    m_sendPanel->balanceLabel()->setText(
        sending::creditLabel(stored ? stored->balance : account->balance, sending::CreditFigure::Balance));
    m_sendPanel->costLabel()->setText(startupCostLabel(route));
    return true;
}

void MainWindow::fillFilterLists()
{
    const std::pair<QComboBox *, QStringList> lists[] = {{m_filterOperatorCombo, contacts::filterOperators()}, {m_filterFieldCombo, contacts::filterFields()}};
    for (const auto &[combo, items] : lists) {
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(0);
    }
}

void MainWindow::setCredentials(const QString &login, const QString &pass)
{
    m_accountLogin = login;
    m_accountPassword = pass;
}

void MainWindow::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

int MainWindow::selectedTab() const
{
    return m_tabs->currentIndex() + 1;
}

void MainWindow::selectTab(int number)
{
    if (number >= 1 && number <= m_tabs->count())
        m_tabs->setCurrentIndex(number - 1);
}

void MainWindow::onTabSelected(int index)
{
    m_sendPanel->pickedRecipientLabel()->setVisible(index == 0);
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->widget(i)->setEnabled(i == index);
    if (index != historyTabIndex || !m_context.connection.isOpen())
        return;
    if (const auto credentials = readCredentials(m_context.connection))
        m_subsystems.lists->refreshPendingReports(credentials->first, credentials->second);
}

void MainWindow::selectNextTab()
{
    const int number = selectedTab();
    selectTab(number < m_tabs->count() ? number + 1 : 1);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (!tab || !(mods & Qt::ControlModifier))
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the key so no shortcut takes it; the press that follows is handled below.
        event->accept();
        return true;
    }
    if (mods == Qt::ControlModifier && key->key() == Qt::Key_Tab)
        selectNextTab();
    // Ctrl+Shift+Tab (and any other Ctrl combination with Tab) does nothing.
    return true;
}

void MainWindow::trayDoubleClick()
{
    if (isVisible()) {
        hide();
        setWindowState(windowState() | Qt::WindowMinimized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    }
}

void MainWindow::openWindow(seams::WindowId id)
{
    if (m_subsystems.windows->canOpen(id))
        m_subsystems.windows->open(id);
}

void MainWindow::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_subsystems.owedReplies->owed()) {
        // The gateway has a send whose answer has not come: wait for it, so what it charged is
        // in the history before the database closes.
        ui::ProgressDialog progress(this);
        progress.setWindowModality(Qt::ApplicationModal);
        progress.start(QStringLiteral("Esperando la respuesta del servidor al envío del SMS..."));
        m_subsystems.owedReplies->waitForOwed(m_shutdownWait);
        progress.finish();
        progress.close();
    }
    if (m_tray) {
        m_tray->hide();
        delete m_tray;
        m_tray = nullptr;
    }
    m_context.connection.close();
    Q_EMIT finished();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    shutdown();
    event->accept();
}

} // namespace startup
