#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>

// Adding a picked contact or group to the send panel's recipients box.
// The box keeps a clean `lista_destinatarios`; its Tag is the text it had when last checked, and
// a Tag ending in ",coste" tells the send panel to ask for a new quote without cleaning the box.
namespace contacts::picker {

inline constexpr auto kQuoteMark = ",coste";

struct RecipientsText {
    QString text;      // the recipients box
    QString tag;        // the box's Tag
};

struct Addition {
    QStringList added;         // the numbers appended, in order
    RecipientsText box;         // the box afterwards (unchanged when nothing was new)
    bool changed() const { return !added.isEmpty(); }
};

// Appends the numbers not yet in the box. Each number is compared whole with the box's entries;
// an empty number, or one repeated among `numbers`, is added at most once (never as an empty
// entry), since the ",coste" mark skips the send panel's own cleaning and a repeat would be sent
// and charged twice.
Addition addNumbers(const RecipientsText &before, const QStringList &numbers);

// What one picked node brings.
struct Pick {
    bool ok = true;
    QString error;
    QStringList numbers;                // the members' or the contact's mobile numbers
    std::optional<QString> lastCaption;      // the caption for the last-pick label ("Ultimo: ..."), if any
};

// A group node ("pGrupo <sid>", shown as `nodeText`) gives its members' numbers and, when it has
// members, "Ultimo: " + the node's text without " contactos"; any contact node or node below one
// gives that contact's number and "Ultimo: " + its name. A contact that is gone gives nothing.
Pick pickFromNode(db::Connection &connection, const QString &key, const QString &nodeText);

} // namespace contacts::picker
