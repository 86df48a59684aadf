#include "account/account_windows.h"

#include "account/main_window_access.h"
#include "seams/app_context.h"

namespace account {

AccountWindows::AccountWindows(seams::AppContext &context, MainWindowAccess &main, seams::WindowOpener *otherWindows, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_main(main)
    , m_otherWindows(otherWindows)
{
}

AccountWindows::~AccountWindows()
{
    // The windows talk to the hub while they close; take them down before it goes.
    m_passwordPrompt.release();
    m_senderAdmin.release();
    m_accountSettings.release();
    m_missingAccount.release();
    m_progress.release();
}

AccountSettingsDialog *AccountWindows::showAccountSettings()
{
    return m_accountSettings.show([this] { return new AccountSettingsDialog(*this); });
}

MissingAccountDialog *AccountWindows::showMissingAccount()
{
    return m_missingAccount.show([this] { return new MissingAccountDialog(*this); });
}

PasswordPromptDialog *AccountWindows::showPasswordPrompt(const QString &code)
{
    PasswordPromptDialog *prompt = m_passwordPrompt.show([this] { return new PasswordPromptDialog(*this); });
    prompt->setCode(code);
    return prompt;
}

SenderAdminDialog *AccountWindows::showSenderAdmin()
{
    return m_senderAdmin.show([this] { return new SenderAdminDialog(*this); });
}

void AccountWindows::showProgress(const QObject *owner, const QString &message)
{
    m_progressOwner = owner;
    m_progress.get([] { return new ui::ProgressDialog; })->start(message);
}

void AccountWindows::closeProgress(const QObject *owner)
{
    if (m_progressOwner != owner)
        return;
    m_progressOwner.clear();
    if (ui::ProgressDialog *dialog = m_progress.existing()) {
        dialog->finish();
        dialog->close();
    }
}

void AccountWindows::sendersChanged()
{
    m_main.refreshSenders();
    if (AccountSettingsDialog *settings = m_accountSettings.existing())
        settings->reloadSenders();
}

void AccountWindows::openOtherWindow(seams::WindowId id)
{
    if (m_otherWindows && m_otherWindows->canOpen(id))
        m_otherWindows->open(id);
}

} // namespace account
