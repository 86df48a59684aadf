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

const QString kErrorHistorial = QStringLiteral("No ha sido posible acceder al historial. No se ha cambiado nada.");

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
    connect(m_panel, &HistoryPanel::recipientsRequested, this, [this](qint64 sid, const QString &clase, int accion) {
        if (accion >= 0 && accion < kAccionesDestinatarios)
            f_subhistorial_destinatarios(sid, clase, static_cast<AccionDestinatarios>(accion));
    });
    connect(m_panel, &HistoryPanel::recipientsDoubleClicked, this, [this](qint64 sid, const QString &clase) {
        f_subhistorial_destinatarios(sid, clase, AccionDestinatarios::Filtrar);
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

RecipientOutcome RecipientActions::f_subhistorial_destinatarios(qint64 sid, const QString &clase,
                                                                AccionDestinatarios accion)
{
    RecipientOutcome outcome = run(sid, clase, accion);
    Q_EMIT acted(outcome);
    return outcome;
}

RecipientOutcome RecipientActions::run(qint64 sid, const QString &claseTexto, AccionDestinatarios accion)
{
    RecipientOutcome outcome;
    const std::optional<ClaseDestinatarios> clase = claseDeTexto(claseTexto);
    if (!clase)
        return outcome;
    const bool contactos = accion == AccionDestinatarios::Filtrar || accion == AccionDestinatarios::Grupo;
    if ((contactos && !m_contactBook.complete()) || (accion == AccionDestinatarios::Enviar && !m_sendPanel)) {
        outcome.status = RecipientOutcome::Status::Unavailable;
        return outcome;
    }

    const LecturaEnvio lectura = leerEnvio(m_context.conexion, sid);
    if (lectura.status == LecturaEnvio::Status::DatabaseError) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kErrorHistorial, {}, ui::Icon::Warning);
        return outcome;
    }
    if (lectura.status == LecturaEnvio::Status::NoRow)
        return outcome;
    const QString lista = listaDeClase(*clase, lectura.envio);

    switch (accion) {
    case AccionDestinatarios::Portapapeles:
        QGuiApplication::clipboard()->setText(lista);
        outcome.status = RecipientOutcome::Status::Copied;
        outcome.lista = lista;
        return outcome;
    case AccionDestinatarios::Enviar:
        m_sendPanel(lista);
        outcome.status = RecipientOutcome::Status::AddedToSendPanel;
        outcome.lista = lista;
        return outcome;
    case AccionDestinatarios::Excel:
        return exportar(sid, *clase, lectura.envio, lista);
    case AccionDestinatarios::Grupo:
        return crearGrupo(lista);
    case AccionDestinatarios::Filtrar:
        if (filtroNecesitaGrupo(lista)) {
            m_context.prompter.message(kAvisoDemasiadosContactos);
            return crearGrupo(lista);
        }
        return filtrar(lista);
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

RecipientOutcome RecipientActions::exportar(qint64 sid, ClaseDestinatarios clase, const EnvioDestinatarios &envio,
                                            const QString &lista)
{
    RecipientOutcome outcome;
    outcome.lista = lista;
    // There is no spreadsheet program to hand an unsaved workbook to: the user picks its file
    // first, then it is written and opened.
    const std::optional<QString> chosen = m_context.prompter.saveFile(
        kTituloExportarDestinatarios, QDir(exportFolder()).filePath(exporting::nombreLibroDestinatarios(sid, clase)),
        QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = RecipientOutcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("exportar-destinatarios"));
        saved = xlsx::save(outcome.path, {exporting::hojaDestinatarios(envio, lista)});
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

RecipientOutcome RecipientActions::crearGrupo(const QString &lista)
{
    RecipientOutcome outcome;
    outcome.lista = lista;
    // A second group of the same name could not be told apart in the contact filter, which finds
    // groups by name: a name already taken is asked again, as the group tab does.
    QString nombre;
    for (;;) {
        const std::optional<QString> answer =
            m_context.prompter.input(preguntaNombreGrupo(lista.size()), kTituloCrearGrupo, QString());
        nombre = answer ? answer->trimmed() : QString();
        if (nombre.isEmpty()) {
            outcome.status = RecipientOutcome::Status::Cancelled;
            return outcome;
        }
        if (!existeGrupoDestinatarios(m_context.conexion, nombre))
            break;
        m_context.prompter.message(avisoGrupoExistente(nombre), kTituloNombreGrupo, ui::Icon::Warning);
    }

    GrupoCreado creado;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("crear-grupo-destinatarios"));
        creado = crearGrupoDeTelefonos(m_context.conexion, nombre, telefonosDe(lista));
    }
    if (!creado.ok()) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kErrorCrearGrupo, kTituloCrearGrupo, ui::Icon::Warning);
        return outcome;
    }
    outcome.status = RecipientOutcome::Status::GroupCreated;
    outcome.grupo = creado.sid;
    outcome.miembros = creado.miembros;
    m_contactBook.f_grupos();
    // Without numbers there is nothing to show: the contacts stay as they were.
    if (lista.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filtrarPorGrupo(nombre);
    m_contactBook.mostrarContactos();
    return outcome;
}

RecipientOutcome RecipientActions::filtrar(const QString &lista)
{
    RecipientOutcome outcome;
    outcome.lista = lista;
    if (lista.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filtrarPorTelefonos(lista);
    m_contactBook.mostrarContactos();
    outcome.status = RecipientOutcome::Status::Filtered;
    return outcome;
}

} // namespace history
