#pragma once

#include <QPoint>
#include <QString>

#include <optional>

class QEvent;
class QMenu;
class QObject;
class QTreeWidget;
class QWidget;

// The one-column trees the client lists things in: no header, one selection, and the right button
// left to the window that owns the tree (it shows its own popup menu on the press).
namespace ui {

// A new list tree named `name`, whose viewport's events go to `pressWatcher`.
QTreeWidget *newListTree(QWidget *parent, const char *name, QObject *pressWatcher);

struct TreePress {
    Qt::MouseButton button = Qt::NoButton;
    QPoint pos;        // in the viewport
    QPoint globalPos;
};

// The mouse press on `tree`'s viewport that `event` is, if it is one.
std::optional<TreePress> pressOn(const QTreeWidget &tree, const QObject *watched, const QEvent *event);

// A list's popup menu and the key of the row it was opened on. While the menu is up the list can
// be rebuilt under it (a gateway reply, the automation, another window refreshing the list), and
// the tree's current item then moves, often to the first row. So every action of the menu acts
// on the key kept here when the menu opened, never on the tree's selection when it runs; an
// action whose row has gone meanwhile finds no row by that key and does nothing to any other.
class RowPopup final {
public:
    explicit RowPopup(QMenu *menu = nullptr) : m_menu(menu) {}

    void setMenu(QMenu *menu) { m_menu = menu; }
    QMenu *menu() const { return m_menu; }

    // Keeps `key` ("" for the list's empty area) and shows the menu at `globalPos`.
    void popup(const QString &key, const QPoint &globalPos);
    // The key the menu was last opened on; "" before it ever opened.
    const QString &key() const { return m_key; }

private:
    QMenu *m_menu = nullptr;   // owned by the window that owns the list
    QString m_key;
};

} // namespace ui
