#pragma once

#include "contacts_fixture.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "support/popup_menus.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

// The shared services of the client around a fresh database, for the contact book's windows.
namespace contactstest {

struct Harness {
    Database d;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{d.connection, prompter, shell, busy, d.home.path()};

    // Every message box gets OK; returns the texts shown since the last call.
    QStringList messages()
    {
        QStringList r;
        for (const auto &c : prompter.callsOf(testing::ScriptedPrompter::Kind::Message))
            r << c.text;
        prompter.clear();
        return r;
    }
    void ok(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            prompter.answerMessage(ui::Answer::Ok);
    }
};

inline QTreeWidgetItem *findNode(QTreeWidget *tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == key)
            return *it;
    }
    return nullptr;
}

inline bool selectNode(QTreeWidget *tree, const QString &key)
{
    QTreeWidgetItem *n = findNode(tree, key);
    if (n)
        tree->setCurrentItem(n);
    return n != nullptr;
}

// A press of the right button on the node with that key: the window opens its popup menu on it.
inline bool openMenuOn(QTreeWidget *tree, const QString &key)
{
    return testing::rightPress(tree, findNode(tree, key));
}

inline QStringList rootTexts(QTreeWidget *tree)
{
    QStringList r;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        r << tree->topLevelItem(i)->text(0);
    return r;
}

} // namespace contactstest
