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

constexpr int kClaveRol = Qt::UserRole;
constexpr int kLimiteContador = 32000;

const QString kRutaFormulario = QStringLiteral("extranet/SMS/sms_personalizados.php");
const QString kRutaResultado = QStringLiteral("extranet_nueva/SMS/sendsms.php");
// The submission reached the gateway but its answer never came: the greetings may be scheduled.
const QString kQuizaProgramadas = QStringLiteral(
    "No se ha recibido la respuesta del servidor. Las felicitaciones pueden haberse programado: compruebe los "
    "envíos programados en su cuenta web antes de repetir el envío.");

const char *const kSkinLabel1 =
    "Mediante este formulario puede felicitar automáticamente a sus clientes o amigos. Seleccione el grupo de "
    "contactos que desee y programe la felicitación personalizada para que la reciba en su día de cumpleaños a las "
    "12:00 am :";
const char *const kSkinLabel5 = "Seleccione el grupo que desea felicitar y pulse sobre 'Ver grupo'";
const char *const kSkinLabel7 =
    "Seleccione el remitente deseado y la plantilla del mensaje de felicitación. Sino tiene la plantilla creada, "
    "cierre la ventana y acceda a la pestaña de 'Plantillas'.";
const char *const kSkinLabel4 =
    "* Únicamente se muestran los contactos que no dispongan una felicitación programada desde este ordenador. Para "
    "evitar enviar repetidas veces, asegúrese de usar siempre el mismo ordenador o leer de la misma base de datos en "
    "red, y no borrar los historiales de envios pendientes, sin cancelarlos previamente.";
const char *const kSkinLabel3 =
    "* Los envíos pueden ser cancelados antes de la fecha de su cumpleaños, con pleno reintegro del saldo "
    "correspondiente.";

QLabel *etiqueta(const char *texto, const char *nombre, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(texto), parent);
    label->setObjectName(QString::fromLatin1(nombre));
    label->setWordWrap(true);
    return label;
}

// The page is the form when its body shows nothing, its source holds a form with an action, and
// the form has every field the send fills and the button it clicks.
bool formularioUtilizable(const PaginaHtml &pagina)
{
    if (!pagina.textoCuerpo.trimmed().isEmpty() || !pagina.htmlCuerpo.contains(QStringLiteral("<FORM"))
        || !pagina.htmlCuerpo.contains(QStringLiteral("action=")) || !pagina.formulario.encontrado)
        return false;
    for (const QString &campo : camposNecesarios()) {
        if (!pagina.formulario.control(campo))
            return false;
    }
    const ControlHtml *boton = pagina.formulario.control(kBotonEnviar);
    return boton && boton->tipo == QLatin1String("submit");
}

} // namespace

Form20::Form20(startup::AppContext &context, Enlaces enlaces, std::function<QDateTime()> reloj, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_context(context),
      m_enlaces(std::move(enlaces)),
      m_reloj(reloj ? std::move(reloj) : std::function<QDateTime()>([] { return QDateTime::currentDateTime(); }))
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
    layout->addWidget(etiqueta(kSkinLabel1, "SkinLabel1", this));

    auto *frame1 = new QGroupBox(QStringLiteral("Envía felicitaciones automaticas hasta 365 días antes:"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grupo = new QVBoxLayout(frame1);
    grupo->addWidget(etiqueta(kSkinLabel5, "SkinLabel5", frame1));
    auto *filaGrupo = new QHBoxLayout;
    m_combo1 = new QComboBox(frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_command2 = new QPushButton(QStringLiteral("Ver grupo"), frame1);
    m_command2->setObjectName(QStringLiteral("Command2"));
    filaGrupo->addWidget(m_combo1, 1);
    filaGrupo->addWidget(m_command2);
    grupo->addLayout(filaGrupo);
    layout->addWidget(frame1);

    auto *frame3 = new QGroupBox(QStringLiteral("Texto SMS y remitente"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto *texto = new QVBoxLayout(frame3);
    texto->addWidget(etiqueta(kSkinLabel7, "SkinLabel7", frame3));
    auto *filaTexto = new QHBoxLayout;
    filaTexto->addWidget(etiqueta("Remitente:", "SkinLabel2", frame3));
    m_combo2 = new QComboBox(frame3);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    filaTexto->addWidget(m_combo2, 1);
    filaTexto->addWidget(etiqueta("Plantilla:", "SkinLabel6", frame3));
    m_combo3 = new QComboBox(frame3);
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    filaTexto->addWidget(m_combo3, 1);
    texto->addLayout(filaTexto);
    layout->addWidget(frame3);

    auto *frame2 = new QGroupBox(
        QStringLiteral("Listado de contactos sin enviar felicitacion para los próximos 365 días:"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto *lista = new QVBoxLayout(frame2);
    m_tree = new QTreeWidget(frame2);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    lista->addWidget(m_tree, 1);
    auto *filaPagina = new QHBoxLayout;
    m_scroll = new QScrollBar(Qt::Horizontal, frame2);
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setRange(0, 0);
    m_pagAgenda = new QLabel(frame2);
    m_pagAgenda->setObjectName(QStringLiteral("PagAgenda"));
    filaPagina->addWidget(m_scroll, 1);
    filaPagina->addWidget(m_pagAgenda);
    lista->addLayout(filaPagina);
    lista->addWidget(etiqueta(kSkinLabel4, "SkinLabel4", frame2));
    lista->addWidget(etiqueta(kSkinLabel3, "SkinLabel3", frame2));
    layout->addWidget(frame2, 1);

    auto *botones = new QHBoxLayout;
    m_command1 = new QPushButton(QStringLiteral("Enviar toda la lista"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command3 = new QPushButton(QStringLiteral("Cerrar"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    botones->addStretch(1);
    botones->addWidget(m_command1);
    botones->addWidget(m_command3);
    layout->addLayout(botones);

    auto *popup = new QMenu(QStringLiteral("rclick_recordatorio"), this);
    popup->setObjectName(QStringLiteral("mnurclick_recordatorio"));
    m_popup.setMenu(popup);
    QAction *programar = popup->addAction(QStringLiteral("Programar SMS felicitación"));
    programar->setObjectName(QStringLiteral("mnurclick_recordatorio_enviar"));

    connect(m_command1, &QPushButton::clicked, this, &Form20::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form20::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form20::Command3_Click);
    connect(m_scroll, &QScrollBar::valueChanged, this, &Form20::HScroll1_Change);
    connect(programar, &QAction::triggered, this, &Form20::mnurclick_recordatorio_enviar_Click);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint &punto) {
        TreeView1_RightClick(m_tree->itemAt(punto), m_tree->viewport()->mapToGlobal(punto));
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
    const QStringList nombres = leerPlantillas(m_context.conexion);
    m_combo3->addItems(nombres);
    if (nombres == QStringList{kSinPlantilla})
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
    for (const EntradaGrupo &entrada : leerGrupos(m_context.conexion))
        m_combo1->addItem(entrada.texto, entrada.sid ? QVariant(*entrada.sid) : QVariant());
    m_combo1->setCurrentIndex(0);
}

void Form20::f_agenda()
{
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    m_nodos.clear();

    // The group is carried by its key, so names with quotes or parentheses list as any other.
    const QVariant grupo = m_combo1->currentIndex() > 0 ? m_combo1->currentData() : QVariant();
    m_grupoMostrado = grupo.isValid() ? std::optional<qint64>(grupo.toLongLong()) : std::nullopt;

    // Greetings are recorded on the gateway's clock: which of them are still to come depends on the
    // account's zone.
    const std::optional<Cuenta> cuenta = leerCuenta(m_context.conexion);
    const QList<Contacto> contactos = contactosFelicitables(m_context.conexion, m_grupoMostrado, m_reloj().date(),
                                                            cuenta ? cuenta->huso_horario : QString());
    const int filas = int(contactos.size());
    const Paginado p = paginar(filas, m_scroll->value());
    if (p.posicion != m_scroll->value() || p.maximo != m_scroll->maximum()) {
        // Moving the bar here must not list a second time.
        m_scrollPorCodigo = true;
        m_scroll->setRange(0, p.maximo);
        m_scroll->setValue(p.posicion);
        m_scrollPorCodigo = false;
    }
    m_pagAgenda->setText(p.etiqueta);
    if (filas == 0)
        m_command1->setEnabled(false);
    else if (m_combo3->currentText() != kSinPlantilla && m_formularioListo)
        m_command1->setEnabled(true);

    if (contactos.isEmpty()) {
        agregarNodo({kClaveVacia, QString(), kTextoVacio});
    } else {
        const int desde = p.posicion * kPorPagina;
        for (int i = desde; i < filas && i < desde + kPorPagina; ++i) {
            for (const Nodo &n : nodosContacto(contactos.at(i)))
                agregarNodo(n);
        }
    }
    m_tree->setUpdatesEnabled(true);
}

void Form20::agregarNodo(const Nodo &nodo)
{
    QTreeWidgetItem *item = nullptr;
    if (QTreeWidgetItem *padre = m_nodos.value(nodo.padre))
        item = new QTreeWidgetItem(padre);
    else
        item = new QTreeWidgetItem(m_tree);
    item->setText(0, nodo.texto);
    item->setData(0, kClaveRol, nodo.clave);
    m_nodos.insert(nodo.clave, item);
}

QString Form20::clave(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kClaveRol).toString() : QString();
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
    enviar(Alcance::Lista);
}

void Form20::mnurclick_recordatorio_enviar_Click()
{
    enviar(Alcance::Contacto, m_popup.key());
}

void Form20::pedirFormulario()
{
    m_browser.navegar(QUrl(brand::url_base() + kRutaFormulario + QStringLiteral("?try=") + QString::number(m_contador)));
}

void Form20::aviso(const QString &texto, const QString &titulo)
{
    m_context.prompter.message(texto, titulo, ui::Icon::None, ui::Buttons::Ok);
}

void Form20::enviar(Alcance alcance, const QString &elegida)
{
    if (!m_formularioListo) {
        pedirFormulario();
        return;
    }
    std::optional<qint64> sid;
    if (alcance == Alcance::Contacto) {
        if (elegida.isEmpty() || elegida == kClaveVacia)
            return;
        sid = sidDeClave(elegida);
        if (!sid)
            return;
    }

    const std::optional<Cuenta> cuenta = leerCuenta(m_context.conexion);
    if (!cuenta) {
        aviso(QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."),
              QStringLiteral("Necesaria autentificación"));
        return;
    }
    const QString remitente = m_combo2->currentText().isEmpty() ? brand::remitente_defecto() : m_combo2->currentText();
    const QString plantilla = textoPlantilla(m_context.conexion, m_combo3->currentText()).value_or(QString());

    const QDate hoy = m_reloj().date();
    QList<Contacto> contactos;
    if (alcance == Alcance::Lista) {
        contactos = contactosFelicitables(m_context.conexion, m_grupoMostrado, hoy, cuenta->huso_horario);
    } else if (std::optional<Contacto> contacto = contactoPorSid(m_context.conexion, *sid, nullptr)) {
        // Greeted meanwhile (the whole list, or another workstation on the same database): once
        // is enough.
        if (felicitacionPendiente(m_context.conexion, contacto->telefono, hoy, cuenta->huso_horario)) {
            f_agenda();
            aviso(kYaFelicitado, QStringLiteral("Felicitar cumpleaños"));
            return;
        }
        contactos.append(*contacto);
    }
    const QString mensaje = textoParaFormulario(plantilla);
    const ListasFelicitacion listas = construirListas(contactos, hoy, cuenta->huso_horario);

    // Without a template there is nothing to greet with: said here instead of by the gateway.
    if (mensaje.trimmed().isEmpty()) {
        aviso(QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje."),
              QStringLiteral("Error"));
        return;
    }
    // A chosen contact that is gone or has no readable birth date cannot be scheduled.
    const bool datos = (alcance == Alcance::Lista || !contactos.isEmpty())
        && datosSuficientes(listas, mensaje, alcance == Alcance::Lista);
    if (!datos) {
        aviso(QStringLiteral("Los datos personalizados en la plantilla no están disponibles para todos los contactos "
                             "seleccionados."),
              QStringLiteral("Datos de contacto insuficientes"));
        return;
    }
    if (alcance == Alcance::Lista && !creditoSuficiente(cuenta->saldo, listas.cantidad())) {
        aviso(QStringLiteral("No dispone de suficiente crédito para realizar el envio."),
              QStringLiteral("Crédito insuficiente"));
        return;
    }

    m_textoPlantilla = mensaje;
    m_listas = listas;
    m_loginCuenta = cuenta->login;
    m_remitente = remitente;

    FormularioHtml formulario = m_formulario;
    for (const CampoFormulario &campo : camposFormulario(listas, mensaje, *cuenta, remitente)) {
        if (ControlHtml *control = formulario.control(campo.nombre))
            control->valor = campo.valor;
    }
    m_command1->setEnabled(false);
    m_formularioListo = false;
    m_browser.enviar(formulario.accion, formulario.post, codificarEnvio(formulario, kBotonEnviar, m_juego),
                     m_direccionFormulario);
}

void Form20::WebBrowser1_DocumentComplete(const PaginaCargada &pagina)
{
    m_command1->setEnabled(false);
    m_formularioListo = false;
    const QString direccion = pagina.direccion.toString();
    if (direccion.startsWith(brand::url_base() + kRutaFormulario))
        atenderFormulario(pagina);
    else if (direccion.startsWith(brand::url_base() + kRutaResultado))
        atenderResultado(pagina);
    Q_EMIT paginaAtendida();
}

void Form20::atenderFormulario(const PaginaCargada &pagina)
{
    ++m_contador;
    if (m_contador > kLimiteContador)
        m_contador = 0;
    const PaginaHtml html = analizarPagina(pagina.html, pagina.direccion);
    if (pagina.respondida && !html.valida) {
        m_formulario = {};
        aviso(QStringLiteral("La página del formulario recibida no es válida (demasiado grande o mal formada). Por "
                             "favor, vuelva a abrir esta ventana más tarde para realizar envíos."),
              QStringLiteral("Página no válida"));
        return;
    }
    if (!pagina.respondida || !formularioUtilizable(html)) {
        m_formulario = {};
        aviso(QStringLiteral("No se ha detectado conexión a Internet. Por favor, compruébelo y vuelva a abrir esta "
                             "ventana para realizar envíos."),
              QStringLiteral("Error de conexión"));
        return;
    }
    m_formulario = html.formulario;
    m_direccionFormulario = pagina.direccion;
    m_juego = juegoDe(pagina.contentType);
    const QTreeWidgetItem *primero = m_tree->topLevelItem(0);
    if (primero && clave(primero) != kClaveVacia)
        m_command1->setEnabled(true);
    m_formularioListo = true;
}

void Form20::atenderResultado(const PaginaCargada &pagina)
{
    if (!pagina.respondida && pagina.entregada) {
        pedirFormulario();
        aviso(kQuizaProgramadas, QStringLiteral("Error"));
        return;
    }
    PaginaHtml html;
    if (pagina.respondida) {
        html = analizarPagina(pagina.html, pagina.direccion);
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
    const QString texto = html.textoCuerpo;
    const ResultadoEnvio resultado = interpretarResultado(texto, m_listas.cantidad(), m_listas.telefonos.join(QStringLiteral("||")).isEmpty(),
                                                          m_textoPlantilla.isEmpty());
    QString mensaje = resultado.mensaje;
    QString titulo = QStringLiteral("Error");
    if (resultado.tipo == ResultadoEnvio::Tipo::Programado) {
        QList<FelicitacionProgramada> envios;
        for (int i = 0; i < m_listas.cantidad(); ++i)
            envios.append({m_listas.telefonos.at(i), resultado.identificadores.at(i), m_listas.fechas.at(i)});
        const db::Result guardado =
            registrarFelicitaciones(m_context.conexion, envios, m_loginCuenta, m_textoPlantilla, m_remitente,
                                    m_reloj().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        if (guardado.ok()) {
            mensaje = QStringLiteral("Recordatorios enviados correctamente. Para comprobar la recepción de los envíos a "
                                     "medida que sucendan, acceda al menú 'Historial'.");
            titulo = QStringLiteral("Envío de felicitaciones por SMS");
            f_agenda();
            if (m_enlaces.f_historial)
                m_enlaces.f_historial();
        } else {
            mensaje = QStringLiteral("Las felicitaciones se han programado en la pasarela, pero no se han podido "
                                     "guardar en el historial. Compruebe los envíos programados en su cuenta web.");
        }
    }
    // The window gets ready for the next send before the user reads the outcome.
    pedirFormulario();
    aviso(mensaje, titulo);
}

} // namespace automation::birthdays
