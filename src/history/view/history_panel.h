#pragma once

#include "history/history_view.h"
#include "platform/ui/list_tree.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <array>

class QAction;
class QActionGroup;
class QCalendarWidget;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace history {

// The "Historial" tab laid out: the tree of sends, the page bar, the names and filter boxes, the
// filter panel with its calendars and the popup menu. It draws a HistoryPage and keeps the
// calendars and boxes of the filter panel in step; what the user asks for is handled by
// HistoryFeature, which connects to these controls.
class HistoryPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryPanel)

public:
    explicit HistoryPanel(QWidget *parent = nullptr);
    ~HistoryPanel() override;

    // The view.
    QTreeWidget *sendsList() const { return m_tree; }
    QScrollBar *pageBar() const { return m_pageBar; }
    QLabel *pageLabel() const { return m_label; }
    QCheckBox *showNamesCheck() const { return m_showNamesCheck; }          // "Mostrar nombres"
    QCheckBox *filterCheck() const { return m_filterCheck; }          // "Filtrar"
    QToolButton *filterPanelButton() const { return m_filterPanelButton; }        // opens and closes the filter panel

    // The filter panel.
    QGroupBox *filterFrame() const { return m_filterFrame; }
    QCheckBox *byDateCheck() const { return m_byDateCheck; }          // "Enviado entre"
    QLineEdit *fromDateBox() const { return m_fromDateBox; }
    QLineEdit *toDateBox() const { return m_toDateBox; }
    QCheckBox *byPhoneCheck() const { return m_byPhoneCheck; }          // "Enviado al teléfono"
    QLineEdit *phoneBox() const { return m_phoneBox; }
    QCheckBox *byTextCheck() const { return m_byTextCheck; }          // "El texto debe incluir"
    QLineEdit *messageTextBox() const { return m_messageTextBox; }
    QPushButton *applyFilterButton() const { return m_applyFilterButton; }    // "Filtrar"
    QPushButton *closeFilterButton() const { return m_closeFilterButton; }    // "Cerrar"
    QCalendarWidget *fromCalendar() const { return m_fromCalendar; }
    QCalendarWidget *toCalendar() const { return m_toCalendar; }

    // The popup menu and its items, by their menu names (`mnurclick_listado_historial_cancelar`, ...).
    QMenu *contextMenu() const { return m_menu; }
    QAction *menuItem(const QString &name) const;
    // The "Ver" item ticked: 0 "Todos", 1 "Enviados", 2 "Programados".
    int viewIndex() const;
    QAction *viewOption(int index) const;

    // Redraws the tree, the page bar and the bulk items from a page; the page bar moves without
    // raising its own change.
    void showPage(const HistoryPage &page);

    // The key of the selected node; empty when none is.
    QString selectedKey() const;
    // Selects the node with that key; false when the page has none.
    bool selectKey(const QString &key);
    QTreeWidgetItem *itemForKey(const QString &key) const;

    // The popup menu for a send (what `rowMenu` allows) or for the empty area below the sends.
    void prepareRowMenu(const RowMenu &menu);
    void prepareEmptyAreaMenu();
    // Shows the menu for the node `key` ("" for the empty area). Its items act on that key, not
    // on the node the tree has selected when they run: a redraw while the menu is up (a report
    // reply, the automation) moves the selection, often to the newest send.
    void popupMenu(const QString &key, const QPoint &globalPos);
    // The key the popup menu was last opened on.
    const QString &menuKey() const { return m_contactMenu.key(); }

    // Hides the filter panel and both calendars.
    void hideFilterPanel();

    // The recipient actions of "Seleccionar destinatarios" (0 filter contacts, 1 create group, 2 copy,
    // 3 add to "Enviar a", 4 export to Excel) stay disabled until whoever carries one out makes it
    // available: an item that does nothing must not look as if it worked.
    void setRecipientActionAvailable(int action, bool available);
    bool recipientActionAvailable(int action) const;

Q_SIGNALS:
    // A right click on the tree: the key of the node under the pointer (empty for the empty area).
    void contextRequested(const QString &key, const QPoint &globalPos);
    // A recipient action of the popup menu: the class ("Destinatarios", "Recibidos", "Pendientes",
    // "Fallidos") and the action (0 filter contacts, 1 create group, 2 copy, 3 add to "Enviar a",
    // 4 export to Excel), for the send under the pointer; only for actions made available.
    void recipientsRequested(qint64 sid, const QString &recipientClass, int action);
    // A double click on a node of a send: its sid and class (the key without the sid); only once
    // the contact filter (recipient action 0) is available.
    void recipientsDoubleClicked(qint64 sid, const QString &recipientClass);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildView();
    void buildFilterPanel();
    void buildMenu();
    void onRightClick(const QPoint &pos);
    void onDoubleClick(QTreeWidgetItem *item);
    void openToCalendar();

    QTreeWidget *m_tree = nullptr;
    QScrollBar *m_pageBar = nullptr;
    QLabel *m_label = nullptr;
    QCheckBox *m_showNamesCheck = nullptr;
    QCheckBox *m_filterCheck = nullptr;
    QToolButton *m_filterPanelButton = nullptr;

    QGroupBox *m_filterFrame = nullptr;
    QCheckBox *m_byDateCheck = nullptr;
    QLineEdit *m_fromDateBox = nullptr;
    QLineEdit *m_toDateBox = nullptr;
    QCheckBox *m_byPhoneCheck = nullptr;
    QLineEdit *m_phoneBox = nullptr;
    QCheckBox *m_byTextCheck = nullptr;
    QLineEdit *m_messageTextBox = nullptr;
    QPushButton *m_applyFilterButton = nullptr;
    QPushButton *m_closeFilterButton = nullptr;
    QCalendarWidget *m_fromCalendar = nullptr;
    QCalendarWidget *m_toCalendar = nullptr;
    bool m_toCalendarOpened = false;

    QMenu *m_menu = nullptr;
    QActionGroup *m_viewGroup = nullptr;
    QList<QAction *> m_recipientItems;       // the twenty leaves, each with its action number as data
    std::array<bool, 5> m_recipientActions{};
    ui::RowPopup m_contactMenu;   // the popup menu and the send it was opened on
};

} // namespace history
