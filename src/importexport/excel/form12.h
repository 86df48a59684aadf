#pragma once

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QListView;
class QMenu;
class QPushButton;
class QTreeView;

namespace startup { struct AppContext; class ListViews; }

namespace importexport::excel {

class Form24;

// The pending group the combo offers first: "Nuevo: Excel_" and the opening time.
QString grupoPendiente(const QDateTime &now);
QString nombreGrupoNuevo(const QDateTime &now);

// The Excel import window (objectName `Form12`), "Importar agenda desde Excel": the workbook
// (folder tree and file list) and the group the imported contacts join; "Importar" hands both to
// the mapping window.
class Form12 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form12)

public:
    Form12(startup::AppContext &context, startup::ListViews *lists, const QDateTime &now, QWidget *parent = nullptr);
    explicit Form12(startup::AppContext &context, startup::ListViews *lists = nullptr, QWidget *parent = nullptr);

    QComboBox *Drive1 = nullptr;
    QTreeView *Dir1 = nullptr;
    QListView *File1 = nullptr;
    QCheckBox *Check1 = nullptr;      // "Mostrar sólo archivos *.xls"
    QCheckBox *Check3 = nullptr;      // "Incluir contactos en el grupo:"
    QComboBox *Combo1 = nullptr;
    QPushButton *Command1 = nullptr;  // "Importar"
    QPushButton *Command2 = nullptr;  // "Crear grupo"
    QMenu *mnurclick_excelfile = nullptr;

    QString carpeta() const { return m_carpeta; }
    void setCarpeta(const QString &path);
    // The file the list has selected (as a click on it does): enables "Importar".
    void seleccionarArchivo(const QString &name);
    QString archivo() const { return m_archivo; }

    void Command2_Click();
    // Creates the pending group when chosen, remembers the workbook and opens the mapping window.
    Form24 *f_importar_excel();
    Form24 *mapeo() const { return m_form24; }

private:
    void buildControls();
    void Form_Load();
    void Check1_Click();
    void abrirArchivo(const QString &path);

    startup::AppContext &m_context;
    startup::ListViews *m_lists = nullptr;
    QDateTime m_ahora;
    QFileSystemModel *m_dirs = nullptr;
    QFileSystemModel *m_files = nullptr;
    QString m_carpeta;
    QString m_archivo;
    QString m_archivoMenu;   // the file the popup menu was opened on
    QPointer<Form24> m_form24;
};

} // namespace importexport::excel
