#pragma once

#include "automation/birthdays/birthday_rules.h"
#include "automation/birthdays/hidden_browser.h"
#include "automation/birthdays/web_form.h"
#include "platform/ui/list_tree.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace startup { struct AppContext; }

// "Felicitar cumpleaños": the contacts of a group that have a birth date and no greeting still to
// come, page by page, and the scheduling of one greeting per contact on its next birthday through
// the gateway's own web form, which a hidden browser loads, fills and submits.
// objectName `Form20`.
namespace automation::birthdays {

class Form20 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form20)

public:
    struct Enlaces {
        std::function<void()> f_historial;       // the main window's history, redrawn after a send
        std::function<void()> mostrarPrincipal;  // "Cerrar" brings the main window up
    };

    // `clock` gives the local time (tests pin it); the form page is asked for at once.
    Form20(startup::AppContext &context, Enlaces links, std::function<QDateTime()> clock = {},
           QWidget *parent = nullptr);
    ~Form20() override;

    // Public procedures.
    void cargar_plantillas();
    void cargar_remitentes();
    void cargar_grupos();
    void f_agenda();

    // Handlers, callable by tests as the controls' events call them.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void HScroll1_Change();
    // "Programar SMS felicitación": greets the contact the popup was opened on, whatever the
    // list shows by the time it runs.
    void mnurclick_recordatorio_enviar_Click();
    // The tree's right click on `item`: selects it and, when the popup may be offered, opens it
    // at `globalPos` on that contact (menuKey()); true when it opened.
    bool TreeView1_RightClick(QTreeWidgetItem *item, const QPoint &globalPos = {});
    const QString &menuKey() const { return m_popup.key(); }
    QMenu *mnurclick_recordatorio() const { return m_popup.menu(); }
    void WebBrowser1_DocumentComplete(const PaginaCargada &page);

    QComboBox *Combo1() const { return m_combo1; }
    QComboBox *Combo2() const { return m_combo2; }
    QComboBox *Combo3() const { return m_combo3; }
    QTreeWidget *TreeView1() const { return m_tree; }
    QScrollBar *HScroll1() const { return m_scroll; }
    QLabel *PagAgenda() const { return m_pagAgenda; }
    QPushButton *Command1() const { return m_command1; }
    NavegadorOculto &WebBrowser1() { return m_browser; }
    // The `try` counter sent with the next form page request.
    int contador() const { return m_contador; }
    void setContador(int count) { m_contador = count; }
    bool formularioListo() const { return m_formularioListo; }
    // The key of a tree item ("pContacto 12", "l0").
    static QString clave(const QTreeWidgetItem *item);
    QTreeWidgetItem *nodo(const QString &key) const { return m_nodos.value(key); }

Q_SIGNALS:
    // A page completion of the hidden browser was handled (tests wait on it).
    void paginaAtendida();

private:
    enum class Scope { Lista, Contacto };

    void buildUi();
    void Form_Load();
    void pedirFormulario();
    // The list on show, or the one contact whose node key is `key`.
    void enviar(Scope scope, const QString &key = {});
    void atenderFormulario(const PaginaCargada &page);
    void atenderResultado(const PaginaCargada &page);
    void agregarNodo(const Nodo &node);
    void aviso(const QString &text, const QString &title);

    startup::AppContext &m_context;
    Enlaces m_enlaces;
    std::function<QDateTime()> m_reloj;
    NavegadorOculto m_browser;

    QComboBox *m_combo1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QTreeWidget *m_tree = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_pagAgenda = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command3 = nullptr;
    ui::RowPopup m_popup;
    QHash<QString, QTreeWidgetItem *> m_nodos;

    // The group of the list on show (once the send button's `Tag`): the whole-list send greets its contacts.
    std::optional<qint64> m_grupoMostrado;
    bool m_scrollPorCodigo = false;  // once the page bar's `Tag`

    int m_contador = 0;              // once the hidden browser's `Tag`
    bool m_formularioListo = false;
    FormularioHtml m_formulario;     // the form page on show
    QUrl m_direccionFormulario;
    Charset m_juego = Charset::Windows1252;

    // The send in flight, read again when its result page arrives.
    QString m_textoPlantilla;
    ListasFelicitacion m_listas;
    QString m_loginCuenta;
    QString m_remitente;
};

} // namespace automation::birthdays
