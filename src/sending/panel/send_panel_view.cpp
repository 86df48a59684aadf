#include "sending/panel/send_panel_view.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace sending {
namespace {

QToolButton *iconButton(QWidget *parent, const char *name, QStyle::StandardPixmap pixmap, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(pixmap));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

// A spinner as the old panel had it: a vertical bar whose every step is read against its Tag.
QScrollBar *spinner(QWidget *parent, const char *name)
{
    auto *bar = new QScrollBar(Qt::Vertical, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 10000);
    bar->setValue(5000);
    bar->setProperty("Tag", QStringLiteral("5000"));
    bar->setFixedSize(16, 34);
    return bar;
}

QLineEdit *shortBox(QWidget *parent, const char *name, const QString &text, int maxLength)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(maxLength);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 16);
    return box;
}

} // namespace

SendPanelView::SendPanelView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("picOptions0"));
    auto *columns = new QHBoxLayout(this);
    columns->addWidget(buildMessageColumn(), 3);
    columns->addWidget(buildSideColumn(), 2);

    m_combo1->installEventFilter(this);
    connect(m_combo1, &QComboBox::currentIndexChanged, this, &SendPanelView::Combo1_Click);
}

SendPanelView::~SendPanelView() = default;

QWidget *SendPanelView::buildMessageColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *header = new QHBoxLayout;
    header->addWidget(makeLabel(column, "Label1", QStringLiteral("Mensaje:")));
    header->addStretch();
    m_image3 = iconButton(column, "Image3", QStyle::SP_FileDialogDetailedView, QStringLiteral("Utilizar plantilla >"));
    m_image5 = iconButton(column, "Image5", QStyle::SP_DialogResetButton, QStringLiteral("Limpiar todo el mensaje"));
    header->addWidget(m_image3);
    header->addWidget(m_image5);
    layout->addLayout(header);

    m_text1 = new QPlainTextEdit(column);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setTabChangesFocus(true);
    layout->addWidget(m_text1, 1);

    auto *counter = new QHBoxLayout;
    counter->addWidget(makeLabel(column, "Label3", QStringLiteral("Caracteres:")));
    m_lblMsglen = makeLabel(column, "lblMsglen", QStringLiteral("0"));
    m_lblLenMax = makeLabel(column, "lblLenMax", QStringLiteral("160"));
    counter->addWidget(m_lblMsglen);
    counter->addWidget(makeLabel(column, nullptr, QStringLiteral("/")));
    counter->addWidget(m_lblLenMax);
    counter->addStretch();
    layout->addLayout(counter);

    auto *figures = new QGridLayout;
    figures->addWidget(makeLabel(column, "Label4", QStringLiteral("Coste:")), 0, 0);
    m_lblCoste = makeLabel(column, "lblCoste", QStringLiteral("1 crédito(s)"));
    figures->addWidget(m_lblCoste, 0, 1);
    m_image10 = iconButton(column, "Image10", QStyle::SP_BrowserReload, QStringLiteral("Actualizar coste"));
    figures->addWidget(m_image10, 0, 2);
    figures->addWidget(makeLabel(column, "Label5", QStringLiteral("Saldo:")), 1, 0);
    m_lblsaldo = makeLabel(column, "lblsaldo", QStringLiteral("Desconocido"));
    figures->addWidget(m_lblsaldo, 1, 1);
    m_image11 = iconButton(column, "Image11", QStyle::SP_BrowserReload, QStringLiteral("Actualizar saldo"));
    figures->addWidget(m_image11, 1, 2);
    figures->setColumnStretch(3, 1);
    layout->addLayout(figures);
    return column;
}

QWidget *SendPanelView::buildSideColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *header = new QHBoxLayout;
    header->addWidget(makeLabel(column, "Label6", QStringLiteral("Enviar a:")));
    header->addStretch();
    m_image2 = iconButton(column, "Image2", QStyle::SP_DirHomeIcon, QStringLiteral("Añadir destinatarios de la agenda"));
    m_image4 = iconButton(column, "Image4", QStyle::SP_DialogDiscardButton, QStringLiteral("Borrar destinatarios"));
    m_image4->hide();
    header->addWidget(m_image2);
    header->addWidget(m_image4);
    layout->addLayout(header);

    // A plain-text edit: long lists of numbers are not cut at a line edit's 32767 characters.
    m_text2 = new QPlainTextEdit(column);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setTabChangesFocus(true);
    m_text2->setMaximumHeight(m_text2->fontMetrics().lineSpacing() * 4 + 12);
    layout->addWidget(m_text2);

    m_skinLabel4 = makeLabel(column, "SkinLabel4", QString());
    m_skinLabel4->setWordWrap(true);
    layout->addWidget(m_skinLabel4);

    auto *form = new QGridLayout;
    form->addWidget(makeLabel(column, "Label7", QStringLiteral("Remitente:")), 0, 0);
    m_combo1 = new QComboBox(column);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    form->addWidget(m_combo1, 0, 1, 1, 2);

    m_label2 = makeLabel(column, "Label2", QStringLiteral("Fecha de envío:"));
    form->addWidget(m_label2, 1, 0);
    m_text3 = new QLineEdit(QStringLiteral("Inmediato"), column);
    m_text3->setObjectName(QStringLiteral("Text3"));
    m_text3->setReadOnly(true);
    m_text3->setMinimumWidth(m_text3->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 16);
    form->addWidget(m_text3, 1, 1);
    m_image1 = iconButton(column, "Image1", QStyle::SP_FileDialogInfoView, QStringLiteral("Programar fecha y hora de envío"));
    form->addWidget(m_image1, 1, 2);
    m_skinLabel6 = makeLabel(column, "SkinLabel6", QStringLiteral("F. Cita (72h antes)"));
    m_skinLabel6->hide();
    form->addWidget(m_skinLabel6, 2, 0, 1, 3);
    form->setColumnStretch(1, 1);
    layout->addLayout(form);

    layout->addWidget(buildPicker());
    layout->addStretch();

    m_command1 = new QPushButton(QStringLiteral("Enviar SMS"), column);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(false);
    layout->addWidget(m_command1, 0, Qt::AlignRight);
    return column;
}

QWidget *SendPanelView::buildPicker()
{
    auto *picker = new QWidget(this);
    auto *layout = new QVBoxLayout(picker);
    layout->setContentsMargins(0, 0, 0, 0);

    m_calendar1 = new QCalendarWidget(picker);
    m_calendar1->setObjectName(QStringLiteral("Calendar1"));
    m_calendar1->setProperty("Tag", QStringLiteral("0"));
    m_calendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar1->setGridVisible(true);
    m_calendar1->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    // A header and seven rows of days, whatever padding the skin gives the cells.
    m_calendar1->setMinimumHeight(m_calendar1->fontMetrics().lineSpacing() * 10 + 40);
    m_calendar1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_calendar1->hide();
    layout->addWidget(m_calendar1);

    m_frame1 = new QGroupBox(QStringLiteral("Hora"), picker);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(m_frame1);
    m_text5 = shortBox(m_frame1, "Text5", QStringLiteral("00"), 2);
    m_vscroll2 = spinner(m_frame1, "VScroll2");
    m_text4 = shortBox(m_frame1, "Text4", QStringLiteral("00"), 2);
    m_vscroll1 = spinner(m_frame1, "VScroll1");
    auto *time = new QHBoxLayout;
    time->addWidget(m_text5);
    time->addWidget(m_vscroll2);
    time->addWidget(makeLabel(m_frame1, nullptr, QStringLiteral(":")));
    time->addWidget(m_text4);
    time->addWidget(m_vscroll1);
    time->addStretch();
    m_command9 = new QPushButton(QStringLiteral("Cerrar"), m_frame1);
    m_command9->setObjectName(QStringLiteral("Command9"));
    time->addWidget(m_command9);
    grid->addLayout(time, 0, 0);

    auto *appointment = new QHBoxLayout;
    m_check2 = new QCheckBox(QStringLiteral("Es una cita. Enviar con"), m_frame1);
    m_check2->setObjectName(QStringLiteral("Check2"));
    m_text6 = shortBox(m_frame1, "Text6", QStringLiteral("72"), 4);
    appointment->addWidget(m_check2);
    appointment->addWidget(m_text6);
    appointment->addWidget(makeLabel(m_frame1, "SkinLabel7", QStringLiteral("horas antelación")));
    appointment->addStretch();
    grid->addLayout(appointment, 1, 0);
    m_frame1->hide();
    layout->addWidget(m_frame1);
    return picker;
}

bool SendPanelView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_combo1 && event->type() == QEvent::FocusIn)
        Combo1_GotFocus();
    return QWidget::eventFilter(watched, event);
}

void SendPanelView::Combo1_GotFocus()
{
    const QString createItem = QLatin1String(crearNuevoRemitente);
    const int count = m_combo1->count();
    if (count > 0 && m_combo1->itemText(count - 1) == createItem)
        return;
    // Adding or removing the entry is not a choice of the user's.
    const QString previous = m_combo1Tag;
    m_combo1Tag = QStringLiteral("1");
    const int found = m_combo1->findText(createItem, Qt::MatchExactly);
    if (found >= 0)
        m_combo1->removeItem(found);
    m_combo1->addItem(createItem);
    m_combo1Tag = previous;
}

void SendPanelView::Combo1_Click(int index)
{
    if (m_combo1Tag == QLatin1String("1")) {
        m_combo1Tag = QStringLiteral("0");
        return;
    }
    if (index < 0 || m_combo1->itemText(index) != QLatin1String(crearNuevoRemitente))
        return;
    m_combo1Tag = QStringLiteral("1");
    m_combo1->removeItem(index);
    m_combo1Tag = QStringLiteral("1");
    m_combo1->setCurrentIndex(m_combo1->count() > 0 ? 0 : -1);
    m_combo1Tag = QStringLiteral("0");
    Q_EMIT crearRemitente();
}

} // namespace sending
