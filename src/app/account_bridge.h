#pragma once

#include "account/account_windows.h"
#include "account/main_window_access.h"
#include "app/main_window/dialog_opener.h"
#include "app/main_window/main_window.h"
#include "sending/message_parts.h"
#include "sending/panel/send_panel_view.h"
#include "startup/version_check.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

// The two-way join of the main window and the account windows, made where the application is
// assembled so neither side depends on the other's classes.
namespace app {

class MainWindowAccessAdapter final : public account::MainWindowAccess {
public:
    explicit MainWindowAccessAdapter(startup::MainWindow &window) : m_mainWindow(window) {}

    void refreshSenders() override { m_mainWindow.reloadSenders(); }
    void selectSender(const QString &sender) override
    {
        QComboBox *combo = m_mainWindow.sendPanel().senderCombo();
        const int index = combo->findText(sender, Qt::MatchExactly);
        if (index < 0)
            return;
        // A choice made by code: the list's own rules stay quiet.
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index);
    }
    void showMain() override { m_mainWindow.bringToFront(); }
    void setSendEnabled(bool enabled) override { m_mainWindow.sendPanel().sendButton()->setEnabled(enabled); }
    void focusRecipients() override { m_mainWindow.sendPanel().recipientsBox()->setFocus(); }
    bool recipientsEmpty() const override { return m_mainWindow.sendPanel().recipientsBox()->toPlainText().isEmpty(); }
    void showBalance(const QString &figure) override
    {
        m_mainWindow.sendPanel().balanceLabel()->setText(sending::creditLabel(figure, sending::CreditFigure::Balance));
    }
    void setCostText(const QString &text) override { m_mainWindow.sendPanel().costLabel()->setText(text); }
    void setCredentials(const QString &login, const QString &pass) override { m_mainWindow.setCredentials(login, pass); }

private:
    startup::MainWindow &m_mainWindow;
};

class AccountDialogs final : public startup::DialogOpener {
public:
    AccountDialogs(account::AccountWindows &windows, seams::AppContext &context)
        : m_windows(windows), m_context(context)
    {
    }

    void showAccountSettings() override { m_windows.showAccountSettings(); }
    void showMissingAccountData() override { m_windows.showMissingAccount(); }
    void showPasswordPrompt(const QString &code) override { m_windows.showPasswordPrompt(code); }
    void checkVersion(const QString &desktopVersion) override
    {
        startup::version::checkVersion(m_context, desktopVersion);
    }

private:
    account::AccountWindows &m_windows;
    seams::AppContext &m_context;
};

} // namespace app
