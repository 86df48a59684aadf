#include "importexport/import_export_windows.h"

#include "importexport/access/form22.h"
#include "importexport/excel/form12.h"
#include "importexport/excel/form13.h"
#include "importexport/excel/form21.h"
#include "importexport/excel/form24.h"
#include "importexport/web/form14.h"
#include "importexport/web/form15.h"
#include "platform/ui/single_instance.h"
#include "startup/app_context.h"

#include <optional>

namespace importexport {

excel::Conflicto conflictoDeAccess(const access::Conflict &conflict)
{
    // Both roads keep the stored side in the same values; only the imported row is read as text
    // (a Null field shows empty).
    const access::ImportedContact &in = conflict.importado;
    return {0,
            {in.nombre.toString(), in.telefono, in.nombre_completo.toString(), in.direccion.toString(),
             in.telefono_2.toString(), in.comentario.toString(), in.f_nacimiento},
            conflict.actual.values};
}

access::Decision decisionDe(excel::Choice choice)
{
    access::Decision d;
    d.sobreescribirUno = choice == excel::Choice::SobreescribirUna;
    d.sobreescribirTodos = choice == excel::Choice::SobreescribirTodas;
    d.ignorarUno = choice == excel::Choice::IgnorarUna;
    d.ignorarTodos = choice == excel::Choice::IgnorarTodas;
    return d;
}

struct ImportExportWindows::Windows {
    Windows(startup::AppContext &c, startup::ListViews &l, std::function<void()> m)
        : context(c), lists(l), mostrarPrincipal(std::move(m))
    {
    }

    startup::AppContext &context;
    startup::ListViews &lists;
    std::function<void()> mostrarPrincipal;
    std::optional<access::Conflict> pending;   // the conflict the dialog shows
    ui::SingleInstance<excel::Form12> form12;
    ui::SingleInstance<excel::Form13> form13;
    ui::SingleInstance<web::Form14> form14;
    ui::SingleInstance<web::Form15> form15;
    ui::SingleInstance<access::Form22> form22;
    // Last, so it goes first: it answers to the Access window.
    ui::SingleInstance<excel::Form21> accessConflict;
};

ImportExportWindows::ImportExportWindows(startup::AppContext &context, startup::ListViews &lists,
                                         std::function<void()> showMainWindow)
    : d(std::make_unique<Windows>(context, lists, std::move(showMainWindow)))
{
}

ImportExportWindows::~ImportExportWindows() = default;

bool ImportExportWindows::canOpen(startup::WindowId id)
{
    switch (id) {
    case startup::WindowId::Form12:
    case startup::WindowId::Form13:
    case startup::WindowId::Form14:
    case startup::WindowId::Form15:
    case startup::WindowId::Form22:
        return true;
    default:
        return false;
    }
}

void ImportExportWindows::open(startup::WindowId id)
{
    switch (id) {
    case startup::WindowId::Form12:
        d->form12.show([this] { return new excel::Form12(d->context, &d->lists); });
        break;
    case startup::WindowId::Form13:
        d->form13.show([this] { return new excel::Form13(d->context); });
        break;
    case startup::WindowId::Form14:
        d->form14.show([this] { return new web::Form14(d->context, &d->lists); });
        break;
    case startup::WindowId::Form15:
        d->form15.show([this] { return new web::Form15(d->context); });
        break;
    case startup::WindowId::Form22:
        d->form22.show([this] {
            auto *window = new access::Form22(d->context, &d->lists, d->mostrarPrincipal);
            window->setConflictHandler([this](const access::Conflict &conflict) { askAboutAccessConflict(conflict); });
            // A conflict left unanswered goes with the window that stopped at it.
            QObject::connect(window, &QObject::destroyed, window, [this] {
                if (excel::Form21 *dialog = d->accessConflict.existing())
                    dialog->hide();
            });
            return window;
        });
        break;
    default:
        break;
    }
}

void ImportExportWindows::askAboutAccessConflict(const access::Conflict &conflict)
{
    excel::Form21 *dialog = d->accessConflict.get([this] {
        auto *created = new excel::Form21;
        QObject::connect(created, &excel::Form21::respondido, created, [this](excel::Choice choice) {
            // The dialog names the stopped run as it received it; the run itself waits in the
            // Access import window.
            access::Form22 *window = d->form22.existing();
            if (window && window->esperandoDecision() && d->pending)
                window->Access_a_Access(d->pending->tabla, d->pending->clave, d->pending->contados, decisionDe(choice));
        });
        return created;
    });
    d->pending = conflict;
    dialog->mostrar(conflictoDeAccess(conflict));
}

} // namespace importexport
