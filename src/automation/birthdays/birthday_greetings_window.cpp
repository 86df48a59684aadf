#include "automation/birthdays/birthday_greetings_window.h"

#include "automation/birthdays/birthday_store.h"
#include "brand/brand.h"
#include "platform/db/connection.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace automation::birthdays {
namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kMaxFormRequestCount = 32000;

const QString kFormPath = QStringLiteral("extranet/SMS/sms_personalizados.php");
const QString kResultPath = QStringLiteral("extranet_nueva/SMS/sendsms.php");
const QString kWindowTitle = QStringLiteral("Felicitar cumpleaños");
const QString kListChanged = QStringLiteral(
    "La lista de contactos ha cambiado desde que se mostró (ha cambiado el día o se han modificado los contactos o "
    "sus felicitaciones). Se ha actualizado: revísela y pulse de nuevo 'Enviar toda la lista'.");

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

// The width the window opens with when its contents ask for less: the notes read in a few lines.
constexpr int kOpeningWidth = 760;
// The contact list shows this many lines at least: a contact and its fields, not two rows.
constexpr int kLeastListLines = 12;
// Room left on the screen for the window's title bar.
constexpr int kTitleBarAllowance = 40;

QLabel *makeLabel(const char *text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setWordWrap(true);
    return label;
}

// The page is the form when its body shows nothing, its source holds a form with an action, and
// the form has every field the send fills and the button it clicks.
bool isUsableForm(const HtmlPage &page)
{
    if (!page.bodyText.trimmed().isEmpty() || !page.bodyHtml.contains(QStringLiteral("<FORM"))
        || !page.bodyHtml.contains(QStringLiteral("action=")) || !page.form.found)
        return false;
    for (const QString &field : requiredFields()) {
        if (!page.form.control(field))
            return false;
    }
    const HtmlControl *button = page.form.control(kSubmitButton);
    return button && button->type == QLatin1String("submit");
}

} // namespace

BirthdayGreetingsWindow::BirthdayGreetingsWindow(seams::AppContext &context, Links links, std::function<QDateTime()> clock, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_context(context),
      m_links(std::move(links)),
      m_clock(clock ? std::move(clock) : std::function<QDateTime()>([] { return QDateTime::currentDateTime(); }))
{
    setObjectName(QStringLiteral("Form20"));
    setWindowTitle(QStringLiteral("Felicitar cumpleaños"));
    buildUi();
    connect(&m_browser, &HiddenBrowser::pageLoaded, this, &BirthdayGreetingsWindow::onPageLoaded);
    load();
}

BirthdayGreetingsWindow::~BirthdayGreetingsWindow() = default;

void BirthdayGreetingsWindow::buildUi()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(kIntroText, "SkinLabel1", this));

    auto *groupFrame = new QGroupBox(QStringLiteral("Envía felicitaciones automaticas hasta 365 días antes:"), this);
    groupFrame->setObjectName(QStringLiteral("Frame1"));
    auto *groupLayout = new QVBoxLayout(groupFrame);
    groupLayout->addWidget(makeLabel(kGroupHelpText, "SkinLabel5", groupFrame));
    auto *groupRow = new QHBoxLayout;
    m_groupCombo = new QComboBox(groupFrame);
    m_groupCombo->setObjectName(QStringLiteral("Combo1"));
    m_showGroupButton = new QPushButton(QStringLiteral("Ver grupo"), groupFrame);
    m_showGroupButton->setObjectName(QStringLiteral("Command2"));
    groupRow->addWidget(m_groupCombo, 1);
    groupRow->addWidget(m_showGroupButton);
    groupLayout->addLayout(groupRow);
    layout->addWidget(groupFrame);

    auto *textFrame = new QGroupBox(QStringLiteral("Texto SMS y remitente"), this);
    textFrame->setObjectName(QStringLiteral("Frame3"));
    auto *textLayout = new QVBoxLayout(textFrame);
    textLayout->addWidget(makeLabel(kTemplateHelpText, "SkinLabel7", textFrame));
    auto *textRow = new QHBoxLayout;
    textRow->addWidget(makeLabel("Remitente:", "SkinLabel2", textFrame));
    m_senderCombo = new QComboBox(textFrame);
    m_senderCombo->setObjectName(QStringLiteral("Combo2"));
    textRow->addWidget(m_senderCombo, 1);
    textRow->addWidget(makeLabel("Plantilla:", "SkinLabel6", textFrame));
    m_templateCombo = new QComboBox(textFrame);
    m_templateCombo->setObjectName(QStringLiteral("Combo3"));
    textRow->addWidget(m_templateCombo, 1);
    textLayout->addLayout(textRow);
    layout->addWidget(textFrame);

    auto *listFrame = new QGroupBox(
        QStringLiteral("Listado de contactos sin enviar felicitacion para los próximos 365 días:"), this);
    listFrame->setObjectName(QStringLiteral("Frame2"));
    auto *listLayout = new QVBoxLayout(listFrame);
    m_contactList = new QTreeWidget(listFrame);
    m_contactList->setObjectName(QStringLiteral("TreeView1"));
    m_contactList->setHeaderHidden(true);
    m_contactList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_contactList->setMinimumHeight(kLeastListLines * m_contactList->fontMetrics().lineSpacing()
                                    + 2 * m_contactList->frameWidth());
    listLayout->addWidget(m_contactList, 1);
    auto *pageRow = new QHBoxLayout;
    m_pageBar = new QScrollBar(Qt::Horizontal, listFrame);
    m_pageBar->setObjectName(QStringLiteral("HScroll1"));
    m_pageBar->setRange(0, 0);
    m_pageLabel = new QLabel(listFrame);
    m_pageLabel->setObjectName(QStringLiteral("PagAgenda"));
    pageRow->addWidget(m_pageBar, 1);
    pageRow->addWidget(m_pageLabel);
    listLayout->addLayout(pageRow);
    listLayout->addWidget(makeLabel(kListNoteText, "SkinLabel4", listFrame));
    listLayout->addWidget(makeLabel(kCancelNoteText, "SkinLabel3", listFrame));
    layout->addWidget(listFrame, 1);

    auto *buttonRow = new QHBoxLayout;
    m_sendListButton = new QPushButton(QStringLiteral("Enviar toda la lista"), this);
    m_sendListButton->setObjectName(QStringLiteral("Command1"));
    m_closeButton = new QPushButton(QStringLiteral("Cerrar"), this);
    m_closeButton->setObjectName(QStringLiteral("Command3"));
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_sendListButton);
    buttonRow->addWidget(m_closeButton);
    layout->addLayout(buttonRow);

    auto *popup = new QMenu(QStringLiteral("rclick_recordatorio"), this);
    popup->setObjectName(QStringLiteral("mnurclick_recordatorio"));
    m_contactMenu.setMenu(popup);
    QAction *scheduleAction = popup->addAction(QStringLiteral("Programar SMS felicitación"));
    scheduleAction->setObjectName(QStringLiteral("mnurclick_recordatorio_enviar"));

    fitOpeningSize();

    connect(m_sendListButton, &QPushButton::clicked, this, &BirthdayGreetingsWindow::sendWholeList);
    connect(m_showGroupButton, &QPushButton::clicked, this, &BirthdayGreetingsWindow::showGroup);
    connect(m_closeButton, &QPushButton::clicked, this, &BirthdayGreetingsWindow::closeWindow);
    connect(m_pageBar, &QScrollBar::valueChanged, this, &BirthdayGreetingsWindow::onPageScrolled);
    connect(scheduleAction, &QAction::triggered, this, &BirthdayGreetingsWindow::greetMenuContact);
    connect(m_contactList, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        openContactMenu(m_contactList->itemAt(pos), m_contactList->viewport()->mapToGlobal(pos));
    });
}

void BirthdayGreetingsWindow::fitOpeningSize()
{
    // Wide enough for the notes to read in a few lines, and as high as its texts need at that
    // width where the screen has room.
    const QScreen *screen = QGuiApplication::primaryScreen();
    int width = std::max(sizeHint().width(), kOpeningWidth);
    if (screen)
        width = std::min(width, screen->availableGeometry().width());
    width = std::max(width, minimumSizeHint().width());
    int height = layout()->totalHeightForWidth(width);
    if (screen)
        height = std::min(height, screen->availableGeometry().height() - kTitleBarAllowance);
    resize(width, std::max(height, layout()->totalMinimumHeightForWidth(width)));
    keepLabelsWhole();
}

void BirthdayGreetingsWindow::keepLabelsWhole()
{
    // Wrapped notes need more height as the window narrows, and a window's minimum height does
    // not follow its width by itself: it is set again for each width, so no note is ever cut.
    const int needed = layout()->totalMinimumHeightForWidth(width());
    if (needed > 0 && needed != minimumHeight())
        setMinimumHeight(needed);
}

void BirthdayGreetingsWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        keepLabelsWhole();
}

void BirthdayGreetingsWindow::load()
{
    m_formReady = false;
    m_sendListButton->setEnabled(false);
    reloadGroups();
    refreshContactList();
    reloadSenders();
    reloadTemplates();
    requestForm();
}

void BirthdayGreetingsWindow::reloadTemplates()
{
    m_templateCombo->clear();
    const QStringList names = readTemplates(m_context.connection);
    m_templateCombo->addItems(names);
    if (names == QStringList{kNoTemplate})
        m_sendListButton->setEnabled(false);
    m_templateCombo->setCurrentIndex(0);
}

void BirthdayGreetingsWindow::reloadSenders()
{
    m_senderCombo->clear();
    m_senderCombo->addItems(readSenders(m_context.connection));
    m_senderCombo->setCurrentIndex(0);
}

void BirthdayGreetingsWindow::reloadGroups()
{
    for (const GroupEntry &entry : readGroups(m_context.connection))
        m_groupCombo->addItem(entry.text, entry.sid ? QVariant(*entry.sid) : QVariant());
    m_groupCombo->setCurrentIndex(0);
}

void BirthdayGreetingsWindow::refreshContactList()
{
    m_contactList->setUpdatesEnabled(false);
    m_contactList->clear();
    m_nodes.clear();

    // The group is carried by its key, so names with quotes or parentheses list as any other.
    const QVariant group = m_groupCombo->currentIndex() > 0 ? m_groupCombo->currentData() : QVariant();
    m_shownGroup = group.isValid() ? std::optional<qint64>(group.toLongLong()) : std::nullopt;

    // The whole-list send greets exactly this list: its day and its contacts are kept.
    m_shownDate = m_clock().date();
    const QList<Contact> contacts = greetableContacts(m_context.connection, m_shownGroup, m_shownDate);
    m_shownSids.clear();
    for (const Contact &c : contacts)
        m_shownSids.append(c.sid);
    const int rows = int(contacts.size());
    const PageState p = paginate(rows, m_pageBar->value());
    if (p.page != m_pageBar->value() || p.lastPage != m_pageBar->maximum()) {
        // Moving the bar here must not list a second time.
        m_scrollingByCode = true;
        m_pageBar->setRange(0, p.lastPage);
        m_pageBar->setValue(p.page);
        m_scrollingByCode = false;
    }
    m_pageLabel->setText(p.caption);
    if (rows == 0)
        m_sendListButton->setEnabled(false);
    else if (m_templateCombo->currentText() != kNoTemplate && m_formReady)
        m_sendListButton->setEnabled(true);

    if (contacts.isEmpty()) {
        addNode({kEmptyKey, QString(), kEmptyListText});
    } else {
        const int firstRow = p.page * kPageSize;
        for (int i = firstRow; i < rows && i < firstRow + kPageSize; ++i) {
            for (const TreeNode &n : contactNodes(contacts.at(i)))
                addNode(n);
        }
    }
    m_contactList->setUpdatesEnabled(true);
}

void BirthdayGreetingsWindow::addNode(const TreeNode &node)
{
    QTreeWidgetItem *item = nullptr;
    if (QTreeWidgetItem *parentItem = m_nodes.value(node.parent))
        item = new QTreeWidgetItem(parentItem);
    else
        item = new QTreeWidgetItem(m_contactList);
    item->setText(0, node.text);
    item->setData(0, kKeyRole, node.key);
    m_nodes.insert(node.key, item);
}

QString BirthdayGreetingsWindow::itemKey(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kKeyRole).toString() : QString();
}

void BirthdayGreetingsWindow::onPageScrolled()
{
    if (m_scrollingByCode)
        return;
    refreshContactList();
}

void BirthdayGreetingsWindow::showGroup()
{
    refreshContactList();
}

void BirthdayGreetingsWindow::closeWindow()
{
    if (m_links.showMainWindow)
        m_links.showMainWindow();
    close();
}

bool BirthdayGreetingsWindow::openContactMenu(QTreeWidgetItem *item, const QPoint &globalPos)
{
    if (!item)
        return false;
    m_contactList->setCurrentItem(item);
    if (itemKey(item) == kEmptyKey || !m_formReady || !m_sendListButton->isEnabled())
        return false;
    m_contactMenu.popup(itemKey(item), globalPos);
    return true;
}

void BirthdayGreetingsWindow::sendWholeList()
{
    send(Scope::WholeList);
}

void BirthdayGreetingsWindow::greetMenuContact()
{
    send(Scope::OneContact, m_contactMenu.key());
}

void BirthdayGreetingsWindow::requestForm()
{
    m_browser.navigate(QUrl(brand::baseUrl() + kFormPath + QStringLiteral("?try=") + QString::number(m_formRequestCount)));
}

void BirthdayGreetingsWindow::notify(const QString &text, const QString &title)
{
    m_context.prompter.message(text, title, ui::Icon::None, ui::Buttons::Ok);
}

void BirthdayGreetingsWindow::send(Scope scope, const QString &chosenKey)
{
    if (!m_formReady) {
        requestForm();
        return;
    }
    std::optional<qint64> sid;
    if (scope == Scope::OneContact) {
        if (chosenKey.isEmpty() || chosenKey == kEmptyKey)
            return;
        sid = sidFromKey(chosenKey);
        if (!sid)
            return;
    }

    const std::optional<Account> account = readAccount(m_context.connection);
    if (!account) {
        notify(QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."),
              QStringLiteral("Necesaria autentificación"));
        return;
    }
    const QString senderName = m_senderCombo->currentText().isEmpty() ? brand::defaultSender() : m_senderCombo->currentText();
    const QString templateBody = templateText(m_context.connection, m_templateCombo->currentText()).value_or(QString());

    const QDate today = m_clock().date();
    QList<Contact> contacts;
    if (scope == Scope::WholeList) {
        // The list on show is what the user agreed to greet: after midnight, or once another
        // workstation greeted or added someone, it is shown again before anything is sent.
        contacts = greetableContacts(m_context.connection, m_shownGroup, m_shownDate);
        QList<qint64> sids;
        for (const Contact &c : std::as_const(contacts))
            sids.append(c.sid);
        // (Compared by element: Qt's list comparison hands empty lists' null data to memcmp.)
        const bool sameContacts = sids.size() == m_shownSids.size()
            && std::equal(sids.cbegin(), sids.cend(), m_shownSids.cbegin());
        if (today != m_shownDate || !sameContacts) {
            refreshContactList();
            notify(kListChanged, kWindowTitle);
            return;
        }
    } else if (std::optional<Contact> contact = contactBySid(m_context.connection, *sid, nullptr)) {
        // Greeted meanwhile (the whole list, or another workstation on the same database): once
        // is enough.
        if (hasPendingGreeting(m_context.connection, *contact, today)) {
            refreshContactList();
            notify(kAlreadyGreeted, kWindowTitle);
            return;
        }
        contacts.append(*contact);
    }
    const QString message = formText(templateBody);
    const GreetingLists lists = buildGreetingLists(contacts, today, account->timeZone);

    // Without a template there is nothing to greet with: said here instead of by the gateway.
    if (message.trimmed().isEmpty()) {
        notify(QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje."),
              QStringLiteral("Error"));
        return;
    }
    // A chosen contact that is gone or has no readable birth date cannot be scheduled.
    const bool enoughData = (scope == Scope::WholeList || !contacts.isEmpty())
        && hasEnoughData(lists, message, scope == Scope::WholeList);
    if (!enoughData) {
        notify(QStringLiteral("Los datos personalizados en la plantilla no están disponibles para todos los contactos "
                             "seleccionados."),
              QStringLiteral("Datos de contacto insuficientes"));
        return;
    }
    if (scope == Scope::WholeList && !hasEnoughCredit(account->balance, lists.count())) {
        notify(QStringLiteral("No dispone de suficiente crédito para realizar el envio."),
              QStringLiteral("Crédito insuficiente"));
        return;
    }

    m_templateText = message;
    m_lists = lists;
    m_accountLogin = account->login;
    m_sender = senderName;

    HtmlForm form = m_form;
    for (const FormField &field : formFields(lists, message, *account, senderName)) {
        if (HtmlControl *control = form.control(field.name))
            control->value = field.value;
    }
    m_sendListButton->setEnabled(false);
    m_formReady = false;
    m_awaitingResult = true;
    m_browser.submit(form.action, form.post, encodeSubmission(form, kSubmitButton, m_charset),
                     m_formUrl);
}

void BirthdayGreetingsWindow::onPageLoaded(const LoadedPage &page)
{
    m_sendListButton->setEnabled(false);
    m_formReady = false;
    const QString url = page.url.toString();
    // Whatever page answers a submission is its answer, under the result's address or not.
    if (std::exchange(m_awaitingResult, false) || url.startsWith(brand::baseUrl() + kResultPath))
        handleResultPage(page);
    else if (url.startsWith(brand::baseUrl() + kFormPath))
        handleFormPage(page);
    Q_EMIT pageHandled();
}

void BirthdayGreetingsWindow::handleFormPage(const LoadedPage &page)
{
    ++m_formRequestCount;
    if (m_formRequestCount > kMaxFormRequestCount)
        m_formRequestCount = 0;
    const HtmlPage html = parsePage(page.html, page.url);
    if ((page.answered && !html.valid) || page.tooLarge) {
        m_form = {};
        notify(QStringLiteral("La página del formulario recibida no es válida (demasiado grande o mal formada). Por "
                             "favor, vuelva a abrir esta ventana más tarde para realizar envíos."),
              QStringLiteral("Página no válida"));
        return;
    }
    if (!page.answered || !isUsableForm(html)) {
        m_form = {};
        notify(QStringLiteral("No se ha detectado conexión a Internet. Por favor, compruébelo y vuelva a abrir esta "
                             "ventana para realizar envíos."),
              QStringLiteral("Error de conexión"));
        return;
    }
    m_form = html.form;
    m_formUrl = page.url;
    m_charset = charsetOf(page.contentType);
    const QTreeWidgetItem *firstItem = m_contactList->topLevelItem(0);
    if (firstItem && itemKey(firstItem) != kEmptyKey)
        m_sendListButton->setEnabled(true);
    m_formReady = true;
}

void BirthdayGreetingsWindow::handleResultPage(const LoadedPage &page)
{
    // The window gets ready for the next send before the user reads the outcome.
    requestForm();
    const QString invalidPage = QStringLiteral("La página de respuesta recibida no es válida (demasiado grande o mal "
                                               "formada). ")
                                + kMaybeSentMessage;
    if (page.tooLarge) {
        notify(invalidPage, QStringLiteral("Página no válida"));
        return;
    }
    if (!page.answered) {
        // Without the whole submission out the gateway did nothing; with it, it may have.
        notify(page.delivered ? kMaybeSentMessage : kNoAnswerMessage, QStringLiteral("Error"));
        return;
    }
    const HtmlPage html = parsePage(page.html, page.url);
    if (!html.valid) {
        notify(invalidPage, QStringLiteral("Página no válida"));
        return;
    }
    const SendResult result = parseResult(html.bodyText, m_lists.count(),
                                          m_lists.phones.join(QStringLiteral("||")).isEmpty(), m_templateText.isEmpty());
    if (result.kind == SendResult::Kind::NoAnswer) {
        // An empty page, an error page, one under another address: not the gateway's answer.
        notify(kMaybeSentMessage, QStringLiteral("Error"));
        return;
    }
    if (result.kind == SendResult::Kind::Refused) {
        notify(result.message, QStringLiteral("Error"));
        return;
    }
    // Scheduled, with or without identifiers that can be read: the gateway accepted and charged
    // the greetings, so they are recorded and their contacts are not greeted again.
    const bool identified = result.kind == SendResult::Kind::Scheduled;
    QList<ScheduledGreeting> greetings;
    for (int i = 0; i < m_lists.count(); ++i)
        greetings.append({m_lists.phones.at(i), identified ? std::optional<qint64>(result.ids.at(i)) : std::nullopt,
                          m_lists.sendTimes.at(i)});
    const recording::RecordOutcome stored =
        recordGreetings(m_context.connection, greetings, m_accountLogin, m_templateText, m_sender,
                        m_clock().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    if (stored.status == recording::RecordStatus::Lost) {
        notify(QStringLiteral("Las felicitaciones se han programado en la pasarela, pero no se han podido guardar en "
                              "el historial. Compruebe los envíos programados en su cuenta web."),
               QStringLiteral("Error"));
        return;
    }
    // Recorded, or waiting in the pending file: either way these contacts are greeted.
    refreshContactList();
    if (stored.ok() && m_links.refreshHistoryPage)
        m_links.refreshHistoryPage();
    const QString outcome = stored.ok()
        ? QStringLiteral("Recordatorios enviados correctamente. Para comprobar la recepción de los envíos a medida que "
                         "sucendan, acceda al menú 'Historial'.")
        : QStringLiteral("Las felicitaciones se han programado en la pasarela y se han cobrado, pero la base de datos "
                         "no ha permitido guardarlas todavía en el historial (puede estar ocupada por otro puesto). Se "
                         "guardarán automáticamente la próxima vez que inicie ")
            + brand::brandName() + QStringLiteral(" Desktop.");
    notify(identified ? outcome : outcome + QLatin1Char('\n') + result.message,
           QStringLiteral("Envío de felicitaciones por SMS"));
}

} // namespace automation::birthdays
