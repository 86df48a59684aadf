#pragma once

// Driving a list's popup menu the way the user does, for the windows whose trees open one on a
// press of the right button: the press on a row's line, then a pick in the open menu.

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

namespace testing {

// Presses the right button on the line of `item` in `tree`'s viewport. The tree's window is shown
// (the rows need their places on screen), the item's parents expanded and the item scrolled into
// view first. False when the line cannot be reached.
inline bool rightPress(QTreeWidget *tree, QTreeWidgetItem *item)
{
    if (!tree || !item)
        return false;
    QWidget *window = tree->window();
    if (!window->isVisible()) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return false;
    }
    for (QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
        parent->setExpanded(true);
    tree->scrollToItem(item);
    const QRect line = tree->visualItemRect(item);
    if (!line.isValid())
        return false;
    QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier, line.center());
    // The release would land beside the open menu; the next press starts from no button held.
    QTestPrivate::qtestMouseButtons.setFlag(Qt::RightButton, false);
    return true;
}

// Picks `action` in its open popup menu as the user does: the menu closes first, then the action
// runs. False when the menu is not open or the action cannot be picked.
inline bool choose(QMenu *menu, QAction *action)
{
    if (!menu || !action || !menu->isVisible() || !action->isVisible() || !action->isEnabled())
        return false;
    menu->setActiveAction(action);
    QTest::keyClick(menu, Qt::Key_Return);
    return !menu->isVisible();
}

} // namespace testing
