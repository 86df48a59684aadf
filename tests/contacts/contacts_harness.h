#pragma once

#include "contacts_fixture.h"
#include "platform/ui/busy_cursor.h"
#include "startup/app_context.h"
#include "support/recording_shell.h"
#include "support/popup_menus.h"
#include "support/scripted_prompter.h"

#include <QNetworkAccessManager>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

// The shared services of the client around a fresh database, for the contact book's windows.
namespace contactstest {

struct Harness {
    Database d;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    QNetworkAccessManager network;
    startup::AppContext context{d.conexion, prompter, shell, busy, network, d.home.path()};

    // Every message box gets OK; returns the texts shown since the last call.
    QStringList mensajes()
    {
        QStringList r;
        for (const auto &c : prompter.callsOf(testing::ScriptedPrompter::Kind::Message))
            r << c.text;
        prompter.clear();
        return r;
    }
    void ok(int veces = 1)
    {
        for (int i = 0; i < veces; ++i)
            prompter.answerMessage(ui::Answer::Ok);
    }
};

inline QTreeWidgetItem *nodo(QTreeWidget *arbol, const QString &clave)
{
    for (QTreeWidgetItemIterator it(arbol); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == clave)
            return *it;
    }
    return nullptr;
}

inline bool seleccionar(QTreeWidget *arbol, const QString &clave)
{
    QTreeWidgetItem *n = nodo(arbol, clave);
    if (n)
        arbol->setCurrentItem(n);
    return n != nullptr;
}

// A press of the right button on the node with that key: the window opens its popup menu on it.
inline bool abrirMenuEn(QTreeWidget *arbol, const QString &clave)
{
    return testing::rightPress(arbol, nodo(arbol, clave));
}

inline QStringList raices(QTreeWidget *arbol)
{
    QStringList r;
    for (int i = 0; i < arbol->topLevelItemCount(); ++i)
        r << arbol->topLevelItem(i)->text(0);
    return r;
}

} // namespace contactstest
