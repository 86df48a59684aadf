#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTreeView;

namespace startup { struct AppContext; }

// "Automatizar envíos": which file to watch, how often, and the separator it uses; saving writes
// the one `Automatizado` row, stopped. Shown modeless; each opening starts from the stored row.
// objectName `Form16`.
namespace automation {

class Form16 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form16)

public:
    explicit Form16(startup::AppContext &context, QWidget *parent = nullptr);
    ~Form16() override;

    // Handlers, callable by tests as the controls' events call them.
    void Drive1_Change(const QString &drive);
    void Dir1_Change(const QString &folder);
    void File1_Click(const QString &fileName);
    void Text1_LostFocus();
    void Command1_Click();

    QComboBox *Drive1() const { return m_drive1; }
    QTreeView *Dir1() const { return m_dir1; }
    QListView *File1() const { return m_file1; }
    QLineEdit *Text1() const { return m_text1; }
    QComboBox *Combo1() const { return m_combo1; }
    QLineEdit *Text2() const { return m_text2; }
    QPushButton *Command1() const { return m_command1; }
    // The folder the file list shows.
    QString carpeta() const { return m_carpeta; }

Q_SIGNALS:
    // The row was written: automated sending can be started from the menu.
    void guardado();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void Form_Load();
    void Text1_Change(const QString &text);
    void Text2_Change(const QString &text);
    void mostrarCarpeta(const QString &folder);

    startup::AppContext &m_context;
    QFileSystemModel *m_carpetas = nullptr;
    QFileSystemModel *m_archivos = nullptr;
    QComboBox *m_drive1 = nullptr;
    QTreeView *m_dir1 = nullptr;
    QListView *m_file1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QPushButton *m_command1 = nullptr;
    QString m_carpeta;
    bool m_moviendo = false;   // the lists are being positioned by code, not by the user
};

} // namespace automation
