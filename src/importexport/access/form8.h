#pragma once

#include "importexport/access/customer_import.h"

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace startup { struct AppContext; }

namespace importexport::access {

class FileChooser;

// The customer import window (objectName `Form8`), "Importar Agenda": copies the mobile numbers of
// a customer database into the contact table of a program database chosen by the user. It works on
// its own connections.
class Form8 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form8)

public:
    explicit Form8(startup::AppContext &context, QWidget *parent = nullptr);
    ~Form8() override;

    FileChooser *Clientes = nullptr;    // the customer database
    FileChooser *Programa = nullptr;    // the program database to fill
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check3 = nullptr;
    QPushButton *Command1 = nullptr;    // "Importar"
    QPushButton *Command2 = nullptr;    // "Salir"

    void Command1_Click();
    const CustomerOutcome &lastOutcome() const { return m_last; }

private:
    startup::AppContext &m_context;
    CustomerOutcome m_last;
};

} // namespace importexport::access
