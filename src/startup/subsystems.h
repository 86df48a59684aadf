#pragma once

#include <QString>

#include <chrono>

class QAction;
class QWidget;

// The start-up and the main window call the later parts of the client (history, contacts,
// templates, imports, automation, updater) only through these small interfaces; the application
// assembles the real implementations, and a part not built yet simply stays at the defaults here.
namespace startup {

// The list views of the main window's tabs, rebuilt from the database.
class ListViews {
public:
    virtual ~ListViews() = default;
    virtual void f_historial() {}
    virtual void f_agenda(bool reload) { (void)reload; }
    virtual void f_grupos() {}
    virtual void f_plantillas() {}
    // Delivery reports of pending sends, asked for whenever the history tab is opened.
    virtual void f_actualizar_pendientes(const QString &login, const QString &pass) { (void)login; (void)pass; }
    // True when the contact list shows its empty-list node "l0".
    virtual bool agendaVacia() const { return true; }
    virtual bool plantillasVacias() const { return true; }
};

// Windows owned by later parts, opened from the main menu or from other windows.
enum class WindowId {
    Form5,   // contact editor
    Form7,   // recipient picker
    Form11,  // template picker
    Form12,  // Excel import
    Form13,  // Excel export of contacts
    Form14,  // download of the web account's contacts
    Form15,  // upload to the web account
    Form16,  // automated-sending settings
    Form17,  // deletion of the whole contact book
    Form18,  // history export to Excel
    Form20,  // birthday greetings
    Form22,  // Access import
};

class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    // False while the window is not part of this build: its menu entry is then disabled.
    virtual bool canOpen(WindowId id) const { (void)id; return false; }
    virtual void open(WindowId id) { (void)id; }
};

// Automated sending: the state restored at start-up and the menu item that starts and stops it.
class Automation {
public:
    virtual ~Automation() = default;
    struct State {
        bool hasRow = false;   // the settings table has its row
        bool running = false;  // "activo" is "1"
    };
    virtual State restoreAtStartup() { return {}; }
    virtual void toggle() {}
};

// The tab panels that later parts build; nullptr leaves an empty panel.
class Panels {
public:
    virtual ~Panels() = default;
    virtual QWidget *historyPanel() { return nullptr; }
    virtual QWidget *contactsPanel() { return nullptr; }
    virtual QWidget *groupsPanel() { return nullptr; }
    virtual QWidget *templatesPanel() { return nullptr; }
    // The main menu's "Mostrar nombres" mirrors the history tab's check box; the history panel
    // takes the item over (enables, checks and answers it). Without one it stays disabled.
    virtual void bindMostrarNombres(QAction *item) { (void)item; }
};

// The balance quote the start-up asks the gateway for. Its reply sets the
// balance and cost labels and enables the send button; until then the button stays disabled.
class BalanceQuote {
public:
    virtual ~BalanceQuote() = default;
    struct Request {
        QString username;
        QString password;
        QString mensaje;
        QString destino;
        QString remitente;
        QString callback;
        QString ruta;
        QString fecha;
    };
    virtual void f_consultar_coste(const Request &request) { (void)request; }
};

// Gateway answers still owed for sends that reached the gateway. The shutdown waits for them,
// bounded, so a charged send is recorded before the database closes.
class OwedReplies {
public:
    virtual ~OwedReplies() = default;
    virtual bool owed() const { return false; }
    // Runs the event loop until nothing is owed or `limit` has passed. From here on no new send
    // starts: the program is ending.
    virtual void waitForOwed(std::chrono::milliseconds limit) { (void)limit; }
};

// Everything the main window reaches of the later parts; each member defaults to "not built".
struct Subsystems {
    ListViews *lists = nullptr;
    WindowOpener *windows = nullptr;
    Automation *automation = nullptr;
    Panels *panels = nullptr;
    BalanceQuote *quote = nullptr;
    OwedReplies *owedReplies = nullptr;
};

} // namespace startup
