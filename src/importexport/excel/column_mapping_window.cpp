#include "importexport/excel/column_mapping_window.h"

#include "importexport/excel/duplicate_phone_dialog.h"
#include "importexport/excel/import_progress_window.h"
#include "importexport/excel/import_settings.h"
#include "importexport/excel/progress_text.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/xlsx/read_book.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
// Characters a chooser asks room for at most: past that its list and its tooltip show the rest.
constexpr int kWidestChooser = 36;
// Characters a chooser keeps when the window has less room than the choosers ask for: six of them
// side by side still fit the narrowest common laptop screen.
constexpr int kNarrowestChooser = 10;
// Room left around the window for the window system's frame before it is known.
constexpr QSize kLeastFrame{8, 32};
const QString kNoData = QStringLiteral("La primera hoja del archivo no contiene datos que importar.");

// A chooser that asks for the width of its longest item, up to kWidestChooser characters, and
// gives way down to kNarrowestChooser characters when the window has less room.
class SampleChooser final : public QComboBox {
public:
    explicit SampleChooser(QWidget *parent) : QComboBox(parent)
    {
        setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        setMinimumContentsLength(kNarrowestChooser);
    }

    void setWantedTextWidth(int pixels)
    {
        m_wantedTextWidth = pixels;
        updateGeometry();
    }

    QSize sizeHint() const override
    {
        // The text is drawn in the edit field: the arrow and the frame come around it.
        const QSize least = minimumSizeHint();
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.rect = QRect(QPoint(0, 0), QSize(std::max(least.width(), m_wantedTextWidth) * 2, least.height()));
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        const int around = option.rect.width() - field.width() + kTextSlack;
        return QSize(std::max(m_wantedTextWidth + around, least.width()), least.height());
    }

private:
    static constexpr int kTextSlack = 4;   // the few pixels a style keeps between field and text
    int m_wantedTextWidth = 0;
};

} // namespace

ColumnMappingWindow::ColumnMappingWindow(seams::AppContext &context, seams::ListViews *lists, QString path, QString group,
               QWidget *workbookWindow)
    : QWidget(nullptr, Qt::Window), m_context(context), m_lists(lists), m_path(std::move(path)),
      m_group(std::move(group)), m_workbookWindow(workbookWindow)
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("Previsualización Excel - Configuración columnas"));
    buildControls();
}

ColumnMappingWindow::~ColumnMappingWindow() = default;

void ColumnMappingWindow::buildControls()
{
    auto *frame = new QGroupBox(QStringLiteral("Configuración columnas:"), this);
    swapCheck = new QCheckBox(QStringLiteral("Intercambiar filas/columnas"), frame);
    swapCheck->setObjectName(QStringLiteral("Check1"));
    infoLabels[0] = new QLabel(QStringLiteral("Tamaño de la tabla:"), frame);
    infoLabels[1] = new QLabel(QStringLiteral("Ruta del archivo:"), frame);
    infoLabels[2] = new QLabel(frame);
    infoLabels[3] = new QLabel(QStringLiteral("Cargando archivo. Espere..."), frame);
    for (QLabel *label : infoLabels)
        label->setObjectName(QStringLiteral("SkinLabel6"));
    instructionLabel = new QLabel(kInstruction, frame);
    instructionLabel->setObjectName(QStringLiteral("SkinLabel3"));
    instructionLabel->setWordWrap(true);
    auto *note = new QLabel(QStringLiteral("En caso de que el teléfono no sea identificado como un número válido de móvil, "
                                           "se cogerá en su lugar el campo 'Otro telefono'; si este tampoco es un número "
                                           "móvil válido, el contacto no será importado."),
                            frame);
    note->setWordWrap(true);

    auto *grid = new QGridLayout;
    for (int r = 0; r < kSampleRecords; ++r) {
        sampleLabels[size_t(r)] = new QLabel(QStringLiteral("Datos Fila %1").arg(r + 1), frame);
        sampleLabels[size_t(r)]->setObjectName(QStringLiteral("SkinLabel1"));
        grid->addWidget(sampleLabels[size_t(r)], 0, r + 2);
    }
    for (int i = 0; i < kFieldCount; ++i) {
        fieldLabels[size_t(i)] = new QLabel(kCaptions.at(i), frame);
        fieldLabels[size_t(i)]->setObjectName(QStringLiteral("SkinLabel2"));
        grid->addWidget(fieldLabels[size_t(i)], i + 1, 0);
        for (int r = -1; r < kSampleRecords; ++r) {
            const int index = r < 0 ? i : kFieldCount + kFieldCount * r + i;
            // The chooser asks for the width of its items (fitChoosersToItems) but gives way to
            // the screen's: its list and its tooltip show what it cannot.
            auto *combo = new SampleChooser(frame);
            combo->setObjectName(QStringLiteral("Combo2"));
            combo->view()->setTextElideMode(Qt::ElideNone);
            connect(combo, &QComboBox::currentTextChanged, combo, &QComboBox::setToolTip);
            mappingCombos[size_t(index)] = combo;
            grid->addWidget(combo, i + 1, r + 2);
            connect(combo, &QComboBox::currentIndexChanged, this, [this, index](int) { syncMappingCombos(index); });
        }
    }
    grid->addWidget(new QLabel(QStringLiteral("( DD/MM/AAAA )"), frame), kFieldCount + 1, 0);

    auto *info = new QGridLayout;
    info->addWidget(infoLabels[0], 0, 0);
    info->addWidget(infoLabels[3], 0, 1);
    info->addWidget(infoLabels[1], 1, 0);
    info->addWidget(infoLabels[2], 1, 1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(swapCheck);
    frameLayout->addLayout(info);
    frameLayout->addWidget(instructionLabel);
    frameLayout->addLayout(grid);
    frameLayout->addWidget(note);

    startButton = new QPushButton(QStringLiteral("Comenzar importación"), this);
    startButton->setObjectName(QStringLiteral("Command1"));
    cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(startButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(swapCheck, &QCheckBox::clicked, this, &ColumnMappingWindow::swapOrientation);
    connect(startButton, &QPushButton::clicked, this, &ColumnMappingWindow::startImport);
    connect(cancelButton, &QPushButton::clicked, this, &ColumnMappingWindow::cancel);
}

bool ColumnMappingWindow::reloadSample()
{
    ui::BusyGuard busy(m_context.busy, QStringLiteral("muestra-excel"));
    const bool swapped = swapCheck->isChecked();
    if (m_opened && m_sheet.holdsEverything())
        m_sheet.setSwapped(swapped);
    if (!m_opened || m_sheet.swapped() != swapped) {
        // A small sheet is kept whole; of a large one only what the sample may show, and the
        // import reads it again for the mapped fields.
        RecordSheet::Loaded loaded = RecordSheet::load(m_path, sampleKeep(swapped));
        QString problem = loaded.ok() ? QString() : loaded.message;
        if (loaded.ok() && loaded.sheet.isEmpty())
            problem = kNoData;
        if (!problem.isEmpty()) {
            close();
            m_context.prompter.message(problem, QStringLiteral("Error"), ui::Icon::Warning);
            return false;
        }
        m_sheet = std::move(loaded.sheet);
        m_opened = true;
    }
    infoLabels[2]->setText(m_path);
    if (!swapped)
        infoLabels[3]->setText(sheetSizeText(m_sheet));

    const Sample sample = buildSample(m_sheet);
    const ImportSettings settings = readSettings(m_context.connection);
    m_filling = true;
    for (int i = 0; i < kFieldCount; ++i) {
        QComboBox *mapping = mappingCombos[size_t(i)];
        mapping->clear();
        mapping->addItems(mappingItems(i, sample, swapped));
        for (int r = 0; r < kSampleRecords; ++r) {
            QComboBox *cell = mappingCombos[size_t(kFieldCount + kFieldCount * r + i)];
            cell->clear();
            cell->addItems(sampleItems(i, sample, r, swapped));
        }
        const int index = initialIndex(i, settings.indices[size_t(i)], mapping->count());
        mapping->setCurrentIndex(index);
        for (int r = 0; r < kSampleRecords; ++r)
            mappingCombos[size_t(kFieldCount + kFieldCount * r + i)]->setCurrentIndex(index);
    }
    m_filling = false;
    fitChoosersToItems();
    return true;
}

void ColumnMappingWindow::fitChoosersToItems()
{
    // The window is up before its choosers have items: each chooser now asks for the width of its
    // longest item, up to kWidestChooser characters, so the user reads which column is which. On
    // a small screen the choosers give way down to kNarrowestChooser characters; whatever a
    // chooser cannot show, its list shows (as wide as the screen allows) and its tooltip tells.
    const QScreen *shownOn = screen();
    const int screenWidth = shownOn ? shownOn->availableGeometry().width() : 0;
    for (QComboBox *combo : mappingCombos) {
        const QFontMetrics metrics = combo->fontMetrics();
        int longest = 0;
        for (int item = 0; item < combo->count(); ++item) {
            const QString text = combo->itemText(item);
            combo->setItemData(item, text, Qt::ToolTipRole);
            longest = std::max(longest, metrics.horizontalAdvance(text));
        }
        combo->setToolTip(combo->currentText());
        static_cast<SampleChooser *>(combo)->setWantedTextWidth(
            std::min(longest, metrics.averageCharWidth() * kWidestChooser));
        const QAbstractItemView *list = combo->view();
        int listWidth = longest + 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                      + 4 * list->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        if (screenWidth > 0)
            listWidth = std::min(listWidth, screenWidth);
        combo->view()->setMinimumWidth(listWidth);
    }
    fitToScreen();
}

void ColumnMappingWindow::fitToScreen()
{
    // As large as the controls ask for, as far as the screen goes, and wholly on it.
    // The choosers have just asked for new widths: the frame's layout, then the window's, take
    // them in before the window's size is read from them.
    for (int level = 0; level < 2; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QScreen *shownOn = screen();
    if (!shownOn) {
        resize(sizeHint());
        return;
    }
    const QRect area = shownOn->availableGeometry();
    const QSize frame = (frameGeometry().size() - size()).expandedTo(kLeastFrame);
    // A size the user gave the window is kept when the choosers are filled again.
    resize(sizeHint().expandedTo(size()).boundedTo(area.size() - frame).expandedTo(minimumSizeHint()));
    const QRect placed = frameGeometry();
    if (!area.contains(placed)) {
        const int x = std::clamp(placed.x(), area.left(), std::max(area.left(), area.right() + 1 - placed.width()));
        const int y = std::clamp(placed.y(), area.top(), std::max(area.top(), area.bottom() + 1 - placed.height()));
        move(x, y);
    }
}

void ColumnMappingWindow::syncMappingCombos(int index)
{
    if (m_filling)
        return;
    const int field = index < kFieldCount ? index : (index - kFieldCount) % kFieldCount;
    const int chosen = mappingCombos[size_t(index)]->currentIndex();
    m_filling = true;
    mappingCombos[size_t(field)]->setCurrentIndex(chosen);
    for (int r = 0; r < kSampleRecords; ++r)
        mappingCombos[size_t(kFieldCount + kFieldCount * r + field)]->setCurrentIndex(chosen);
    m_filling = false;
}

void ColumnMappingWindow::swapOrientation()
{
    const bool swapped = swapCheck->isChecked();
    const auto swap = [swapped](QLabel *label, const QString &rowWord, const QString &colWord) {
        QString text = label->text();
        text.replace(swapped ? colWord : rowWord, swapped ? rowWord : colWord);
        label->setText(text);
    };
    for (QLabel *label : fieldLabels)
        swap(label, QStringLiteral("Fila "), QStringLiteral("Col. "));
    for (QLabel *label : sampleLabels)
        swap(label, QStringLiteral("Col. "), QStringLiteral("Fila "));
    swap(instructionLabel, QStringLiteral("filas"), QStringLiteral("columnas"));
    reloadSample();
}

void ColumnMappingWindow::startImport()
{
    if (m_started)
        return;
    std::array<int, kFieldCount> indices{};
    FieldColumns columns{};
    for (int i = 0; i < kFieldCount; ++i) {
        indices[size_t(i)] = std::max(mappingCombos[size_t(i)]->currentIndex(), 0);
        columns[size_t(i)] = numberFromItem(mappingCombos[size_t(i)]->currentText(), m_sheet.swapped());
    }
    saveIndices(m_context.connection, indices);     // a remembered choice that fails to save costs nothing now

    // A sheet too large to be kept whole is read again, keeping only the mapped fields. The
    // sample's reading (its shared texts above all) is let go first: one reading's budget is alive
    // at a time. The sample's reading already paid for what this one holds, so it fails only when
    // the file changed in between; the window then closes, as when the sample cannot be read.
    if (!m_sheet.holdsEverything()) {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("importar-excel"));
        RecordSheet::Keep keep = importKeep(m_sheet.swapped(), columns);
        keep.expectedCells = m_sheet.cellsOf(keep.fields);
        m_sheet = RecordSheet();
        RecordSheet::Loaded loaded = RecordSheet::load(m_path, keep);
        if (!loaded.ok()) {
            m_opened = false;
            close();
            m_context.prompter.message(loaded.message, QStringLiteral("Error"), ui::Icon::Warning);
            return;
        }
        m_sheet = std::move(loaded.sheet);
    }
    m_started = true;
    if (m_workbookWindow)
        m_workbookWindow->close();

    m_engine = std::make_unique<ImportEngine>(m_context.connection, m_sheet, columns, m_group);
    m_run = std::make_unique<ImportRun>(*m_engine, m_sheet.firstRecord(), m_sheet.lastRecord());
    m_progressWindow = new ImportProgressWindow(*m_run, m_sheet.swapped(), this);
    m_duplicateDialog = new DuplicatePhoneDialog(this);
    connect(m_progressWindow, &ImportProgressWindow::stopped, this, &ColumnMappingWindow::continueRun);
    connect(m_progressWindow, &ImportProgressWindow::closed, this, [this] {
        // Closed by its window box: the run ends here, without a summary; what was written stays.
        if (m_duplicateDialog)
            m_duplicateDialog->hide();
        close();
    });
    connect(m_duplicateDialog, &DuplicatePhoneDialog::answered, this, [this](Choice choice) {
        m_progressWindow->setStatus(QStringLiteral("Buscando datos..."));
        continueRun(m_run->answer(choice));
    });
    connect(m_duplicateDialog, &DuplicatePhoneDialog::closedWithoutAnswer, this, [this] {
        m_run->pauseAtConflict();
        m_progressWindow->pauseAtConflict();
    });
    hide();
    m_progressWindow->recordLabels[0]->setText(QString::number(m_run->total()));
    m_progressWindow->show();
    m_context.busy.setBusy(QStringLiteral("importar-excel"), true);
    continueRun(m_run->start());
}

void ColumnMappingWindow::continueRun(ImportRun::State state)
{
    switch (state) {
    case ImportRun::State::Running:
        m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
        m_progressWindow->startRunning();
        return;
    case ImportRun::State::AwaitingAnswer:
        m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
        m_progressWindow->awaitAnswer();
        m_duplicateDialog->showConflict(m_run->conflict());
        return;
    case ImportRun::State::Finished:
    case ImportRun::State::Failed:
        finishRun(state);
        return;
    }
}

void ColumnMappingWindow::finishRun(ImportRun::State state)
{
    const Counters counters = m_run->counters();
    const QString error = m_run->error();
    m_progressWindow->showProgress();
    m_progressWindow->setStatus(QStringLiteral("Cargando listados..."));
    if (m_lists) {
        if (counters.added > 0)
            m_lists->refreshContactList(true);
        if (counters.inGroup > 0)
            m_lists->refreshGroupList();
    }
    m_progressWindow->setStatus(QStringLiteral("Liberando memoria..."));
    m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
    ui::Prompter &prompter = m_context.prompter;
    const bool failed = state == ImportRun::State::Failed;
    Q_EMIT importFinished(counters, failed);
    disconnect(m_progressWindow, nullptr, this, nullptr);
    m_duplicateDialog->hide();
    m_progressWindow->hide();
    close();
    // The windows are gone before the box: a box spins its own event loop.
    if (failed)
        prompter.message(error, QStringLiteral("Error"), ui::Icon::Critical);
    else
        prompter.message(summaryText(counters), {}, ui::Icon::Information);
}

void ColumnMappingWindow::cancel()
{
    close();
}

void ColumnMappingWindow::closeEvent(QCloseEvent *event)
{
    if (m_progressWindow)
        m_progressWindow->tickTimer->stop();
    m_context.busy.setBusy(QStringLiteral("importar-excel"), false);
    // Cancelled or closed before the import started: back to the workbook window.
    if (!m_started && m_workbookWindow)
        m_workbookWindow->show();
    event->accept();
}

} // namespace importexport::excel
