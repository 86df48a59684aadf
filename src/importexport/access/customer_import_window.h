#pragma once

#include "importexport/access/customer_import.h"

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace seams { struct AppContext; }

namespace importexport::access {

class FileChooser;

// The customer import window (objectName `Form8`), "Importar Agenda": copies the mobile numbers of
// a customer database into the contact table of a program database chosen by the user. It works on
// its own connections.
class CustomerImportWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CustomerImportWindow)

public:
    explicit CustomerImportWindow(seams::AppContext &context, QWidget *parent = nullptr);
    ~CustomerImportWindow() override;

    FileChooser *customerChooser = nullptr;    // the customer database
    FileChooser *programChooser = nullptr;    // the program database to fill
    QCheckBox *numericPhoneTypeCheck = nullptr;
    QCheckBox *numericCustomerIdCheck = nullptr;
    QCheckBox *numericCustomerTypeIdCheck = nullptr;
    QPushButton *importButton = nullptr;    // "Importar"
    QPushButton *exitButton = nullptr;    // "Salir"

    void importCustomers();
    const CustomerOutcome &lastOutcome() const { return m_last; }

private:
    seams::AppContext &m_context;
    CustomerOutcome m_last;
};

} // namespace importexport::access
