#include "automation/birthdays/form20.h"

#include "automation/birthdays/birthday_store.h"
#include "platform/db/connection.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/brand.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace automation::birthdays {
namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kMaxFormRequestCount = 32000;

const QString kFormPath = QStringLiteral("extranet/SMS/sms_personalizados.php");
const QString kResultPath = QStringLiteral("extranet_nueva/SMS/sendsms.php");
// The submission reached the gateway but its answer never came: the greetings may be scheduled.
const QString kMaybeScheduledNotice = QStringLiteral(
    "No se ha recibido la respuesta del servidor. Las felicitaciones pueden haberse programado: compruebe los "
    "envíos programados en su cuenta web antes de repetir el envío.");

const char *const kIntroText =
    "Mediante este formulario puede felicitar automáticamente a sus clientes o amigos. Seleccione el grupo de "
    "contactos que desee y programe la felicitación personalizada para que la reciba en su día de cumpleaños a las "
    "12:00 am :";
const char *const kGroupHelpText = "Seleccione el grupo que desea felicitar y pulse sobre 'Ver grupo'";
const char *const kTemplateHelpText =
    "Seleccione el remitente deseado y la plantilla del mensaje de felicitación. Sino tiene la plantilla creada, "
    "cierre la ventana y acceda a la pestaña de 'Plantillas'.";
const char *const kListNoteText =
    "* Únicamente se muestran los contactos que no dispongan una felicitación programada desde este ordenador. Para "
    "evitar enviar repetidas veces, asegúrese de usar siempre el mismo ordenador o leer de la misma base de datos en "
    "red, y no borrar los historiales de envios pendientes, sin cancelarlos previamente.";
const char *const kCancelNoteText =
    "* Los envíos pueden ser cancelados antes de la fecha de su cumpleaños, con pleno reintegro del saldo "
    "correspondiente.";

QLabel *makeLabel(const char *text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setWordWrap(true);
    return label;
}

// The page is the form when its body shows nothing, its source holds a form with an action, and
// the form has every field the send fills and the button it clicks.
bool isUsableForm(const PaginaHtml &page)
{
    if (!page.textoCuerpo.trimmed().isEmpty() || !page.htmlCuerpo.contains(QStringLiteral("<FORM"))
        || !page.htmlCuerpo.contains(QStringLiteral("action=")) || !page.formulario.encontrado)
        return false;
    for (const QString &field : camposNecesarios()) {
        if (!page.formulario.control(field))
            return false;
    }
    const ControlHtml *button = page.formulario.control(kBotonEnviar);
    return button && button->tipo == QLatin1String("submit");
}

} // namespace

Form20::Form20(startup::AppContext &context, Enlaces links, std::function<QDateTime()> clock, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_context(context),
      m_enlaces(std::move(links)),
      m_reloj(clock ? std::move(clock) : std::function<QDateTime()>([] { return QDateTime::currentDateTime(); }))
{
    setObjectName(QStringLiteral("Form20"));
    setWindowTitle(QStringLiteral("Felicitar cumpleaños"));
    buildUi();
    connect(&m_browser, &NavegadorOculto::paginaCargada, this, &Form20::WebBrowser1_DocumentComplete);
    Form_Load();
}

Form20::~Form20() = default;

void Form20::buildUi()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(kIntroText, "SkinLabel1", this));

    auto *groupFrame = new QGroupBox(QStringLiteral("Envía felicitaciones automaticas hasta 365 días antes:"), this);
    groupFrame->setObjectName(QStringLiteral("Frame1"));
    auto *groupLayout = new QVBoxLayout(groupFrame);
    groupLayout->addWidget(makeLabel(kGroupHelpText, "SkinLabel5", groupFrame));
    auto *groupRow = new QHBoxLayout;
    m_combo1 = new QComboBox(groupFrame);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_command2 = new QPushButton(QStringLiteral("Ver grupo"), groupFrame);
    m_command2->setObjectName(QStringLiteral("Command2"));
    groupRow->addWidget(m_combo1, 1);
    groupRow->addWidget(m_command2);
    groupLayout->addLayout(groupRow);
    layout->addWidget(groupFrame);

    auto *textFrame = new QGroupBox(QStringLiteral("Texto SMS y remitente"), this);
    textFrame->setObjectName(QStringLiteral("Frame3"));
    auto *textLayout = new QVBoxLayout(textFrame);
    textLayout->addWidget(makeLabel(kTemplateHelpText, "SkinLabel7", textFrame));
    auto *textRow = new QHBoxLayout;
    textRow->addWidget(makeLabel("Remitente:", "SkinLabel2", textFrame));
    m_combo2 = new QComboBox(textFrame);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    textRow->addWidget(m_combo2, 1);
    textRow->addWidget(makeLabel("Plantilla:", "SkinLabel6", textFrame));
    m_combo3 = new QComboBox(textFrame);
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    textRow->addWidget(m_combo3, 1);
    textLayout->addLayout(textRow);
    layout->addWidget(textFrame);

    auto *listFrame = new QGroupBox(
        QStringLiteral("Listado de contactos sin enviar felicitacion para los próximos 365 días:"), this);
    listFrame->setObjectName(QStringLiteral("Frame2"));
    auto *listLayout = new QVBoxLayout(listFrame);
    m_tree = new QTreeWidget(listFrame);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    listLayout->addWidget(m_tree, 1);
    auto *pageRow = new QHBoxLayout;
    m_scroll = new QScrollBar(Qt::Horizontal, listFrame);
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setRange(0, 0);
    m_pagAgenda = new QLabel(listFrame);
    m_pagAgenda->setObjectName(QStringLiteral("PagAgenda"));
    pageRow->addWidget(m_scroll, 1);
    pageRow->addWidget(m_pagAgenda);
    listLayout->addLayout(pageRow);
    listLayout->addWidget(makeLabel(kListNoteText, "SkinLabel4", listFrame));
    listLayout->addWidget(makeLabel(kCancelNoteText, "SkinLabel3", listFrame));
    layout->addWidget(listFrame, 1);

    auto *buttonRow = new QHBoxLayout;
    m_command1 = new QPushButton(QStringLiteral("Enviar toda la lista"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command3 = new QPushButton(QStringLiteral("Cerrar"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_command1);
    buttonRow->addWidget(m_command3);
    layout->addLayout(buttonRow);

    auto *popup = new QMenu(QStringLiteral("rclick_recordatorio"), this);
    popup->setObjectName(QStringLiteral("mnurclick_recordatorio"));
    m_popup.setMenu(popup);
    QAction *scheduleAction = popup->addAction(QStringLiteral("Programar SMS felicitación"));
    scheduleAction->setObjectName(QStringLiteral("mnurclick_recordatorio_enviar"));

    connect(m_command1, &QPushButton::clicked, this, &Form20::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form20::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form20::Command3_Click);
    connect(m_scroll, &QScrollBar::valueChanged, this, &Form20::HScroll1_Change);
    connect(scheduleAction, &QAction::triggered, this, &Form20::mnurclick_recordatorio_enviar_Click);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        TreeView1_RightClick(m_tree->itemAt(pos), m_tree->viewport()->mapToGlobal(pos));
    });
}

void Form20::Form_Load()
{
    m_formularioListo = false;
    m_command1->setEnabled(false);
    cargar_grupos();
    f_agenda();
    cargar_remitentes();
    cargar_plantillas();
    pedirFormulario();
}

void Form20::cargar_plantillas()
{
    m_combo3->clear();
    const QStringList names = leerPlantillas(m_context.conexion);
    m_combo3->addItems(names);
    if (names == QStringList{kSinPlantilla})
        m_command1->setEnabled(false);
    m_combo3->setCurrentIndex(0);
}

void Form20::cargar_remitentes()
{
    m_combo2->clear();
    m_combo2->addItems(leerRemitentes(m_context.conexion));
    m_combo2->setCurrentIndex(0);
}

void Form20::cargar_grupos()
{
    for (const EntradaGrupo &entry : leerGrupos(m_context.conexion))
        m_combo1->addItem(entry.texto, entry.sid ? QVariant(*entry.sid) : QVariant());
    m_combo1->setCurrentIndex(0);
}

void Form20::f_agenda()
{
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_nodos.clear();

    // The group is carried by its key, so names with quotes or parentheses list as any other.
    const QVariant group = m_combo1->currentIndex() > 0 ? m_combo1->currentData() : QVariant();
    m_grupoMostrado = group.isValid() ? std::optional<qint64>(group.toLongLong()) : std::nullopt;

    // Greetings are recorded on the gateway's clock: which of them are still to come depends on the
    // account's zone.
    const std::optional<Cuenta> account = leerCuenta(m_context.conexion);
    const QList<Contacto> contacts = contactosFelicitables(m_context.conexion, m_grupoMostrado, m_reloj().date(),
                                                            account ? account->huso_horario : QString());
    const int rows = int(contacts.size());
    const Paginado p = paginar(rows, m_scroll->value());
    if (p.posicion != m_scroll->value() || p.maximo != m_scroll->maximum()) {
        // Moving the bar here must not list a second time.
        m_scrollPorCodigo = true;
        m_scroll->setRange(0, p.maximo);
        m_scroll->setValue(p.posicion);
        m_scrollPorCodigo = false;
    }
    m_pagAgenda->setText(p.etiqueta);
    if (rows == 0)
        m_command1->setEnabled(false);
    else if (m_combo3->currentText() != kSinPlantilla && m_formularioListo)
        m_command1->setEnabled(true);

    if (contacts.isEmpty()) {
        agregarNodo({kClaveVacia, QString(), kTextoVacio});
    } else {
        const int firstRow = p.posicion * kPorPagina;
        for (int i = firstRow; i < rows && i < firstRow + kPorPagina; ++i) {
            for (const Nodo &n : nodosContacto(contacts.at(i)))
                agregarNodo(n);
        }
    }
    m_tree->setUpdatesEnabled(true);
}

void Form20::agregarNodo(const Nodo &node)
{
    QTreeWidgetItem *item = nullptr;
    if (QTreeWidgetItem *parentItem = m_nodos.value(node.padre))
        item = new QTreeWidgetItem(parentItem);
    else
        item = new QTreeWidgetItem(m_tree);
    item->setText(0, node.texto);
    item->setData(0, kKeyRole, node.clave);
    m_nodos.insert(node.clave, item);
}

QString Form20::clave(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kKeyRole).toString() : QString();
}

void Form20::HScroll1_Change()
{
    if (m_scrollPorCodigo)
        return;
    f_agenda();
}

void Form20::Command2_Click()
{
    f_agenda();
}

void Form20::Command3_Click()
{
    if (m_enlaces.mostrarPrincipal)
        m_enlaces.mostrarPrincipal();
    close();
}

bool Form20::TreeView1_RightClick(QTreeWidgetItem *item, const QPoint &globalPos)
{
    if (!item)
        return false;
    m_tree->setCurrentItem(item);
    if (clave(item) == kClaveVacia || !m_formularioListo || !m_command1->isEnabled())
        return false;
    m_popup.popup(clave(item), globalPos);
    return true;
}

void Form20::Command1_Click()
{
    enviar(Scope::Lista);
}

void Form20::mnurclick_recordatorio_enviar_Click()
{
    enviar(Scope::Contacto, m_popup.key());
}

void Form20::pedirFormulario()
{
    m_browser.navegar(QUrl(brand::url_base() + kFormPath + QStringLiteral("?try=") + QString::number(m_contador)));
}

void Form20::aviso(const QString &text, const QString &title)
{
    m_context.prompter.message(text, title, ui::Icon::None, ui::Buttons::Ok);
}

void Form20::enviar(Scope scope, const QString &chosenKey)
{
    if (!m_formularioListo) {
        pedirFormulario();
        return;
    }
    std::optional<qint64> sid;
    if (scope == Scope::Contacto) {
        if (chosenKey.isEmpty() || chosenKey == kClaveVacia)
            return;
        sid = sidDeClave(chosenKey);
        if (!sid)
            return;
    }

    const std::optional<Cuenta> account = leerCuenta(m_context.conexion);
    if (!account) {
        aviso(QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."),
              QStringLiteral("Necesaria autentificación"));
        return;
    }
    const QString senderName = m_combo2->currentText().isEmpty() ? brand::remitente_defecto() : m_combo2->currentText();
    const QString templateBody = textoPlantilla(m_context.conexion, m_combo3->currentText()).value_or(QString());

    const QDate today = m_reloj().date();
    QList<Contacto> contacts;
    if (scope == Scope::Lista) {
        contacts = contactosFelicitables(m_context.conexion, m_grupoMostrado, today, account->huso_horario);
    } else if (std::optional<Contacto> contact = contactoPorSid(m_context.conexion, *sid, nullptr)) {
        // Greeted meanwhile (the whole list, or another workstation on the same database): once
        // is enough.
        if (felicitacionPendiente(m_context.conexion, contact->telefono, today, account->huso_horario)) {
            f_agenda();
            aviso(kYaFelicitado, QStringLiteral("Felicitar cumpleaños"));
            return;
        }
        contacts.append(*contact);
    }
    const QString message = textoParaFormulario(templateBody);
    const ListasFelicitacion lists = construirListas(contacts, today, account->huso_horario);

    // Without a template there is nothing to greet with: said here instead of by the gateway.
    if (message.trimmed().isEmpty()) {
        aviso(QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje."),
              QStringLiteral("Error"));
        return;
    }
    // A chosen contact that is gone or has no readable birth date cannot be scheduled.
    const bool enoughData = (scope == Scope::Lista || !contacts.isEmpty())
        && datosSuficientes(lists, message, scope == Scope::Lista);
    if (!enoughData) {
        aviso(QStringLiteral("Los datos personalizados en la plantilla no están disponibles para todos los contactos "
                             "seleccionados."),
              QStringLiteral("Datos de contacto insuficientes"));
        return;
    }
    if (scope == Scope::Lista && !creditoSuficiente(account->saldo, lists.cantidad())) {
        aviso(QStringLiteral("No dispone de suficiente crédito para realizar el envio."),
              QStringLiteral("Crédito insuficiente"));
        return;
    }

    m_textoPlantilla = message;
    m_listas = lists;
    m_loginCuenta = account->login;
    m_remitente = senderName;

    FormularioHtml form = m_formulario;
    for (const CampoFormulario &field : camposFormulario(lists, message, *account, senderName)) {
        if (ControlHtml *control = form.control(field.nombre))
            control->valor = field.valor;
    }
    m_command1->setEnabled(false);
    m_formularioListo = false;
    m_browser.enviar(form.accion, form.post, codificarEnvio(form, kBotonEnviar, m_juego),
                     m_direccionFormulario);
}

void Form20::WebBrowser1_DocumentComplete(const PaginaCargada &page)
{
    m_command1->setEnabled(false);
    m_formularioListo = false;
    const QString url = page.direccion.toString();
    if (url.startsWith(brand::url_base() + kFormPath))
        atenderFormulario(page);
    else if (url.startsWith(brand::url_base() + kResultPath))
        atenderResultado(page);
    Q_EMIT paginaAtendida();
}

void Form20::atenderFormulario(const PaginaCargada &page)
{
    ++m_contador;
    if (m_contador > kMaxFormRequestCount)
        m_contador = 0;
    const PaginaHtml html = analizarPagina(page.html, page.direccion);
    if (page.respondida && !html.valida) {
        m_formulario = {};
        aviso(QStringLiteral("La página del formulario recibida no es válida (demasiado grande o mal formada). Por "
                             "favor, vuelva a abrir esta ventana más tarde para realizar envíos."),
              QStringLiteral("Página no válida"));
        return;
    }
    if (!page.respondida || !isUsableForm(html)) {
        m_formulario = {};
        aviso(QStringLiteral("No se ha detectado conexión a Internet. Por favor, compruébelo y vuelva a abrir esta "
                             "ventana para realizar envíos."),
              QStringLiteral("Error de conexión"));
        return;
    }
    m_formulario = html.formulario;
    m_direccionFormulario = page.direccion;
    m_juego = juegoDe(page.contentType);
    const QTreeWidgetItem *firstItem = m_tree->topLevelItem(0);
    if (firstItem && clave(firstItem) != kClaveVacia)
        m_command1->setEnabled(true);
    m_formularioListo = true;
}

void Form20::atenderResultado(const PaginaCargada &page)
{
    if (!page.respondida && page.entregada) {
        pedirFormulario();
        aviso(kMaybeScheduledNotice, QStringLiteral("Error"));
        return;
    }
    PaginaHtml html;
    if (page.respondida) {
        html = analizarPagina(page.html, page.direccion);
        if (!html.valida) {
            // The send went out; what the gateway made of it cannot be read, so nothing is recorded.
            pedirFormulario();
            aviso(QStringLiteral("La página de respuesta recibida no es válida (demasiado grande o mal formada): no se "
                                 "puede saber si las felicitaciones se han programado. Compruebe los envíos programados "
                                 "en su cuenta web."),
                  QStringLiteral("Página no válida"));
            return;
        }
    }
    const QString text = html.textoCuerpo;
    const ResultadoEnvio result = interpretarResultado(text, m_listas.cantidad(), m_listas.telefonos.join(QStringLiteral("||")).isEmpty(),
                                                          m_textoPlantilla.isEmpty());
    QString message = result.mensaje;
    QString title = QStringLiteral("Error");
    if (result.tipo == ResultadoEnvio::Kind::Programado) {
        QList<FelicitacionProgramada> greetings;
        for (int i = 0; i < m_listas.cantidad(); ++i)
            greetings.append({m_listas.telefonos.at(i), result.identificadores.at(i), m_listas.fechas.at(i)});
        const db::Result stored =
            registrarFelicitaciones(m_context.conexion, greetings, m_loginCuenta, m_textoPlantilla, m_remitente,
                                    m_reloj().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        if (stored.ok()) {
            message = QStringLiteral("Recordatorios enviados correctamente. Para comprobar la recepción de los envíos a "
                                     "medida que sucendan, acceda al menú 'Historial'.");
            title = QStringLiteral("Envío de felicitaciones por SMS");
            f_agenda();
            if (m_enlaces.f_historial)
                m_enlaces.f_historial();
        } else {
            message = QStringLiteral("Las felicitaciones se han programado en la pasarela, pero no se han podido "
                                     "guardar en el historial. Compruebe los envíos programados en su cuenta web.");
        }
    }
    // The window gets ready for the next send before the user reads the outcome.
    pedirFormulario();
    aviso(message, title);
}

} // namespace automation::birthdays
