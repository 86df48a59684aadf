#include "importexport/excel/duplicate_phone_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::excel {

Choice choiceFrom(bool overwrite, bool all)
{
    if (overwrite)
        return all ? Choice::OverwriteAll : Choice::OverwriteOnce;
    return all ? Choice::IgnoreAll : Choice::IgnoreOnce;
}

DuplicatePhoneDialog::DuplicatePhoneDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form21"));
    setWindowTitle(QStringLiteral("Teléfono perteneciente a otro contacto"));
    auto *frame = new QGroupBox(QStringLiteral("Hay dos contactos con el mismo teléfono"), this);
    auto *explanation = new QLabel(
        QStringLiteral("Se ha encontrado un contacto existente con el mismo número de teléfono, y datos distintos. "
                       "Decida cuál quedarse si el antiguo (ignorar, a la izquierda) o el encontrado en el Excel "
                       "(sobreescribir, a la derecha)."),
        frame);
    explanation->setWordWrap(true);
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Contacto actual:"), frame), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Sobreescribir por:"), frame), 0, 2);
    const QStringList rows{QStringLiteral("Nombre:"),      QStringLiteral("Teléfono:"),   QStringLiteral("Nombre completo:"),
                           QStringLiteral("Dirección:"),   QStringLiteral("Otro teléfono:"), QStringLiteral("Comentarios:"),
                           QStringLiteral("Fecha nacimiento:")};
    for (int i = 0; i < rows.size(); ++i)
        grid->addWidget(new QLabel(rows.at(i), frame), i + 1, 0);
    phoneLabels[0] = new QLabel(frame);
    phoneLabels[1] = new QLabel(frame);
    phoneLabels[0]->setObjectName(QStringLiteral("SkinLabel8"));
    phoneLabels[1]->setObjectName(QStringLiteral("SkinLabel8"));
    grid->addWidget(phoneLabels[0], 2, 1);
    grid->addWidget(phoneLabels[1], 2, 2);
    // Rows after the phone: name first, then full name, address, other phone, comments, birth date.
    const int gridRow[6] = {1, 3, 4, 5, 6, 7};
    for (int i = 0; i < 6; ++i) {
        storedLabels[size_t(i)] = new QLabel(frame);
        importedLabels[size_t(i)] = new QLabel(frame);
        storedLabels[size_t(i)]->setObjectName(QStringLiteral("SkinLabel3"));
        importedLabels[size_t(i)]->setObjectName(QStringLiteral("SkinLabel2"));
        grid->addWidget(storedLabels[size_t(i)], gridRow[i], 1);
        grid->addWidget(importedLabels[size_t(i)], gridRow[i], 2);
    }
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(explanation);
    frameLayout->addLayout(grid);

    applyToAllCheck = new QCheckBox(
        QStringLiteral("Aplicar la misma elección a todas las coincidencias para evitar futuras interrupciones."), this);
    applyToAllCheck->setObjectName(QStringLiteral("Check1"));
    overwriteButton = new QPushButton(QStringLiteral("Sobreescribir"), this);
    overwriteButton->setObjectName(QStringLiteral("Command1"));
    ignoreButton = new QPushButton(QStringLiteral("Ignorar"), this);
    ignoreButton->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ignoreButton);
    buttons->addWidget(overwriteButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(applyToAllCheck);
    layout->addLayout(buttons);

    connect(overwriteButton, &QPushButton::clicked, this, [this] { resolveConflict(choiceFrom(true, applyToAllCheck->isChecked())); });
    connect(ignoreButton, &QPushButton::clicked, this, [this] { resolveConflict(choiceFrom(false, applyToAllCheck->isChecked())); });
}

void DuplicatePhoneDialog::showConflict(const Conflict &c)
{
    const auto stored = [](const QVariant &v) { return v.isNull() ? QString() : v.toString(); };
    phoneLabels[0]->setText(stored(c.stored.phone));
    phoneLabels[1]->setText(c.imported.phone);
    const QString storedTexts[6] = {stored(c.stored.name),     stored(c.stored.fullName),
                                  stored(c.stored.address),  stored(c.stored.otherPhone),
                                  stored(c.stored.comment), dateForDisplay(stored(c.stored.birthDate))};
    const QString importedTexts[6] = {c.imported.name,     c.imported.fullName, c.imported.address,
                                   c.imported.otherPhone, c.imported.comment,
                                   dateForDisplay(c.imported.birthDate)};
    for (size_t i = 0; i < 6; ++i) {
        storedLabels[i]->setText(storedTexts[i]);
        importedLabels[i]->setText(importedTexts[i]);
    }
    show();
    raise();
}

void DuplicatePhoneDialog::resolveConflict(Choice choice)
{
    m_answering = true;
    hide();
    m_answering = false;
    Q_EMIT answered(choice);
}

void DuplicatePhoneDialog::closeEvent(QCloseEvent *event)
{
    // The window box hides the dialog without answering; the importer decides what that means.
    event->ignore();
    if (m_answering || !isVisible())
        return;
    hide();
    Q_EMIT closedWithoutAnswer();
}

} // namespace importexport::excel
