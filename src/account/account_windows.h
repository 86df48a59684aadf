#pragma once

#include "account/account_settings_dialog.h"
#include "account/missing_account_dialog.h"
#include "account/password_prompt_dialog.h"
#include "account/sender_admin_dialog.h"
#include "platform/ui/progress_dialog.h"
#include "platform/ui/single_instance.h"
#include "seams/subsystems.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace seams {
struct AppContext;
}

namespace account {

class MainWindowAccess;

// The one-instance account windows (settings, missing account, password prompt, progress,
// sender administration) and the links between them. The main window owns one and opens the
// windows through it; the windows reach each other and the main window only through it.
class AccountWindows final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AccountWindows)

public:
    AccountWindows(seams::AppContext &context, MainWindowAccess &main, seams::WindowOpener *otherWindows = nullptr,
                   QObject *parent = nullptr);
    ~AccountWindows() override;

    AccountSettingsDialog *showAccountSettings();
    MissingAccountDialog *showMissingAccount();
    // The password prompt; `code` says which window a correct password opens ("9", "14", "15").
    PasswordPromptDialog *showPasswordPrompt(const QString &code);
    SenderAdminDialog *showSenderAdmin();

    // The open windows, nullptr when closed.
    AccountSettingsDialog *accountSettings() const { return m_accountSettings.existing(); }
    MissingAccountDialog *missingAccount() const { return m_missingAccount.existing(); }
    ui::ProgressDialog *progress() const { return m_progress.existing(); }
    SenderAdminDialog *senderAdmin() const { return m_senderAdmin.existing(); }
    PasswordPromptDialog *passwordPrompt() const { return m_passwordPrompt.existing(); }

    // The progress window is shared: only the window that showed it last closes it, so one
    // window's reply never hides the wait of another.
    void showProgress(const QObject *owner, const QString &message);
    void closeProgress(const QObject *owner);

    // After a change to `Remitentes`: every sender box rebuilt from the table.
    void sendersChanged();

    // Opens a window of another feature (the web download or upload after the password prompt).
    void openOtherWindow(seams::WindowId id);

    seams::AppContext &context() const { return m_context; }
    MainWindowAccess &main() const { return m_main; }

private:
    seams::AppContext &m_context;
    MainWindowAccess &m_main;
    seams::WindowOpener *m_otherWindows;
    ui::SingleInstance<AccountSettingsDialog> m_accountSettings;
    ui::SingleInstance<MissingAccountDialog> m_missingAccount;
    ui::SingleInstance<ui::ProgressDialog> m_progress;
    ui::SingleInstance<SenderAdminDialog> m_senderAdmin;
    ui::SingleInstance<PasswordPromptDialog> m_passwordPrompt;
    QPointer<const QObject> m_progressOwner;
};

} // namespace account
