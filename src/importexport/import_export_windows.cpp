#include "importexport/import_export_windows.h"

#include "importexport/access/access_import_window.h"
#include "importexport/excel/column_mapping_window.h"
#include "importexport/excel/duplicate_phone_dialog.h"
#include "importexport/excel/excel_export_window.h"
#include "importexport/excel/excel_import_window.h"
#include "importexport/web/web_download_window.h"
#include "importexport/web/web_upload_window.h"
#include "platform/ui/single_instance.h"
#include "seams/app_context.h"

#include <optional>

namespace importexport {

excel::Conflict conflictFromAccess(const access::Conflict &conflict)
{
    // Both imports keep the stored side in the same values; only the imported row is read as text
    // (a Null field shows empty).
    const access::ImportedContact &in = conflict.imported;
    return {0,
            {in.name.toString(), in.phone, in.fullName.toString(), in.address.toString(),
             in.otherPhone.toString(), in.comment.toString(), in.birthDate},
            conflict.stored.values};
}

access::Decision decisionFromChoice(excel::Choice choice)
{
    access::Decision d;
    d.overwriteOne = choice == excel::Choice::OverwriteOnce;
    d.overwriteAll = choice == excel::Choice::OverwriteAll;
    d.ignoreOne = choice == excel::Choice::IgnoreOnce;
    d.ignoreAll = choice == excel::Choice::IgnoreAll;
    return d;
}

struct ImportExportWindows::Windows {
    Windows(seams::AppContext &c, seams::ListViews &l, std::function<void()> m)
        : context(c), lists(l), showMainWindow(std::move(m))
    {
    }

    seams::AppContext &context;
    seams::ListViews &lists;
    std::function<void()> showMainWindow;
    std::optional<access::Conflict> pending;   // the conflict the dialog shows
    ui::SingleInstance<excel::ExcelImportWindow> excelImport;
    ui::SingleInstance<excel::ExcelExportWindow> excelExport;
    ui::SingleInstance<web::WebDownloadWindow> webDownload;
    ui::SingleInstance<web::WebUploadWindow> webUpload;
    ui::SingleInstance<access::AccessImportWindow> accessImport;
    // Last, so it goes first: it answers to the Access window.
    ui::SingleInstance<excel::DuplicatePhoneDialog> accessConflict;
};

ImportExportWindows::ImportExportWindows(seams::AppContext &context, seams::ListViews &lists,
                                         std::function<void()> showMainWindow)
    : d(std::make_unique<Windows>(context, lists, std::move(showMainWindow)))
{
}

ImportExportWindows::~ImportExportWindows() = default;

bool ImportExportWindows::canOpen(seams::WindowId id)
{
    switch (id) {
    case seams::WindowId::ExcelImport:
    case seams::WindowId::ExcelExport:
    case seams::WindowId::WebDownload:
    case seams::WindowId::WebUpload:
    case seams::WindowId::AccessImport:
        return true;
    default:
        return false;
    }
}

void ImportExportWindows::open(seams::WindowId id)
{
    switch (id) {
    case seams::WindowId::ExcelImport:
        d->excelImport.show([this] { return new excel::ExcelImportWindow(d->context, &d->lists); });
        break;
    case seams::WindowId::ExcelExport:
        d->excelExport.show([this] { return new excel::ExcelExportWindow(d->context); });
        break;
    case seams::WindowId::WebDownload:
        d->webDownload.show([this] { return new web::WebDownloadWindow(d->context, &d->lists); });
        break;
    case seams::WindowId::WebUpload:
        d->webUpload.show([this] { return new web::WebUploadWindow(d->context); });
        break;
    case seams::WindowId::AccessImport:
        d->accessImport.show([this] {
            auto *window = new access::AccessImportWindow(d->context, &d->lists, d->showMainWindow);
            window->setConflictHandler([this](const access::Conflict &conflict) { askAboutAccessConflict(conflict); });
            // A conflict left unanswered goes with the window that stopped at it.
            QObject::connect(window, &QObject::destroyed, window, [this] {
                if (excel::DuplicatePhoneDialog *dialog = d->accessConflict.existing())
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
    excel::DuplicatePhoneDialog *dialog = d->accessConflict.get([this] {
        auto *created = new excel::DuplicatePhoneDialog;
        QObject::connect(created, &excel::DuplicatePhoneDialog::answered, created, [this](excel::Choice choice) {
            // The dialog names the stopped run as it received it; the run itself waits in the
            // Access import window.
            access::AccessImportWindow *window = d->accessImport.existing();
            if (window && window->awaitingDecision() && d->pending)
                window->resumeImport(d->pending->table, d->pending->key, d->pending->count, decisionFromChoice(choice));
        });
        return created;
    });
    d->pending = conflict;
    dialog->showConflict(conflictFromAccess(conflict));
}

} // namespace importexport
