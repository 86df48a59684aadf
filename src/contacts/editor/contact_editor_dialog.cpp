#include "contacts/editor/contact_editor_dialog.h"

#include "contacts/phone_number.h"
#include "platform/ui/prompter.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace contacts {

ContactEditorDialog::ContactEditorDialog(db::Connection &connection, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(connection), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Agregar contacto"));

    const char *const labels[7] = {"Nombre del contacto:", "Teléfono móvil:", "Nombre completo:", "Dirección:",
                                      "Otro teléfono:", "Comentario:", "Fecha de nacimiento:"};
    auto *requiredBox = new QGroupBox(QStringLiteral("Requeridos:"), this);
    auto *optionalBox = new QGroupBox(QStringLiteral("Opcionales:"), this);
    auto *requiredGrid = new QGridLayout(requiredBox);
    auto *optionalGrid = new QGridLayout(optionalBox);
    for (int i = 0; i < 7; ++i) {
        QGroupBox *frame = i < 2 ? requiredBox : optionalBox;
        QGridLayout *grid = i < 2 ? requiredGrid : optionalGrid;
        const int row = i < 2 ? i : i - 2;
        m_boxes[i] = new QLineEdit(frame);
        m_boxes[i]->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        m_boxes[i]->setMaxLength(std::numeric_limits<int>::max());
        grid->addWidget(new QLabel(QString::fromUtf8(labels[i]), frame), row, 0);
        grid->addWidget(m_boxes[i], row, 1);
    }
    optionalGrid->addWidget(new QLabel(QStringLiteral("(DD/MM/AA o DD/MM/AAAA)"), optionalBox), 4, 2);
    for (int i = 0; i < 6; ++i)
        setTabOrder(m_boxes[i], m_boxes[i + 1]);
    m_boxes[1]->installEventFilter(this);

    m_saveButton = new QPushButton(QString::fromUtf8(kSaveContactCaption), this);
    m_saveButton->setObjectName(QStringLiteral("Command1"));
    m_cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    connect(m_saveButton, &QPushButton::clicked, this, &ContactEditorDialog::save);
    connect(m_cancelButton, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(requiredBox);
    layout->addWidget(optionalBox);
    layout->addLayout(buttons);
}

ContactEditorDialog::~ContactEditorDialog() = default;

void ContactEditorDialog::setCreateMode()
{
    // The boxes keep what they hold, also a contact loaded for a change: saving inserts it anew.
    m_saveButton->setText(QString::fromUtf8(kSaveContactCaption));
}

void ContactEditorDialog::setUpdateMode(qint64 sid, const ContactFields &d)
{
    const QString values[7] = {d.name, d.phone, d.fullName, d.address, d.phone2, d.comment,
                                d.birthDate};
    for (int i = 0; i < 7; ++i)
        m_boxes[i]->setText(values[i]);
    m_editedSid = sid;
    m_saveButton->setText(QString::fromUtf8(kUpdateContactCaption));
}

void ContactEditorDialog::setNumberToSave(const QString &number, qint64 position)
{
    // A new contact of its own: what an open editor held of another contact does not go with it.
    for (QLineEdit *box : m_boxes)
        box->clear();
    m_editedSid.reset();
    m_saveButton->setText(QString::fromUtf8(kSaveContactCaption));
    m_offerPosition = position;
    mobileBox()->setText(number);
    nameBox()->setText(QStringLiteral("Desconocido: ") + number);
    nameBox()->setFocus();
    nameBox()->selectAll();
}

bool ContactEditorDialog::eventFilter(QObject *watched, QEvent *event)
{
    // Qt reports no change when the focus leaves an untouched box; the check runs on every leave
    // inside the window. A box or another window taking the focus is no leave: the check's own
    // message would otherwise raise the check again.
    if (watched == m_boxes[1] && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            onMobileFocusLost();
    }
    return QWidget::eventFilter(watched, event);
}

void ContactEditorDialog::onMobileFocusLost()
{
    const MobileCheck r = checkMobile(mobileBox()->text());
    switch (r.status) {
    case MobileCheck::Status::Empty:
        return;
    case MobileCheck::Status::Valid:
        mobileBox()->setText(r.text);
        return;
    case MobileCheck::Status::Invalid:
        mobileBox()->setText(r.text);
        mobileBox()->setFocus();
        m_prompter.message(QString::fromUtf8(kInvalidPhoneMessage), QString::fromUtf8(kInvalidPhoneTitle),
                           ui::Icon::Warning);
        return;
    case MobileCheck::Status::PrefixAdded:
        mobileBox()->setText(r.text);
        m_prompter.message(QString::fromUtf8(kPrefixAddedMessage), QString::fromUtf8(kPrefixAddedTitle),
                           ui::Icon::Information);
        return;
    }
}

ContactFields ContactEditorDialog::fields() const
{
    return {nameBox()->text(), mobileBox()->text(), fullNameBox()->text(), addressBox()->text(),
            otherPhoneBox()->text(), commentBox()->text(), birthDateBox()->text()};
}

void ContactEditorDialog::save()
{
    const bool existingSid = m_saveButton->text() == QLatin1String(kUpdateContactCaption);
    const SaveResult r =
        saveContact(m_connection, fields(), existingSid ? m_editedSid : std::nullopt);
    ui::Prompter &prompter = m_prompter;
    if (!r.ok()) {
        if (r.status == SaveResult::Status::ContactGone) {
            // The typed values stay; the next save stores them as a new contact.
            m_editedSid.reset();
            m_saveButton->setText(QString::fromUtf8(kSaveContactCaption));
        }
        prompter.message(r.message, r.title,
                         r.status == SaveResult::Status::DatabaseError ? ui::Icon::Critical : ui::Icon::Warning);
        return;
    }

    const std::optional<qint64> position = existingSid ? std::nullopt : m_offerPosition;
    m_offerPosition.reset();
    for (QLineEdit *box : m_boxes)
        box->clear();
    m_saveButton->setText(QString::fromUtf8(kSaveContactCaption));
    Q_EMIT contactsChanged();
    if (position)
        Q_EMIT resumeNumberOffer(double(*position + 1), false);
    close();
    prompter.message(r.message, r.title, ui::Icon::Information);
}

} // namespace contacts
