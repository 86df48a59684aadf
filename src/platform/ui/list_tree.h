#pragma once

#include <QPoint>

#include <optional>

class QEvent;
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

} // namespace ui
