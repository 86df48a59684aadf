#pragma once

#include "importexport/access/access_import.h"
#include "importexport/excel/import_engine.h"
#include "seams/subsystems.h"

#include <functional>
#include <memory>

namespace seams {
struct AppContext;
}

namespace importexport {

// The import and export windows the main menu opens, one of each at a time. The Access import
// hands its conflicts to the same duplicate-phone dialog the Excel import uses.
class ImportExportWindows final {
public:
    // `lists` redraws the contact and group views after an import; `showMainWindow` brings the
    // main window up when an import ends.
    ImportExportWindows(seams::AppContext &context, seams::ListViews &lists, std::function<void()> showMainWindow);
    ~ImportExportWindows();
    ImportExportWindows(const ImportExportWindows &) = delete;
    ImportExportWindows &operator=(const ImportExportWindows &) = delete;

    static bool canOpen(seams::WindowId id);
    void open(seams::WindowId id);

    // The Access import's conflict: shown in the duplicate-phone dialog, whose answer goes on
    // with the stopped run.
    void askAboutAccessConflict(const access::Conflict &conflict);

private:
    struct Windows;
    std::unique_ptr<Windows> d;
};

// The Access import's conflict in the dialog's terms.
excel::Conflict conflictFromAccess(const access::Conflict &conflict);
// The dialog's answer as the Access import's four flags.
access::Decision decisionFromChoice(excel::Choice choice);

} // namespace importexport
