#include "importexport/web/form14.h"

#include "platform/net/gateway_channel.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/subsystems.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::web {
namespace {

// About 200 bytes a contact: room for well over a hundred thousand.
constexpr qint64 kDownloadLimit = 32 * 1024 * 1024;

} // namespace

Form14::Form14(startup::AppContext &context, startup::ListViews *lists, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
    , m_lists(lists)
    , m_channel(new net::GatewayChannel(net::Overlap::ReplaceOlder, this))
{
    setObjectName(QStringLiteral("Form14"));
    m_channel->setCounterRule(net::CounterRule::ByCaller);
    // The whole web contact book comes in one reply: far more than an API line, still bounded.
    m_channel->setReplyLimit(kDownloadLimit);
    const QString base = brand::url_base();
    const QString brandName = brand::nombre_marca();

    setWindowTitle(QStringLiteral("Importar desde ") + dominioDesdePunto(base));
    Frame1 = new QGroupBox(QStringLiteral("Importar desde ") + base, this);
    SkinLabel1 = new QLabel(QStringLiteral("Mediante este formulario, puede descargarse los contactos guardados en ") + base
                                + QStringLiteral(" y utilizarlos en ") + brandName
                                + QStringLiteral(" Desktop, de manera sencilla y cómoda."),
                            Frame1);
    SkinLabel2 = new QLabel(QStringLiteral("Para importar la agenda en ") + brandName
                                + QStringLiteral(" Desktop, seleccione las opciones deseadas y pulse sobre el botón "
                                                 "'Importar'."),
                            Frame1);
    SkinLabel3 = new QLabel(QStringLiteral("Este proceso puede tardar unos minutos, por favor espere a que se complete en "
                                           "su totalidad."),
                            Frame1);
    SkinLabel4 = new QLabel(QStringLiteral("Nota: Los grupos no pueden ser importados."), Frame1);
    Check1 = new QCheckBox(QStringLiteral("Ignorar contactos cuyo teléfono ya exista en ") + brandName + QStringLiteral(" Desktop"),
                           Frame1);
    Check2 = new QCheckBox(QStringLiteral("Ignorar contactos duplicados (aquellos que coincidan en todos los campos)"), Frame1);
    Check2->setChecked(true);
    Command1 = new QPushButton(QStringLiteral("Importar"), Frame1);
    for (QLabel *label : {SkinLabel1, SkinLabel2, SkinLabel3, SkinLabel4})
        label->setWordWrap(true);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    SkinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    SkinLabel2->setObjectName(QStringLiteral("SkinLabel2"));
    SkinLabel3->setObjectName(QStringLiteral("SkinLabel3"));
    SkinLabel4->setObjectName(QStringLiteral("SkinLabel4"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2->setObjectName(QStringLiteral("Check2"));
    Command1->setObjectName(QStringLiteral("Command1"));

    auto *inner = new QVBoxLayout(Frame1);
    for (QWidget *w : std::initializer_list<QWidget *>{SkinLabel1, SkinLabel2, SkinLabel3, SkinLabel4, Check1, Check2})
        inner->addWidget(w);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    inner->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    setMinimumWidth(460);

    connect(Check1, &QCheckBox::clicked, this, &Form14::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form14::Command1_Click);
    connect(m_channel, &net::GatewayChannel::finished, this, &Form14::WebBrowser1_DocumentComplete);
}

Form14::~Form14() = default;

void Form14::Check1_Click()
{
    if (Check1->isChecked())
        Check2->setChecked(true);
}

void Form14::Command1_Click()
{
    const auto rows = m_context.conexion.select(QStringLiteral("SELECT login, pass FROM Usuario ORDER BY sid LIMIT 1"));
    if (rows.empty())
        return;     // no account: nothing is asked
    const QString url = exportRequestUrl(brand::url_exportar_agenda(), rows[0].value(0).toString(),
                                         rows[0].value(1).toString(), m_channel->contador());
    m_channel->get(url);
    m_channel->bumpContador();
}

void Form14::WebBrowser1_DocumentComplete(const net::GatewayReply &reply)
{
    DownloadOptions options;
    options.ignorarTelefonoExistente = Check1->isChecked();
    options.ignorarDuplicados = Check2->isChecked();
    const DownloadOutcome outcome =
        applyDownloadReply(m_context.conexion, reply.text, options, brand::url_base(), brand::nombre_marca());
    ui::Icon icon = ui::Icon::Critical;
    switch (outcome.status) {
    case DownloadOutcome::Status::Imported:
        icon = ui::Icon::Information;
        if (outcome.added > 0 && m_lists)
            m_lists->f_agenda(true);
        break;
    case DownloadOutcome::Status::AuthError:
        icon = ui::Icon::Warning;
        break;
    default:
        break;
    }
    m_context.prompter.message(outcome.text, outcome.title, icon);
    Q_EMIT replyHandled(outcome);
}

} // namespace importexport::web
