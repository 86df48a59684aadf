#pragma once

#include "importexport/access/access_import.h"
#include "platform/mdb/access_file.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace seams {
struct AppContext;
class ListViews;
}

namespace importexport::access {

class FileChooser;

// The Access import window (objectName `Form22`), "Importar desde Access": picks another Access
// file and table, maps its fields to the contact fields and runs the import.
class AccessImportWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccessImportWindow)

public:
    // `lists` (may be null) redraws the contact and group views after a finished run;
    // `showMainWindow` (may be empty) brings the main window up.
    AccessImportWindow(seams::AppContext &context, seams::ListViews *lists, std::function<void()> showMainWindow = {},
           QWidget *parent = nullptr);
    ~AccessImportWindow() override;

    FileChooser *fileChooser = nullptr;            // the database's drive, folder and file lists
    QLineEdit *tableBox = nullptr;              // table
    QLineEdit *passwordBox = nullptr;              // password
    QPushButton *connectButton = nullptr;         // "Conectar"
    std::array<QComboBox *, 7> fieldCombos{};     // one per contact field
    QComboBox *keyCombo = nullptr;             // the key field
    QPushButton *importButton = nullptr;         // "Importar"

    void connectDatabase();
    void importContacts();

    // Goes on with the run that stopped at a conflict, settled by the user's choice (the
    // duplicate-phone dialog's answer). `table`, `key` and `count` name the stopped run as the
    // dialog received them; the run itself is kept here.
    void resumeImport(const QString &table, const QString &key, double count, const Decision &decision);
    bool awaitingDecision() const { return m_run.waiting(); }

    // Who asks the user about a conflict. Without one, a Yes/No/Cancel question stands in:
    // Yes overwrites this contact, No keeps the stored one, Cancel ends the run without writing.
    void setConflictHandler(std::function<void(const Conflict &)> handler) { m_conflictHandler = std::move(handler); }

    Mapping mapping() const;

Q_SIGNALS:
    void connected();
    // The walk stopped: finished, failed, or waiting for the answer to a conflict. Emitted before
    // the box that reports it.
    void runEnded(const importexport::access::RunOutcome &outcome);

private:
    void loadSettings();
    void saveSettingsOrWarn();
    void handle(const RunOutcome &outcome);
    void askAboutConflict(const Conflict &conflict);

    seams::AppContext &m_context;
    seams::ListViews *m_lists;
    std::function<void()> m_showMainWindow;
    std::function<void(const Conflict &)> m_conflictHandler;
    mdb::AccessFile m_file;
    QString m_connectedTable;
    AccessImport m_run;
};

} // namespace importexport::access
