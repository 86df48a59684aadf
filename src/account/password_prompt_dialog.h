#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace account {

class AccountWindows;

// The password prompt (objectName `Form19`), "Solicitud de contraseña": asks for the account's
// password before a window that acts on the web account opens. The caller's code says which one.
class PasswordPromptDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PasswordPromptDialog)

public:
    explicit PasswordPromptDialog(AccountWindows &windows, QWidget *parent = nullptr);

    // The caller's code: "9", "14" or "15".
    void setCode(const QString &code) { m_code = code; }
    QString code() const { return m_code; }

    QLineEdit *passwordBox = nullptr;
    QCheckBox *showPasswordCheck = nullptr;
    QPushButton *acceptButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *forgottenPasswordButton = nullptr;

    void acceptPassword();
    void openPasswordReminder();

private:
    void onShowPasswordToggled();

    AccountWindows &m_windows;
    QString m_code;
};

} // namespace account
