#include "history/view/recipient_actions.h"

#include "history/export/recipients_sheet.h"
#include "history/recipient_group.h"
#include "history/view/history_panel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QUrl>

namespace history {

namespace {

const QString kHistoryErrorMessage = QStringLiteral("No ha sido posible acceder al historial. No se ha cambiado nada.");

} // namespace

RecipientActions::RecipientActions(startup::AppContext &context, HistoryPanel *panel, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(panel)
{
    if (!m_panel)
        return;
    // The copy and the workbook need nothing outside the history.
    m_panel->setRecipientActionAvailable(int(AccionDestinatarios::Portapapeles), true);
    m_panel->setRecipientActionAvailable(int(AccionDestinatarios::Excel), true);
    connect(m_panel, &HistoryPanel::recipientsRequested, this, [this](qint64 sid, const QString &recipientClass, int action) {
        if (action >= 0 && action < kAccionesDestinatarios)
            f_subhistorial_destinatarios(sid, recipientClass, static_cast<AccionDestinatarios>(action));
    });
    connect(m_panel, &HistoryPanel::recipientsDoubleClicked, this, [this](qint64 sid, const QString &recipientClass) {
        f_subhistorial_destinatarios(sid, recipientClass, AccionDestinatarios::Filtrar);
    });
}

RecipientActions::~RecipientActions() = default;

void RecipientActions::setContactBook(ContactBookLink link)
{
    m_contactBook = std::move(link);
    const bool available = m_contactBook.complete();
    if (m_panel) {
        m_panel->setRecipientActionAvailable(int(AccionDestinatarios::Filtrar), available);
        m_panel->setRecipientActionAvailable(int(AccionDestinatarios::Grupo), available);
    }
}

void RecipientActions::setSendPanel(SendPanelLink link)
{
    m_sendPanel = std::move(link);
    if (m_panel)
        m_panel->setRecipientActionAvailable(int(AccionDestinatarios::Enviar), bool(m_sendPanel));
}

RecipientOutcome RecipientActions::f_subhistorial_destinatarios(qint64 sid, const QString &recipientClass,
                                                                AccionDestinatarios action)
{
    RecipientOutcome outcome = run(sid, recipientClass, action);
    Q_EMIT acted(outcome);
    return outcome;
}

RecipientOutcome RecipientActions::run(qint64 sid, const QString &classWord, AccionDestinatarios action)
{
    RecipientOutcome outcome;
    const std::optional<ClaseDestinatarios> recipientClass = claseDeTexto(classWord);
    if (!recipientClass)
        return outcome;
    const bool needsContacts = action == AccionDestinatarios::Filtrar || action == AccionDestinatarios::Grupo;
    if ((needsContacts && !m_contactBook.complete()) || (action == AccionDestinatarios::Enviar && !m_sendPanel)) {
        outcome.status = RecipientOutcome::Status::Unavailable;
        return outcome;
    }

    const LecturaEnvio lookup = leerEnvio(m_context.conexion, sid);
    if (lookup.status == LecturaEnvio::Status::DatabaseError) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
        return outcome;
    }
    if (lookup.status == LecturaEnvio::Status::NoRow)
        return outcome;
    const QString list = listaDeClase(*recipientClass, lookup.envio);

    switch (action) {
    case AccionDestinatarios::Portapapeles:
        QGuiApplication::clipboard()->setText(list);
        outcome.status = RecipientOutcome::Status::Copied;
        outcome.lista = list;
        return outcome;
    case AccionDestinatarios::Enviar:
        m_sendPanel(list);
        outcome.status = RecipientOutcome::Status::AddedToSendPanel;
        outcome.lista = list;
        return outcome;
    case AccionDestinatarios::Excel:
        return exportar(sid, *recipientClass, lookup.envio, list);
    case AccionDestinatarios::Grupo:
        return crearGrupo(list);
    case AccionDestinatarios::Filtrar:
        if (filtroNecesitaGrupo(list)) {
            m_context.prompter.message(kAvisoDemasiadosContactos);
            return crearGrupo(list);
        }
        return filtrar(list);
    }
    return outcome;
}

QString RecipientActions::exportFolder() const
{
    if (!m_exportFolder.isEmpty())
        return m_exportFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? m_context.ruta_programa : documents;
}

RecipientOutcome RecipientActions::exportar(qint64 sid, ClaseDestinatarios recipientClass, const EnvioDestinatarios &send,
                                            const QString &list)
{
    RecipientOutcome outcome;
    outcome.lista = list;
    // There is no spreadsheet program to hand an unsaved workbook to: the user picks its file
    // first, then it is written and opened.
    const std::optional<QString> chosen = m_context.prompter.saveFile(
        kTituloExportarDestinatarios, QDir(exportFolder()).filePath(exporting::nombreLibroDestinatarios(sid, recipientClass)),
        QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = RecipientOutcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("exportar-destinatarios"));
        saved = xlsx::save(outcome.path, {exporting::hojaDestinatarios(send, list)});
    }
    if (!saved.ok()) {
        outcome.status = RecipientOutcome::Status::SaveFailed;
        m_context.prompter.message(saved.message, kTituloExportarDestinatarios, ui::Icon::Warning);
        return outcome;
    }
    outcome.status = RecipientOutcome::Status::Exported;
    m_context.prompter.message(kExportacionDestinatariosCompleta, kTituloExportarDestinatarios,
                               ui::Icon::Information);
    m_context.shell.openUrl(QUrl::fromLocalFile(outcome.path).toString());
    return outcome;
}

RecipientOutcome RecipientActions::crearGrupo(const QString &list)
{
    RecipientOutcome outcome;
    outcome.lista = list;
    // A second group of the same name could not be told apart in the contact filter, which finds
    // groups by name: a name already taken is asked again, as the group tab does.
    QString name;
    for (;;) {
        const std::optional<QString> answer =
            m_context.prompter.input(preguntaNombreGrupo(list.size()), kTituloCrearGrupo, QString());
        name = answer ? answer->trimmed() : QString();
        if (name.isEmpty()) {
            outcome.status = RecipientOutcome::Status::Cancelled;
            return outcome;
        }
        if (!existeGrupoDestinatarios(m_context.conexion, name))
            break;
        m_context.prompter.message(avisoGrupoExistente(name), kTituloNombreGrupo, ui::Icon::Warning);
    }

    GrupoCreado created;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("crear-grupo-destinatarios"));
        created = crearGrupoDeTelefonos(m_context.conexion, name, telefonosDe(list));
    }
    if (!created.ok()) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kErrorCrearGrupo, kTituloCrearGrupo, ui::Icon::Warning);
        return outcome;
    }
    outcome.status = RecipientOutcome::Status::GroupCreated;
    outcome.grupo = created.sid;
    outcome.miembros = created.miembros;
    m_contactBook.f_grupos();
    // Without numbers there is nothing to show: the contacts stay as they were.
    if (list.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filtrarPorGrupo(name);
    m_contactBook.mostrarContactos();
    return outcome;
}

RecipientOutcome RecipientActions::filtrar(const QString &list)
{
    RecipientOutcome outcome;
    outcome.lista = list;
    if (list.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filtrarPorTelefonos(list);
    m_contactBook.mostrarContactos();
    outcome.status = RecipientOutcome::Status::Filtered;
    return outcome;
}

} // namespace history
