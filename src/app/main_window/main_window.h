#pragma once

#include "seams/app_context.h"
#include "seams/subsystems.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QString>

#include <chrono>

class QAction;
class QComboBox;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QWidget;

namespace sending { class SendPanelView; }

namespace startup {

class DialogOpener;

// How the start-up ended.
enum class StartupStatus {
    Ready,        // the client runs (the window may stay hidden when there is no account row)
    NoDatabase    // the local database could not be opened or created: the program must end
};

// The main window (objectName `Form1`): start-up, menus, the five tabs, the tray icon and the
// shutdown. The window owns no business rules; each step calls the platform, the database start-up or a seam.
class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    MainWindow(seams::AppContext &context, seams::Subsystems subsystems = {}, DialogOpener *dialogs = nullptr,
          QWidget *parent = nullptr);
    ~MainWindow() override;

    // The dialogs are built after the main window (they need it), so they are plugged in here.
    void setDialogOpener(DialogOpener *dialogs);
    void setSubsystems(seams::Subsystems subsystems);

    // The start-up, in its fixed order. Shows the window unless no account row exists.
    StartupStatus load();

    seams::AppContext &context() { return m_context; }
    sending::SendPanelView &sendPanel() { return *m_sendPanel; }

    // Rebuilds the sender combo from `Remitentes`, keeping the selected text when it is still there,
    // else the last default sender, else the first item.
    void reloadSenders();

    // The account credentials the gateway requests use.
    void setCredentials(const QString &login, const QString &pass);
    QString accountLogin() const { return m_accountLogin; }
    QString accountPassword() const { return m_accountPassword; }

    // `version_desktop` of the account row read at start-up (empty without a row).
    QString desktopVersion() const { return m_desktopVersion; }

    // Shows the main window again in normal state (the settings dialog calls it after saving).
    void bringToFront();

    // Tabs, numbered from 1 as the users know them.
    QTabWidget *tabs() const { return m_tabs; }
    int selectedTab() const;
    void selectTab(int number);

    // The contact filter's operator and field lists.
    QComboBox *filterOperatorCombo() const { return m_filterOperatorCombo; }
    QComboBox *filterFieldCombo() const { return m_filterFieldCombo; }

    // Menu entries by their names (`mnuSalir`, `mnuBrisanta`, ...); nullptr for an unknown name.
    QAction *menuAction(const QString &name) const;

    // The tray icon's double click: hides and minimises a visible window, shows a hidden one.
    void trayDoubleClick();
    // False where the desktop offers no tray (offscreen, a bare X server).
    bool hasTrayIcon() const;

    // The file the connection has open (local or shared).
    QString activeDatabasePath() const { return m_activeDatabasePath; }

    // The main window closes (its own close box or "Salir"): a send still awaiting its answer is
    // waited for (at most kShutdownWait, with the progress window), then the tray icon is removed
    // and the database closed. Idempotent.
    void shutdown();
    static constexpr std::chrono::milliseconds kShutdownWait{60000};
    void setShutdownWait(std::chrono::milliseconds limit) { m_shutdownWait = limit; }

Q_SIGNALS:
    // The program must end now (after shutdown()); the application quits on it even while other
    // windows are open.
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildTabs();
    void buildTray();
    bool openDatabaseFile();
    void restoreAutomation();
    bool readAccount();
    void fillFilterLists();
    void onTabSelected(int index);
    void selectNextTab();
    void openWindow(seams::WindowId id);

    seams::AppContext &m_context;
    seams::Subsystems m_subsystems;
    seams::ListViews m_noLists;
    seams::WindowOpener m_noWindows;
    seams::Automation m_noAutomation;
    seams::Panels m_noPanels;
    seams::BalanceQuote m_noQuote;
    seams::OwedReplies m_noOwedReplies;
    std::chrono::milliseconds m_shutdownWait = kShutdownWait;
    DialogOpener *m_dialogs = nullptr;

    QTabWidget *m_tabs = nullptr;
    sending::SendPanelView *m_sendPanel = nullptr;
    QComboBox *m_filterOperatorCombo = nullptr;
    QComboBox *m_filterFieldCombo = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QHash<QString, QAction *> m_actions;
    QList<QPair<QString, seams::WindowId>> m_windowMenus;   // entries that open a feature window

    QString m_accountLogin;
    QString m_accountPassword;
    QString m_desktopVersion;
    QString m_startupRoute;
    QString m_activeDatabasePath;
    bool m_shutDown = false;
};

} // namespace startup
