#pragma once

#include "history/recipient_classes.h"
#include "seams/app_context.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace history {

class HistoryPanel;

// Where "Filtrar contactos" and "Crear grupo" lead: the contact book's filter and group list and
// its tab. The application fills it from the contact book.
struct ContactBookLink {
    std::function<void(const QString &list)> filterByPhones;   // the filter set and applied
    std::function<void()> reloadGroups;                                   // the group lists refilled
    std::function<void(const QString &name)> filterByGroup;       // the filter set and applied
    std::function<void()> showContacts;                           // the "Contactos" tab shown
    bool complete() const { return filterByPhones && reloadGroups && filterByGroup && showContacts; }
};

// Where "Añadir a 'Enviar a'" leads: the numbers added to the send panel's recipients box, whose
// tab is then shown.
using SendPanelLink = std::function<void(const QString &list)>;

// What one recipient action did, for the callers that go on from it and for tests.
struct RecipientOutcome {
    enum class Status {
        Nothing,          // no such class or send, or nothing to do with an empty list
        Copied,
        AddedToSendPanel,
        Exported,
        Filtered,
        GroupCreated,
        Cancelled,        // the group's name or the workbook's file was not given
        Unavailable,      // the action has nowhere to lead
        DatabaseError,
        SaveFailed,
    };
    Status status = Status::Nothing;
    QString list;        // the class list acted on
    QString path;         // the workbook written
    qint64 group = 0;     // the group created
    qint64 members = 0;  // contacts that joined it
};

// actOnRecipients: the five actions of "Seleccionar destinatarios" on a class of a
// send's recipients, and the double click on a class node (the filter). The copy and the export
// are the history's own and work at once; the filter, the group and the send panel are enabled on
// the history panel as soon as the application says where they lead.
class RecipientActions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecipientActions)

public:
    RecipientActions(seams::AppContext &context, HistoryPanel *panel, QObject *parent = nullptr);
    ~RecipientActions() override;

    void setContactBook(ContactBookLink link);
    void setSendPanel(SendPanelLink link);

    RecipientOutcome actOnRecipients(qint64 sid, const QString &recipientClass, RecipientAction action);

Q_SIGNALS:
    void acted(const history::RecipientOutcome &outcome);

private:
    RecipientOutcome run(qint64 sid, const QString &recipientClass, RecipientAction action);
    RecipientOutcome exportClass(qint64 sid, RecipientClass recipientClass, const RecipientSend &send,
                              const QString &list);
    RecipientOutcome createGroup(const QString &list);
    RecipientOutcome filterContacts(const QString &list);
    // Where the workbook's file picker starts: the user's documents, or the program folder.
    QString exportFolder() const;

    seams::AppContext &m_context;
    QPointer<HistoryPanel> m_panel;
    ContactBookLink m_contactBook;
    SendPanelLink m_sendPanel;
};

} // namespace history
