#pragma once

#include "history/condition.h"
#include "history/delivery_state.h"
#include "platform/db/connection.h"

#include <QString>

#include <optional>
#include <vector>

// The history tree's content for one page (buildHistoryPage), built without a window: the tree widget
// adds the nodes in order and colours them, the page bar shows the label.
namespace history {

inline constexpr qint64 kPageSize = 30;

// The "Ver" menu: which sends are listed.
enum class ViewKind { All = 0, Sent = 1, Scheduled = 2 };

// The condition of a "Ver" option; `now` is nowStamp().
Condition viewCondition(ViewKind kind, const QString &now);

// What the view showed last: its page, the sids of the newest and the oldest send on it, and
// the view they were read under. Other workstations add and delete sends between two pages: the
// next page is read from these keys (the sends older than the oldest one shown), never by counting
// rows from the top, so a page turn never hides or repeats a send.
struct PageAnchor {
    qint64 page = 0;
    qint64 newest = 0;
    qint64 oldest = 0;
    ViewKind kind = ViewKind::All;
    bool filtering = false;
    QString filterSql;
    QVariantList filterValues;
};

struct ViewOptions {
    ViewKind kind = ViewKind::All;
    bool filtering = false;            // "Filtrar" ticked
    Condition filter;                // the condition the filter panel built last
    bool showNames = false;     // "Mostrar nombres"
    qint64 page = 0;               // the page bar's position, from 0
    std::optional<PageAnchor> anchor;   // the page shown before, if any
};

// The whole condition of the view: the "Ver" option and, while "Filtrar" is ticked, the filter.
Condition statementCondition(const ViewOptions &options, const QString &now);

struct HistoryNode {
    QString key;                     // clave_nodo: prefix, blank, sid ("l0" for the empty view)
    QString parentKey;               // empty for a send
    QString text;
    int image = 0;                   // position in the image list, from 1; 0 for none
    Colour colour = Colour::None;    // text colour
};

struct HistoryPage {
    enum class Status { Ok, DatabaseError };
    Status status = Status::Ok;
    QString error;

    std::vector<HistoryNode> nodes;
    qint64 rowCount = 0;             // sends in the whole view
    qint64 page = 0;                 // the page shown, pulled back when the view shrank
    qint64 lastPage = 0;
    QString label;                   // "Página 2 de 5"
    bool canCancelAll = false;      // "Cancelar todos" enabled
    bool canDeleteAllSent = false;      // "Eliminar todos (enviados)" enabled
    Condition condition;             // what the view lists; the bulk actions act on it
    std::optional<PageAnchor> anchor;   // this page, for the next one to be read from
};

// `now` is nowStamp(). A null column in a row is read as an empty text.
HistoryPage buildHistoryPage(db::Connection &connection, const ViewOptions &options, const QString &now);

// The sid named by a node key: the text after its last blank; nothing for "l0" or a bad key.
std::optional<qint64> sidFromKey(const QString &key);

// What the popup menu offers for the send under the pointer.
struct RowMenu {
    enum class Status { Ok, NoRow, EmptyView, DatabaseError };
    Status status = Status::Ok;
    bool canCancel = false;           // "Cancelar envío"
    bool canDelete = false;        // "Eliminar registro"
    bool canSelectRecipients = false;
    bool hasConfirmed = false;             // sub-items of "Seleccionar destinatarios"
    bool hasFailed = false;
    bool hasUnconfirmed = false;
};

RowMenu rowMenu(db::Connection &connection, const QString &nodeKey, const QString &now);

} // namespace history
