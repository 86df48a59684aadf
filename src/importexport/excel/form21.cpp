#include "importexport/excel/form21.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::excel {

Choice eleccionDe(bool overwrite, bool all)
{
    if (overwrite)
        return all ? Choice::SobreescribirTodas : Choice::SobreescribirUna;
    return all ? Choice::IgnorarTodas : Choice::IgnorarUna;
}

Form21::Form21(QWidget *parent) : QWidget(parent, Qt::Window)
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
    SkinLabel8[0] = new QLabel(frame);
    SkinLabel8[1] = new QLabel(frame);
    SkinLabel8[0]->setObjectName(QStringLiteral("SkinLabel8"));
    SkinLabel8[1]->setObjectName(QStringLiteral("SkinLabel8"));
    grid->addWidget(SkinLabel8[0], 2, 1);
    grid->addWidget(SkinLabel8[1], 2, 2);
    // Rows after the phone: name first, then full name, address, other phone, comments, birth date.
    const int gridRow[6] = {1, 3, 4, 5, 6, 7};
    for (int i = 0; i < 6; ++i) {
        SkinLabel3[size_t(i)] = new QLabel(frame);
        SkinLabel2[size_t(i)] = new QLabel(frame);
        SkinLabel3[size_t(i)]->setObjectName(QStringLiteral("SkinLabel3"));
        SkinLabel2[size_t(i)]->setObjectName(QStringLiteral("SkinLabel2"));
        grid->addWidget(SkinLabel3[size_t(i)], gridRow[i], 1);
        grid->addWidget(SkinLabel2[size_t(i)], gridRow[i], 2);
    }
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(explanation);
    frameLayout->addLayout(grid);

    Check1 = new QCheckBox(
        QStringLiteral("Aplicar la misma elección a todas las coincidencias para evitar futuras interrupciones."), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new QPushButton(QStringLiteral("Sobreescribir"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("Ignorar"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(Check1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { f_resolver_conflicto(eleccionDe(true, Check1->isChecked())); });
    connect(Command2, &QPushButton::clicked, this, [this] { f_resolver_conflicto(eleccionDe(false, Check1->isChecked())); });
}

void Form21::mostrar(const Conflicto &c)
{
    const auto stored = [](const QVariant &v) { return v.isNull() ? QString() : v.toString(); };
    SkinLabel8[0]->setText(stored(c.guardado.telefono));
    SkinLabel8[1]->setText(c.importado.telefono);
    const QString storedTexts[6] = {stored(c.guardado.nombre),     stored(c.guardado.nombre_completo),
                                  stored(c.guardado.direccion),  stored(c.guardado.telefono_2),
                                  stored(c.guardado.comentario), fechaParaMostrar(stored(c.guardado.f_nacimiento))};
    const QString importedTexts[6] = {c.importado.nombre,     c.importado.nombre_completo, c.importado.direccion,
                                   c.importado.telefono_2, c.importado.comentario,
                                   fechaParaMostrar(c.importado.f_nacimiento)};
    for (size_t i = 0; i < 6; ++i) {
        SkinLabel3[i]->setText(storedTexts[i]);
        SkinLabel2[i]->setText(importedTexts[i]);
    }
    show();
    raise();
}

void Form21::f_resolver_conflicto(Choice choice)
{
    m_respondiendo = true;
    hide();
    m_respondiendo = false;
    Q_EMIT respondido(choice);
}

void Form21::closeEvent(QCloseEvent *event)
{
    // The window box hides the dialog without answering; the importer decides what that means.
    event->ignore();
    if (m_respondiendo || !isVisible())
        return;
    hide();
    Q_EMIT cerradoSinResponder();
}

} // namespace importexport::excel
