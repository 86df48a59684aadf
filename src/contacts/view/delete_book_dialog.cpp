#include "contacts/view/delete_book_dialog.h"

#include "contacts/contact_book.h"
#include "platform/ui/prompter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace contacts {

DeleteBookDialog::DeleteBookDialog(db::Connection &connection, ui::Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(connection), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form17"));
    setWindowTitle(QStringLiteral("Borrar agenda"));
    m_warningLabel = new QLabel(QString::fromUtf8(kDeleteBookWarning), this);
    m_warningLabel->setObjectName(QStringLiteral("SkinLabel1"));
    m_warningLabel->setWordWrap(true);
    m_deleteButton = new QPushButton(QStringLiteral("Borrar agenda"), this);
    m_deleteButton->setObjectName(QStringLiteral("Command1"));
    m_cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    connect(m_deleteButton, &QPushButton::clicked, this, &DeleteBookDialog::deleteBook);
    connect(m_cancelButton, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_deleteButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_warningLabel);
    layout->addLayout(buttons);
}

DeleteBookDialog::~DeleteBookDialog() = default;

void DeleteBookDialog::deleteBook()
{
    ui::Prompter &prompter = m_prompter;
    const DeleteResult r = deleteWholeBook(m_connection);
    if (!r.ok()) {
        // Nothing was deleted; the window stays for another try.
        prompter.message(QString::fromUtf8(kBookNotDeletedMessage), QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    Q_EMIT bookDeleted();
    close();
    prompter.message(QString::fromUtf8(kBookDeletedMessage), QString::fromUtf8(kBookDeletedTitle),
                     ui::Icon::Information);
}

} // namespace contacts
