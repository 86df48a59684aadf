#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace account {

class AccountWindows;

// The missing-account window (objectName `Form3`), "Ausencia de datos de usuario": tells a user
// without an account that one is needed and offers the gateway's free registration.
class MissingAccountDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MissingAccountDialog)

public:
    explicit MissingAccountDialog(AccountWindows &windows, QWidget *parent = nullptr);

    QLabel *messageLabel = nullptr;
    QPushButton *registerButton = nullptr;
    QPushButton *alreadyRegisteredButton = nullptr;

    void openRegistration();

private:
    AccountWindows &m_windows;
};

} // namespace account
