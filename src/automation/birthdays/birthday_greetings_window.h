#pragma once

#include "automation/birthdays/birthday_rules.h"
#include "automation/birthdays/hidden_browser.h"
#include "automation/birthdays/web_form.h"
#include "platform/ui/list_tree.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace seams { struct AppContext; }

// "Felicitar cumpleaños": the contacts of a group that have a birth date and no greeting still to
// come, page by page, and the scheduling of one greeting per contact on its next birthday through
// the gateway's own web form, which a hidden browser loads, fills and submits.
// objectName `Form20`.
namespace automation::birthdays {

class BirthdayGreetingsWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BirthdayGreetingsWindow)

public:
    struct Links {
        std::function<void()> refreshHistoryPage;       // the main window's history, redrawn after a send
        std::function<void()> showMainWindow;  // "Cerrar" brings the main window up
    };

    // `clock` gives the local time (tests pin it); the form page is asked for at once.
    BirthdayGreetingsWindow(seams::AppContext &context, Links links, std::function<QDateTime()> clock = {},
           QWidget *parent = nullptr);
    ~BirthdayGreetingsWindow() override;

    // Public procedures.
    void reloadTemplates();
    void reloadSenders();
    void reloadGroups();
    void refreshContactList();

    // Handlers, callable by tests as the controls' events call them.
    void sendWholeList();
    void showGroup();
    void closeWindow();
    void onPageScrolled();
    // "Programar SMS felicitación": greets the contact the popup was opened on, whatever the
    // list shows by the time it runs.
    void greetMenuContact();
    // The tree's right click on `item`: selects it and, when the popup may be offered, opens it
    // at `globalPos` on that contact (menuKey()); true when it opened.
    bool openContactMenu(QTreeWidgetItem *item, const QPoint &globalPos = {});
    const QString &menuKey() const { return m_contactMenu.key(); }
    QMenu *contactMenu() const { return m_contactMenu.menu(); }
    void onPageLoaded(const LoadedPage &page);

    QComboBox *groupCombo() const { return m_groupCombo; }
    QComboBox *senderCombo() const { return m_senderCombo; }
    QComboBox *templateCombo() const { return m_templateCombo; }
    QTreeWidget *contactList() const { return m_contactList; }
    QScrollBar *pageBar() const { return m_pageBar; }
    QLabel *pageLabel() const { return m_pageLabel; }
    QPushButton *sendListButton() const { return m_sendListButton; }
    HiddenBrowser &browser() { return m_browser; }
    // The `try` counter sent with the next form page request.
    int formRequestCount() const { return m_formRequestCount; }
    void setFormRequestCount(int count) { m_formRequestCount = count; }
    bool isFormReady() const { return m_formReady; }
    // The key of a tree item ("pContacto 12", "l0").
    static QString itemKey(const QTreeWidgetItem *item);
    QTreeWidgetItem *node(const QString &key) const { return m_nodes.value(key); }

Q_SIGNALS:
    // A page completion of the hidden browser was handled (tests wait on it).
    void pageHandled();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Scope { WholeList, OneContact };

    void buildUi();
    void fitOpeningSize();
    void keepLabelsWhole();
    void load();
    void requestForm();
    // The list on show, or the one contact whose node key is `key`.
    void send(Scope scope, const QString &key = {});
    void handleFormPage(const LoadedPage &page);
    void handleResultPage(const LoadedPage &page);
    void addNode(const TreeNode &node);
    void notify(const QString &text, const QString &title);

    seams::AppContext &m_context;
    Links m_links;
    std::function<QDateTime()> m_clock;
    HiddenBrowser m_browser;

    QComboBox *m_groupCombo = nullptr;
    QPushButton *m_showGroupButton = nullptr;
    QComboBox *m_senderCombo = nullptr;
    QComboBox *m_templateCombo = nullptr;
    QTreeWidget *m_contactList = nullptr;
    QScrollBar *m_pageBar = nullptr;
    QLabel *m_pageLabel = nullptr;
    QPushButton *m_sendListButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    ui::RowPopup m_contactMenu;
    QHash<QString, QTreeWidgetItem *> m_nodes;

    // The group of the list on show (once the send button's `Tag`), its day and its contacts (every
    // page): the whole-list send greets exactly these.
    std::optional<qint64> m_shownGroup;
    QDate m_shownDate;
    QList<qint64> m_shownSids;
    bool m_scrollingByCode = false;  // once the page bar's `Tag`

    int m_formRequestCount = 0;              // once the hidden browser's `Tag`
    bool m_formReady = false;
    bool m_awaitingResult = false;   // a submission is out: the next page is its answer
    HtmlForm m_form;     // the form page on show
    QUrl m_formUrl;
    Charset m_charset = Charset::Windows1252;

    // The send in flight, read again when its result page arrives.
    QString m_templateText;
    GreetingLists m_lists;
    QString m_accountLogin;
    QString m_sender;
};

} // namespace automation::birthdays
