#pragma once

#include "platform/net/gateway_channel.h"
#include "startup/dialogs/account_settings.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace startup {

class AccountWindows;

// The account settings window (objectName `Form2`), "Datos de usuario": the gateway account and the
// account-wide settings. The account is written only once the gateway has accepted it, and then
// exactly as it was when it was checked.
class Form2 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)

public:
    explicit Form2(AccountWindows &windows, QWidget *parent = nullptr);
    ~Form2() override;

    // The sender combo rebuilt from `Remitentes`, keeping the selected text when it is still there.
    void reloadSenders();

    // The dialog's line to the gateway (tests shorten its time-out).
    net::GatewayChannel &channel() { return m_channel; }
    bool checkPending() const { return m_pending.has_value(); }

    // The controls, public for the main window and the tests.
    QLineEdit *txtUsuario = nullptr;
    QLineEdit *txtPass = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QComboBox *Combo2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QComboBox *Combo3 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command5 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command6 = nullptr;

    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void Command6_Click();

Q_SIGNALS:
    // The account check's reply was handled (after its message).
    void checkHandled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    bool savePath();
    void onCheckFinished(const net::GatewayReply &reply);
    void handleCheck(const QString &reply);
    QString rutaSeleccionada() const;

    AccountWindows &m_windows;
    net::GatewayChannel m_channel;
    QString m_rutaCargada;                          // the shared path as loaded or last saved
    QString m_husoGuardado;                         // the zone of the row as loaded
    std::optional<account::VerifiedAccount> m_pending;  // what the check in flight verifies
};

} // namespace startup
