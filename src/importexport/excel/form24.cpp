#include "importexport/excel/form24.h"

#include "importexport/excel/form21.h"
#include "importexport/excel/form25.h"
#include "importexport/excel/import_settings.h"
#include "importexport/excel/progress_text.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/xlsx/read_book.h"
#include "startup/app_context.h"
#include "startup/subsystems.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace importexport::excel {

namespace {

const QStringList kCaptions{QStringLiteral("(Req)   Col. 'Nombre':"),   QStringLiteral("(Req)  Col. 'Teléfono':"),
                            QStringLiteral("Col. 'Nombre Completo':"), QStringLiteral("Col. 'Dirección':"),
                            QStringLiteral("Col. 'Otro telefono':"),   QStringLiteral("Col. 'Comentarios':"),
                            QStringLiteral("Col. 'Fecha Nacimiento':")};
const QString kInstruction =
    QStringLiteral("A continunación se le muestra los datos encontrados en las 5 primeras filas de su archivo. Si desea "
                   "cambiar el orden de las columnas, elija la columna deseada para cada opción. Esta configuración será "
                   "guardada para operaciones posteriores:");
const QString kNoData = QStringLiteral("La primera hoja del archivo no contiene datos que importar.");

} // namespace

Form24::Form24(startup::AppContext &context, startup::ListViews *lists, QString path, QString group,
               QWidget *workbookWindow)
    : QWidget(nullptr, Qt::Window), m_context(context), m_lists(lists), m_ruta(std::move(path)),
      m_grupo(std::move(group)), m_form12(workbookWindow)
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("Previsualización Excel - Configuración columnas"));
    buildControls();
}

Form24::~Form24() = default;

void Form24::buildControls()
{
    auto *frame = new QGroupBox(QStringLiteral("Configuración columnas:"), this);
    Check1 = new QCheckBox(QStringLiteral("Intercambiar filas/columnas"), frame);
    Check1->setObjectName(QStringLiteral("Check1"));
    SkinLabel6[0] = new QLabel(QStringLiteral("Tamaño de la tabla:"), frame);
    SkinLabel6[1] = new QLabel(QStringLiteral("Ruta del archivo:"), frame);
    SkinLabel6[2] = new QLabel(frame);
    SkinLabel6[3] = new QLabel(QStringLiteral("Cargando archivo. Espere..."), frame);
    for (QLabel *label : SkinLabel6)
        label->setObjectName(QStringLiteral("SkinLabel6"));
    SkinLabel3 = new QLabel(kInstruction, frame);
    SkinLabel3->setObjectName(QStringLiteral("SkinLabel3"));
    SkinLabel3->setWordWrap(true);
    auto *note = new QLabel(QStringLiteral("En caso de que el teléfono no sea identificado como un número válido de móvil, "
                                           "se cogerá en su lugar el campo 'Otro telefono'; si este tampoco es un número "
                                           "móvil válido, el contacto no será importado."),
                            frame);
    note->setWordWrap(true);

    auto *grid = new QGridLayout;
    for (int r = 0; r < kRegistrosMuestra; ++r) {
        SkinLabel1[size_t(r)] = new QLabel(QStringLiteral("Datos Fila %1").arg(r + 1), frame);
        SkinLabel1[size_t(r)]->setObjectName(QStringLiteral("SkinLabel1"));
        grid->addWidget(SkinLabel1[size_t(r)], 0, r + 2);
    }
    for (int i = 0; i < kCampos; ++i) {
        SkinLabel2[size_t(i)] = new QLabel(kCaptions.at(i), frame);
        SkinLabel2[size_t(i)]->setObjectName(QStringLiteral("SkinLabel2"));
        grid->addWidget(SkinLabel2[size_t(i)], i + 1, 0);
        for (int r = -1; r < kRegistrosMuestra; ++r) {
            const int index = r < 0 ? i : kCampos + kCampos * r + i;
            auto *combo = new QComboBox(frame);
            combo->setObjectName(QStringLiteral("Combo2"));
            Combo2[size_t(index)] = combo;
            grid->addWidget(combo, i + 1, r + 2);
            connect(combo, &QComboBox::currentIndexChanged, this, [this, index](int) { Combo2_Click(index); });
        }
    }
    grid->addWidget(new QLabel(QStringLiteral("( DD/MM/AAAA )"), frame), kCampos + 1, 0);

    auto *info = new QGridLayout;
    info->addWidget(SkinLabel6[0], 0, 0);
    info->addWidget(SkinLabel6[3], 0, 1);
    info->addWidget(SkinLabel6[1], 1, 0);
    info->addWidget(SkinLabel6[2], 1, 1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(Check1);
    frameLayout->addLayout(info);
    frameLayout->addWidget(SkinLabel3);
    frameLayout->addLayout(grid);
    frameLayout->addWidget(note);

    Command1 = new QPushButton(QStringLiteral("Comenzar importación"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Cancelar"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(Check1, &QCheckBox::clicked, this, &Form24::Check1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form24::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form24::Command2_Click);
}

bool Form24::f_recargar_muestra()
{
    ui::BusyGuard busy(m_context.busy, QStringLiteral("muestra-excel"));
    if (!m_abierto) {
        xlsx::ReadBook book = xlsx::readWorkbook(m_ruta, xlsx::ReadScope::FirstSheet);
        QString problem = book.ok() ? QString() : book.message;
        if (book.ok() && (book.sheets.isEmpty() || RecordSheet(book.sheets.constFirst()).isEmpty()))
            problem = kNoData;
        if (!problem.isEmpty()) {
            close();
            m_context.prompter.message(problem, QStringLiteral("Error"), ui::Icon::Warning);
            return false;
        }
        m_sheet = RecordSheet(book.sheets.takeFirst());
        m_abierto = true;
    }
    const bool swapped = Check1->isChecked();
    m_sheet.setSwapped(swapped);
    SkinLabel6[2]->setText(m_ruta);
    if (!swapped)
        SkinLabel6[3]->setText(textoTamano(m_sheet));

    const Sample sample = buildSample(m_sheet);
    const ImportSettings settings = leerAjustes(m_context.conexion);
    m_rellenando = true;
    for (int i = 0; i < kCampos; ++i) {
        QComboBox *mapping = Combo2[size_t(i)];
        mapping->clear();
        mapping->addItems(opcionesMapeo(i, sample, swapped));
        for (int r = 0; r < kRegistrosMuestra; ++r) {
            QComboBox *cell = Combo2[size_t(kCampos + kCampos * r + i)];
            cell->clear();
            cell->addItems(opcionesMuestra(i, sample, r, swapped));
        }
        const int index = indiceInicial(i, settings.indices[size_t(i)], mapping->count());
        mapping->setCurrentIndex(index);
        for (int r = 0; r < kRegistrosMuestra; ++r)
            Combo2[size_t(kCampos + kCampos * r + i)]->setCurrentIndex(index);
    }
    m_rellenando = false;
    return true;
}

void Form24::Combo2_Click(int index)
{
    if (m_rellenando)
        return;
    const int field = index < kCampos ? index : (index - kCampos) % kCampos;
    const int chosen = Combo2[size_t(index)]->currentIndex();
    m_rellenando = true;
    Combo2[size_t(field)]->setCurrentIndex(chosen);
    for (int r = 0; r < kRegistrosMuestra; ++r)
        Combo2[size_t(kCampos + kCampos * r + field)]->setCurrentIndex(chosen);
    m_rellenando = false;
}

void Form24::Check1_Click()
{
    const bool swapped = Check1->isChecked();
    const auto swap = [swapped](QLabel *label, const QString &rowWord, const QString &colWord) {
        QString text = label->text();
        text.replace(swapped ? colWord : rowWord, swapped ? rowWord : colWord);
        label->setText(text);
    };
    for (QLabel *label : SkinLabel2)
        swap(label, QStringLiteral("Fila "), QStringLiteral("Col. "));
    for (QLabel *label : SkinLabel1)
        swap(label, QStringLiteral("Col. "), QStringLiteral("Fila "));
    swap(SkinLabel3, QStringLiteral("filas"), QStringLiteral("columnas"));
    f_recargar_muestra();
}

void Form24::Command1_Click()
{
    if (m_comenzada)
        return;
    std::array<int, kCampos> indices{};
    Columnas columns{};
    for (int i = 0; i < kCampos; ++i) {
        indices[size_t(i)] = std::max(Combo2[size_t(i)]->currentIndex(), 0);
        columns[size_t(i)] = numeroDesdeOpcion(Combo2[size_t(i)]->currentText(), m_sheet.swapped());
    }
    guardarIndices(m_context.conexion, indices);     // a remembered choice that fails to save costs nothing now
    m_comenzada = true;
    if (m_form12)
        m_form12->close();

    m_engine = std::make_unique<ImportEngine>(m_context.conexion, m_sheet, columns, m_grupo);
    m_run = std::make_unique<ImportRun>(*m_engine, m_sheet.firstRecord(), m_sheet.lastRecord());
    m_form25 = new Form25(*m_run, m_sheet.swapped(), this);
    m_form21 = new Form21(this);
    connect(m_form25, &Form25::detenida, this, &Form24::seguir);
    connect(m_form25, &Form25::cerrada, this, [this] {
        // Closed by its window box: the run ends here, without a summary; what was written stays.
        if (m_form21)
            m_form21->hide();
        close();
    });
    connect(m_form21, &Form21::respondido, this, [this](Choice choice) {
        m_form25->setStatus(QStringLiteral("Buscando datos..."));
        seguir(m_run->responder(choice));
    });
    connect(m_form21, &Form21::cerradoSinResponder, this, [this] {
        m_run->pausarEnConflicto();
        m_form25->pausadoEnConflicto();
    });
    hide();
    m_form25->SkinLabel4[0]->setText(QString::number(m_run->total()));
    m_form25->show();
    m_context.busy.setBusy(QStringLiteral("importar-excel"), true);
    seguir(m_run->comenzar());
}

void Form24::seguir(ImportRun::State state)
{
    switch (state) {
    case ImportRun::State::EnCurso:
        m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
        m_form25->enMarcha();
        return;
    case ImportRun::State::EsperandoRespuesta:
        m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
        m_form25->esperandoRespuesta();
        m_form21->mostrar(m_run->conflicto());
        return;
    case ImportRun::State::Terminada:
    case ImportRun::State::Fallida:
        terminar(state);
        return;
    }
}

void Form24::terminar(ImportRun::State state)
{
    const Contadores counters = m_run->contadores();
    const QString error = m_run->error();
    m_form25->mostrarAvance();
    m_form25->setStatus(QStringLiteral("Cargando listados..."));
    if (m_lists) {
        if (counters.nuevos > 0)
            m_lists->f_agenda(true);
        if (counters.enGrupo > 0)
            m_lists->f_grupos();
    }
    m_form25->setStatus(QStringLiteral("Liberando memoria..."));
    m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
    ui::Prompter &prompter = m_context.prompter;
    const bool failed = state == ImportRun::State::Fallida;
    Q_EMIT importacionTerminada(counters, failed);
    disconnect(m_form25, nullptr, this, nullptr);
    m_form21->hide();
    m_form25->hide();
    close();
    // The windows are gone before the box: a box spins its own event loop.
    if (failed)
        prompter.message(error, QStringLiteral("Error"), ui::Icon::Critical);
    else
        prompter.message(textoResumen(counters), {}, ui::Icon::Information);
}

void Form24::Command2_Click()
{
    close();
}

void Form24::closeEvent(QCloseEvent *event)
{
    if (m_form25)
        m_form25->Timer1->stop();
    m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
    // Cancelled or closed before the import started: back to the workbook window.
    if (!m_comenzada && m_form12)
        m_form12->show();
    event->accept();
}

} // namespace importexport::excel
