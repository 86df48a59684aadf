#pragma once

#include <QString>

#include <chrono>

class QAction;
class QWidget;

// The start-up and the main window call the client's features (history, contacts, templates,
// imports, automation, sending) only through these small interfaces; the application assembles the
// real implementations. Each default body does nothing: it is what a null member stands for.
namespace seams {

// The list views of the main window's tabs, rebuilt from the database.
class ListViews {
public:
    virtual ~ListViews() = default;
    virtual void refreshHistoryPage() {}
    virtual void refreshContactList(bool reload) { (void)reload; }
    virtual void refreshGroupList() {}
    virtual void refreshTemplateList() {}
    // Delivery reports of pending sends, asked for whenever the history tab is opened.
    virtual void refreshPendingReports(const QString &login, const QString &pass) { (void)login; (void)pass; }
    // True when the contact list shows its empty-list node "l0".
    virtual bool isBookEmpty() const { return true; }
    virtual bool hasNoTemplates() const { return true; }
};

// The feature windows, opened from the main menu or from other windows.
enum class WindowId {
    ContactEditor,   // contact editor
    ContactPicker,   // recipient picker
    TemplatePicker,  // template picker
    ExcelImport,  // Excel import
    ExcelExport,  // Excel export of contacts
    WebDownload,  // download of the web account's contacts
    WebUpload,  // upload to the web account
    AutomationSettings,  // automated-sending settings
    DeleteBook,  // deletion of the whole contact book
    HistoryExport,  // history export to Excel
    BirthdayGreetings,  // birthday greetings
    AccessImport,  // Access import
};

class WindowOpener {
public:
    virtual ~WindowOpener() = default;
    // False when this opener does not handle the window (the client's opener handles every one):
    // its menu entry is then disabled.
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

// The panels the main window shows in its tabs; nullptr leaves a tab's body empty.
class Panels {
public:
    virtual ~Panels() = default;
    virtual QWidget *historyPanel() { return nullptr; }
    virtual QWidget *contactsPanel() { return nullptr; }
    virtual QWidget *groupsPanel() { return nullptr; }
    virtual QWidget *templatesPanel() { return nullptr; }
    // The main menu's "Mostrar nombres" mirrors the history tab's check box; the history panel
    // takes the item over (enables, checks and answers it). Without one it stays disabled.
    virtual void bindShowNamesItem(QAction *item) { (void)item; }
};

// The balance quote the start-up asks the gateway for. Its reply sets the
// balance and cost labels and enables the send button; until then the button stays disabled.
class BalanceQuote {
public:
    virtual ~BalanceQuote() = default;
    struct Request {
        QString username;
        QString password;
        QString message;
        QString recipients;
        QString sender;
        QString callback;
        QString route;
        QString date;
    };
    virtual void requestQuote(const Request &request) { (void)request; }
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

// Everything the main window reaches of the features; a null member does nothing (the defaults).
struct Subsystems {
    ListViews *lists = nullptr;
    WindowOpener *windows = nullptr;
    Automation *automation = nullptr;
    Panels *panels = nullptr;
    BalanceQuote *quote = nullptr;
    OwedReplies *owedReplies = nullptr;
};

} // namespace seams
