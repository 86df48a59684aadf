#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>

// Adding a picked contact or group to the send panel's recipients box.
// The box keeps a clean `lista_destinatarios`; its Tag is the text it had when last checked, and
// a Tag ending in ",coste" tells the send panel to ask for a new quote without cleaning the box.
namespace contacts::picker {

inline constexpr auto kMarcaCoste = ",coste";

struct Destinatarios {
    QString texto;      // the recipients box
    QString tag;        // the box's Tag
};

struct Adicion {
    QStringList nuevos;         // the numbers appended, in order
    Destinatarios caja;         // the box afterwards (unchanged when nothing was new)
    bool cambiada() const { return !nuevos.isEmpty(); }
};

// Appends the numbers not yet in the box. Each number is compared whole with the box's entries;
// an empty number, or one repeated among `numbers`, is added at most once (never as an empty
// entry), since the ",coste" mark skips the send panel's own cleaning and a repeat would be sent
// and charged twice.
Adicion agregarNumeros(const Destinatarios &before, const QStringList &numbers);

// What one picked node brings.
struct Seleccion {
    bool ok = true;
    QString error;
    QStringList numeros;                // the members' or the contact's mobile numbers
    std::optional<QString> ultimo;      // the caption for the last-pick label ("Ultimo: ..."), if any
};

// A group node ("pGrupo <sid>", shown as `nodeText`) gives its members' numbers and, when it has
// members, "Ultimo: " + the node's text without " contactos"; any contact node or node below one
// gives that contact's number and "Ultimo: " + its name. A contact that is gone gives nothing.
Seleccion seleccionDeNodo(db::Connection &connection, const QString &key, const QString &nodeText);

} // namespace contacts::picker
