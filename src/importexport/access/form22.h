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

namespace startup {
struct AppContext;
class ListViews;
}

namespace importexport::access {

class FileChooser;

// The Access import window (objectName `Form22`), "Importar desde Access": picks another Access
// file and table, maps its fields to the contact fields and runs the import.
class Form22 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form22)

public:
    // `lists` (may be null) redraws the contact and group views after a finished run;
    // `showMainWindow` (may be empty) brings the main window up.
    Form22(startup::AppContext &context, startup::ListViews *lists, std::function<void()> showMainWindow = {},
           QWidget *parent = nullptr);
    ~Form22() override;

    FileChooser *Files = nullptr;            // the database's drive, folder and file lists
    QLineEdit *Text1 = nullptr;              // table
    QLineEdit *Text2 = nullptr;              // password
    QPushButton *Command1 = nullptr;         // "Conectar"
    std::array<QComboBox *, 7> Combo1{};     // one per contact field
    QComboBox *Combo2 = nullptr;             // the key field
    QPushButton *Command2 = nullptr;         // "Importar"

    void Command1_Click();
    void Command2_Click();

    // Goes on with the run that stopped at a conflict, settled by the user's choice (the
    // duplicate-phone dialog's answer). `table`, `key` and `count` name the stopped run as the
    // dialog received them; the run itself is kept here.
    void Access_a_Access(const QString &table, const QString &key, double count, const Decision &decision);
    bool esperandoDecision() const { return m_run.esperando(); }

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
    void Form_Load();
    void saveSettingsOrWarn();
    void handle(const RunOutcome &outcome);
    void askAboutConflict(const Conflict &conflict);

    startup::AppContext &m_context;
    startup::ListViews *m_lists;
    std::function<void()> m_mostrarPrincipal;
    std::function<void(const Conflict &)> m_conflictHandler;
    mdb::AccessFile m_file;
    QString m_connectedTable;
    AccessImport m_run;
};

} // namespace importexport::access
