#pragma once

#include "account/account_settings.h"
#include "platform/net/gateway_channel.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace account {

class AccountWindows;

// The account settings window (objectName `Form2`), "Datos de usuario": the gateway account and the
// account-wide settings. The account is written only once the gateway has accepted it, and then
// exactly as it was when it was checked.
class AccountSettingsDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountSettingsDialog)

public:
    explicit AccountSettingsDialog(AccountWindows &windows, QWidget *parent = nullptr);
    ~AccountSettingsDialog() override;

    // The sender combo rebuilt from `Remitentes`, keeping the selected text when it is still there.
    void reloadSenders();

    // The dialog's line to the gateway (tests shorten its time-out).
    net::GatewayChannel &channel() { return m_channel; }
    bool checkPending() const { return m_pending.has_value(); }

    // The controls, public for the main window and the tests.
    QLineEdit *loginBox = nullptr;
    QLineEdit *passwordBox = nullptr;
    QRadioButton *economyOption = nullptr;
    QRadioButton *premiumOption = nullptr;
    QComboBox *timeZoneCombo = nullptr;
    QCheckBox *unknownNumberCheck = nullptr;
    QComboBox *unknownNumberCombo = nullptr;
    QComboBox *senderCombo = nullptr;
    QPushButton *defaultSenderButton = nullptr;
    QPushButton *manageSendersButton = nullptr;
    QLineEdit *sharedPathBox = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *closeButton = nullptr;

    void saveAccount();
    void makeSenderDefault();
    void manageSenders();
    void onCloseClicked();

Q_SIGNALS:
    // The account check's reply was handled (after its message).
    void checkHandled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void loadSettings();
    bool savePath();
    void onCheckFinished(const net::GatewayReply &reply);
    void handleCheck(const QString &reply);
    QString selectedRoute() const;

    AccountWindows &m_windows;
    net::GatewayChannel m_channel;
    QString m_loadedPath;                          // the shared path as loaded or last saved
    QString m_storedZone;                         // the zone of the row as loaded
    std::optional<account::VerifiedAccount> m_pending;  // what the check in flight verifies
};

} // namespace account
